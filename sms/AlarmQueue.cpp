#include "AlarmQueue.h"

#include "MachineDb.h"

#include <QSqlQuery>
#include <QSysInfo>

namespace AlarmQueue {
namespace {
const QString PendingMark = QStringLiteral("1");

QString fieldList(SqlMachineDb &db, const QStringList &fields)
{
    QStringList out;
    for (const QString &f : fields)
        out << db.quoted(f);
    return out.join(QStringLiteral(", "));
}
} // namespace

qint64 file(SqlMachineDb &db, const IncomingSms::Shown &m)
{
    if (!db.isOpen())
        return -1;
    DbRecord e = IncomingSms::event(m);
    QSqlQuery q(db.database());
    q.prepare(QStringLiteral("SELECT rowid FROM %1 WHERE %2 = ? AND %3 = ? AND %4 = ? AND %5 = ? "
                             "ORDER BY rowid LIMIT 1")
                  .arg(db.quoted(MachineTables::Eventi), db.quoted(QStringLiteral("Pending")),
                       db.quoted(QStringLiteral("Number")), db.quoted(QStringLiteral("Data")),
                       db.quoted(QStringLiteral("SMS"))));
    q.addBindValue(PendingMark);
    for (const char *f : {"Number", "Data", "SMS"})
        q.addBindValue(e.value(QString::fromLatin1(f)));
    if (q.exec() && q.next())
        return q.value(0).toLongLong();

    e.insert(QStringLiteral("Pending"), PendingMark);
    const QStringList fields = e.keys();
    QStringList marks;
    for (qsizetype i = 0; i < fields.size(); ++i)
        marks << QStringLiteral("?");
    QSqlQuery add(db.database());
    add.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                    .arg(db.quoted(MachineTables::Eventi), fieldList(db, fields),
                         marks.join(QStringLiteral(", "))));
    for (const QString &f : fields)
        add.addBindValue(e.value(f));
    // SQLite's rowid, or the value the shared database's rowid column drew.
    return add.exec() ? add.lastInsertId().toLongLong() : -1;
}

QList<Waiting> waiting(SqlMachineDb &db)
{
    QList<Waiting> out;
    if (!db.isOpen())
        return out;
    QSqlQuery q(db.database());
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT rowid, %1 FROM %2 WHERE %3 = ? ORDER BY rowid DESC")
                  .arg(fieldList(db, {QStringLiteral("Number"), QStringLiteral("Data"),
                                      QStringLiteral("SMS")}),
                       db.quoted(MachineTables::Eventi), db.quoted(QStringLiteral("Pending"))));
    q.addBindValue(PendingMark);
    if (!q.exec())
        return out;
    while (q.next()) {
        const QString data = q.value(2).toString();
        const qsizetype blank = data.indexOf(QLatin1Char(' '));
        out << Waiting{q.value(0).toLongLong(), q.value(1).toString(),
                       blank < 0 ? data : data.left(blank),
                       blank < 0 ? QString() : data.mid(blank + 1), q.value(3).toString()};
    }
    return out;
}

DbRecord acknowledged(const QDateTime &when, const QString &station)
{
    return {{QStringLiteral("Acknowledged"), when.toString(QStringLiteral("dd/MM/yy hh:mm:ss"))},
            {QStringLiteral("Station"), station}};
}

bool acknowledge(SqlMachineDb &db, const QList<qint64> &ids, const QDateTime &when,
                 const QString &station)
{
    if (!db.isOpen())
        return false;
    QSqlDatabase conn = db.database();
    if (!conn.transaction())
        return false;
    const DbRecord ack = acknowledged(when, station);
    QSqlQuery q(conn);
    q.prepare(QStringLiteral("UPDATE %1 SET %2 = ?, %3 = ?, %4 = NULL WHERE rowid = ?")
                  .arg(db.quoted(MachineTables::Eventi), db.quoted(QStringLiteral("Acknowledged")),
                       db.quoted(QStringLiteral("Station")), db.quoted(QStringLiteral("Pending"))));
    bool ok = true;
    for (qint64 id : ids) {
        q.bindValue(0, ack.value(QStringLiteral("Acknowledged")));
        q.bindValue(1, station);
        q.bindValue(2, id);
        ok = ok && q.exec();
    }
    if (ok && conn.commit())
        return true;
    conn.rollback();
    return false;
}

QString stationName()
{
    return QSysInfo::machineHostName();
}
} // namespace AlarmQueue
