#include "MachineDb.h"
#include "MachineListModel.h"
#include "SmsListing.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace SmsListing;
Q_DECLARE_METATYPE(SmsListing::Form)
Q_DECLARE_METATYPE(SmsListing::Outcome)


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

// The modem's SMS listing taken apart; the machine database on a temporary SQLite file, and
// the call console's machine directory over it.
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

    // The listing taken apart header by header; these are the shapes modems send
    // and the shapes a garbled or cut answer takes.
    void parse_data()
    {
        QTest::addColumn<QByteArray>("listing");
        QTest::addColumn<Form>("form");
        QTest::addColumn<QStringList>("messages"); // "index|number|date|time|text" or "index|-"
        const Form G = Form::Generic;
        const Form T = Form::Telit;
        QTest::newRow("21 March 2005 10:15:00, empty alpha field")
            << QByteArray("\r\n+CMGL: 1,\"REC UNREAD\",\"+393471234567\",,\"05/03/21,10:15:00+04\""
                          "\r\nALARM 12 door open\r\n\r\nOK\r\n")
            << G << QStringList{"1|+393471234567|21/03/05|10:15:00|ALARM 12 door open"};
        QTest::newRow("no alpha field")
            << QByteArray("\r\n+CMGL: 7,\"REC READ\",\"+393470000001\",\"26/12/05,09:00:41+04\""
                          "\r\nCOIN JAM\r\n\r\nOK\r\n")
            << G << QStringList{"7|+393470000001|05/12/26|09:00:41|COIN JAM"};
        QTest::newRow("several messages, in listing order")
            << QByteArray(
                   "\r\n+CMGL: 3,\"REC UNREAD\",\"+391\",,\"26/12/05,08:00:00+04\"\r\nA\r\n"
                   "+CMGL: 12,\"REC UNREAD\",\"+392\",,\"26/12/06,08:30:00+04\"\r\nB b\r\n"
                   "+CMGL: 4,\"REC READ\",\"3471\",\"26/11/30,23:59:59-08\"\r\n\r\n\r\nOK\r\n")
            << G
            << QStringList{"3|+391|05/12/26|08:00:00|A", "12|+392|06/12/26|08:30:00|B b",
                           "4|3471|30/11/26|23:59:59|"};
        QTest::newRow("header without time stamp is unparsed, the next one still read")
            << QByteArray("\r\n+CMGL: 4,\"REC UNREAD\"\r\ngarbled\r\n"
                          "+CMGL: 6,\"REC UNREAD\",\"+39\",,\"26/01/02,03:04:05+00\"\r\nok\r\n")
            << G << QStringList{"4|-", "6|+39|02/01/26|03:04:05|ok"};
        QTest::newRow("listing cut inside the last text line")
            << QByteArray("\r\n+CMGL: 1,\"REC UNREAD\",\"+39\",,\"26/01/02,03:04:05+00\"\r\nAL")
            << G << QStringList{"1|-"};
        QTest::newRow("header without any comma ends the walk")
            << QByteArray("\r\n+CMGL: 9") << G << QStringList{};
        QTest::newRow("Telit header, index of two digits")
            << QByteArray("\r\n+CMGL: 12,\"REC UNREAD\",\"+393471234567\"\r\nALARM 3\r\n\r\nOK\r\n")
            << T << QStringList{"12|+393471234567|||ALARM 3"};
        QTest::newRow("Telit header without number is unparsed")
            << QByteArray("\r\n+CMGL: 3,\"REC UNREAD\"\r\nA\r\n") << T << QStringList{"3|-"};
    }
    void parse()
    {
        QFETCH(QByteArray, listing);
        QFETCH(Form, form);
        QFETCH(QStringList, messages);
        QStringList got;
        for (const Message &m : SmsListing::parse(listing, form))
            got << QString::fromLatin1(m.parsed ? QByteArrayList{QByteArray::number(m.index),
                                                                 m.number, m.date, m.time, m.text}
                                                      .join('|')
                                                : QByteArray::number(m.index) + "|-");
        QCOMPARE(got, messages);
    }

    // Only a well-formed header line names an index that may be deleted (more noise: the
    // reception test).
    void genuinelyListed_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<bool>("listed");
        const QByteArray stamp = ",,\"05/03/21,10:15:00+04\"";
        QTest::newRow("generic header") << "+CMGL: 7,\"REC UNREAD\",\"+391\"" + stamp << true;
        QTest::newRow("Telit header") << QByteArray("+CMGL: 12,\"REC READ\",\"+391\"") << true;
        QTest::newRow("stored outgoing message")
            << QByteArray("+CMGL: 3,\"STO SENT\",\"+391\"") << true;
        QTest::newRow("empty number") << QByteArray("+CMGL: 3,\"REC READ\",\"\"") << true;
        QTest::newRow("largest index") << QByteArray("+CMGL: 9999,\"REC READ\",\"+39\"") << true;
        QTest::newRow("index beyond any store")
            << QByteArray("+CMGL: 10000,\"REC READ\",\"+39\"") << false;
        QTest::newRow("no index") << QByteArray("+CMGL: ,\"REC READ\",\"+39\"") << false;
        QTest::newRow("status without quotes") << QByteArray("+CMGL: 7,REC READ,\"+39\"") << false;
        QTest::newRow("number never closed") << QByteArray("+CMGL: 7,\"REC READ\",\"+39") << false;
        QTest::newRow("control character in the number")
            << QByteArray("+CMGL: 7,\"REC READ\",\"+3\x01\"") << false;
    }
    void genuinelyListed()
    {
        QFETCH(QByteArray, header);
        QFETCH(bool, listed);
        for (Form form : {Form::Generic, Form::Telit}) {
            const QList<Message> got =
                SmsListing::parse("\r\n" + header + "\r\nA\r\n\r\nOK\r\n", form);
            QCOMPARE(got.size(), 1);
            QCOMPARE(got.first().listed, listed);
        }
    }

    // A final result is a line of its own, never the text line of a message: cut anywhere, a
    // text reading "OK" or "ERROR" neither ends nor fails the answer.
    void finalResult_data()
    {
        QTest::addColumn<bool>("read"); // judged as a single read ("+CMGR:") or as the listing
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<Outcome>("outcome");
        const QByteArray readHead =
            "\r\n+CMGR: \"REC READ\",\"+391\",,\"05/03/21,10:15:00+04\"\r\n";
        const QByteArray listHead = "\r\n+CMGL: 1,\"REC READ\",\"+391\"\r\n";
        QTest::newRow("read: text ending in OK, final OK still to come")
            << true << readHead + "POWER OK\r\n\r\n"
            << Outcome::Pending;
        QTest::newRow("read: text OK alone") << true << readHead + "OK\r\n" << Outcome::Pending;
        QTest::newRow("read: final OK after the text")
            << true << readHead + "POWER OK\r\n\r\nOK\r\n"
            << Outcome::Complete;
        QTest::newRow("read: OK not yet ended by CR LF")
            << true << readHead + "A\r\n\r\nOK\r" << Outcome::Pending;
        QTest::newRow("read: no such message")
            << true << QByteArray("\r\n+CMS ERROR: 321\r\n") << Outcome::Failed;
        QTest::newRow("read: text ERROR") << true << readHead + "ERROR\r\n" << Outcome::Pending;
        QTest::newRow("listing: text OK, then the final OK")
            << false << listHead + "OK\r\n\r\nOK\r\n"
            << Outcome::Complete;
        QTest::newRow("listing: a read header does not make a text line")
            << false << readHead + "OK\r\n"
            << Outcome::Complete;
        QTest::newRow("listing: ERROR") << false << QByteArray("\r\nERROR\r\n") << Outcome::Failed;
    }
    void finalResult()
    {
        QFETCH(bool, read);
        QFETCH(QByteArray, answer);
        QFETCH(Outcome, outcome);
        QCOMPARE(read ? judgeRead(answer) : judge(answer), outcome);
    }
};

QTEST_MAIN(DatabaseTest)
#include "tst_database.moc"
