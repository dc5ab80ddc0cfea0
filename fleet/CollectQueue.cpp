#include "CollectQueue.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {
// 2: machines held online by a collector's listener.
constexpr int SchemaVersion = 2;

bool run(QSqlQuery &q, QString *why)
{
    if (q.exec())
        return true;
    if (why)
        *why = q.lastError().text().simplified();
    return false;
}

QSqlQuery prepared(const QSqlDatabase &db, const QString &sql, std::initializer_list<QVariant> values)
{
    QSqlQuery q(db);
    q.prepare(sql);
    for (const QVariant &v : values)
        q.addBindValue(v);
    return q;
}

// Ends a transaction that failed half-way; the reason is what the failing statement said.
CollectQueue::Filed rollback(QSqlDatabase db)
{
    db.rollback();
    return CollectQueue::Filed::DbError;
}
} // namespace

QSqlDatabase CollectQueue::db() const
{
    return QSqlDatabase::database(m_connection, false);
}

bool CollectQueue::isPostgres() const
{
    return db().driver()->dbmsType() == QSqlDriver::PostgreSQL;
}

bool CollectQueue::prepare(QString *why)
{
    QSqlDatabase d = db();
    const bool pg = isPostgres();
    const QString serial = pg ? QStringLiteral("BIGSERIAL PRIMARY KEY")
                              : QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
    const QString blob = pg ? QStringLiteral("BYTEA") : QStringLiteral("BLOB");
    if (!d.transaction()) {
        *why = d.lastError().text().simplified();
        return false;
    }
    QSqlQuery q(d);
    // Collectors starting together must not create the tables twice.
    if (pg && !(q.exec(QStringLiteral("SELECT pg_advisory_xact_lock(4242001)")) &&
                q.exec(QStringLiteral("SET LOCAL client_min_messages = warning")))) {
        *why = q.lastError().text().simplified();
        d.rollback();
        return false;
    }
    const QStringList steps = {
        QStringLiteral("CREATE TABLE IF NOT EXISTS \"SchemaVersion\" (part TEXT PRIMARY KEY, "
                       "version INTEGER NOT NULL)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS \"CollectRequests\" (id %1, gsm TEXT NOT NULL, "
                       "job TEXT NOT NULL, needs_modem INTEGER NOT NULL, due BIGINT NOT NULL, "
                       "requested_by TEXT NOT NULL, state TEXT NOT NULL DEFAULT 'pending', "
                       "attempts INTEGER NOT NULL DEFAULT 0, holder TEXT, "
                       "token BIGINT NOT NULL DEFAULT 0, lease_until BIGINT)")
            .arg(serial),
        QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS \"CollectRequestsPending\" ON "
                       "\"CollectRequests\" (gsm, job) WHERE state = 'pending'"),
        QStringLiteral("CREATE INDEX IF NOT EXISTS \"CollectRequestsDue\" ON "
                       "\"CollectRequests\" (state, due)"),
        QStringLiteral("CREATE TABLE IF NOT EXISTS \"CollectAttempts\" (id %1, "
                       "request BIGINT NOT NULL, gsm TEXT NOT NULL, collector TEXT NOT NULL, "
                       "started BIGINT NOT NULL, ended BIGINT, outcome TEXT, detail TEXT)")
            .arg(serial),
        QStringLiteral("CREATE TABLE IF NOT EXISTS \"StoredAudits\" (request BIGINT PRIMARY KEY, "
                       "gsm TEXT NOT NULL, collected BIGINT NOT NULL, evadts TEXT NOT NULL, "
                       "image %1 NOT NULL)")
            .arg(blob),
        QStringLiteral("CREATE TABLE IF NOT EXISTS \"OnlineMachines\" (gsm TEXT PRIMARY KEY, "
                       "collector TEXT NOT NULL, until BIGINT NOT NULL)"),
    };
    for (const QString &sql : steps) {
        if (!q.exec(sql)) {
            *why = q.lastError().text().simplified();
            d.rollback();
            return false;
        }
    }
    q.exec(QStringLiteral("SELECT version FROM \"SchemaVersion\" WHERE part = 'queue'"));
    const int found = q.next() ? q.value(0).toInt() : 0;
    if (found > SchemaVersion) {
        *why = QStringLiteral("the database's queue is of a newer version (%1) than this program "
                              "knows (%2)").arg(found).arg(SchemaVersion);
        d.rollback();
        return false;
    }
    if (found < SchemaVersion) {
        QSqlQuery ins = prepared(d,
                                 QStringLiteral("INSERT INTO \"SchemaVersion\" VALUES ('queue', ?) "
                                                "ON CONFLICT (part) DO UPDATE SET version = "
                                                "excluded.version"),
                                 {SchemaVersion});
        if (!run(ins, why)) {
            d.rollback();
            return false;
        }
    }
    if (!d.commit()) {
        *why = d.lastError().text().simplified();
        return false;
    }
    return true;
}

