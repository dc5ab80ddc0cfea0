#pragma once

#include "AuditJob.h"

#include <QByteArray>
#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <functional>
#include <optional>

// The fleet's collection queue, kept in the database so that any number of collectors on any
// number of hosts share it. A request is claimed under a lease; the lease's token fences the
// filing, so a collector whose lease was taken over (paused, or cut off from the database) can
// never file a result. Times are milliseconds since the epoch, given by the caller: collectors
// on several hosts must keep their clocks in step (NTP), as leases compare them.
class CollectQueue
{
public:
    // The jobs a request can name; only the audit runs today.
    static inline const QString AuditJob = QStringLiteral("audit");

    explicit CollectQueue(const QString &connectionName) : m_connection(connectionName) {}

    // Creates or upgrades the queue's tables. False with the reason.
    bool prepare(QString *why);

    enum class Enqueued { Added, AlreadyPending, Failed };
    // A machine has at most one pending request per job: a second enqueue changes nothing.
    Enqueued enqueue(const QString &gsm, const QString &job, bool needsModem, qint64 dueMs,
                     const QString &requestedBy, QString *why = nullptr);

    struct Claim
    {
        qint64 request = 0;
        qint64 attempt = 0; // the attempt row written at the claim
        qint64 token = 0;   // the fencing token
        QString gsm;
        QString job;
        int attemptNumber = 0; // 1 for the first
        bool needsModem = true;
    };
    // Claims the most overdue request of the kinds a collector's free lines serve (GSM machines
    // need a modem line, IP ones a session), taking a lease until nowMs + leaseMs, and records
    // the attempt. nullopt when nothing is due, or on a database error (then *why is set).
    std::optional<Claim> claim(const QString &collector, bool modem, bool ip, qint64 nowMs,
                               qint64 leaseMs, QString *why = nullptr);

    enum class Filed { Done, TakenOver, DbError };
    // Extends the lease; TakenOver when another collector holds the request now.
    Filed renew(const Claim &claim, qint64 untilMs, QString *why = nullptr);
    // Files a completed audit with the request's completion, in one transaction that first
    // checks the lease token.
    Filed complete(const Claim &claim, qint64 nowMs, const QString &evaDts, const QByteArray &image,
                   QString *why = nullptr);
    // Records a failed attempt; a retryable one is due again retryDelayMs later, until
    // MaxAttempts attempts were made.
    Filed fail(const Claim &claim, qint64 nowMs, AuditJobOutcome::Result result,
               const QString &detail, qint64 retryDelayMs, QString *why = nullptr);
    // Gives a request back unfinished (the collector is stopping): due at once for another
    // collector, and the attempt does not count against the machine.
    Filed abandon(const Claim &claim, qint64 nowMs, const QString &detail, QString *why = nullptr);
    // Machines that connected to a collector's listener can be called only through it: their
    // requests are left to that collector while it keeps marking them online (until untilMs;
    // a collector that dies stops renewing, and after that anyone may try).
    bool markOnline(const QString &gsm, const QString &collector, qint64 untilMs,
                    QString *why = nullptr);
    bool markOffline(const QString &gsm, const QString &collector, QString *why = nullptr);
    bool keepOnline(const QString &collector, qint64 untilMs, QString *why = nullptr);

    // The collector learnt that its lease was taken over: its attempt says so.
    void recordTakenOver(const Claim &claim, qint64 nowMs);

    static constexpr int MaxAttempts = 3;
    static inline const QString Abandoned = QStringLiteral("Abandoned");
    static inline const QString TakenOver = QStringLiteral("Taken over");

    struct Attempt
    {
        QString gsm;
        qint64 request = 0;
        QString collector;
        qint64 startedMs = 0;
        std::optional<qint64> endedMs; // none: the collector died during the attempt
        QString outcome;
        QString detail;
    };
    QList<Attempt> attempts(QString *why = nullptr) const;

    struct StoredAudit
    {
        QString gsm;
        qint64 request = 0;
        qint64 collectedMs = 0;
        QString evaDts;
        QByteArray image;
    };
    QList<StoredAudit> audits(QString *why = nullptr) const;

    struct Request
    {
        qint64 id = 0;
        QString gsm;
        QString job;
        QString state; // "pending", "done", "failed"
        qint64 dueMs = 0;
        int attempts = 0;
        QString requestedBy;
        QString holder; // collector holding the lease, if any
    };
    QList<Request> requests(QString *why = nullptr) const;

private:
    QSqlDatabase db() const;
    bool isPostgres() const;
    Filed closeAttempt(const Claim &claim, qint64 nowMs, const QString &outcome,
                       const QString &detail, const QString &requestUpdate, qint64 extra,
                       const std::function<bool(QString *)> &alsoFile, QString *why);

    QString m_connection;
};
