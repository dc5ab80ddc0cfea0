#include "IncomingSms.h"
#include "SmsRig.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

namespace {
SmsListing::Message message(qint64 index, const QByteArray &number, const QString &text)
{
    return {0, index, true, number, "21/03/05", "10:15:00", text.toLatin1()};
}

// Machine "+39111" at sale point "Bar Roma" looked after by "Rossi" (a later record has the same
// number); machine "+39222" whose sale point and operator are in neither table; a sale point
// and an operator with empty names.
void seedFleet(SmsRig &r)
{
    SqlMachineDb db(r.dbPath());
    QVERIFY(db.open());
    for (auto [gsm, machine, point, op] : {std::tuple{"+39111", "Coffee 7", "Bar Roma", "Rossi"},
                                           {"+39222", "Snack 2", "Nowhere", "Nobody"},
                                           {"+39111", "a later record", "", ""}})
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

// The incoming SMS window and the send window against the simulated modem and a real database.
class WindowsTest : public QObject
{
    Q_OBJECT

private slots:
    // The sender is identified by an exact comparison with the number as received; "OK" files
    // what is on show, "Send" composes the forward and chooses where it goes.
    void identifyFileAndForward_data()
    {
        QTest::addColumn<bool>("database");
        QTest::addColumn<QString>("sender");
        QTest::addColumn<QString>("event"); // the machine identified, as the Eventi record holds it
        QTest::addColumn<QString>("forward"); // text, then "->" and the number
        const auto row = [](const char *tag, bool database, const char *sender, const char *event,
                            const char *forward) {
            QTest::newRow(tag) << database << QString(sender) << QString(event) << QString(forward);
        };
        row("known machine, sale point and operator", true, "+39111", "Coffee 7|Bar Roma|Rossi",
            "Bar Roma\r\nVia Po 1\r\nTorino\r\n011 22\r\nCoffee 7\r\nALARM->+39333");
        row("sale point and operator unknown: description, back to the machine", true, "+39222",
            "Snack 2|Nowhere|Nobody", "Snack 2\r\nALARM->+39222");
        row("unknown sender: empty machine fields, the text alone back to the sender", true,
            "+39999", "-|-|-", "ALARM->+39999");
        row("the leading + counts", true, "39111", "-|-|-", "ALARM->39111");
        row("no database: nothing identified, back to the sender", false, "+39111", "-|-|-",
            "ALARM->+39111");
    }
    void identifyFileAndForward()
    {
        QFETCH(bool, database);
        QFETCH(QString, sender);
        QFETCH(QString, event);
        QFETCH(QString, forward);
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

    // "Send" hands the composed text and destination to the send window; the message stays.
    void forwardingFillsTheSendWindow()
    {
        SmsRig r;
        seedFleet(r);
        r.viewer.insertItem(1, message(1, "+39111", "ALARM"));
        r.viewer.showWindow();
        r.viewer.Command2_Click();
        QVERIFY(r.send.isVisible());
        QCOMPARE(r.send.text(),
                 QString("Bar Roma\r\nVia Po 1\r\nTorino\r\n011 22\r\nCoffee 7\r\nALARM"));
        QCOMPARE(r.send.Text1->text(), QString("+39333"));
        QCOMPARE(r.viewer.queued(), 1);
    }

    void anUnreadableDatabaseIsReportedAndTheQueueStillWorks()
    {
        SmsRig r;
        QFile f(r.dbPath());
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(QByteArray(2048, '#')) == 2048);
        f.close();
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

    void sendIsEnabledFromThreeCharacters()
    {
        SmsRig r;
        for (auto [number, enabled] : {std::pair{"12", false}, {"123", true}, {"1", false}}) {
            r.send.setNumber(number);
            QCOMPARE(r.send.Command1->isEnabled(), enabled);
        }
    }

    // The counter, the parts on the wire, the log entry, and the window closed.
    void sending_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("counter");
        QTest::addColumn<QByteArrayList>("parts");
        const auto row = [](const char *tag, const QByteArray &text, const char *counter,
                            const QByteArrayList &parts) {
            QTest::newRow(tag) << QString::fromLatin1(text) << QString(counter) << parts;
        };
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
        QFETCH(QString, text);
        QFETCH(QString, counter);
        QFETCH(QByteArrayList, parts);
        SmsRig r;
        r.send.opener().show();
        r.send.setNumber("+39333");
        r.send.setText(text);
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
        QTest::addColumn<int>("fault"); // -1: the modem answers nothing at all
        QTest::addColumn<QString>("number");
        QTest::addColumn<qint64>("after");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QByteArray>("written");
        const QString retry = "Error|Fail to send SMS! Retry?|Question|YesNo";
        const QString refused =
            "Error|The number must not hold double quotes or line breaks.|Exclamation|Ok";
        const auto row = [](const char *tag, int fault, const char *number, qint64 after,
                            const QString &box, const QByteArray &written) {
            QTest::newRow(tag) << fault << QString(number) << after << box << written;
        };
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
        QFETCH(int, fault);
        QFETCH(QString, number);
        QFETCH(qint64, after);
        QFETCH(QString, box);
        QFETCH(QByteArray, written);
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

    void yesResendsEveryPart()
    {
        SmsRig r;
        r.store.failSends(SmsStore::SendFault::NoPrompt, 1, 1); // the second part's prompt
        r.dialogs.answerNext(MsgResult::Yes);
        r.sendSms("+39333", A160 + "b");
        QCOMPARE(r.port.written(),
                 Cmgs + A160 + "\x1a" + Cmgs + Cmgs + A160 + "\x1a" + Cmgs + "b\x1a");
        QCOMPARE(r.store.sent().size(), 3);
        QCOMPARE(r.log("SMT2612.log"), "+39333\r\n" + A160 + "b\r\nSEND OK+\r\n");
    }

    void twoSendsInAMonthShareTheLogAndANewMonthStartsAnother()
    {
        SmsRig r;
        r.sendSms("+39333", "one");
        r.sendSms("+39333", "two");
        r.clock.set(QDateTime(QDate(2027, 1, 2), QTime(8, 0)));
        r.sendSms("+39444", "three");
        QCOMPARE(r.log("SMT2612.log"),
                 QByteArray("+39333\r\none\r\nSEND OK+\r\n+39333\r\ntwo\r\nSEND OK+\r\n"));
        QCOMPARE(r.log("SMT2701.log"), QByteArray("+39444\r\nthree\r\nSEND OK+\r\n"));
    }
};

QTEST_MAIN(WindowsTest)
#include "tst_windows.moc"
