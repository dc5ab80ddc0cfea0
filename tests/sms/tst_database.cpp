#include "MachineDb.h"
#include "MachineListModel.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QSqlDatabase>
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

// The machine database on a temporary SQLite file, and the call console's machine directory
// over it.
class DatabaseTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    int files = 0;

    QString newFile() { return dir.filePath(QString("list%1.mdb").arg(++files)); }

private slots:
    void aMissingFileIsCreatedWithTheFourEmptyTables()
    {
        SqlMachineDb db(dir.filePath("Dati.mdb"));
        QVERIFY2(db.open(), qPrintable(db.error()));
        QVERIFY(QFile::exists(dir.filePath("Dati.mdb")));
        for (const QString &table : MachineTables::tables())
            QCOMPARE(db.records(table), QList<DbRecord>());
    }

    void lookUpIsTheFirstExactMatch_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("description");
        const auto row = [](const char *tag, const char *value, const char *description) {
            QTest::newRow(tag) << QString(value) << QString(description);
        };
        row("first of two matches", "+39111", "0");
        row("exact: no prefix match", "+3911", "");
        row("exact: case matters", "abc", "");
        row("a single quote is just a character", "+39'1", "3");
        row("SQL in the value is just text", "' OR '1'='1", "");
    }
    void lookUpIsTheFirstExactMatch()
    {
        QFETCH(QString, value);
        QFETCH(QString, description);
        SqlMachineDb db(dir.filePath("lookup.mdb"));
        QVERIFY(db.open());
        if (db.records("Distributori").isEmpty()) {
            const QStringList gsm{"+39111", "ABC", "+39111", "+39'1"};
            for (int i = 0; i < gsm.size(); ++i)
                QVERIFY(db.append("Distributori",
                                  {{"GSM", gsm[i]}, {"Description", QString::number(i)}}));
        }
        const auto found = db.findFirst("Distributori", "GSM", value);
        QCOMPARE(found ? found->value("Description") : QString(), description);
    }

    // The SMS desk looks a sender up by number, its sale point and operator by name: each in
    // one step of an index, on files made before the indexes too.
    void lookUpsUseAnIndex_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("field");
        QTest::newRow("machine by GSM number") << "Distributori"
                                               << "GSM";
        QTest::newRow("sale point by name") << "PuntiVendita"
                                            << "Name";
        QTest::newRow("operator by name") << "Operatori"
                                          << "Name";
    }
    void lookUpsUseAnIndex()
    {
        QFETCH(QString, table);
        QFETCH(QString, field);
        const QString file = dir.filePath("old.mdb");
        if (!QFile::exists(file)) {
            {
                QSqlDatabase raw = QSqlDatabase::addDatabase("QSQLITE", "old");
                raw.setDatabaseName(file);
                QVERIFY(raw.open());
                for (const QString &t : MachineTables::tables()) {
                    QStringList columns;
                    for (const QString &f : MachineTables::fields(t))
                        columns << '"' + f + "\" TEXT";
                    QVERIFY(QSqlQuery(raw).exec(
                        QString("CREATE TABLE %1 (%2)").arg(t, columns.join(", "))));
                }
            }
            QSqlDatabase::removeDatabase("old");
        }
        SqlMachineDb db(file);
        QVERIFY(db.open());
        QSqlQuery plan(db.database());
        QVERIFY(plan.exec(
            QString("EXPLAIN QUERY PLAN SELECT * FROM %1 WHERE \"%2\" = 'x' ORDER BY rowid LIMIT 1")
                .arg(table, field)));
        QVERIFY(plan.next());
        QCOMPARE(plan.value(3).toString(),
                 QString("SEARCH %1 USING INDEX %1_%2 (%2=?)").arg(table, field));
    }

    // A file that lacks tables and fields is reported with what is missing, and what is there
    // still answers. (A file that is no database: the windows test, as the operator sees it.)
    void missingTablesAndFieldsAreNamedAndTheRestStillWorks()
    {
        const QString file = dir.filePath("partial.mdb");
        {
            QSqlDatabase raw = QSqlDatabase::addDatabase("QSQLITE", "raw");
            raw.setDatabaseName(file);
            QVERIFY(raw.open());
            QVERIFY(QSqlQuery(raw).exec("CREATE TABLE Distributori (GSM TEXT, Description TEXT)"));
            QVERIFY(QSqlQuery(raw).exec("INSERT INTO Distributori VALUES ('+39222', 'Bar')"));
        }
        QSqlDatabase::removeDatabase("raw");
        SqlMachineDb db(file);
        QVERIFY(!db.open());
        QCOMPARE(db.error(), QString("missing field \"Sale point\" of Distributori, field "
                                     "\"Operator\" of Distributori, table PuntiVendita, table "
                                     "Operatori, table Eventi"));
        QCOMPARE(
            db.findFirst("Distributori", "GSM", "+39222").value_or(DbRecord()).value("Description"),
            QString("Bar"));
        QVERIFY(!db.append("Eventi", {{"Number", "1"}}));
    }

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

QTEST_MAIN(DatabaseTest)
#include "tst_database.moc"
