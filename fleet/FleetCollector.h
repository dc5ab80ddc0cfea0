#pragma once

#include "AuditJob.h"
#include "CollectQueue.h"
#include "Timer.h"

#include <QObject>
#include <QString>
#include <functional>
#include <list>
#include <memory>

class Clock;

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

    FleetCollector(CollectQueue &queue, const Clock &clock, const Options &options,
                   QObject *parent = nullptr);
    ~FleetCollector() override;

    void addModemLine(AuditJobRunner *runner); // not owned
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
    void abandonAll();
    void checkStopped();
    qint64 now() const;
    bool databaseError(const QString &why);

    CollectQueue &m_queue;
    const Clock &m_clock;
    Options m_o;
    IpRunnerFactory m_ipFactory;
    Reconnect m_reconnect;
    std::vector<AuditJobRunner *> m_modemLines;
    std::vector<AuditJobRunner *> m_busyModemLines;
    std::list<std::unique_ptr<Call>> m_calls;
    int m_ipCalls = 0;
    bool m_stopping = false;
    bool m_dbDown = false;
    int m_backoffMs = 1000;
    ::Timer m_claimTimer{QStringLiteral("Fleet.claim"), 2000, false};
    ::Timer m_renewTimer{QStringLiteral("Fleet.renew"), 100'000, false};
    ::Timer m_retryTimer{QStringLiteral("Fleet.retry"), 1000, false};
    ::Timer m_graceTimer{QStringLiteral("Fleet.grace"), 15'000, false};
};
