#include "MachineDb.h"
#include "MachineListModel.h"
#include "PgServer.h"
#include "TableIo.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

// The station's tables on a desk's own file and on a shared server behave alike: record order,
// look-ups, the machine list and the CSV round trip.
class SharedDbTest : public QObject
{
    Q_OBJECT
    std::unique_ptr<PgServer> m_pg;
    QTemporaryDir m_dir;
    int m_seq = 0;

    std::unique_ptr<SqlMachineDb> fresh()
    {
        QFETCH_GLOBAL(bool, postgres);
        const QString name = QStringLiteral("s%1").arg(++m_seq);
        DatabaseTarget t;
        QString why;
        DatabaseTarget::parse(postgres ? m_pg->newDatabase(name) : m_dir.filePath(name + ".mdb"), &t, &why);
        auto db = std::make_unique<SqlMachineDb>(t);
        [&] { QVERIFY2(db->open(), qPrintable(db->error())); }();
        return db;
    }

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

    void tablesKeepOrderAndRoundTrip()
    {
        auto db = fresh();
        const QString D = MachineTables::Distributori;
        const QStringList numbers = {"3390000003", "3390000001", "3390000002"};
        for (const QString &n : numbers)
            QVERIFY(db->append(D, {{"GSM", n}, {"Description", "Caffè Angolo " + n}}));
        const auto recs = db->records(D);
        QCOMPARE(recs.size(), 3);
        QCOMPARE(recs[0].value("GSM"), numbers[0]); // record order, not key order
        QVERIFY(!recs[0].contains("rowid"));
        QCOMPARE(db->findFirst(D, "GSM", numbers[2])->value("Description"),
                 "Caffè Angolo " + numbers[2]);

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
        auto other = fresh();
        const TableIo::ImportPlan plan = TableIo::plan(*other, D, csv.data());
        QVERIFY2(TableIo::apply(*other, plan, false, &why), qPrintable(why));
        QCOMPARE(other->records(D), recs);
    }
};

QTEST_GUILESS_MAIN(SharedDbTest)
#include "tst_shareddb.moc"
