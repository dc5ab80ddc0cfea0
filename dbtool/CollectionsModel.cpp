#include "CollectionsModel.h"

#include "Clock.h"
#include "LikePattern.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {
enum class Shown { Text, Number, Time };

struct Column
{
    const char *caption;
    const char *sql; // what is read and sorted on
    Shown shown = Shown::Text;
};

// The machine's description beside its number; a number on file twice still gives one row.
const char *const MachineName =
    "(SELECT min(d.\"Description\") FROM \"Distributori\" d WHERE d.\"GSM\" = %1.gsm)";

// The columns shown first, then those the state is told from.
const Column RequestColumns[] = {
    {QT_TRANSLATE_NOOP("CollectionsModel", "GSM"), "r.gsm"},
    {QT_TRANSLATE_NOOP("CollectionsModel", "Machine"), nullptr},
    {QT_TRANSLATE_NOOP("CollectionsModel", "Job"), "r.job"},
    {QT_TRANSLATE_NOOP("CollectionsModel", "Due"), "r.due", Shown::Time},
    {QT_TRANSLATE_NOOP("CollectionsModel", "Asked by"), "r.requested_by"},
    {QT_TRANSLATE_NOOP("CollectionsModel", "State"), "r.state"},
    {QT_TRANSLATE_NOOP("CollectionsModel", "Attempts"), "r.attempts", Shown::Number},
    {nullptr, "r.holder"},
    {nullptr, "r.lease_until", Shown::Time},
    {nullptr, "r.id", Shown::Number},
};
constexpr int RequestShown = 7, StateColumn = 5, Holder = 7, LeaseUntil = 8, RequestId = 9;

const Column AttemptColumns[] = {
    {QT_TRANSLATE_NOOP("CollectionsModel", "GSM"), "a.gsm"},
    {QT_TRANSLATE_NOOP("CollectionsModel", "Machine"), nullptr},
    {QT_TRANSLATE_NOOP("CollectionsModel", "Request"), "a.request", Shown::Number},
    {QT_TRANSLATE_NOOP("CollectionsModel", "Collector"), "a.collector"},
    {QT_TRANSLATE_NOOP("CollectionsModel", "Started"), "a.started", Shown::Time},
    {QT_TRANSLATE_NOOP("CollectionsModel", "Ended"), "a.ended", Shown::Time},
    {QT_TRANSLATE_NOOP("CollectionsModel", "Outcome"), "a.outcome"},
    {QT_TRANSLATE_NOOP("CollectionsModel", "Detail"), "a.detail"},
};
constexpr int AttemptShown = 8;

// The collectors' own outcomes, translated beside the call's.
[[maybe_unused]] const char *const CollectorOutcomes[] = {
    QT_TRANSLATE_NOOP("AuditJob", "Abandoned"), QT_TRANSLATE_NOOP("AuditJob", "Taken over")};
constexpr int OutcomeColumn = 6;

QString sqlOf(const Column &c, const QString &alias)
{
    return c.sql ? QString::fromLatin1(c.sql) : QString::fromLatin1(MachineName).arg(alias);
}

QString localTime(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms).toLocalTime().toString(
        QStringLiteral("dd/MM/yy hh:mm:ss"));
}
} // namespace

CollectionsModel::CollectionsModel(SqlMachineDb &db, Kind kind, const Clock &now, QObject *parent)
    : QSqlQueryModel(parent), m_db(db), m_kind(kind), m_clock(now)
{
}

qint64 CollectionsModel::nowMs() const
{
    return m_clock.now().toMSecsSinceEpoch();
}

void CollectionsModel::setCollectionsFilter(const CollectionsFilter &filter)
{
    m_filter = filter;
    refresh();
}

void CollectionsModel::sort(int column, Qt::SortOrder order)
{
    m_sortColumn = column < 0 || column >= columnCount() ? -1 : column;
    m_order = order;
    refresh();
}

int CollectionsModel::columnCount(const QModelIndex &parent) const
{
    // Fixed, so that the headers stand while there is no queue yet.
    return parent.isValid() ? 0 : m_kind == Kind::Requests ? RequestShown : AttemptShown;
}

bool CollectionsModel::queueExists() const
{
    const QStringList tables = m_db.database().tables();
    return tables.contains(QStringLiteral("CollectRequests")) &&
           tables.contains(QStringLiteral("CollectAttempts"));
}

