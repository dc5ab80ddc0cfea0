#include "MachineDb.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

// The machine database on a temporary SQLite file.
class DatabaseTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

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
};

QTEST_MAIN(DatabaseTest)
#include "tst_database.moc"
