#include "CollectQueue.h"
#include "CollectionsModel.h"
#include "DatabaseTarget.h"
#include "Dialogs.h"
#include "FrmDb.h"
#include "PgServer.h"
#include "Rows.h"
#include "Runtime.h"

#include <QComboBox>
#include <QPushButton>
#include <QTableView>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <map>
#include <memory>
#include <time.h>

using Kind = CollectionsModel::Kind;
using State = CollectionsFilter::State;
// The requests shown, newest due first, and the attempts, newest first.
using Filtered = Rows<CollectionsFilter, QString, QString>;
using Shown = Rows<Kind, int, int, QString>;      // row, column, text
using Sorted = Rows<int, Qt::SortOrder, QString>; // column, order, requests
constexpr qint64 T0 = 1'800'000'000'000; // 2027-01-15 08:00 UTC, 09:00 in Rome
constexpr qint64 Min = 60'000;
constexpr qint64 Lease = 5 * Min;

// A night's queue, read on the desk's own file and on a shared server alike:
//   555001 completed; 555002 busy once, now claimed by c2; 555003 given up on a failed
//   conversion; 555004 claimed by a collector that died (its lease ran out); 555005 never claimed
//   and no machine on file.
class CollectionsTest : public QObject
{
    Q_OBJECT
    VirtualTimeScope m_time;
    FakeClock m_clock{QDateTime::fromMSecsSinceEpoch(T0 + 10 * Min, Qt::UTC)};
    std::unique_ptr<PgServer> m_pg;
    QTemporaryDir m_dir;
    std::map<bool, std::unique_ptr<SqlMachineDb>> m_dbs;
    int m_seq = 0;

    std::unique_ptr<SqlMachineDb> open()
    {
        QFETCH_GLOBAL(bool, postgres);
        const QString name = QStringLiteral("c%1").arg(++m_seq);
        DatabaseTarget t;
        QString why;
        DatabaseTarget::parse(postgres ? m_pg->newDatabase(name) : m_dir.filePath(name + ".db"),
                              &t, &why);
        auto db = std::make_unique<SqlMachineDb>(t);
        [&] { QVERIFY2(db->open(), qPrintable(db->error())); }();
        return db;
    }