CollectQueue::Enqueued CollectQueue::enqueue(const QString &gsm, const QString &job, bool needsModem,
                                             qint64 dueMs, const QString &requestedBy, QString *why)
{
    QSqlQuery q = prepared(db(),
                           QStringLiteral("INSERT INTO \"CollectRequests\" (gsm, job, needs_modem, "
                                          "due, requested_by) VALUES (?, ?, ?, ?, ?) "
                                          "ON CONFLICT DO NOTHING"),
                           {gsm, job, needsModem ? 1 : 0, dueMs, requestedBy});
    if (!run(q, why))
        return Enqueued::Failed;
    return q.numRowsAffected() == 1 ? Enqueued::Added : Enqueued::AlreadyPending;
}

std::optional<CollectQueue::Claim> CollectQueue::claim(const QString &collector, bool modem,
                                                       bool ip, qint64 nowMs, qint64 leaseMs,
                                                       QString *why)
{
    if (!modem && !ip)
        return std::nullopt;
    QSqlDatabase d = db();
    if (!d.transaction()) {
        if (why)
            *why = d.lastError().text().simplified();
        return std::nullopt;
    }
    // SKIP LOCKED lets every collector take a different request without waiting on the others.
    QSqlQuery q = prepared(
        d,
        QStringLiteral("UPDATE \"CollectRequests\" SET holder = ?, token = token + 1, "
                       "lease_until = ?, attempts = attempts + 1 WHERE id = (SELECT id FROM "
                       "\"CollectRequests\" WHERE state = 'pending' AND due <= ? AND "
                       "(lease_until IS NULL OR lease_until < ?) AND needs_modem IN (?, ?) "
                       // A machine that connected to another collector is reached only there.
                       "AND NOT EXISTS (SELECT 1 FROM \"OnlineMachines\" o WHERE o.gsm = "
                       "\"CollectRequests\".gsm AND o.collector <> ? AND o.until >= ?) "
                       "ORDER BY due, id LIMIT 1%1) RETURNING id, gsm, job, token, attempts, "
                       "needs_modem")
            .arg(isPostgres() ? QStringLiteral(" FOR UPDATE SKIP LOCKED") : QString()),
        {collector, nowMs + leaseMs, nowMs, nowMs, modem ? 1 : 0, ip ? 0 : 1, collector, nowMs});
    if (!run(q, why)) {
        d.rollback();
        return std::nullopt;
    }
    if (!q.next()) {
        d.commit();
        if (why)
            why->clear();
        return std::nullopt;
    }
    Claim c;
    c.request = q.value(0).toLongLong();
    c.gsm = q.value(1).toString();
    c.job = q.value(2).toString();
    c.token = q.value(3).toLongLong();
    c.attemptNumber = q.value(4).toInt();
    c.needsModem = q.value(5).toInt() != 0;
    q.finish();
    QSqlQuery a = prepared(d,
                           QStringLiteral("INSERT INTO \"CollectAttempts\" (request, gsm, collector, "
                                          "started) VALUES (?, ?, ?, ?) RETURNING id"),
                           {c.request, c.gsm, collector, nowMs});
    if (!run(a, why) || !a.next()) {
        d.rollback();
        return std::nullopt;
    }
    c.attempt = a.value(0).toLongLong();
    a.finish();
    if (!d.commit()) {
        if (why)
            *why = d.lastError().text().simplified();
        return std::nullopt;
    }
    return c;
}

CollectQueue::Filed CollectQueue::renew(const Claim &claim, qint64 untilMs, QString *why)
{
    QSqlQuery q = prepared(db(),
                           QStringLiteral("UPDATE \"CollectRequests\" SET lease_until = ? WHERE "
                                          "id = ? AND token = ? AND state = 'pending'"),
                           {untilMs, claim.request, claim.token});
    if (!run(q, why))
        return Filed::DbError;
    return q.numRowsAffected() == 1 ? Filed::Done : Filed::TakenOver;
}

CollectQueue::Filed CollectQueue::closeAttempt(const Claim &claim, qint64 nowMs,
                                               const QString &outcome, const QString &detail,
                                               const QString &requestUpdate, qint64 extra,
                                               const std::function<bool(QString *)> &alsoFile,
                                               QString *why)
{
    QSqlDatabase d = db();
    if (!d.transaction()) {
        if (why)
            *why = d.lastError().text().simplified();
        return Filed::DbError;
    }
    // The token check and the filing are one transaction: a collector whose lease was taken
    // over files nothing.
    QSqlQuery q(d);
    q.prepare(QStringLiteral("UPDATE \"CollectRequests\" SET holder = NULL, lease_until = NULL, %1 "
                             "WHERE id = ? AND token = ? AND state = 'pending'")
                  .arg(requestUpdate));
    if (requestUpdate.contains(QLatin1Char('?')))
        q.addBindValue(extra);
    q.addBindValue(claim.request);
    q.addBindValue(claim.token);
    if (!run(q, why))
        return rollback(d);
    if (q.numRowsAffected() != 1) {
        d.rollback();
        recordTakenOver(claim, nowMs);
        return Filed::TakenOver;
    }
    QSqlQuery a = prepared(d,
                           QStringLiteral("UPDATE \"CollectAttempts\" SET ended = ?, outcome = ?, "
                                          "detail = ? WHERE id = ?"),
                           {nowMs, outcome, detail, claim.attempt});
    if (!run(a, why))
        return rollback(d);
    if (alsoFile && !alsoFile(why))
        return rollback(d);
    return d.commit() ? Filed::Done : rollback(d);
}

