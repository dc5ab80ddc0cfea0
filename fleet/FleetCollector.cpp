#include "FleetCollector.h"

#include "CallLines.h"
#include "Clock.h"
#include "CollectJob.h"
#include "ConsoleAuditRunner.h"
#include "MachineListener.h"
#include "PortTrace.h"
#include "Runtime.h"
#include "TcpLine.h"

#include <QDir>
#include <QFile>
#include <QPointer>

struct FleetCollector::Call
{
    CollectQueue::Claim claim;
    AuditJobRunner *runner = nullptr;
    std::unique_ptr<AuditJobRunner> owned; // an IP call's runner
    QString txt, img;
    bool running = true;
    bool abandoned = false;
    AuditJobOutcome outcome;
};

namespace {
constexpr int MaxBackoffMs = 30'000;

QByteArray readAllOf(const QString &path, bool *ok)
{
    QFile f(path);
    *ok = f.open(QIODevice::ReadOnly);
    return *ok ? f.readAll() : QByteArray();
}
} // namespace

FleetCollector::FleetCollector(CollectQueue &queue, const Clock &clock, const Options &options,
                               QObject *parent)
    : QObject(parent), m_queue(queue), m_clock(clock), m_o(options)
{
    m_claimTimer.setInterval(m_o.claimIntervalMs);
    // A third of the lease: two renewals can fail before another collector may take over.
    m_renewTimer.setInterval(int(std::max<qint64>(1000, m_o.leaseMs / 3)));
    m_graceTimer.setInterval(m_o.stopGraceMs);
    connect(&m_claimTimer, &::Timer::tick, this, &FleetCollector::claimDue);
    connect(&m_renewTimer, &::Timer::tick, this, &FleetCollector::renewLeases);
    connect(&m_retryTimer, &::Timer::tick, this, [this] {
        m_retryTimer.stop();
        if (m_reconnect && !m_reconnect()) {
            m_backoffMs = std::min(m_backoffMs * 2, MaxBackoffMs);
            m_retryTimer.setInterval(m_backoffMs);
            m_retryTimer.start();
            return;
        }
        m_dbDown = false;
        m_backoffMs = 1000;
        emit line(QStringLiteral("database: connected again"));
        markAllOnline();
        fileWaiting();
        claimDue();
    });
    connect(&m_graceTimer, &::Timer::tick, this, [this] {
        if (std::any_of(m_calls.begin(), m_calls.end(), [](auto &c) { return c->running; })) {
            abandonAll();
            return;
        }
        // Results that still cannot be filed are given up: their leases expire and the
        // attempts stay open, as for a collector that died.
        emit line(QStringLiteral("stopping: %1 result(s) not filed").arg(m_calls.size()));
        m_calls.clear();
        checkStopped();
    });
}

FleetCollector::~FleetCollector() = default;

namespace {
class IpAuditRunner : public AuditJobRunner
{
public:
    IpAuditRunner(std::unique_ptr<TcpLine> line, const QString &programFolder,
                  FleetCollector::Trace trace)
        : m_line(std::move(line)),
          m_trace(trace ? std::make_unique<PortTrace>(*m_line, std::move(trace)) : nullptr),
          m_runner(m_trace ? static_cast<SerialPort &>(*m_trace) : *m_line, programFolder)
    {
        m_runner.job().setLine(m_line.get(), m_trace.get());
    }
    void run(const QString &number, const QString &txtPath, const QString &imgPath,
             std::function<void(const AuditJobOutcome &)> done) override
    {
        m_runner.run(number, txtPath, imgPath, std::move(done));
    }
    void abort() override { m_runner.abort(); }

private:
    std::unique_ptr<TcpLine> m_line;
    std::unique_ptr<PortTrace> m_trace;
    ConsoleAuditRunner m_runner;
};
} // namespace

std::unique_ptr<AuditJobRunner> FleetCollector::ipRunner(std::unique_ptr<TcpLine> line,
                                                         const QString &programFolder, Trace trace)
{
    return std::make_unique<IpAuditRunner>(std::move(line), programFolder, std::move(trace));
}

void FleetCollector::callOverIp(CallLines &lines, const QString &programFolder,
                                std::function<Trace(const QString &gsm)> traceOf)
{
    setIpRunnerFactory([&lines, programFolder, traceOf](const QString &gsm) {
        std::unique_ptr<TcpLine> line = lines.lineFor(gsm);
        return line ? ipRunner(std::move(line), programFolder, traceOf ? traceOf(gsm) : Trace{})
                    : nullptr;
    });
}