QString CollectionsModel::statement(const QString &what, QVariantList &binds, bool ordered) const
{
    const bool requests = m_kind == Kind::Requests;
    const QString alias = requests ? QStringLiteral("r") : QStringLiteral("a");
    QStringList where;
    if (!m_filter.machine.isEmpty()) {
        where << QStringLiteral("(lower(%1.gsm) LIKE ? ESCAPE '\\' OR lower(%2) LIKE ? ESCAPE "
                                "'\\')")
                     .arg(alias, QString::fromLatin1(MachineName).arg(alias));
        binds << likePattern(m_filter.machine.toLower()) << likePattern(m_filter.machine.toLower());
    }
    using State = CollectionsFilter::State;
    // A lease counts as held until the moment it names, as the collectors count it.
    const QString held = QStringLiteral("r.holder IS NOT NULL AND COALESCE(r.lease_until, 0) >= ?");
    switch (m_filter.state) {
    case State::Any:
        break;
    case State::Pending:
        where << QStringLiteral("r.state = 'pending'");
        break;
    case State::Waiting:
        where << QStringLiteral("r.state = 'pending' AND NOT (%1)").arg(held);
        binds << m_readAt;
        break;
    case State::Claimed:
        where << QStringLiteral("r.state = 'pending' AND %1").arg(held);
        binds << m_readAt;
        break;
    case State::Completed:
        where << QStringLiteral("r.state = 'done'");
        break;
    case State::GivenUp:
        where << QStringLiteral("r.state = 'failed'");
        break;
    }
    if (!requests && m_filter.request != 0) {
        where << QStringLiteral("a.request = ?");
        binds << m_filter.request;
    }
    if (!requests && m_filter.outcome == CollectionsFilter::Unfinished) {
        where << QStringLiteral("a.ended IS NULL");
    } else if (!requests && !m_filter.outcome.isEmpty()) {
        where << QStringLiteral("a.outcome = ?");
        binds << m_filter.outcome;
    }
    QString sql = requests ? QStringLiteral("SELECT %1 FROM \"CollectRequests\" r").arg(what)
                           : QStringLiteral("SELECT %1 FROM \"CollectAttempts\" a LEFT JOIN "
                                            "\"CollectRequests\" r ON r.id = a.request")
                                 .arg(what);
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
    if (!ordered)
        return sql;
    const QString newest = requests ? QStringLiteral("r.due DESC, r.id DESC")
                                    : QStringLiteral("a.started DESC, a.id DESC");
    if (m_sortColumn < 0)
        return sql + QStringLiteral(" ORDER BY ") + newest;
    const Column &c = requests ? RequestColumns[m_sortColumn] : AttemptColumns[m_sortColumn];
    const QString dir = m_order == Qt::DescendingOrder ? QStringLiteral(" DESC") : QString();
    QString key = sqlOf(c, alias);
    // lower() rather than a collation: it means the same on SQLite and PostgreSQL.
    if (c.shown == Shown::Text)
        key = QStringLiteral("lower(%1)").arg(key);
    // Rows without a value (no end yet) come last either way, as PostgreSQL would put them first.
    return sql + QStringLiteral(" ORDER BY %1 IS NULL, %1%2, %3").arg(key, dir, newest);
}

bool CollectionsModel::refresh()
{
    m_readAt = nowMs();
    m_error.clear();
    if (!m_db.isOpen() || !queueExists()) {
        clear();
        return m_db.isOpen();
    }
    const bool requests = m_kind == Kind::Requests;
    const QString alias = requests ? QStringLiteral("r") : QStringLiteral("a");
    QStringList names;
    if (requests)
        for (const Column &c : RequestColumns)
            names << sqlOf(c, alias);
    else
        for (const Column &c : AttemptColumns)
            names << sqlOf(c, alias);
    QVariantList binds;
    QSqlQuery q(m_db.database());
    q.prepare(statement(names.join(QStringLiteral(", ")), binds, true));
    for (const QVariant &v : binds)
        q.addBindValue(v);
    const bool ok = q.exec();
    if (!ok)
        m_error = q.lastError().text().simplified();
    setQuery(std::move(q));
    return ok;
}

QVariant CollectionsModel::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid())
        return QSqlQueryModel::data(index, role);
    const QVariant value = QSqlQueryModel::data(index, role);
    const bool requests = m_kind == Kind::Requests;
    if (requests && index.column() == StateColumn) {
        const QString state = value.toString();
        if (state == QLatin1String("done"))
            return tr("completed");
        if (state == QLatin1String("failed"))
            return tr("given up");
        const QSqlRecord r = record(index.row());
        if (r.isNull(Holder) || r.isNull(LeaseUntil))
            return tr("pending");
        const qint64 until = r.value(LeaseUntil).toLongLong();
        // A lease that ran out names a collector that stopped or lost the database.
        return (until >= m_readAt ? tr("claimed by %1 until %2")
                                  : tr("pending, %1's lease ran out at %2"))
            .arg(r.value(Holder).toString(), localTime(until));
    }
    if (!requests && index.column() == OutcomeColumn)
        return outcomeShown(value.toString());
    const Column &c = requests ? RequestColumns[index.column()] : AttemptColumns[index.column()];
    if (c.shown == Shown::Time)
        return value.isNull() ? QVariant(QString()) : QVariant(localTime(value.toLongLong()));
    return value;
}

qint64 CollectionsModel::requestAt(int row) const
{
    return m_kind == Kind::Requests ? record(row).value(RequestId).toLongLong() : 0;
}

QString CollectionsModel::outcomeShown(const QString &word)
{
    return QCoreApplication::translate("AuditJob", word.toUtf8().constData());
}

QVariant CollectionsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= columnCount())
        return QSqlQueryModel::headerData(section, orientation, role);
    return tr(m_kind == Kind::Requests ? RequestColumns[section].caption
                                       : AttemptColumns[section].caption);
}

int CollectionsModel::matchingRows() const
{
    if (!queueExists())
        return 0;
    QVariantList binds;
    QSqlQuery q(m_db.database());
    q.prepare(statement(QStringLiteral("count(*)"), binds, false));
    for (const QVariant &v : binds)
        q.addBindValue(v);
    return q.exec() && q.next() ? q.value(0).toInt() : 0;
}

int CollectionsModel::totalRows() const
{
    if (!queueExists())
        return 0;
    QSqlQuery q(m_db.database());
    return q.exec(QStringLiteral("SELECT count(*) FROM %1")
                      .arg(m_kind == Kind::Requests ? QStringLiteral("\"CollectRequests\"")
                                                    : QStringLiteral("\"CollectAttempts\""))) &&
                   q.next()
               ? q.value(0).toInt()
               : 0;
}

QStringList CollectionsModel::outcomesOnFile() const
{
    QStringList out;
    if (!queueExists())
        return out;
    QSqlQuery q(m_db.database());
    q.setForwardOnly(true);
    q.exec(QStringLiteral("SELECT DISTINCT outcome FROM \"CollectAttempts\" WHERE outcome IS NOT "
                          "NULL ORDER BY outcome"));
    while (q.next())
        out << q.value(0).toString();
    return out;
}