CollectQueue::Filed CollectQueue::complete(const Claim &claim, qint64 nowMs, const QString &evaDts,
                                           const QByteArray &image, QString *why)
{
    return closeAttempt(claim, nowMs, resultText(AuditJobOutcome::Completed), QString(),
                        QStringLiteral("state = 'done'"), 0, [&](QString *why) {
                            QSqlQuery q = prepared(
                                db(),
                                QStringLiteral("INSERT INTO \"StoredAudits\" (request, gsm, "
                                               "collected, evadts, image) VALUES (?, ?, ?, ?, ?)"),
                                {claim.request, claim.gsm, nowMs, evaDts, image});
                            return run(q, why);
                        }, why);
}

CollectQueue::Filed CollectQueue::fail(const Claim &claim, qint64 nowMs,
                                       AuditJobOutcome::Result result, const QString &detail,
                                       qint64 retryDelayMs, QString *why)
{
    const bool retry = AuditJobOutcome{result, {}}.retryable() && claim.attemptNumber < MaxAttempts;
    return closeAttempt(claim, nowMs, resultText(result), detail,
                        retry ? QStringLiteral("due = ?") : QStringLiteral("state = 'failed'"),
                        nowMs + retryDelayMs, {}, why);
}

CollectQueue::Filed CollectQueue::abandon(const Claim &claim, qint64 nowMs, const QString &detail,
                                          QString *why)
{
    return closeAttempt(claim, nowMs, Abandoned, detail, QStringLiteral("attempts = attempts - 1"),
                        0, {}, why);
}

bool CollectQueue::markOnline(const QString &gsm, const QString &collector, qint64 untilMs,
                              QString *why)
{
    QSqlQuery q = prepared(db(),
                           QStringLiteral("INSERT INTO \"OnlineMachines\" VALUES (?, ?, ?) ON "
                                          "CONFLICT (gsm) DO UPDATE SET collector = "
                                          "excluded.collector, until = excluded.until"),
                           {gsm, collector, untilMs});
    return run(q, why);
}

bool CollectQueue::markOffline(const QString &gsm, const QString &collector, QString *why)
{
    QSqlQuery q = prepared(db(),
                           QStringLiteral("DELETE FROM \"OnlineMachines\" WHERE gsm = ? AND "
                                          "collector = ?"),
                           {gsm, collector});
    return run(q, why);
}

bool CollectQueue::keepOnline(const QString &collector, qint64 untilMs, QString *why)
{
    QSqlQuery q = prepared(db(),
                           QStringLiteral("UPDATE \"OnlineMachines\" SET until = ? WHERE "
                                          "collector = ?"),
                           {untilMs, collector});
    return run(q, why);
}

void CollectQueue::recordTakenOver(const Claim &claim, qint64 nowMs)
{
    QSqlQuery q = prepared(db(),
                           QStringLiteral("UPDATE \"CollectAttempts\" SET ended = ?, outcome = ? "
                                          "WHERE id = ? AND ended IS NULL"),
                           {nowMs, TakenOver, claim.attempt});
    q.exec();
}

QList<CollectQueue::Attempt> CollectQueue::attempts(QString *why) const
{
    QList<Attempt> out;
    QSqlQuery q(db());
    q.prepare(QStringLiteral("SELECT gsm, request, collector, started, ended, outcome, detail FROM "
                             "\"CollectAttempts\" ORDER BY started, id"));
    if (!run(q, why))
        return out;
    while (q.next()) {
        Attempt a{q.value(0).toString(), q.value(1).toLongLong(), q.value(2).toString(),
                  q.value(3).toLongLong(), std::nullopt, q.value(5).toString(),
                  q.value(6).toString()};
        if (!q.isNull(4))
            a.endedMs = q.value(4).toLongLong();
        out.append(a);
    }
    return out;
}

QList<CollectQueue::StoredAudit> CollectQueue::audits(QString *why) const
{
    QList<StoredAudit> out;
    QSqlQuery q(db());
    q.prepare(QStringLiteral("SELECT gsm, request, collected, evadts, image FROM \"StoredAudits\" "
                             "ORDER BY gsm, collected"));
    if (!run(q, why))
        return out;
    while (q.next())
        out.append({q.value(0).toString(), q.value(1).toLongLong(), q.value(2).toLongLong(),
                    q.value(3).toString(), q.value(4).toByteArray()});
    return out;
}

QList<CollectQueue::Request> CollectQueue::requests(QString *why) const
{
    QList<Request> out;
    QSqlQuery q(db());
    q.prepare(QStringLiteral("SELECT id, gsm, job, state, due, attempts, requested_by, holder FROM "
                             "\"CollectRequests\" ORDER BY id"));
    if (!run(q, why))
        return out;
    while (q.next())
        out.append({q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toString(),
                    q.value(3).toString(), q.value(4).toLongLong(), q.value(5).toInt(),
                    q.value(6).toString(), q.value(7).toString()});
    return out;
}