void FleetCollector::addModemLine(AuditJobRunner *runner, std::function<bool()> available)
{
    m_modemLines.push_back({runner, std::move(available)});
}

AuditJobRunner *FleetCollector::freeModemLine() const
{
    for (const ModemLine &l : m_modemLines)
        if (std::find(m_busyModemLines.begin(), m_busyModemLines.end(), l.runner) ==
                m_busyModemLines.end() &&
            (!l.available || l.available()))
            return l.runner;
    return nullptr;
}

void FleetCollector::setListener(MachineListener *listener)
{
    m_listener = listener;
    connect(listener, &MachineListener::onlineChanged, this, &FleetCollector::markOnline);
}

void FleetCollector::markOnline(const QString &gsm, bool online)
{
    if (!m_started || m_dbDown)
        return; // marked when the collector starts, or when the database is back
    QString why;
    const bool ok = online ? m_queue.markOnline(gsm, m_o.name, now() + m_o.leaseMs, &why)
                           : m_queue.markOffline(gsm, m_o.name, &why);
    if (!ok)
        databaseError(why);
}

void FleetCollector::markAllOnline()
{
    if (m_listener)
        for (const QString &gsm : m_listener->online())
            markOnline(gsm, true);
}

qint64 FleetCollector::now() const
{
    return m_clock.now().toMSecsSinceEpoch();
}

void FleetCollector::start()
{
    QDir().mkpath(m_o.workFolder);
    m_started = true;
    m_stopping = false; // a station's modem may serve the queue again after a pause
    m_graceTimer.stop();
    m_claimTimer.start();
    m_renewTimer.start();
    markAllOnline();
    claimDue();
}

bool FleetCollector::databaseError(const QString &why)
{
    if (!m_dbDown) {
        emit line(QStringLiteral("database: %1; retrying").arg(why));
        m_dbDown = true;
        m_retryTimer.setInterval(m_backoffMs);
        m_retryTimer.start();
    }
    return false;
}

void FleetCollector::claimDue()
{
    if (m_stopping || m_dbDown)
        return;
    for (;;) {
        AuditJobRunner *const modemLine = freeModemLine();
        const bool modemFree = modemLine != nullptr;
        const bool ipFree = m_ipFactory && m_ipCalls < m_o.ipSessions;
        if (!modemFree && !ipFree)
            return;
        QString why;
        const auto claim = m_queue.claim(m_o.name, modemFree, ipFree, now(), m_o.leaseMs, &why);
        if (!claim) {
            if (!why.isEmpty())
                databaseError(why);
            return;
        }
        if (claim->needsModem) {
            m_busyModemLines.push_back(modemLine);
            begin(*claim, modemLine, nullptr);
            continue;
        }
        std::unique_ptr<AuditJobRunner> runner = m_ipFactory(claim->gsm);
        if (!runner) {
            emit line(QStringLiteral("%1: no address to connect to").arg(claim->gsm));
            m_queue.fail(*claim, now(), AuditJobOutcome::DialFailed,
                         QStringLiteral("no address to connect to"), m_o.retryDelayMs);
            continue;
        }
        ++m_ipCalls;
        AuditJobRunner *r = runner.get();
        begin(*claim, r, std::move(runner));
    }
}

void FleetCollector::begin(const CollectQueue::Claim &claim, AuditJobRunner *runner,
                           std::unique_ptr<AuditJobRunner> owned)
{
    auto call = std::make_unique<Call>();
    call->claim = claim;
    call->runner = runner;
    call->owned = std::move(owned);
    const QString base = QDir(m_o.workFolder).filePath(QString::number(claim.request));
    call->txt = base + QStringLiteral(".txt");
    call->img = base + QStringLiteral(".img");
    Call *c = call.get();
    m_calls.push_back(std::move(call));
    emit line(QStringLiteral("%1: request %2, attempt %3: calling")
                  .arg(claim.gsm)
                  .arg(claim.request)
                  .arg(claim.attemptNumber));
    emit callStarted(claim.gsm);
    // Each call is a strand of its own: its waits give way to the other calls instead of
    // nesting under them, so calls side by side end in their own time.
    QPointer<FleetCollector> self(this);
    Runtime::current().post(0, [self, c] {
        if (!self)
            return;
        Runtime::current().spawn([self, c] {
            c->runner->run(c->claim.gsm, c->txt, c->img, [self, c](const AuditJobOutcome &o) {
                if (self)
                    self->finished(c, o);
            });
        });
    });
}

