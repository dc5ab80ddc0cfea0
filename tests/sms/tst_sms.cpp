#include "AtExchange.h"
#include "DemoData.h"
#include "Files.h"
#include "FrmSend.h"
#include "FrmSms.h"
#include "IncomingSms.h"
#include "MachineDb.h"
#include "MachineListModel.h"
#include "PortLender.h"
#include "Rows.h"
#include "SimulatedFleet.h"
#include "SmsListing.h"
#include "SmsReception.h"
#include "SmsStore.h"
#include "StationFixture.h"
#include "StationState.h"
#include "Timer.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <QWidget>

using namespace SmsListing;

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

// A database file made by hand, outside the program: the shapes older files have.
QString rawFile(const QString &path, const QStringList &statements)
{
    {
        QSqlDatabase raw = QSqlDatabase::addDatabase("QSQLITE", "raw");
        raw.setDatabaseName(path);
        raw.open();
        for (const QString &s : statements)
            QSqlQuery(raw).exec(s);
    }
    QSqlDatabase::removeDatabase("raw");
    return path;
}

QString row(const MachineListModel &m, int r)
{
    return QStringList{m.text(r, MachineListModel::Description), m.text(r, MachineListModel::Gsm),
                       m.text(r, MachineListModel::SalePoint)}
        .join('|');
}
} // namespace

inline const QDateTime March21(QDate(2005, 3, 21), QTime(10, 15, 0));

// The SMS desk on virtual time: the simulated modem with its SMS store on an open port, the
// station's Timer2 and Timer3, the two windows and the reception, the database in the program
// folder and the logs in the working folder.
struct SmsRig : StationFixture
{
    SmsRig()
    {
        QObject::connect(&Timer3, &Timer::tick, [this] { Timer3.setEnabled(false); });
        modem.setEcho(false);
        store.install(modem);
        port.setSettings(QStringLiteral("19200,N,8,1"));
        port.open();
        stationState.StationActive = true;
    }

    QString dbPath() const { return QDir(programFolder()).filePath(QStringLiteral("Dati.mdb")); }
    QString logPath(const QString &name) const { return QDir(workFolder()).filePath(name); }
    QByteArray log(const QString &name) const { return readFile(logPath(name)); }
    // The filed events, "Number|Data|SMS|Vending machine|Sale point|Operator" each.
    QStringList events() const
    {
        SqlMachineDb db(dbPath());
        db.open();
        QStringList out;
        for (const DbRecord &e : db.records(MachineTables::Eventi))
            out << QStringList{e.value("Number"),     e.value("Data"),
                               e.value("SMS"),        e.value("Vending machine"),
                               e.value("Sale point"), e.value("Operator")}
                       .join('|');
        return out;
    }
    // The incoming queue, one "index|number|date|time|text" per row.
    QStringList rows() const
    {
        QStringList out;
        for (int i = 0; i < viewer.queued(); ++i) {
            const QTreeWidgetItem *it = viewer.ListView1->topLevelItem(i);
            out << QStringList{it->text(0), it->text(1), it->text(2), it->text(3), it->text(4)}
                       .join('|');
        }
        return out;
    }
    // Opens the send window, fills it in and presses "Send".
    void sendSms(const QString &number, const QString &text)
    {
        send.opener().show();
        send.setNumber(number);
        send.setText(text);
        send.Command1_Click();
    }

    SmsStore store;
    Timer Timer2{QStringLiteral("Timer2"), 10000, false};
    Timer Timer3{QStringLiteral("Timer3"), 2000, false};
    AtExchange at{port, Timer3};
    QWidget mainWindow;
    bool comOK = true;
    StationState stationState;
    PortLender lender{stationState, Timer2};
    Services lending = [this] {
        Services s = services;
        s.lender = &lender;
        s.station = &stationState;
        return s;
    }();
    FrmSend send{lending, at, &mainWindow, workFolder()};
    FrmSms viewer{lending, dbPath(), send};
    SmsReception reception{lending, at, viewer, [this] { return comOK; }, workFolder()};
};

