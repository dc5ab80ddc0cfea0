#include "MachineDb.h"
#include "MachineListModel.h"

#include <QAbstractItemModelTester>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {
// Machines +39000 ... in record order, "M<n>" at sale point "P<n mod 7>".
void addMachines(SqlMachineDb &db, int first, int count)
{
    QSqlQuery(db.database()).exec("BEGIN");
    for (int i = first; i < first + count; ++i)
        QVERIFY(db.append("Distributori", {{"GSM", QString("+39%1").arg(i, 3, 10, QChar('0'))},
                                           {"Description", QString("M%1").arg(i)},
                                           {"Sale point", QString("P%1").arg(i % 7)}}));
    QSqlQuery(db.database()).exec("COMMIT");
}

QString row(const MachineListModel &m, int r)
{
    return QStringList{m.text(r, MachineListModel::Description), m.text(r, MachineListModel::Gsm),
                       m.text(r, MachineListModel::SalePoint)}
        .join('|');
}
} // namespace

// The call console's machine directory over a real database file.
class MachineListTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    int files = 0;

    QString newFile() { return dir.filePath(QString("list%1.mdb").arg(++files)); }

private slots:
    void listsEveryMachineInRecordOrder()
    {
        SqlMachineDb db(newFile());
        QVERIFY(db.open());
        addMachines(db, 0, 600);                                 // pages 0 to 2, the last one short
        QVERIFY(db.append("Distributori", {{"GSM", "+39999"}})); // other fields NULL
        MachineListModel m;
        QAbstractItemModelTester tester(&m);
        QVERIFY(m.fill(db));
        QCOMPARE(m.rowCount(), 601);
        QCOMPARE(m.columnCount(), 3);
        for (int r : {599, 0, 255, 256, 511, 512})
            QCOMPARE(row(m, r),
                     QString("M%1|+39%2|P%3").arg(r).arg(r, 3, 10, QChar('0')).arg(r % 7));
        QCOMPARE(row(m, 600), QString("|+39999|"));
        QCOMPARE(m.index(256, 1).data().toString(), QString("+39256"));
        QVERIFY(!(m.flags(m.index(0, 0)) & Qt::ItemIsEditable));
    }

    void anEmptyOrUnusableTableGivesAnEmptyList()
    {
        SqlMachineDb empty(newFile());
        QVERIFY(empty.open());
        MachineListModel m;
        QVERIFY(m.fill(empty));
        QCOMPARE(m.rowCount(), 0);
        QCOMPARE(m.lastRowWithGsm("+39000"), -1);
        SqlMachineDb broken(dir.filePath("missing/none.mdb"));
        QVERIFY(!broken.open());
        QVERIFY(!m.fill(broken));
        QCOMPARE(m.rowCount(), 0);
    }

    // Fields are read when first shown: a record deleted before that keeps its row, empty.
    void aRecordDeletedAfterTheFillLeavesAnEmptyRow()
    {
        SqlMachineDb db(newFile());
        QVERIFY(db.open());
        addMachines(db, 0, 3);
        MachineListModel m;
        QVERIFY(m.fill(db));
        QVERIFY(QSqlQuery(db.database()).exec("DELETE FROM Distributori WHERE GSM = '+39001'"));
        QCOMPARE(m.rowCount(), 3);
        QCOMPARE(row(m, 1), QString("||"));
        QCOMPARE(row(m, 2), QString("M2|+39002|P2"));
    }

    void lastRowWithGsm_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<int>("row");
        QTest::newRow("first row") << "+39000" << 0;
        QTest::newRow("last row") << "+39299" << 299;
        QTest::newRow("two rows: the last") << "+39007" << 300;
        QTest::newRow("exact: no prefix") << "+3900" << -1;
        QTest::newRow("added after the fill: the row listed") << "+39008" << 8;
        QTest::newRow("none") << "+39555" << -1;
    }
    void lastRowWithGsm()
    {
        QFETCH(QString, number);
        QFETCH(int, row);
        SqlMachineDb db(newFile());
        QVERIFY(db.open());
        addMachines(db, 0, 300);
        QVERIFY(db.append("Distributori", {{"GSM", "+39007"}, {"Description", "again"}}));
        MachineListModel m;
        QVERIFY(m.fill(db));
        QVERIFY(db.append("Distributori", {{"GSM", "+39008"}, {"Description", "later"}}));
        QCOMPARE(m.lastRowWithGsm(number), row);
    }
};

QTEST_MAIN(MachineListTest)
#include "tst_machinelist.moc"
