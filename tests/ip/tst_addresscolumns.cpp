#include "../dbtool/DbFixture.h"
#include "MachineListener.h"
#include "TableIo.h"

#include <QSqlRecord>

// The machine's Address and Identity: what gsmdb lets into the file, old files gaining the
// fields, and a connecting machine found by either of its names.
class TestAddressColumns : public QObject
{
    Q_OBJECT
private slots:
    void importChecks_data()
    {
        QTest::addColumn<QByteArray>("rows");
        QTest::addColumn<QString>("problem"); // "" = imported
        const auto row = [](const char *name, const char *csv, const char *problem) {
            QTest::newRow(name) << QByteArray(csv) << QString::fromLatin1(problem);
        };
        row("inbound", "+39555,Tea,inbound,\n", "");
        row("host name and port", "+39555,Tea,router-7.example.net:4001,\n", "");
        row("IPv6 in brackets", "+39555,Tea,[fe80::1]:4001,\n", "");
        row("port 0", "+39555,Tea,10.0.0.7:0,\n", "from 1 to 65535");
        row("port too big", "+39555,Tea,10.0.0.7:65536,\n", "from 1 to 65535");
        row("no port", "+39555,Tea,10.0.0.7,\n", "is not HOST:PORT");
        row("IPv6 without brackets", "+39555,Tea,fe80::1:4001,\n", "in brackets");
        row("incomplete IPv4", "+39555,Tea,10.0.7:4001,\n", "not a host name");
        row("inbound in capitals", "+39555,Tea,INBOUND,\n", "is not HOST:PORT");
        row("identity", "+39555,Tea,inbound,RTR-0042\n", "");
        row("identity with a blank", "+39555,Tea,inbound,RTR 0042\n", "without blanks");
        row("identity of 65 characters",
            "+39555,Tea,inbound,"
            "12345678901234567890123456789012345678901234567890123456789012345\n",
            "1 to 64");
        row("identity taken on file", "+39555,Tea,inbound,ROUTER-A\n", "already machine \"Coffee 7\"");
        row("identity is another machine's number", "+39555,Tea,inbound,+39222\n",
            "already machine \"Snack 2\"");
        row("number is another machine's identity", "+39777,Tea,,\n",
            "is the identity of machine \"Juice\"");
        row("identity twice in the file", "+39555,Tea,inbound,X1\n+39556,Pop,inbound,X1\n",
            "already machine \"Tea\"");
    }
    void importChecks()
    {
        QFETCH(QByteArray, rows);
        QFETCH(QString, problem);
        DbFixture f(true);
        QSqlQuery(f.db->database())
            .exec("UPDATE Distributori SET Identity = 'ROUTER-A' WHERE GSM = '+39111'");
        QSqlQuery(f.db->database())
            .exec("INSERT INTO Distributori (GSM, Description, Identity) "
                  "VALUES ('+39888', 'Juice', '+39777')");
        const TableIo::ImportPlan plan = TableIo::plan(
            *f.db, MachineTables::Distributori, "GSM,Description,Address,Identity\n" + rows);
        QVERIFY2(plan.fileError.isEmpty(), qPrintable(plan.fileError));
        if (problem.isEmpty()) {
            QVERIFY2(plan.problems.isEmpty(), qPrintable(plan.problems.value(0).reason));
            QVERIFY(TableIo::apply(*f.db, plan, false, nullptr));
        } else {
            QCOMPARE(plan.problems.size(), 1);
            QVERIFY2(plan.problems.first().reason.contains(problem),
                     qPrintable(plan.problems.first().reason));
        }
    }

    // A file written before machines had addresses opens, keeps its machines and gains the
    // fields; a connecting machine is then found by its identity or by its number.
    void oldFileGainsTheFields()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("Dati.mdb");
        {
            SqlMachineDb fresh(path);
            QVERIFY(fresh.open());
            QSqlQuery q(fresh.database());
            QVERIFY(q.exec("DROP TABLE Distributori"));
            QVERIFY(q.exec("CREATE TABLE Distributori (GSM TEXT, Description TEXT, "
                           "\"Sale point\" TEXT, Operator TEXT)"));
            QVERIFY(q.exec("INSERT INTO Distributori VALUES ('+39111', 'Coffee 7', NULL, NULL)"));
        }
        SqlMachineDb db(path);
        QVERIFY2(db.open(), qPrintable(db.error()));
        const QSqlRecord fields = db.database().record(MachineTables::Distributori);
        QVERIFY(fields.contains("Address"));
        QVERIFY(fields.contains("Identity"));
        QVERIFY(db.append(MachineTables::Distributori,
                          {{"GSM", "+39222"}, {"Description", "Tea"}, {"Identity", "RTR-9"}}));
        QCOMPARE(machineIdentifiedBy(db, "+39111"), QString("+39111"));
        QCOMPARE(machineIdentifiedBy(db, "RTR-9"), QString("+39222"));
        QCOMPARE(machineIdentifiedBy(db, "RTR-8"), QString());
        QCOMPARE(machineIdentifiedBy(db, ""), QString());
    }
};

QTEST_GUILESS_MAIN(TestAddressColumns)
#include "tst_addresscolumns.moc"