namespace {
SmsListing::Message message(qint64 index, const QByteArray &number, const QString &text)
{
    return {0, index, true, number, "21/03/05", "10:15:00", text.toLatin1()};
}

// Machine "+39111" at sale point "Bar Roma" looked after by "Rossi" (a later record has the same
// number); machines "+39222" and "+39'x" whose sale point and operator are in neither table; a
// sale point and an operator with empty names.
void seedFleet(SmsRig &r)
{
    SqlMachineDb db(r.dbPath());
    QVERIFY(db.open());
    for (auto [gsm, machine, point, op] : {std::tuple{"+39111", "Coffee 7", "Bar Roma", "Rossi"},
                                           {"+39222", "Snack 2", "Nowhere", "Nobody"},
                                           {"+39111", "a later record", "", ""},
                                           {"+39'x", "Quoted", "Nowhere", "Nobody"}})
        QVERIFY(db.append(
            "Distributori",
            {{"GSM", gsm}, {"Description", machine}, {"Sale point", point}, {"Operator", op}}));
    QVERIFY(db.append("PuntiVendita", {{"Name", "Bar Roma"},
                                       {"Address", "Via Po 1"},
                                       {"City", "Torino"},
                                       {"Telephone", "011 22"}}));
    QVERIFY(db.append("PuntiVendita", {{"Name", ""}, {"Address", "empty name"}}));
    QVERIFY(db.append("Operatori", {{"Name", "Rossi"}, {"Celular", "+39333"}}));
    QVERIFY(db.append("Operatori", {{"Name", ""}, {"Celular", "+39000"}}));
}

const QByteArray Cmgs = "AT+CMGS=\"+39333\"\r";
const QByteArray A160(160, 'a');
const QString X160(160, 'x');
} // namespace

using Index = Rows<QString, QString>;  // table, field
using LastRow = Rows<QString, int>;    // number, the row found
using Listed = Rows<QByteArray, bool>; // header, genuinely listed
// The listing, its form, the messages "index|number|date|time|text" or "index|-".
using Parse = Rows<QByteArray, Form, QStringList>;
// Judged as a single read ("+CMGR:") or as the listing, the answer, the outcome.
using Final = Rows<bool, QByteArray, Outcome>;
// A database or none, the sender, the machine identified as the Eventi record holds it, and the
// forward: its text, then "->" and the number.
using Identified = Rows<bool, QString, QString, QString>;
using Sent = Rows<QByteArray, QString, QByteArrayList>; // text, counter, parts
// The fault (-1: the modem answers nothing at all), number, time taken, box, bytes written.
using NotSent = Rows<int, QString, qint64, QString, QByteArray>;
using NoMessage = Rows<QByteArray, qint64>; // the answer, the time (-1: the port may not be used)
// Noise before the first real header, between the two real messages, the end of the answer; the
// messages deleted.
using Noise = Rows<QByteArray, QByteArray, QByteArray, QList<int>>;

// The modem's SMS listing taken apart, the machine database and the call console's directory
// over it; reception at a polling tick, the incoming SMS window and the send window against the
// simulated modem and its store, on virtual time.
class SmsTest : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    int files = 0;

    QString newFile() { return dir.filePath(QString("list%1.mdb").arg(++files)); }

