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
    QString path(const QString &name) const { return dir.filePath(name); }

private slots:
    void aMissingFileIsCreatedWithTheFourEmptyTables()
    {
        const QString file = path("Dati.mdb");
        QVERIFY(!QFile::exists(file));
        SqlMachineDb db(file);
        QVERIFY2(db.open(), qPrintable(db.error()));
        QVERIFY(QFile::exists(file));
        for (const QString &table : MachineTables::tables())
            QCOMPARE(db.records(table).size(), 0);
        QVERIFY(db.append("Eventi", {{"Vending machine", "V1"}, {"Sale point", "P1"}}));
        QCOMPARE(db.records("Eventi"), QList<DbRecord>({{{"Number", ""},
                                                         {"Data", ""},
                                                         {"SMS", ""},
                                                         {"Vending machine", "V1"},
                                                         {"Sale point", "P1"},
                                                         {"Operator", ""}}}));
    }

    void lookUpIsTheFirstExactMatch_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("description");
        QTest::newRow("first of two matches") << "+39111"
                                              << "first";
        QTest::newRow("exact: no prefix match") << "+3911"
                                                << "";
        QTest::newRow("exact: case matters") << "abc"
                                             << "";
        QTest::newRow("a single quote is just a character") << "+39'1"
                                                            << "quoted";
        QTest::newRow("SQL in the value is just text") << "' OR '1'='1"
                                                       << "";
        QTest::newRow("empty value") << ""
                                     << "";
    }
    void lookUpIsTheFirstExactMatch()
    {
        QFETCH(QString, value);
        QFETCH(QString, description);
        SqlMachineDb db(path("lookup.mdb"));
        if (db.records("Distributori").isEmpty()) {
            QVERIFY(db.open());
            for (auto [gsm, d] : {std::pair{"+39111", "first"},
                                  {"ABC", "upper"},
                                  {"+39111", "second"},
                                  {"+39'1", "quoted"}})
                QVERIFY(db.append("Distributori", {{"GSM", gsm}, {"Description", d}}));
        }
        const auto found = db.findFirst("Distributori", "GSM", value);
        QCOMPARE(found ? found->value("Description") : QString(), description);
    }

    void anUnreadableFileIsReportedAndLookUpsFail()
    {
        const QString file = path("garbage.mdb");
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'x'));
        f.close();
        SqlMachineDb db(file);
        QVERIFY(!db.open());
        QVERIFY2(db.error().startsWith("file is not a database"), qPrintable(db.error()));
        QVERIFY(db.failureMessage().startsWith(
            QStringLiteral("The machine database %1 cannot be used: file is not a database")
                .arg(file)));
        QVERIFY(db.failureMessage().endsWith(
            "Machines, sale points and operators will not be found and events will not be "
            "filed until it is repaired."));
        QVERIFY(!db.findFirst("Distributori", "GSM", "+39111"));
        QVERIFY(!db.append("Eventi", {{"Number", "1"}}));
        QCOMPARE(f.size(), 4096);
    }

    void missingTablesAndFieldsAreNamedAndTheRestStillWorks()
    {
        const QString file = path("partial.mdb");
        {
            QSqlDatabase raw = QSqlDatabase::addDatabase("QSQLITE", "raw");
            raw.setDatabaseName(file);
            QVERIFY(raw.open());
            QSqlQuery q(raw);
            QVERIFY(q.exec("CREATE TABLE Distributori (GSM TEXT, Description TEXT)"));
            QVERIFY(q.exec("INSERT INTO Distributori VALUES ('+39222', 'Bar')"));
            raw.close();
        }
        QSqlDatabase::removeDatabase("raw");
        SqlMachineDb db(file);
        QVERIFY(!db.open());
        QCOMPARE(db.error(), QString("missing field \"Sale point\" of Distributori, field "
                                     "\"Operator\" of Distributori, table PuntiVendita, table "
                                     "Operatori, table Eventi"));
        QCOMPARE(db.findFirst("Distributori", "GSM", "+39222")->value("Description"),
                 QString("Bar"));
    }
};

QTEST_MAIN(DatabaseTest)
#include "tst_database.moc"
