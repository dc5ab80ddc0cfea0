#include "CollectQueue.h"
#include "DatabaseTarget.h"
#include "FleetCommand.h"
#include "MachineDb.h"
#include "EventsModel.h"
#include "Files.h"
#include "MachineListModel.h"
#include "PgServer.h"
#include "Rows.h"
#include "TableIo.h"

#include <QBuffer>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using Filed = CollectQueue::Filed;
constexpr qint64 T0 = 1'800'000'000'000; // 2027-01-15 08:00 UTC, in ms
constexpr qint64 Lease = 300'000;

// The results of the attempts in turn, and the request's state after them.
using Retries = Rows<QList<int>, QString>;

// Every case runs on the SQLite file of a single desk and on a PostgreSQL server of its own.
class QueueTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<PgServer> m_pg;
    QTemporaryDir m_dir;
    int m_seq = 0;

    // A fresh, prepared queue on the row's back-end, on connection `name`.
    QString freshUrl()
    {
        QFETCH_GLOBAL(bool, postgres);
        const QString base = QStringLiteral("q%1").arg(++m_seq);
        return postgres ? m_pg->newDatabase(base) : m_dir.filePath(base + ".db");
    }
    std::unique_ptr<SqlMachineDb> freshDb()
    {
        DatabaseTarget t;
        QString why;
        DatabaseTarget::parse(m_url = freshUrl(), &t, &why);
        auto db = std::make_unique<SqlMachineDb>(t);
        [&] { QVERIFY2(db->open(), qPrintable(db->error())); }();
        return db;
    }
    CollectQueue fresh(const QString &name = QStringLiteral("a"))
    {
        return attach(freshUrl(), name);
    }
    CollectQueue attach(const QString &url, const QString &name)
    {
        DatabaseTarget t;
        QString why;
        [&] { QVERIFY2(DatabaseTarget::parse(url, &t, &why), qPrintable(why)); }();
        QSqlDatabase::removeDatabase(name);
        [&] { QVERIFY2(t.open(name, &why), qPrintable(why)); }();
        CollectQueue q(name);
        [&] { QVERIFY2(q.prepare(&why), qPrintable(why)); }();
        m_url = url;
        return q;
    }
    QString m_url;