private slots:
    // The SMS desk looks a sender up by number, its sale point and operator by name: each in
    // one step of an index, on files made before the indexes too.
    void lookUpsUseAnIndex_data()
    {
        const auto row = Index::table();
        row("machine by GSM number", "Distributori", "GSM");
        row("sale point by name", "PuntiVendita", "Name");
        row("operator by name", "Operatori", "Name");
    }
    void lookUpsUseAnIndex()
    {
        const auto [table, field] = Index::fetch();
        QStringList tables;
        for (const QString &t : MachineTables::tables())
            tables << QString("CREATE TABLE %1 (\"%2\" TEXT)")
                          .arg(t, MachineTables::fields(t).join("\" TEXT, \""));
        SqlMachineDb db(rawFile(dir.filePath(QTest::currentDataTag()), tables));
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
        SqlMachineDb db(rawFile(dir.filePath("partial.mdb"),
                                {"CREATE TABLE Distributori (GSM TEXT, Description TEXT)",
                                 "INSERT INTO Distributori VALUES ('+39222', 'Bar')"}));
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
        QVERIFY(m.fill(db));
        // Fields are read when first shown: a record deleted before that keeps its row, empty.
        QVERIFY(QSqlQuery(db.database()).exec("DELETE FROM Distributori WHERE GSM = '+39001'"));
        QCOMPARE(row(m, 1), QString("||"));
        QAbstractItemModelTester tester(&m);
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

    void lastRowWithGsm_data()
    {
        const auto row = LastRow::table();
        row("first row", "+39000", 0);
        row("last row", "+39299", 299);
        row("two rows: the last", "+39007", 300);
        row("exact: no prefix", "+3900", -1);
        row("added after the fill: the row listed", "+39008", 8);
        row("none", "+39555", -1);
    }
    void lastRowWithGsm()
    {
        const auto [number, row] = LastRow::fetch();
        SqlMachineDb db(newFile());
        QVERIFY(db.open());
        addMachines(db, 0, 300);
        QVERIFY(db.append("Distributori", {{"GSM", "+39007"}, {"Description", "again"}}));
        MachineListModel m;
        QVERIFY(m.fill(db));
        QVERIFY(db.append("Distributori", {{"GSM", "+39008"}, {"Description", "later"}}));
        QCOMPARE(m.lastRowWithGsm(number), row);
    }

    // The listing taken apart header by header: shapes a garbled or cut answer takes, beside
    // those the reception tests list.
    void parse_data()
    {
        const auto row = Parse::table();
        const Form G = Form::Generic;
        const Form T = Form::Telit;
        row("several messages, in listing order",
            "\r\n+CMGL: 3,\"REC UNREAD\",\"+391\",,\"26/12/05,08:00:00+04\"\r\nA\r\n"
            "+CMGL: 12,\"REC UNREAD\",\"+392\",,\"26/12/06,08:30:00+04\"\r\nB b\r\n"
            "+CMGL: 4,\"REC READ\",\"3471\",\"26/11/30,23:59:59-08\"\r\n\r\n\r\nOK\r\n",
            G,
            {"3|+391|05/12/26|08:00:00|A", "12|+392|06/12/26|08:30:00|B b",
             "4|3471|30/11/26|23:59:59|"});
        row("header without time stamp is unparsed, the next one still read",
            "\r\n+CMGL: 4,\"REC UNREAD\"\r\ngarbled\r\n"
            "+CMGL: 6,\"REC UNREAD\",\"+39\",,\"26/01/02,03:04:05+00\"\r\nok\r\n",
            G, {"4|-", "6|+39|02/01/26|03:04:05|ok"});
        row("listing cut inside the last text line",
            "\r\n+CMGL: 1,\"REC UNREAD\",\"+39\",,\"26/01/02,03:04:05+00\"\r\nAL", G, {"1|-"});
        row("header without any comma ends the walk", "\r\n+CMGL: 9", G, {});
        row("Telit header, index of two digits",
            "\r\n+CMGL: 12,\"REC UNREAD\",\"+393471234567\"\r\nALARM 3\r\n\r\nOK\r\n", T,
            {"12|+393471234567|||ALARM 3"});
        row("Telit header without number is unparsed", "\r\n+CMGL: 3,\"REC UNREAD\"\r\nA\r\n", T,
            {"3|-"});
    }
    void parse()
    {
        const auto [listing, form, messages] = Parse::fetch();
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
        const auto row = Listed::table();
        const QByteArray stamp = ",,\"05/03/21,10:15:00+04\"";
        row("generic header", "+CMGL: 7,\"REC UNREAD\",\"+391\"" + stamp, true);
        row("Telit header", "+CMGL: 12,\"REC READ\",\"+391\"", true);
        row("stored outgoing message", "+CMGL: 3,\"STO SENT\",\"+391\"", true);
        row("empty number", "+CMGL: 3,\"REC READ\",\"\"", true);
        row("largest index", "+CMGL: 9999,\"REC READ\",\"+39\"", true);
        row("index beyond any store", "+CMGL: 10000,\"REC READ\",\"+39\"", false);
        row("no index", "+CMGL: ,\"REC READ\",\"+39\"", false);
        row("status without quotes", "+CMGL: 7,REC READ,\"+39\"", false);
        row("number never closed", "+CMGL: 7,\"REC READ\",\"+39", false);
        row("control character in the number", "+CMGL: 7,\"REC READ\",\"+3\x01\"", false);
    }
    void genuinelyListed()
    {
        const auto [header, listed] = Listed::fetch();
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
        const auto row = Final::table();
        const QByteArray readHead =
            "\r\n+CMGR: \"REC READ\",\"+391\",,\"05/03/21,10:15:00+04\"\r\n";
        const QByteArray listHead = "\r\n+CMGL: 1,\"REC READ\",\"+391\"\r\n";
        row("read: text ending in OK, final OK still to come", true, readHead + "POWER OK\r\n\r\n",
            Outcome::Pending);
        row("read: text OK alone", true, readHead + "OK\r\n", Outcome::Pending);
        row("read: final OK after the text", true, readHead + "POWER OK\r\n\r\nOK\r\n",
            Outcome::Complete);
        row("read: OK not yet ended by CR LF", true, readHead + "A\r\n\r\nOK\r", Outcome::Pending);
        row("read: no such message", true, "\r\n+CMS ERROR: 321\r\n", Outcome::Failed);
        row("read: text ERROR", true, readHead + "ERROR\r\n", Outcome::Pending);
        row("listing: text OK, then the final OK", false, listHead + "OK\r\n\r\nOK\r\n",
            Outcome::Complete);
        row("listing: a read header does not make a text line", false, readHead + "OK\r\n",
            Outcome::Complete);
        row("listing: ERROR", false, "\r\nERROR\r\n", Outcome::Failed);
    }
    void finalResult()
    {
        const auto [read, answer, outcome] = Final::fetch();
        QCOMPARE(read ? judgeRead(answer) : judge(answer), outcome);
    }

    // Reception at a polling tick, the incoming SMS window and the send window, against the
    // simulated modem and its store, a real database, on virtual time.
    // The sender is identified by an exact comparison with the number as received; "OK" files
    // what is on show, "Send" composes the forward and chooses where it goes.
    void identifyFileAndForward_data()
    {
        const auto row = Identified::table();
        row("known machine, sale point and operator", true, "+39111", "Coffee 7|Bar Roma|Rossi",
            "Bar Roma\r\nVia Po 1\r\nTorino\r\n011 22\r\nCoffee 7\r\nALARM->+39333");
        row("sale point and operator unknown: description, back to the machine", true, "+39222",
            "Snack 2|Nowhere|Nobody", "Snack 2\r\nALARM->+39222");
        row("unknown sender: empty machine fields, the text alone back to the sender", true,
            "+39999", "-|-|-", "ALARM->+39999");
        row("the leading + counts", true, "39111", "-|-|-", "ALARM->39111");
        row("exact: no prefix match", true, "+3911", "-|-|-", "ALARM->+3911");
        row("exact: case matters", true, "+39'X", "-|-|-", "ALARM->+39'X");
        row("a quote is just a character", true, "+39'x", "Quoted|Nowhere|Nobody",
            "Quoted\r\nALARM->+39'x");
        row("SQL in the number is just text", true, "' OR '1'='1", "-|-|-", "ALARM->' OR '1'='1");
        row("no database: nothing identified, back to the sender", false, "+39111", "-|-|-",
            "ALARM->+39111");
    }
    void identifyFileAndForward()
    {
        const auto [database, sender, event, forward] = Identified::fetch();
        SmsRig r;
        seedFleet(r);
        SqlMachineDb sql(r.dbPath());
        QVERIFY(sql.open());
        MachineDb *db = database ? &sql : nullptr;
        const IncomingSms::Shown m =
            IncomingSms::identify(db, sender, "21/03/05", "10:15:00", "ALARM");
        QCOMPARE(m.machineKnown, event != "-|-|-");
        if (m.machineKnown)
            QCOMPARE(QStringList({m.machine, m.salePoint, m.operatorName}).join('|'), event);
        const DbRecord e = IncomingSms::event(m);
        QStringList fields;
        for (const char *f : {"Number", "Data", "SMS", "Vending machine", "Sale point", "Operator"})
            fields << e.value(f, "-");
        QCOMPARE(fields.join('|'), sender + "|21/03/05 10:15:00|ALARM|" + event);
        const IncomingSms::Forward f = IncomingSms::forward(db, m);
        QCOMPARE(f.text + "->" + f.number, forward);
    }

    // A known machine shown in full, then an unknown sender shown compact and filed with empty
    // machine fields, its number cut to 15 characters and its text to 160.
    void theQueueIsShownAndFiledInTurn()
    {
        SmsRig r;
        seedFleet(r);
        r.viewer.insertItem(1, message(1, "+39111", "DOOR"));
        r.viewer.insertItem(2, message(4, "+390123456789012", X160 + "y"));
        r.viewer.showWindow();
        const int fullHeight = r.viewer.height();
        QVERIFY(r.viewer.machineShown() && !r.viewer.Label1[3]->isHidden());
        // "Send" hands the composed text and destination to the send window; the message stays.
        r.viewer.Command2_Click();
        QVERIFY(r.send.isVisible());
        QCOMPARE(r.send.Text1->text() + '|' + r.send.text(),
                 QString("+39333|Bar Roma\r\nVia Po 1\r\nTorino\r\n011 22\r\nCoffee 7\r\nDOOR"));
        QCOMPARE(r.viewer.queued(), 2);
        r.viewer.Command1_Click();
        QVERIFY(r.viewer.isVisible() && !r.viewer.machineShown());
        QVERIFY(r.viewer.Label1[1]->isHidden());
        QCOMPARE(r.viewer.Label2[0]->text(), QString("+390123456789012"));
        QCOMPARE(r.viewer.TextSms->toPlainText(), QString(X160 + "y"));
        QCOMPARE(fullHeight - r.viewer.height(), 1000 / 15);
        QVERIFY(!r.viewer.close()); // only the last OK closes it, not its title bar
        r.viewer.Command1_Click();
        QCOMPARE(r.events(), QStringList({"+39111|21/03/05 10:15:00|DOOR|Coffee 7|Bar Roma|Rossi",
                                          "+39012345678901|21/03/05 10:15:00|" + X160 + "|||"}));
        QVERIFY(!r.viewer.isVisible() && !r.viewer.isLoaded());
    }

    void anUnreadableDatabaseIsReportedAndTheQueueStillWorks()
    {
        SmsRig r;
        QVERIFY(writeFile(r.dbPath(), QByteArray(2048, '#')));
        r.viewer.insertItem(1, message(1, "+39111", "A"));
        r.viewer.showWindow();
        QCOMPARE(r.dialogs.boxes(),
                 QStringList{"Error|The machine database " + r.dbPath() +
                             " cannot be used: file is not a database Unable to execute "
                             "statement.\r\nMachines, sale points and operators will not be "
                             "found and events will not be filed until it is repaired."
                             "|Exclamation|Ok"});
        QVERIFY(!r.viewer.machineShown());
        r.viewer.Command1_Click();
        QVERIFY(!r.viewer.isLoaded());
    }

    // --- send window ---

    // The button, the counter, the parts on the wire, the log entry, and the window closed.
    void sending_data()
    {
        const auto row = Sent::table();
        row("160 characters: one part", A160, "160/160", {A160});
        row("161 characters: two parts, the second of one character", A160 + "b", "320/161",
            {A160, "b"});
        row("321 characters: three parts", A160 + A160 + "c", "480/321", {A160, A160, "c"});
        row("empty text: just Ctrl-Z", "", "160/0", {""});
        row("Ctrl-Z and ESC go as blanks, a line break counts two", "a\x1a\x1b\r\nb", "160/6",
            {"a  \r\nb"});
    }
    void sending()
    {
        const auto [text, counter, parts] = Sent::fetch();
        SmsRig r;
        r.send.opener().show();
        for (auto [number, enabled] : {std::pair{"123", true}, {"12", false}, {"+39333", true}}) {
            r.send.setNumber(number); // "Send" is there from three characters on
            QCOMPARE(r.send.Command1->isEnabled(), enabled);
        }
        r.send.setText(QString::fromLatin1(text));
        QCOMPARE(r.send.Label1[0]->text(), counter);
        QCOMPARE(r.send.Label1[1]->text(), QString::number(parts.size()));
        r.send.Command1_Click();
        QByteArray wire;
        for (const QByteArray &p : parts)
            wire += Cmgs + p + '\x1a';
        QCOMPARE(r.port.written(), wire);
        QCOMPARE(r.store.sent().size(), parts.size());
        QCOMPARE(r.log("SMT2612.log"), "+39333\r\n" + parts.join() + "\r\nSEND OK+\r\n");
        QCOMPARE(r.dialogs.boxes(), QStringList());
        QVERIFY(!r.send.isLoaded());
    }

    // A refused number, or a failure answered No to the retry question, keeps the window and the
    // port with number and text, and logs nothing; closing the window gives the port back.
    void aSendThatDoesNotGoKeepsTheWindow_data()
    {
        NotSent::table();
        const QString retry = "Error|Fail to send SMS! Retry?|Question|YesNo";
        const QString refused =
            "Error|The number must not hold double quotes or line breaks.|Exclamation|Ok";
        const auto row = NotSent::add;
        row("no answer: retry asked after 2 s", -1, "+39333", 2000, retry, Cmgs);
        // The simulated modem answers after 20 ms.
        row("ERROR after the text", int(SmsStore::SendFault::Error), "+39333", 40, retry,
            Cmgs + "x\x1a");
        row("no final OK within 30 s", int(SmsStore::SendFault::NoFinalOk), "+39333", 30020, retry,
            Cmgs + "x\x1a");
        row("number holding a double quote refused", 0, "+39\"3", 0, refused, "");
        row("number holding a line break refused", 0, "+39\n3", 0, refused, "");
    }
    void aSendThatDoesNotGoKeepsTheWindow()
    {
        const auto [fault, number, after, box, written] = NotSent::fetch();
        SmsRig r;
        r.mainWindow.show();
        r.modem.setSilent(fault < 0);
        r.store.failSends(SmsStore::SendFault(qMax(fault, 0)));
        r.dialogs.answerNext(MsgResult::No);
        const qint64 start = r.now();
        r.sendSms(number, "x");
        QCOMPARE(r.now() - start, after);
        QCOMPARE(r.dialogs.boxes(), QStringList{box});
        QCOMPARE(r.port.written(), written);
        QVERIFY(r.send.Command1->isEnabled());
        QCOMPARE(r.send.Text1->text() + '|' + r.send.text(), number + "|x");
        QVERIFY(!QFile::exists(r.logPath("SMT2612.log")));
        QVERIFY(!r.stationState.StationActive);
        QVERIFY(!r.mainWindow.isVisible());
        QVERIFY(r.send.close());
        QVERIFY(r.stationState.StationActive);
        QVERIFY(r.Timer2.isEnabled());
    }

    // Yes resends every part; sends of a month share its log, a new month starts another.
    void resendsAndTheMonthlyLog()
    {
        SmsRig r;
        r.store.failSends(SmsStore::SendFault::NoPrompt, 1, 1); // the second part's prompt
        r.dialogs.answerNext(MsgResult::Yes);
        r.sendSms("+39333", A160 + "b");
        QCOMPARE(r.port.written(),
                 Cmgs + A160 + "\x1a" + Cmgs + Cmgs + A160 + "\x1a" + Cmgs + "b\x1a");
        QCOMPARE(r.store.sent().size(), 3);
        r.sendSms("+39333", "two");
        r.clock.set(QDateTime(QDate(2027, 1, 2), QTime(8, 0)));
        r.sendSms("+39444", "three");
        QCOMPARE(r.log("SMT2612.log"),
                 "+39333\r\n" + A160 + "b\r\nSEND OK+\r\n+39333\r\ntwo\r\nSEND OK+\r\n");
        QCOMPARE(r.log("SMT2701.log"), QByteArray("+39444\r\nthree\r\nSEND OK+\r\n"));
    }

    void threeMessagesAreLoggedQueuedAndDeleted()
    {
        SmsRig r;
        r.store.receive("+393470000001", "ALARM 12 door open", March21);
        r.store.receive("+393470000002", "ERROR", March21.addSecs(61));
        r.store.receive("+393470000003", "OK", March21.addDays(1));
        const QByteArray expected =
            "\r\n+CMGL: 1,\"REC UNREAD\",\"+393470000001\",,\"05/03/21,10:15:00+04\"\r\n"
            "ALARM 12 door open\r\n"
            "+CMGL: 2,\"REC UNREAD\",\"+393470000002\",,\"05/03/21,10:16:01+04\"\r\nERROR\r\n"
            "+CMGL: 3,\"REC UNREAD\",\"+393470000003\",,\"05/03/22,10:15:00+04\"\r\nOK\r\n"
            "\r\nOK\r\n\r\n";
        // Nothing may be deleted before its listing is safely in the log.
        QByteArray loggedAtFirstDeletion;
        QObject::connect(&r.modem, &ModemSim::commandReceived, [&](const QByteArray &line) {
            if (line.startsWith("AT+CMGD") && loggedAtFirstDeletion.isEmpty())
                loggedAtFirstDeletion = r.log("SMR2612.log");
        });
        // One byte at a time: texts reading ERROR and OK are judged at every length.
        r.modem.setChunking(1, 1);

        r.reception.CONTROLLASMS();

        QCOMPARE(r.log("SMR2612.log"), expected);
        QCOMPARE(loggedAtFirstDeletion, expected);
        QCOMPARE(r.store.deleted(), QList<int>({1, 2, 3}));
        QCOMPARE(r.rows(), QStringList({"1|+393470000001|21/03/05|10:15:00|ALARM 12 door open",
                                        "2|+393470000002|21/03/05|10:16:01|ERROR",
                                        "3|+393470000003|22/03/05|10:15:00|OK"}));
        QVERIFY(r.viewer.isVisible());
    }

    // A later poll in a new month, from a modem that lists no alpha field: a new log file, and
    // its messages on top of the queue.
    void aNewMonthStartsANewLogAndItsMessagesGoOnTop()
    {
        SmsRig r;
        r.store.receive("+391", "A", March21);
        r.reception.CONTROLLASMS();
        r.clock.set(QDateTime(QDate(2027, 1, 1), QTime(0, 0, 5)));
        r.store.setForm(SmsStore::Form::GenericNoAlpha);
        r.store.receive("+392", "B", March21);
        r.store.receive("+393", "C", March21, -8);
        r.reception.CONTROLLASMS();
        QCOMPARE(r.log("SMR2612.log"),
                 QByteArray("\r\n+CMGL: 1,\"REC UNREAD\",\"+391\",,\"05/03/21,10:15:00+04\"\r\nA"
                            "\r\n\r\nOK\r\n\r\n"));
        QCOMPARE(r.log("SMR2701.log"),
                 QByteArray("\r\n+CMGL: 1,\"REC UNREAD\",\"+392\",\"05/03/21,10:15:00+04\"\r\nB"
                            "\r\n+CMGL: 2,\"REC UNREAD\",\"+393\",\"05/03/21,10:15:00-08\"\r\nC"
                            "\r\n\r\nOK\r\n\r\n"));
        QCOMPARE(r.rows(), QStringList({"1|+392|21/03/05|10:15:00|B", "2|+393|21/03/05|10:15:00|C",
                                        "1|+391|21/03/05|10:15:00|A"}));
    }

    // An answer holding no message, a failure, silence, or a port the station may not use:
    // nothing logged, deleted or opened.
    void aListingWithoutMessagesLogsDeletesAndOpensNothing_data()
    {
        const auto row = NoMessage::table();
        row("port lent: nothing sent", {}, -1);
        row("empty store: OK alone", "\r\nOK\r\n", 20);
        row("ERROR", "\r\nERROR\r\n", 20);
        row("silence", {}, 15000);
        row("listing never ended",
            "\r\n+CMGL: 1,\"REC UNREAD\",\"+39\",,\"05/03/21,10:15:00+04\"\r\nA\r\n", 15000);
    }
    void aListingWithoutMessagesLogsDeletesAndOpensNothing()
    {
        const auto [answer, duration] = NoMessage::fetch();
        SmsRig r;
        r.comOK = duration >= 0;
        r.store.receive("+391", "A", March21);
        r.modem.setOverride("AT+CMGL=\"ALL\"", answer);
        const qint64 start = r.now();
        r.reception.CONTROLLASMS();
        QCOMPARE(r.now() - start, qMax(duration, qint64(0)));
        QCOMPARE(r.port.written(), r.comOK ? QByteArray("AT+CMGL=\"ALL\"\r") : QByteArray());
        QVERIFY(!QFile::exists(r.logPath("SMR2612.log")));
        QVERIFY(!r.viewer.isLoaded());
    }

    void whenTheLogCannotBeWrittenTheMessagesStayInTheModem()
    {
        SmsRig r;
        QDir(r.workFolder()).mkdir("SMR2612.log"); // a folder where the file should be
        r.store.receive("+391", "A", March21);
        r.reception.CONTROLLASMS();
        r.reception.CONTROLLASMS();
        QCOMPARE(r.store.deleted(), QList<int>());
        QVERIFY(!r.viewer.isLoaded());
        // Told once, not at every tick.
        QCOMPARE(r.dialogs.boxes(),
                 QStringList{"Error|The received SMS cannot be written to " +
                             QDir::toNativeSeparators(r.logPath("SMR2612.log")) +
                             " (Is a directory).\r\nThey stay in the modem until the log can be "
                             "written.|Exclamation|Ok"});
        QDir(r.workFolder()).rmdir("SMR2612.log");
        r.reception.CONTROLLASMS();
        QCOMPARE(r.store.deleted(), QList<int>{1});
    }

    // Line noise around and inside a listing: only messages the listing genuinely holds are
    // deleted. Message 2 is in the store but not listed, and the noise names its index.
    void noiseNeverDeletesWhatWasNotListed_data()
    {
        Noise::table();
        const QByteArray ok = "\r\n\r\nOK\r\n";
        const QByteArray stamp = ",,\"05/03/21,10:16:00+04\"";
        auto row = [&](const char *name, const QByteArray &before, const QByteArray &between,
                       const QByteArray &end, bool received) {
            Noise::add(name, before, between, end, received ? QList<int>{1, 3} : QList<int>{});
        };
        row("a header fragment in a garbled line", "\r\n\x8c\xff+CMGL: 2,\"REC", "", ok, true);
        row("an absurd index", "",
            "\r\n+CMGL: 999999999999999999,\"REC UNREAD\",\"+392\"" + stamp + "\r\nX", ok, true);
        row("a header glued to noise inside a line", "",
            "\r\n#\x03+CMGL: 2,\"REC UNREAD\",\"+392\"" + stamp + "\r\nX", ok, true);
        row("a garbled status", "\r\n+CMGL: 2,\"REC U\xd2READ\",\"+392\"" + stamp + "\r\nX", "", ok,
            true);
        row("no blank before the index", "",
            "\r\n+CMGL:2,\"REC UNREAD\",\"+392\"" + stamp + "\r\nX", ok, true);
        row("a header without its number", "", "\r\n+CMGL: 2,\"REC UNREAD\"\r\nX", ok, true);
        row("a header after the final OK", "", "",
            ok + "+CMGL: 2,\"REC UNREAD\",\"+392\"" + stamp + "\r\nX\r\n", true);
        // Genuinely listed, so deleted as ever; its raw text stays in the log.
        Noise::add("a listed header without its time stamp is deleted, not shown", {},
                   "\r\n+CMGL: 2,\"REC UNREAD\",\"+392\"\r\nPOWER FAIL", ok, {1, 2, 3});
        row("a garbled final OK: the listing never ends", "", "\r\n+CMGL: 2,\"REC",
            "\r\n\r\nO\xcbK\r\n", false);
    }
    void noiseNeverDeletesWhatWasNotListed()
    {
        const auto [before, between, finalLines, deleted] = Noise::fetch();
        SmsRig r;
        r.store.receive("+391", "DOOR OPEN", March21);
        r.store.receive("+392", "POWER FAIL", March21.addSecs(60));
        r.store.receive("+393", "COIN JAM", March21.addSecs(120));
        r.modem.setOverride(
            "AT+CMGL=\"ALL\"",
            before + "\r\n+CMGL: 1,\"REC UNREAD\",\"+391\",,\"05/03/21,10:15:00+04\"\r\nDOOR OPEN" +
                between +
                "\r\n+CMGL: 3,\"REC UNREAD\",\"+393\",,\"05/03/21,10:17:00+04\"\r\nCOIN JAM" +
                finalLines);
        r.reception.CONTROLLASMS();
        QList<int> deletes;
        for (const QByteArray &c : r.modem.commands())
            if (c.startsWith("AT+CMGD="))
                deletes << c.mid(8).toInt();
        QCOMPARE(deletes, deleted);
        QCOMPARE(r.store.count(), 3 - deleted.size());
        if (!deleted.isEmpty()) {
            QCOMPARE(r.rows(), QStringList({"1|+391|21/03/05|10:15:00|DOOR OPEN",
                                            "3|+393|21/03/05|10:17:00|COIN JAM"}));
            QVERIFY(r.log("SMR2612.log").contains(before + "\r\n+CMGL: 1,"));
        } else {
            QVERIFY(!r.viewer.isLoaded());
        }
    }

    void theTelitPathReadsEachMessageForItsTimeStamp()
    {
        SmsRig r;
        r.stationState.Manufacturer = "Telit_Mobile_Terminals";
        r.store.setForm(SmsStore::Form::Telit);
        r.store.receive("+391", "A", March21);
        r.store.receive("+392", "B", March21.addDays(3).addSecs(3600 + 59));
        r.store.receive("+393", "C", March21);
        // The third read is not answered: it keeps the second message's date and time.
        r.modem.setOverride("AT+CMGR=3", "");
        r.reception.CONTROLLASMS();
        QCOMPARE(r.modem.commands(),
                 QList<QByteArray>({"AT+CMGL=\"ALL\"", "AT+CMGR=1", "AT+CMGD=1", "AT+CMGR=2",
                                    "AT+CMGD=2", "AT+CMGR=3", "AT+CMGD=3"}));
        QCOMPARE(r.rows(), QStringList({"1|+391|21/03/05|10:15|A", "2|+392|24/03/05|11:15|B",
                                        "3|+393|24/03/05|11:15|C"}));
    }

    // The demo: alarms from the fleet reach the queue, the second from a number nobody knows,
    // and the demo database knows the first machine.
    void theDemoFleetsAlarmsReachTheQueue()
    {
        SmsRig r;
        {
            SqlMachineDb db(r.dbPath());
            QVERIFY(db.open());
            QVERIFY(DemoData::seed(db));
        }
        SimulatedFleet fleet(r.store, r.clock, {"+393471110001"}, DemoData::strangerNumber());
        fleet.start(1000, 1000, 1000);
        r.time.rt.runFor(2500);
        r.reception.CONTROLLASMS();
        QCOMPARE(r.rows(),
                 QStringList({"1|+393471110001|05/12/26|09:00:01|ALARM 15 TEMPERATURE HIGH",
                              "2|+393339876543|05/12/26|09:00:02|ALARM 11 DOOR OPEN"}));
        QCOMPARE(r.viewer.Label1[1]->text(), QString("Coffee 1 - hall"));
    }
};

QTEST_MAIN(SmsTest)
#include "tst_sms.moc"