    SqlMachineDb &night()
    {
        QFETCH_GLOBAL(bool, postgres);
        auto &db = m_dbs[postgres];
        if (db)
            return *db;
        db = open();
        const QString D = MachineTables::Distributori;
        db->append(D, {{"GSM", "555001"}, {"Description", "Bar Centrale"}});
        db->append(D, {{"GSM", "555002"}, {"Description", "Stazione Nord"}});
        db->append(D, {{"GSM", "555003"}, {"Description", "Ufficio 50%"}});
        db->append(D, {{"GSM", "555004"}, {"Description", "Palestra"}, {"Address", "10.0.0.4"}});
        CollectQueue q(db->database().connectionName());
        QString why;
        [&] { QVERIFY2(q.prepare(&why), qPrintable(why)); }();
        for (int i = 1; i <= 4; ++i)
            q.enqueue(QStringLiteral("55500%1").arg(i), CollectQueue::AuditJob, i != 4,
                      T0 + (i - 1) * Min, "night");
        q.enqueue("555005", CollectQueue::AuditJob, true, T0 + 60 * Min, "desk");
        const auto claim = [&](const char *who, bool modem, qint64 at) {
            auto c = q.claim(who, modem, !modem, at, Lease);
            [&] { QVERIFY(c); }();
            return *c;
        };
        q.complete(claim("c1", true, T0), T0 + 90'000, "DXS*1", "img");
        q.fail(claim("c1", true, T0 + Min), T0 + 2 * Min, AuditJobOutcome::Busy, "BUSY", 5 * Min);
        q.fail(claim("c1", true, T0 + 2 * Min), T0 + 150'000, AuditJobOutcome::ConversionFailed,
               "bad audit", 5 * Min);
        claim("dead", false, T0 + 3 * Min);
        claim("c2", true, T0 + 7 * Min);
        return *db;
    }

    static QString column0(const QAbstractItemModel &m)
    {
        QStringList out;
        for (int r = 0; r < m.rowCount(); ++r)
            out << m.index(r, 0).data().toString();
        return out.join(' ');
    }

private slots:
    void initTestCase()
    {
        // Times are shown in local time: a zone away from UTC tells the two apart.
        qputenv("TZ", "Europe/Rome");
        tzset();
        m_pg = std::make_unique<PgServer>();
        QVERIFY2(m_pg->ok(), qPrintable(m_pg->error()));
    }
    void initTestCase_data()
    {
        QTest::addColumn<bool>("postgres");
        QTest::newRow("sqlite") << false;
        QTest::newRow("postgres") << true;
    }

    void filters_data()
    {
        using F = CollectionsFilter;
        const QString all = "555005 555002 555004 555003 555001";
        const QString tried = "555002 555004 555003 555002 555001";
        const auto row = Filtered::table();
        row("everything", F{}, all, tried);
        row("name in another case", F{.machine = "CENTRALE"}, "555001", "555001");
        row("part of the number", F{.machine = "05"}, "555005", "");
        row("% is a character", F{.machine = "50%"}, "555003", "555003");
        row("pending only", F{.state = State::Pending}, "555005 555002 555004",
            "555002 555004 555002");
        row("waiting, a lapsed lease among them", F{.state = State::Waiting}, "555005 555004",
            "555004");
        row("claimed: a lease still held", F{.state = State::Claimed}, "555002", "555002 555002");
        row("completed", F{.state = State::Completed}, "555001", "555001");
        row("given up", F{.state = State::GivenUp}, "555003", "555003");
        row("unfinished attempts", F{.outcome = F::Unfinished}, all, "555002 555004");
        row("an outcome word", F{.outcome = "Busy"}, all, "555002");
        row("one request's attempts", F{.request = 2}, all, "555002 555002");
        row("all together", F{"nord", State::Pending, "Busy", 2}, "555002", "555002");
        row("outcome of another state", F{.state = State::Completed, .outcome = "Busy"}, "555001",
            "");
    }
    void filters()
    {
        const auto [filter, requests, attempts] = Filtered::fetch();
        for (Kind kind : {Kind::Requests, Kind::Attempts}) {
            CollectionsModel m(night(), kind, m_clock);
            m.setCollectionsFilter(filter);
            QVERIFY2(m.lastErrorText().isEmpty(), qPrintable(m.lastErrorText()));
            QCOMPARE(column0(m), kind == Kind::Requests ? requests : attempts);
            QCOMPARE(m.matchingRows(), m.rowCount());
        }
    }

    void shown_data()
    {
        const auto row = Shown::table();
        row("never claimed", Kind::Requests, 0, 5, "pending");
        row("a held lease names its collector and end", Kind::Requests, 1, 5,
            "claimed by c2 until 15/01/27 09:12:00");
        row("a lapsed lease names the collector that died", Kind::Requests, 2, 5,
            "pending, dead's lease ran out at 15/01/27 09:08:00");
        row("completed", Kind::Requests, 4, 5, "completed");
        row("due in local time", Kind::Requests, 0, 3, "15/01/27 10:00:00");
        row("the machine's name", Kind::Requests, 4, 1, "Bar Centrale");
        row("no machine on file", Kind::Requests, 0, 1, "");
        row("an unfinished attempt has no end", Kind::Attempts, 0, 5, "");
        row("ended in local time", Kind::Attempts, 4, 5, "15/01/27 09:01:30");
    }
    void shown()
    {
        const auto [kind, row, column, text] = Shown::fetch();
        CollectionsModel m(night(), kind, m_clock);
        QVERIFY(m.refresh());
        QCOMPARE(m.index(row, column).data().toString(), text);
    }

    void sorts_data()
    {
        const auto row = Sorted::table();
        row("by name, none last", 1, Qt::AscendingOrder, "555001 555004 555002 555003 555005");
        row("by name descending, none still last", 1, Qt::DescendingOrder,
            "555003 555002 555004 555001 555005");
        row("by attempts, ties newest first", 6, Qt::DescendingOrder,
            "555002 555004 555003 555001 555005");
    }
    void sorts()
    {
        const auto [column, order, requests] = Sorted::fetch();
        CollectionsModel m(night(), Kind::Requests, m_clock);
        m.sort(column, order);
        QCOMPARE(column0(m), requests);
    }

    // The window opens on a desk where nothing was ever queued, and a collector starts later.
    void theTabReadsWhenShownOrRefreshedAndFollowsTheSelection()
    {
        auto db = open();
        ScriptedDialogs dialogs;
        FrmDb w(*db, dialogs);
        w.tabs->setCurrentWidget(w.collections);
        QCOMPARE(w.collections->requestsCount->text(), "0 requests");
        CollectQueue q(db->database().connectionName());
        QString why;
        QVERIFY2(q.prepare(&why), qPrintable(why));
        for (const char *gsm : {"555006", "555007"}) {
            q.enqueue(gsm, CollectQueue::AuditJob, true, T0, "desk");
            q.fail(*q.claim("c1", true, false, T0, Lease), T0 + Min, AuditJobOutcome::NoAnswer,
                   "", 0);
        }
        w.collections->refreshButton->click();
        QCOMPARE(w.collections->requestsCount->text(), "2 requests");
        QVERIFY(w.collections->outcomeFilter->findData("No answer") > 0);
        w.collections->requestsView->selectRow(0);
        QCOMPARE(column0(*w.collections->attempts), column0(*w.collections->requests).left(6));
    }
};

QTEST_MAIN(CollectionsTest)
#include "tst_collections.moc"
