#pragma once

#include "AuditJob.h"
#include "CollectQueue.h"
#include "Timer.h"

#include <QObject>
#include <QString>
#include <functional>
#include <list>
#include <memory>

class CallLines;
class Clock;
class MachineListener;
class TcpLine;

// A collector of the fleet: claims due requests from the shared queue for the lines it owns
// (each modem line runs one call; IP calls run up to a number of sessions at once), runs each as
// the console's job runner does, keeps the lease alive during the call and files the result
// under the lease's fencing token. A database that goes away does not stop calls in progress:
// their results wait and are filed once it is back, if the lease still holds.
class FleetCollector : public QObject
{
    Q_OBJECT
public:
    struct Options
    {
        QString name;              // the collector's name in the attempts
        QString workFolder;        // where calls write their files before they are filed
        qint64 leaseMs = 300'000;
        qint64 retryDelayMs = 300'000;
        int ipSessions = 50;
        int claimIntervalMs = 2000; // how often an idle collector looks at the queue
        int stopGraceMs = 15'000;   // calls still running this long after stop() are abandoned,
                                    // leaving time to hang up within 30 s
    };
    // Makes the runner of an IP call to the machine numbered `gsm` (its address is looked up
    // by the factory); nullptr when the machine cannot be reached over IP.
    using IpRunnerFactory = std::function<std::unique_ptr<AuditJobRunner>(const QString &gsm)>;
    // The database connection is lost or back: reconnects, true once usable.
    using Reconnect = std::function<bool()>;

    // The runner of an IP call: the console's job runner on a TCP line of its own.
    // trace, when given, hears every line and frame of the call.
    using Trace = std::function<void(const QString &line)>;
    static std::unique_ptr<AuditJobRunner> ipRunner(std::unique_ptr<TcpLine> line,
                                                    const QString &programFolder,
                                                    Trace trace = {});
    // Calls over IP to the machines whose address CallLines knows.
    // traceOf, when given, makes the trace of the call to a machine (by its number).
    void callOverIp(CallLines &lines, const QString &programFolder,
                    std::function<Trace(const QString &gsm)> traceOf = {});

    FleetCollector(CollectQueue &queue, const Clock &clock, const Options &options,
                   QObject *parent = nullptr);
    ~FleetCollector() override;

    // A modem line (not owned). A line that is not always free to call, such as a station's
    // modem between its own polling, says when it is with `available`.
    void addModemLine(AuditJobRunner *runner, std::function<bool()> available = {});
    // Machines that connect to this collector's listener are marked online in the queue, so that
    // their requests are claimed here, where their connection is held.
    void setListener(MachineListener *listener);
    void setIpRunnerFactory(IpRunnerFactory f) { m_ipFactory = std::move(f); }
    void setReconnect(Reconnect r) { m_reconnect = std::move(r); }

    void start();
    // Stops claiming; calls in progress finish, or are abandoned after the grace time. stopped()
    // comes once nothing is left to file.
    void stop();
    int running() const { return int(m_calls.size()); }

signals:
    // One line per event of a call, for the progress on standard error.
    void line(const QString &text);
    void callStarted(const QString &gsm);
    void callFinished(const QString &gsm, const AuditJobOutcome &outcome);
    void stopped();

private:
    struct Call;
    void claimDue();
    void begin(const CollectQueue::Claim &claim, AuditJobRunner *runner,
               std::unique_ptr<AuditJobRunner> owned);
    void finished(Call *call, const AuditJobOutcome &outcome);
    void fileWaiting();
    bool file(Call *call);
    void renewLeases();
    void markOnline(const QString &gsm, bool online);
    void markAllOnline();
    AuditJobRunner *freeModemLine() const;
    void abandonAll();
    void checkStopped();
    qint64 now() const;
    bool databaseError(const QString &why);

    CollectQueue &m_queue;
    const Clock &m_clock;
    Options m_o;
    IpRunnerFactory m_ipFactory;
    Reconnect m_reconnect;
    struct ModemLine
    {
        AuditJobRunner *runner;
        std::function<bool()> available;
    };
    std::vector<ModemLine> m_modemLines;
    MachineListener *m_listener = nullptr;
    std::vector<AuditJobRunner *> m_busyModemLines;
    std::list<std::unique_ptr<Call>> m_calls;
    int m_ipCalls = 0;
    bool m_started = false;
    bool m_stopping = false;
    bool m_dbDown = false;
    int m_backoffMs = 1000;
    ::Timer m_claimTimer{QStringLiteral("Fleet.claim"), 2000, false};
    ::Timer m_renewTimer{QStringLiteral("Fleet.renew"), 100'000, false};
    ::Timer m_retryTimer{QStringLiteral("Fleet.retry"), 1000, false};
    ::Timer m_graceTimer{QStringLiteral("Fleet.grace"), 15'000, false};
};