void FleetCollector::finished(Call *call, const AuditJobOutcome &outcome)
{
    call->running = false;
    call->outcome = outcome;
    if (call->claim.needsModem)
        std::erase(m_busyModemLines, call->runner);
    else
        --m_ipCalls;
    emit line(QStringLiteral("%1: request %2: %3%4")
                  .arg(call->claim.gsm)
                  .arg(call->claim.request)
                  .arg(call->abandoned ? CollectQueue::Abandoned : resultText(outcome.result),
                       outcome.message.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(outcome.message)));
    emit callFinished(call->claim.gsm, outcome);
    if (!m_dbDown && file(call))
        m_calls.remove_if([call](auto &c) { return c.get() == call; });
    checkStopped();
    if (!m_stopping)
        Runtime::current().post(0, [self = QPointer<FleetCollector>(this)] {
            if (self)
                self->claimDue();
        });
}

bool FleetCollector::file(Call *call)
{
    using Filed = CollectQueue::Filed;
    QString why;
    Filed filed;
    const qint64 t = now();
    if (call->abandoned) {
        filed = m_queue.abandon(call->claim, t, QStringLiteral("the collector stopped"), &why);
    } else if (call->outcome.result == AuditJobOutcome::Completed) {
        bool okTxt = false, okImg = false;
        const QByteArray txt = readAllOf(call->txt, &okTxt);
        const QByteArray img = readAllOf(call->img, &okImg);
        filed = okTxt && okImg
                    ? m_queue.complete(call->claim, t, QString::fromLatin1(txt), img, &why)
                    : m_queue.fail(call->claim, t, AuditJobOutcome::FileError,
                                   QStringLiteral("the call's files cannot be read"),
                                   m_o.retryDelayMs, &why);
    } else {
        filed = m_queue.fail(call->claim, t, call->outcome.result, call->outcome.message,
                             m_o.retryDelayMs, &why);
    }
    if (filed == Filed::DbError)
        return databaseError(why);
    if (filed == Filed::TakenOver)
        emit line(QStringLiteral("%1: request %2 was taken over by another collector; nothing filed")
                      .arg(call->claim.gsm)
                      .arg(call->claim.request));
    QFile::remove(call->txt);
    QFile::remove(call->img);
    return true;
}

void FleetCollector::fileWaiting()
{
    for (auto it = m_calls.begin(); it != m_calls.end() && !m_dbDown;) {
        if (!(*it)->running && file(it->get()))
            it = m_calls.erase(it);
        else
            ++it;
    }
    checkStopped();
}

void FleetCollector::renewLeases()
{
    if (m_dbDown)
        return;
    if (m_listener && !m_listener->online().isEmpty()) {
        QString why;
        if (!m_queue.keepOnline(m_o.name, now() + m_o.leaseMs, &why)) {
            databaseError(why);
            return;
        }
    }
    for (auto &c : m_calls) {
        if (!c->running)
            continue;
        QString why;
        const auto r = m_queue.renew(c->claim, now() + m_o.leaseMs, &why);
        if (r == CollectQueue::Filed::DbError) {
            databaseError(why);
            return;
        }
        if (r == CollectQueue::Filed::TakenOver && !c->abandoned) {
            // Another collector holds it now: finishing the call would only be filed nowhere.
            emit line(QStringLiteral("%1: request %2 was taken over by another collector; hanging up")
                          .arg(c->claim.gsm)
                          .arg(c->claim.request));
            c->runner->abort();
        }
    }
}

void FleetCollector::stop()
{
    if (m_stopping)
        return;
    m_stopping = true;
    m_claimTimer.stop();
    emit line(QStringLiteral("stopping: %1 call(s) in progress").arg(m_calls.size()));
    m_graceTimer.start();
    checkStopped();
}

void FleetCollector::abandonAll()
{
    for (auto &c : m_calls)
        if (c->running && !c->abandoned) {
            c->abandoned = true;
            c->runner->abort();
        }
}

void FleetCollector::checkStopped()
{
    if (m_stopping && m_calls.empty()) {
        m_graceTimer.stop();
        m_renewTimer.stop();
        emit stopped();
    }
}
