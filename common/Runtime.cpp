#include "Runtime.h"
#include "Timer.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QTimer>
#include <algorithm>
#include <limits>

namespace {
Runtime *g_installed = nullptr;
}

Runtime &Runtime::current()
{
    if (g_installed)
        return *g_installed;
    static RealRuntime real;
    return real;
}

void Runtime::install(Runtime *rt)
{
    g_installed = rt;
}

void Runtime::endProgram()
{
    m_ending = true;
    wake();
}

// ---------------------------------------------------------------------------------------------
// Real time

struct RealRuntime::Impl
{
    QElapsedTimer clock;
    struct Slot
    {
        QTimer *qt = nullptr;
        quint64 generation = 0;
    };
    QHash<Timer *, Slot> armed;
};

RealRuntime::RealRuntime() : d(new Impl)
{
    d->clock.start();
}

RealRuntime::~RealRuntime()
{
    for (auto &s : d->armed)
        delete s.qt;
    delete d;
}

qint64 RealRuntime::nowMs() const
{
    return d->clock.elapsed();
}

void RealRuntime::yield()
{
    if (isEnding())
        return;
    // Blocks in the event dispatcher until a timer, a socket notifier or a window event wakes it.
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void RealRuntime::wake()
{
    if (auto *dispatcher = QAbstractEventDispatcher::instance())
        dispatcher->wakeUp();
}

void RealRuntime::post(qint64 delayMs, std::function<void()> fn)
{
    QTimer::singleShot(int(delayMs), QCoreApplication::instance(), std::move(fn));
}

void RealRuntime::armTimer(Timer *timer, quint64 generation, int intervalMs)
{
    auto it = d->armed.find(timer);
    if (it == d->armed.end()) {
        auto *qt = new QTimer;
        qt->setTimerType(Qt::PreciseTimer);
        it = d->armed.insert(timer, Impl::Slot{qt, generation});
        QObject::connect(qt, &QTimer::timeout, timer, [this, timer] {
            auto s = d->armed.find(timer);
            if (s != d->armed.end())
                timer->fire(s->generation);
        });
        QObject::connect(timer, &QObject::destroyed, qt, [this, timer] {
            auto s = d->armed.find(timer);
            if (s != d->armed.end()) {
                s->qt->deleteLater();
                d->armed.erase(s);
            }
        });
    }
    it->generation = generation;
    it->qt->start(intervalMs);
}

void RealRuntime::disarmTimer(Timer *timer)
{
    auto it = d->armed.find(timer);
    if (it != d->armed.end())
        it->qt->stop();
}

// ---------------------------------------------------------------------------------------------
// Virtual time

VirtualRuntime::VirtualRuntime()
    : m_onStall([](const QString &msg) { qFatal("%s", qPrintable(msg)); })
{
}

VirtualRuntime::~VirtualRuntime() = default;

void VirtualRuntime::processQtEvents()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void VirtualRuntime::post(qint64 delayMs, std::function<void()> fn)
{
    m_queue.emplace(std::make_pair(m_now + qMax<qint64>(0, delayMs), m_seq++),
                    Entry{std::move(fn), nullptr, 0});
}

void VirtualRuntime::armTimer(Timer *timer, quint64 generation, int intervalMs)
{
    m_queue.emplace(std::make_pair(m_now + intervalMs, m_seq++), Entry{nullptr, timer, generation});
}

void VirtualRuntime::disarmTimer(Timer *)
{
    // The timer's generation has moved on; its queued entry is dropped when it comes due.
}

void VirtualRuntime::watchIo(QObject *owner, std::function<bool()> busy)
{
    m_io.emplace_back(owner, std::move(busy));
}

// Waits in the event loop, in real time, until the watched I/O is over; true when there was some
// (something happened, so a wait must look at its condition before time moves on).
bool VirtualRuntime::settle()
{
    std::erase_if(m_io, [](const auto &w) { return w.first.isNull(); });
    auto busy = [this] {
        return std::any_of(m_io.begin(), m_io.end(),
                           [](const auto &w) { return !w.first.isNull() && w.second(); });
    };
    if (m_io.empty() || !QCoreApplication::instance() || !busy())
        return false;
    // A peer that never finishes must not hang the test: the cap wakes the loop now and then.
    QElapsedTimer guard;
    guard.start();
    QTimer cap;
    cap.start(50);
    while (busy()) {
        if (guard.elapsed() > 10000) {
            m_onStall(QStringLiteral("virtual time stalled at %1 ms: socket I/O did not finish "
                                     "within 10 s of real time")
                          .arg(m_now));
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

bool VirtualRuntime::runNext(qint64 notAfter)
{
    if (settle())
        return true;
    while (!m_queue.empty()) {
        auto it = m_queue.begin();
        if (it->first.first > notAfter)
            return false;
        Entry e = std::move(it->second);
        const qint64 due = it->first.first;
        m_queue.erase(it);
        if (e.fn) {
            m_now = qMax(m_now, due);
            e.fn();
            return true;
        }
        Timer *t = e.timer.data();
        if (!t || !t->isEnabled() || t->interval() <= 0)
            continue; // stale: switched off, re-armed or destroyed since it was queued
        m_now = qMax(m_now, due);
        armTimer(t, e.generation, t->interval()); // periodic: the next period starts now
        t->fire(e.generation);
        return true;
    }
    return false;
}

void VirtualRuntime::yield()
{
    if (isEnding())
        return;
    processQtEvents();
    if (m_now > m_horizon) {
        m_onStall(QStringLiteral("virtual time passed %1 ms: a wait never ended").arg(m_horizon));
        return;
    }
    if (!runNext(std::numeric_limits<qint64>::max()))
        m_onStall(QStringLiteral("virtual time stalled at %1 ms: a wait yielded with no timer "
                                 "running and nothing to deliver, so it could never end")
                      .arg(m_now));
}

void VirtualRuntime::runFor(qint64 ms)
{
    const qint64 target = m_now + ms;
    processQtEvents();
    while (runNext(target))
        processQtEvents();
    m_now = qMax(m_now, target);
}

bool VirtualRuntime::runUntil(const std::function<bool()> &pred, qint64 limitMs)
{
    const qint64 deadline = m_now + limitMs;
    processQtEvents();
    while (!pred()) {
        if (!runNext(deadline)) {
            m_now = qMax(m_now, deadline);
            return pred();
        }
        processQtEvents();
    }
    return true;
}