private slots:
    void initTestCase()
    {
        m_pg = std::make_unique<PgServer>();
        QVERIFY2(m_pg->ok(), qPrintable(m_pg->error()));
    }
    void initTestCase_data()
    {
        QTest::addColumn<bool>("postgres");
        QTest::newRow("sqlite") << false;
        QTest::newRow("postgres") << true;
    }

    void enqueueIsOncePerMachineAndJob()
    {
        CollectQueue q = fresh();
        using E = CollectQueue::Enqueued;
        QCOMPARE(q.enqueue("5550001", CollectQueue::AuditJob, true, T0, "night"), E::Added);
        QCOMPARE(q.enqueue("5550001", CollectQueue::AuditJob, true, T0 + 5, "desk"), E::AlreadyPending);
        QCOMPARE(q.enqueue("5550002", CollectQueue::AuditJob, true, T0, "night"), E::Added);
        auto c = q.claim("c1", true, true, T0, Lease);
        QVERIFY(c);
        QCOMPARE(q.complete(*c, T0 + 90'000, "DXS*1", QByteArray("\0\2ab", 4)), Filed::Done);
        // Done requests no longer block a new one.
        QCOMPARE(q.enqueue(c->gsm, CollectQueue::AuditJob, true, T0, "night"), E::Added);
        // Migration at open leaves the tables and their rows alone.
        CollectQueue again = attach(m_url, QStringLiteral("b"));
        QCOMPARE(again.requests().size(), 3);
    }

    void claimTakesOnlyWhatTheLinesServe()
    {
        CollectQueue q = fresh();
        q.enqueue("gsm", CollectQueue::AuditJob, true, T0, "t");
        q.enqueue("ip-late", CollectQueue::AuditJob, false, T0 + 60'000, "t");
        q.enqueue("ip", CollectQueue::AuditJob, false, T0 + 1, "t");
        auto a = q.claim("ip-only", false, true, T0 + 10, Lease);
        QVERIFY(a);
        QCOMPARE(a->gsm, QStringLiteral("ip"));
        QVERIFY(!q.claim("ip-only", false, true, T0 + 10, Lease)); // the GSM one needs a modem
        auto b = q.claim("modem", true, false, T0 + 10, Lease);
        QVERIFY(b);
        QCOMPARE(b->gsm, QStringLiteral("gsm"));
        QCOMPARE(b->attemptNumber, 1);
        QVERIFY(!q.claim("modem", true, true, T0 + 10, Lease)); // "ip-late" not due, the rest leased
    }

    void aMachineOnlineAtOneCollectorIsClaimedOnlyThere()
    {
        CollectQueue q = fresh();
        q.enqueue("in", CollectQueue::AuditJob, false, T0, "t");
        QVERIFY(q.markOnline("in", "holder", T0 + Lease));
        QVERIFY(!q.claim("other", false, true, T0 + 10, Lease));
        QVERIFY(q.keepOnline("holder", T0 + 2 * Lease));
        QVERIFY(!q.claim("other", false, true, T0 + Lease + 10, Lease)); // renewed
        // A holder that stopped renewing (it died with the connection) holds nothing.
        QVERIFY(q.claim("other", false, true, T0 + 2 * Lease + 10, Lease));
        q.enqueue("in2", CollectQueue::AuditJob, false, T0, "t");
        QVERIFY(q.markOnline("in2", "holder", T0 + 10 * Lease));
        QVERIFY(q.markOffline("in2", "holder"));
        QVERIFY(q.claim("other", false, true, T0 + 3 * Lease, Lease));
        q.enqueue("in3", CollectQueue::AuditJob, false, T0, "t");
        QVERIFY(q.markOnline("in3", "holder", T0 + 10 * Lease));
        QVERIFY(q.claim("holder", false, true, T0 + 3 * Lease, Lease));
    }

    void aTakenOverLeaseFilesNothing()
    {
        CollectQueue q = fresh();
        q.enqueue("5550001", CollectQueue::AuditJob, false, T0, "t");
        auto slow = q.claim("paused", false, true, T0, Lease);
        QVERIFY(slow);
        QVERIFY(!q.claim("other", false, true, T0 + Lease - 1, Lease)); // lease still holds
        auto fast = q.claim("other", false, true, T0 + Lease + 1, Lease);
        QVERIFY(fast);
        QCOMPARE(fast->request, slow->request);
        QCOMPARE(q.renew(*slow, T0 + 2 * Lease), Filed::TakenOver);
        QCOMPARE(q.complete(*slow, T0 + Lease + 5, "late", "img"), Filed::TakenOver);
        QCOMPARE(q.complete(*fast, T0 + Lease + 9, "DXS*ok", "img2"), Filed::Done);
        QCOMPARE(q.complete(*fast, T0 + Lease + 10, "twice", "img3"), Filed::TakenOver);
        const auto audits = q.audits();
        QCOMPARE(audits.size(), 1);
        QCOMPARE(audits[0].evaDts, QStringLiteral("DXS*ok"));
        QCOMPARE(audits[0].image, QByteArray("img2"));
        const auto attempts = q.attempts();
        QCOMPARE(attempts.size(), 2);
        QCOMPARE(attempts[0].collector, QStringLiteral("paused"));
        QCOMPARE(attempts[0].outcome, CollectQueue::TakenOver);
        QCOMPARE(attempts[1].outcome, QStringLiteral("Completed"));
    }

    void attemptsFollowTheRetryRules_data()
    {
        using R = AuditJobOutcome;
        const auto row = Retries::table();
        row("busy three times gives up", {R::Busy, R::NoAnswer, R::Busy}, "failed");
        row("a failed conversion is not retried", {R::ConversionFailed}, "failed");
        row("a transfer failure, then done", {R::TransferFailed, R::Completed}, "done");
    }
    void attemptsFollowTheRetryRules()
    {
        const auto [results, state] = Retries::fetch();
        CollectQueue q = fresh();
        q.enqueue("5550001", CollectQueue::AuditJob, true, T0, "t");
        const qint64 delay = 300'000;
        qint64 now = T0;
        for (int r : results) {
            QVERIFY(!q.claim("c", true, true, now - 1, Lease)); // never before the delay
            auto c = q.claim("c", true, true, now, Lease);
            QVERIFY(c);
            if (r == AuditJobOutcome::Completed)
                QCOMPARE(q.complete(*c, now + 10, "x", "y"), Filed::Done);
            else
                QCOMPARE(q.fail(*c, now + 10, AuditJobOutcome::Result(r), "said", delay), Filed::Done);
            now += 10 + delay;
        }
        QCOMPARE(q.requests().at(0).state, state);
        QVERIFY(!q.claim("c", true, true, now + 10 * delay, Lease));
        QCOMPARE(q.attempts().size(), results.size());
    }

    void gsmdbQueuesAndExports()
    {
        // The station's tables first: the queue joins a machine database.
        const auto db = freshDb();
        CollectQueue q = attach(m_url, QStringLiteral("a"));
        for (const char *n : {"5550001", "5550002"})
            QVERIFY(db->append(MachineTables::Distributori, {{"GSM", n}}));
        QString said;
        auto gsmdb = [&](DbCommand::Options o) {
            o.database = m_url;
            said.clear();
            QTextStream err(&said);
            return FleetCommand::run(o, m_dir.path(), err);
        };
        DbCommand::Options enqueue;
        enqueue.enqueueJob = "audit";
        enqueue.enqueueWhat = "5550002,5550009";
        QCOMPARE(gsmdb(enqueue), 1); // an unknown number
        QVERIFY2(said.contains("5550009: no such machine"), qPrintable(said));
        enqueue.enqueueWhat = "all";
        QCOMPARE(gsmdb(enqueue), 0);
        QVERIFY2(said.endsWith("audit: 1 queued, 1 already waiting\n"), qPrintable(said));

        auto done = q.claim("c1", true, true, T0, Lease);
        QVERIFY(q.claim("c2", true, true, T0, Lease)); // left open
        QCOMPARE(q.complete(*done, T0 + 60'000, "DXS*x", "img"), Filed::Done);
        DbCommand::Options attempts;
        attempts.exportName = "attempts";
        attempts.file = m_dir.filePath("attempts.csv");
        QCOMPARE(gsmdb(attempts), 0);
        const QList<QByteArray> lines = readFile(attempts.file).split('\n');
        QCOMPARE(lines[0].trimmed(), "GSM,Request,Collector,Started,Ended,Outcome,Detail");
        QVERIFY2(lines.value(1).contains(",c1,2027-01-15T08:00:00Z,2027-01-15T08:01:00Z,Completed,"),
                 lines.value(1).constData());
        QVERIFY2(lines.value(2).contains(",c2,2027-01-15T08:00:00Z,,,"), // still open
                 lines.value(2).constData());

        DbCommand::Options audits;
        audits.exportName = "audits";
        audits.file = m_dir.filePath(QStringLiteral("audits%1").arg(m_seq));
        QCOMPARE(gsmdb(audits), 0);
        const QDir folder(audits.file + "/" + done->gsm);
        QCOMPARE(folder.entryList(QDir::Files).size(), 2);
    }

    // The station's tables on a desk's own file and on a shared server behave alike: record
    // order, look-ups, the machine list and the CSV round trip.
    void stationTablesKeepOrderAndRoundTrip()
    {
        auto db = freshDb();
        const QString D = MachineTables::Distributori;
        const QStringList numbers = {"3390000003", "3390000001", "3390000002"};
        for (const QString &n : numbers)
            QVERIFY(db->append(D, {{"GSM", n}, {"Description", "Caffè dell'Angolo " + n}}));
        const auto recs = db->records(D);
        QCOMPARE(recs.size(), 3);
        QCOMPARE(recs[0].value("GSM"), numbers[0]); // record order, not key order
        QVERIFY(!recs[0].contains("rowid"));
        QCOMPARE(db->findFirst(D, "GSM", numbers[2])->value("Description"),
                 "Caffè dell'Angolo " + numbers[2]);

        MachineListModel list;
        QVERIFY(list.fill(*db));
        QCOMPARE(list.rowCount(), 3);
        QCOMPARE(list.data(list.index(1, 1)).toString(), numbers[1]);

        QBuffer csv;
        csv.open(QIODevice::ReadWrite);
        int rows = 0;
        QString why;
        QVERIFY2(TableIo::exportTable(*db, D, csv, &rows, &why), qPrintable(why));
        QCOMPARE(rows, 3);
        // The events journal sorts case-blind and by time on both.
        const QString E = MachineTables::Eventi;
        for (const char *sms : {"b alarm", "A alarm", "c alarm"})
            QVERIFY(db->append(E, {{"Number", "1"}, {"Data", "05/12/26 09:00:00"}, {"SMS", sms}}));
        EventsModel events(*db);
        events.sort(int(MachineTables::fields(E).indexOf("SMS")), Qt::AscendingOrder);
        QVERIFY(events.refresh());
        QCOMPARE(events.rowCount(), 3);
        QCOMPARE(events.index(0, int(MachineTables::fields(E).indexOf("SMS"))).data().toString(),
                 QStringLiteral("A alarm"));
        events.setEventFilter({.search = "B ALARM"}); // either case, on both
        QVERIFY(events.refresh());
        QCOMPARE(events.rowCount(), 1);

        auto other = freshDb();
        const TableIo::ImportPlan plan = TableIo::plan(*other, D, csv.data());
        QVERIFY2(TableIo::apply(*other, plan, false, &why), qPrintable(why));
        QCOMPARE(other->records(D), recs);
    }

    void lockedRequestsAreSkippedNotWaitedFor()
    {
        QFETCH_GLOBAL(bool, postgres);
        if (!postgres)
            QSKIP("row locks are the server's");
        CollectQueue q = fresh();
        q.enqueue("first", CollectQueue::AuditJob, false, T0, "t");
        q.enqueue("second", CollectQueue::AuditJob, false, T0 + 1, "t");
        CollectQueue other = attach(m_url, QStringLiteral("b"));
        QSqlDatabase b = QSqlDatabase::database(QStringLiteral("b"));
        QVERIFY(b.transaction());
        QSqlQuery lock(b);
        QVERIFY(lock.exec("SELECT id FROM \"CollectRequests\" WHERE gsm = 'first' FOR UPDATE"));
        auto c = q.claim("a", false, true, T0 + 10, Lease);
        QVERIFY(c);
        QCOMPARE(c->gsm, QStringLiteral("second"));
        b.rollback();
    }
};

QTEST_GUILESS_MAIN(QueueTest)
#include "tst_queue.moc"
