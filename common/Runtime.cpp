#include "Runtime.h"
#include "Timer.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QTimer>
#include <algorithm>
#include <limits>
#include <memory>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>
#include <vector>

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

// ---------------------------------------------------------------------------------------------
// Strands

struct Runtime::Strands
{
    struct Strand
    {
        ucontext_t ctx;
        ucontext_t *back = nullptr; // where a wait returns to: whoever resumed the strand
        std::function<void()> fn;
        char *stack = nullptr;
        bool done = false;
    };
    // Plenty for a call's deepest path; only the pages a strand touches take memory.
    static constexpr size_t StackSize = 512 * 1024;

    std::vector<std::unique_ptr<Strand>> all;
    Strand *running = nullptr;
    bool hooked = false;

    static inline Strand *starting = nullptr;
    static void entry()
    {
        Strand *s = starting;
        s->fn();
        s->fn = nullptr;
        s->done = true;
        setcontext(s->back);
    }

    void resume(Strand *s)
    {
        ucontext_t here;
        Strand *outer = running;
        s->back = &here;
        running = s;
        swapcontext(&here, &s->ctx);
        running = outer;
        if (s->done) {
            munmap(s->stack, StackSize);
            std::erase_if(all, [s](const auto &p) { return p.get() == s; });
        }
    }

    ~Strands()
    {
        // Strands still waiting when the runtime goes: their stacks go with it.
        for (auto &s : all)
            munmap(s->stack, StackSize);
    }
};

Runtime::~Runtime()
{
    delete m_strands;
}

Runtime::Strands *Runtime::strands()
{
    if (!m_strands)
        m_strands = new Strands;
    return m_strands;
}

void Runtime::spawn(std::function<void()> fn)
{
    Strands *st = strands();
    if (!st->hooked) {
        st->hooked = true;
        strandsStarted();
    }
    auto strand = std::make_unique<Strands::Strand>();
    void *mem = mmap(nullptr, Strands::StackSize, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE | MAP_STACK, -1, 0);
    if (mem == MAP_FAILED)
        qFatal("no memory for a strand's stack");
    strand->stack = static_cast<char *>(mem);
    // An overflow hits the guard page and stops the program instead of writing over memory.
    mprotect(strand->stack, size_t(sysconf(_SC_PAGESIZE)), PROT_NONE);
    strand->fn = std::move(fn);
    getcontext(&strand->ctx);
    strand->ctx.uc_stack.ss_sp = strand->stack;
    strand->ctx.uc_stack.ss_size = Strands::StackSize;
    strand->ctx.uc_link = nullptr;
    makecontext(&strand->ctx, &Strands::entry, 0);
    Strands::Strand *s = strand.get();
    st->all.push_back(std::move(strand));
    Strands::starting = s;
    st->resume(s);
}

int Runtime::strandCount() const
{
    return m_strands ? int(m_strands->all.size()) : 0;
}

bool Runtime::suspendStrand()
{
    if (!m_strands || !m_strands->running)
        return false;
    Strands::Strand *s = m_strands->running;
    swapcontext(&s->ctx, s->back);
    return true;
}

void Runtime::resumeStrands()
{
    // Only the program's own stack hands out rounds; a strand never resumes the others.
    if (!m_strands || m_strands->running || m_strands->all.empty())
        return;
    std::vector<Strands::Strand *> waiting;
    for (auto &s : m_strands->all)
        waiting.push_back(s.get());
    for (Strands::Strand *s : waiting)
        m_strands->resume(s);
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
    if (isEnding() || suspendStrand())
        return;
    // Blocks in the event dispatcher until a timer, a socket notifier or a window event wakes it.
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    resumeStrands();
}

void RealRuntime::strandsStarted()
{
    // The program's own event loop gives the strands their rounds: once per pass, before it
    // sleeps, so waiting strands cost nothing while nothing happens.
    if (auto *dispatcher = QAbstractEventDispatcher::instance())
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, dispatcher,
                         [this] { resumeStrands(); });
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
    if (isEnding() || suspendStrand())
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
    resumeStrands();
}

void VirtualRuntime::runFor(qint64 ms)
{
    const qint64 target = m_now + ms;
    processQtEvents();
    resumeStrands();
    while (runNext(target)) {
        processQtEvents();
        resumeStrands();
    }
    m_now = qMax(m_now, target);
}

bool VirtualRuntime::runUntil(const std::function<bool()> &pred, qint64 limitMs)
{
    const qint64 deadline = m_now + limitMs;
    processQtEvents();
    resumeStrands();
    while (!pred()) {
        if (!runNext(deadline)) {
            m_now = qMax(m_now, deadline);
            return pred();
        }
        processQtEvents();
        resumeStrands();
    }
    return true;
}
