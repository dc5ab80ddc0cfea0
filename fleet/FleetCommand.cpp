#include "FleetCommand.h"

#include "AuditArchive.h"
#include "CollectQueue.h"
#include "Csv.h"
#include "DatabaseTarget.h"
#include "MachineDb.h"
#include "OutputFile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSet>
#include <QTextStream>

namespace {
QString utc(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODate);
}

int enqueue(const DbCommand::Options &o, SqlMachineDb &db, CollectQueue &queue, QTextStream &err)
{
    const QList<DbRecord> machines = db.records(MachineTables::Distributori);
    QHash<QString, DbRecord> byNumber;
    for (const DbRecord &m : machines)
        byNumber.insert(m.value(QStringLiteral("GSM")), m);
    QStringList numbers;
    if (o.enqueueWhat == QLatin1String("all")) {
        for (const DbRecord &m : machines)
            numbers << m.value(QStringLiteral("GSM"));
    } else {
        numbers = o.enqueueWhat.split(u',', Qt::SkipEmptyParts);
    }
    int added = 0, waiting = 0, unknown = 0;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const QString who = QStringLiteral("gsmdb");
    QSet<QString> seen;
    for (const QString &n : std::as_const(numbers)) {
        if (n.isEmpty() || seen.contains(n))
            continue;
        seen.insert(n);
        const auto it = byNumber.constFind(n);
        if (it == byNumber.cend()) {
            err << n << ": no such machine" << Qt::endl;
            ++unknown;
            continue;
        }
        // A machine with an address is reached over IP and needs no modem.
        const bool needsModem = it->value(QStringLiteral("Address")).trimmed().isEmpty();
        QString why;
        switch (queue.enqueue(n, o.enqueueJob, needsModem, now, who, &why)) {
        case CollectQueue::Enqueued::Added:
            ++added;
            break;
        case CollectQueue::Enqueued::AlreadyPending:
            err << n << ": already waiting" << Qt::endl;
            ++waiting;
            break;
        case CollectQueue::Enqueued::Failed:
            err << "gsmdb: " << db.path() << ": " << why << Qt::endl;
            return 2;
        }
    }
    err << o.enqueueJob << ": " << added << " queued, " << waiting << " already waiting";
    if (unknown)
        err << ", " << unknown << " not found";
    err << Qt::endl;
    return unknown ? 1 : 0;
}

int exportAttempts(const DbCommand::Options &o, CollectQueue &queue, QTextStream &err)
{
    QString why;
    const auto attempts = queue.attempts(&why);
    if (!why.isEmpty()) {
        err << "gsmdb: " << why << Qt::endl;
        return 2;
    }
    OutputFile out(o.file);
    if (!out.open()) {
        err << "gsmdb: " << o.file << ": " << out.errorString() << Qt::endl;
        return 2;
    }
    QByteArray text = Csv::line({"GSM", "Request", "Collector", "Started", "Ended", "Outcome",
                                 "Detail"}).toUtf8();
    for (const auto &a : attempts)
        text += Csv::line({a.gsm, QString::number(a.request), a.collector, utc(a.startedMs),
                           a.endedMs ? utc(*a.endedMs) : QString(), a.outcome, a.detail})
                    .toUtf8();
    if (out.device().write(text) != text.size() || !out.commit()) {
        err << "gsmdb: " << o.file << ": " << out.errorString() << Qt::endl;
        return 2;
    }
    err << "attempts: " << attempts.size() << " rows written to " << o.file << Qt::endl;
    return 0;
}

int exportAudits(const DbCommand::Options &o, CollectQueue &queue, QTextStream &err)
{
    QString why;
    const auto audits = queue.audits(&why);
    if (!why.isEmpty()) {
        err << "gsmdb: " << why << Qt::endl;
        return 2;
    }
    const QDir root(o.file);
    int written = 0;
    for (const auto &a : audits) {
        const QString folder = root.filePath(AuditArchive::folderName(a.gsm));
        const QString stamp =
            AuditArchive::stamp(QDateTime::fromMSecsSinceEpoch(a.collectedMs).toLocalTime());
        QString base = QDir(folder).filePath(stamp);
        // Two audits of one minute keep both, as the unattended archive does.
        for (int n = 2; QFile::exists(base + ".txt"); ++n)
            base = QDir(folder).filePath(QStringLiteral("%1-%2").arg(stamp).arg(n));
        for (const auto &[ext, bytes] : {std::pair{QStringLiteral(".txt"), a.evaDts.toLatin1()},
                                         std::pair{QStringLiteral(".img"), a.image}}) {
            QFile f(base + ext);
            if (!QDir().mkpath(folder) || !f.open(QIODevice::WriteOnly) ||
                f.write(bytes) != bytes.size()) {
                err << "gsmdb: " << f.fileName() << ": " << f.errorString() << Qt::endl;
                return 2;
            }
        }
        ++written;
    }
    err << "audits: " << written << " written to " << QDir::toNativeSeparators(o.file) << Qt::endl;
    return 0;
}
} // namespace

int FleetCommand::run(const DbCommand::Options &o, const QString &defaultHome, QTextStream &err)
{
    DatabaseTarget target;
    QString why;
    if (!DbCommand::databaseTarget(o, o.home.isEmpty() ? defaultHome : o.home, &target, &why)) {
        err << "gsmdb: " << why << Qt::endl;
        return 2;
    }
    SqlMachineDb db(target);
    if (!db.open()) {
        err << "gsmdb: the machine database " << db.path() << " cannot be used: " << db.error()
            << Qt::endl;
        return 2;
    }
    // The queue lives beside the station's tables, on the same connection.
    CollectQueue queue(db.database().connectionName());
    if (!queue.prepare(&why)) {
        err << "gsmdb: " << db.path() << ": " << why << Qt::endl;
        return 2;
    }
    if (!o.enqueueJob.isEmpty())
        return enqueue(o, db, queue, err);
    if (o.exportName == QLatin1String("attempts"))
        return exportAttempts(o, queue, err);
    return exportAudits(o, queue, err);
}
