#include "SmsRig.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

namespace {
SmsListing::Message message(qint64 index, const QByteArray &number, const QByteArray &text)
{
    SmsListing::Message m;
    m.index = index;
    m.parsed = true;
    m.number = number;
    m.date = "21/03/05";
    m.time = "10:15:00";
    m.text = text;
    return m;
}

// Machine "+39111" at sale point "Bar Roma" looked after by "Rossi"; machine "+39222" whose sale
// point and operator are in neither table.
void seedFleet(SmsRig &r)
{
    r.seed("Distributori", {{{"GSM", "+39111"},
                             {"Description", "Coffee 7"},
                             {"Sale point", "Bar Roma"},
                             {"Operator", "Rossi"}},
                            {{"GSM", "+39222"},
                             {"Description", "Snack 2"},
                             {"Sale point", "Nowhere"},
                             {"Operator", "Nobody"}}});
    r.seed("PuntiVendita", {{{"Name", "Bar Roma"},
                             {"Address", "Via Po 1"},
                             {"City", "Torino"},
                             {"Telephone", "011 22"}}});
    r.seed("Operatori", {{{"Name", "Rossi"}, {"Celular", "+39333"}}});
}

QString wire(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes);
}
} // namespace

// The incoming SMS window and the send window against the simulated modem and a real database.
class WindowsTest : public QObject
{
    Q_OBJECT

private slots:
    // --- incoming SMS window ---

    void anUnknownSenderIsShownCompactAndFiledWithoutMachine()
    {
        SmsRig r;
        seedFleet(r);
        r.viewer.insertItem(1, message(4, "+39999", "ALARM 9"));
        r.viewer.showWindow();
        QCOMPARE(r.viewer.windowTitle(), QString("SMS"));
        QCOMPARE(r.viewer.ListView1->headerItem()->text(0), QString::fromUtf8("N°"));
        QVERIFY(!r.viewer.machineShown());
        QVERIFY(r.viewer.Label1[1]->isHidden());
        QVERIFY(r.viewer.LabelM[1]->isHidden());
        QCOMPARE(r.viewer.TextSms->y(), 440 / 15);
        QCOMPARE(r.viewer.Command1->y(), 2120 / 15);
        QCOMPARE(r.viewer.Label2[0]->text(), QString("+39999"));
        QCOMPARE(r.viewer.TextSms->toPlainText(), QString("ALARM 9"));

        r.viewer.Command1_Click();
        QCOMPARE(r.events(), QList<DbRecord>({{{"Number", "+39999"},
                                               {"Data", "21/03/05 10:15:00"},
                                               {"SMS", "ALARM 9"},
                                               {"Vending machine", ""},
                                               {"Sale point", ""},
                                               {"Operator", ""}}}));
        QVERIFY(!r.viewer.isVisible());
        QVERIFY(!r.viewer.isLoaded());
    }

    void aKnownMachineIsShownInFullAndTheQueueMovesOn()
    {
        SmsRig r;
        seedFleet(r);
        r.viewer.insertItem(1, message(1, "+39111", "DOOR"));
        r.viewer.insertItem(2, message(2, "+39999", "NEXT"));
        r.viewer.showWindow();
        const int fullHeight = r.viewer.height();
        QVERIFY(r.viewer.machineShown());
        QCOMPARE(r.viewer.Label1[1]->text(), QString("Coffee 7"));
        QCOMPARE(r.viewer.Label1[2]->text(), QString("Bar Roma"));
        QCOMPARE(r.viewer.Label1[3]->text(), QString("Rossi"));
        QVERIFY(!r.viewer.Label1[3]->isHidden());
        QCOMPARE(r.viewer.TextSms->y(), 1440 / 15);
        QCOMPARE(r.viewer.Command2->y(), 3120 / 15);

        r.viewer.Command1_Click();
        QCOMPARE(r.events().value(0), DbRecord({{"Number", "+39111"},
                                                {"Data", "21/03/05 10:15:00"},
                                                {"SMS", "DOOR"},
                                                {"Vending machine", "Coffee 7"},
                                                {"Sale point", "Bar Roma"},
                                                {"Operator", "Rossi"}}));
        QVERIFY(r.viewer.isVisible());
        QCOMPARE(r.viewer.queued(), 1);
        QCOMPARE(r.viewer.Label2[0]->text(), QString("+39999"));
        QVERIFY(!r.viewer.machineShown());
        QCOMPARE(fullHeight - r.viewer.height(), 1000 / 15);

        // The machine of the previous message does not stick to an unknown sender.
        r.viewer.Command1_Click();
        QCOMPARE(r.events().value(1), DbRecord({{"Number", "+39999"},
                                                {"Data", "21/03/05 10:15:00"},
                                                {"SMS", "NEXT"},
                                                {"Vending machine", ""},
                                                {"Sale point", ""},
                                                {"Operator", ""}}));
        QVERIFY(!r.viewer.isLoaded());
    }

    void theEventCutsNumberAndText_data()
    {
        QTest::addColumn<QByteArray>("number");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("filedNumber");
        QTest::addColumn<QString>("filedText");
        const QByteArray t160(160, 'x');
        QTest::newRow("15 and 160 kept")
            << QByteArray("+39012345678901") << t160 << "+39012345678901" << QString(t160);
        QTest::newRow("16 and 161 cut")
            << QByteArray("+390123456789012") << t160 + 'y' << "+39012345678901" << QString(t160);
    }
    void theEventCutsNumberAndText()
    {
        QFETCH(QByteArray, number);
        QFETCH(QByteArray, text);
        QFETCH(QString, filedNumber);
        QFETCH(QString, filedText);
        SmsRig r;
        r.viewer.insertItem(1, message(1, number, text));
        r.viewer.showWindow();
        r.viewer.Command1_Click();
        QCOMPARE(r.events().value(0).value("Number"), filedNumber);
        QCOMPARE(r.events().value(0).value("SMS"), filedText);
    }

    void theWindowIsNotClosedFromItsTitleBar()
    {
        SmsRig r;
        r.viewer.insertItem(1, message(1, "+39", "A"));
        r.viewer.showWindow();
        QVERIFY(!r.viewer.close());
        QVERIFY(r.viewer.isVisible());
        QVERIFY(!(r.viewer.windowFlags() & Qt::WindowCloseButtonHint));
    }

    void forwarding_data()
    {
        QTest::addColumn<QByteArray>("sender");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("number");
        QTest::newRow("machine, sale point and operator known")
            << QByteArray("+39111")
            << "Bar Roma\r\nVia Po 1\r\nTorino\r\n011 22\r\nCoffee 7\r\nALARM"
            << "+39333";
        QTest::newRow("sale point and operator unknown: description, back to the machine")
            << QByteArray("+39222") << "Snack 2\r\nALARM"
            << "+39222";
        QTest::newRow("unknown sender: the text alone, back to the sender")
            << QByteArray("+39999") << "ALARM"
            << "+39999";
    }
    void forwarding()
    {
        QFETCH(QByteArray, sender);
        QFETCH(QString, text);
        QFETCH(QString, number);
        SmsRig r;
        seedFleet(r);
        r.viewer.insertItem(1, message(1, sender, "ALARM"));
        r.viewer.showWindow();
        r.viewer.Command2_Click();
        QVERIFY(r.send.isVisible());
        QCOMPARE(r.send.text(), text);
        QCOMPARE(r.send.Text1->text(), number);
        QCOMPARE(r.viewer.queued(), 1);
    }

    void anUnreadableDatabaseIsReportedAndTheQueueStillWorks()
    {
        SmsRig r;
        QFile f(r.dbPath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(2048, '#'));
        f.close();
        r.viewer.insertItem(1, message(1, "+39111", "A"));
        r.viewer.showWindow();
        QCOMPARE(r.dialogs.messages().size(), 1);
        QVERIFY(r.dialogs.messages().at(0).startsWith("Error|The machine database " + r.dbPath() +
                                                      " cannot be used: "));
        QVERIFY(!r.viewer.machineShown());
        r.viewer.Command2_Click();
        QCOMPARE(r.send.text(), QString("A"));
        r.viewer.Command1_Click();
        QVERIFY(!r.viewer.isLoaded());
    }

    // --- send window ---

    void theCounterShowsCapacityAndLength_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("counter");
        QTest::addColumn<QString>("parts");
        QTest::newRow("empty") << ""
                               << "160/0"
                               << "1";
        QTest::newRow("45") << QString(45, 'a') << "160/45"
                            << "1";
        QTest::newRow("160") << QString(160, 'a') << "160/160"
                             << "1";
        QTest::newRow("161") << QString(161, 'a') << "320/161"
                             << "2";
        QTest::newRow("321") << QString(321, 'a') << "480/321"
                             << "3";
        QTest::newRow("a line break counts as CR LF") << "ab\r\ncd"
                                                      << "160/6"
                                                      << "1";
        QTest::newRow("Ctrl-Z and ESC count as they are") << "a\x1a\x1b"
                                                          << "160/3"
                                                          << "1";
    }
    void theCounterShowsCapacityAndLength()
    {
        QFETCH(QString, text);
        QFETCH(QString, counter);
        QFETCH(QString, parts);
        SmsRig r;
        r.send.setText(text);
        QCOMPARE(r.send.Label1[0]->text(), counter);
        QCOMPARE(r.send.Label1[1]->text(), parts);
    }

    void sendIsEnabledFromThreeCharacters()
    {
        SmsRig r;
        for (auto [number, enabled] :
             {std::pair{"", false}, {"1", false}, {"12", false}, {"123", true}, {"1", false}}) {
            r.send.setNumber(number);
            QCOMPARE(r.send.Command1->isEnabled(), enabled);
        }
    }

    void loadingBorrowsThePortAndClosingGivesItBack()
    {
        SmsRig r;
        r.mainWindow.show();
        modPublic().LinkActive = true;
        r.send.opener().show();
        QCOMPARE(r.send.windowTitle(), QString("Send sms"));
        QVERIFY(!modPublic().StationActive);
        QVERIFY(!modPublic().LinkActive);
        QVERIFY(!r.mainWindow.isVisible());
        QVERIFY(r.send.opener().isLoaded());
        QVERIFY(r.send.close());
        QVERIFY(modPublic().StationActive);
        QVERIFY(r.Timer2.isEnabled());
        QVERIFY(!r.send.opener().isLoaded());
    }

    void sending_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QList<QByteArray>>("received");
        const QString a160(160, 'a');
        QTest::newRow("160 characters: one part")
            << a160 << "AT+CMGS=\"+39333\"\r" + a160 + "\x1a" << QList<QByteArray>{a160.toLatin1()};
        QTest::newRow("161 characters: two parts, the second of one character")
            << a160 + "b"
            << "AT+CMGS=\"+39333\"\r" + a160 + "\x1a" + "AT+CMGS=\"+39333\"\rb\x1a"
            << QList<QByteArray>{a160.toLatin1(), "b"};
        QTest::newRow("empty text: just Ctrl-Z")
            << ""
            << "AT+CMGS=\"+39333\"\r\x1a" << QList<QByteArray>{""};
        QTest::newRow("Ctrl-Z and ESC go as blanks")
            << "a\x1a\x1b\r\nb"
            << "AT+CMGS=\"+39333\"\ra  \r\nb\x1a" << QList<QByteArray>{"a  \r\nb"};
    }
    void sending()
    {
        QFETCH(QString, text);
        QFETCH(QString, written);
        QFETCH(QList<QByteArray>, received);
        SmsRig r;
        r.send.opener().show();
        r.send.setNumber("+39333");
        r.send.setText(text);
        r.send.Command1_Click();
        QCOMPARE(wire(r.port.written()), written);
        QList<QByteArray> texts;
        for (const SmsStore::Sent &s : r.store.sent()) {
            QCOMPARE(s.number, QByteArray("+39333"));
            texts << s.text;
        }
        QCOMPARE(texts, received);
        QCOMPARE(r.log("SMT2612.log"), "+39333\r\n" + wireText(text) + "\r\nSEND OK+\r\n");
        QVERIFY(!r.send.isLoaded());
        QVERIFY(modPublic().StationActive);
        QCOMPARE(r.dialogs.messages(), QStringList());
    }

    void noAnswerAsksToRetryAfterTwoSeconds()
    {
        SmsRig r;
        r.modem.setSilent(true);
        r.send.opener().show();
        r.send.setNumber("+39333");
        r.send.setText("hello");
        r.dialogs.answerNext(MsgResult::No);
        const qint64 start = r.now();
        r.send.Command1_Click();
        QCOMPARE(r.now() - start, qint64(2000));
        QCOMPARE(r.dialogs.shown().size(), 1);
        QCOMPARE(r.dialogs.shown().at(0).text, QString("Fail to send SMS! Retry?"));
        QCOMPARE(r.dialogs.shown().at(0).title, QString("Error"));
        QCOMPARE(r.dialogs.shown().at(0).icon, MsgIcon::Question);
        QCOMPARE(r.dialogs.shown().at(0).buttons, MsgButtons::YesNo);
        QCOMPARE(wire(r.port.written()), QString("AT+CMGS=\"+39333\"\r"));
        QVERIFY(r.send.isLoaded());
        QVERIFY(r.send.Command1->isEnabled());
        QCOMPARE(r.send.text(), QString("hello"));
        QVERIFY(!QFile::exists(r.logPath("SMT2612.log")));
    }

    void aFailureAfterTheText_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<qint64>("wait");
        QTest::newRow("ERROR") << int(SmsStore::SendFault::Error) << qint64(0);
        QTest::newRow("no final OK within 30 s")
            << int(SmsStore::SendFault::NoFinalOk) << qint64(30000);
    }
    void aFailureAfterTheText()
    {
        QFETCH(int, fault);
        QFETCH(qint64, wait);
        SmsRig r;
        r.send.opener().show();
        r.send.setNumber("+39333");
        r.send.setText("x");
        r.store.failSends(SmsStore::SendFault(fault));
        r.dialogs.answerNext(MsgResult::No);
        const qint64 start = r.now();
        r.send.Command1_Click();
        QVERIFY(r.now() - start >= wait);
        QVERIFY(r.now() - start < wait + 1000);
        QCOMPARE(r.dialogs.messages(), QStringList{"Error|Fail to send SMS! Retry?"});
        QVERIFY(r.send.isLoaded());
    }

    void yesResendsEveryPart()
    {
        SmsRig r;
        r.send.opener().show();
        r.send.setNumber("+39333");
        r.send.setText(QString(160, 'a') + "b");
        r.store.failSends(SmsStore::SendFault::NoPrompt, 1, 1); // the second part's prompt
        r.dialogs.answerNext(MsgResult::Yes);
        r.send.Command1_Click();
        const QByteArray a160(160, 'a');
        const QByteArray cmgs = "AT+CMGS=\"+39333\"\r";
        QCOMPARE(wire(r.port.written()),
                 wire(cmgs + a160 + "\x1a" + cmgs + cmgs + a160 + "\x1a" + cmgs + "b\x1a"));
        QCOMPARE(r.store.sent().size(), 3);
        QCOMPARE(r.log("SMT2612.log"), "+39333\r\n" + a160 + "b\r\nSEND OK+\r\n");
        QVERIFY(!r.send.isLoaded());
    }

    void twoSendsInAMonthShareTheLogAndANewMonthStartsAnother()
    {
        SmsRig r;
        for (const char *text : {"one", "two"}) {
            r.send.opener().show();
            r.send.setNumber("+39333");
            r.send.setText(text);
            r.send.Command1_Click();
        }
        r.clock.set(QDateTime(QDate(2027, 1, 2), QTime(8, 0)));
        r.send.opener().show();
        r.send.setNumber("+39444");
        r.send.setText("three");
        r.send.Command1_Click();
        QCOMPARE(r.log("SMT2612.log"),
                 QByteArray("+39333\r\none\r\nSEND OK+\r\n+39333\r\ntwo\r\nSEND OK+\r\n"));
        QCOMPARE(r.log("SMT2701.log"), QByteArray("+39444\r\nthree\r\nSEND OK+\r\n"));
    }

    void aNumberWithAQuoteOrALineBreakIsRefused_data()
    {
        QTest::addColumn<QString>("number");
        QTest::newRow("double quote") << "+39\"3";
        QTest::newRow("line break") << "+39\n3";
    }
    void aNumberWithAQuoteOrALineBreakIsRefused()
    {
        QFETCH(QString, number);
        SmsRig r;
        r.send.opener().show();
        r.send.setNumber(number);
        r.send.setText("x");
        r.send.Command1_Click();
        QCOMPARE(r.dialogs.messages(),
                 QStringList{"Error|The number must not hold double quotes or line breaks."});
        QCOMPARE(r.port.written(), QByteArray());
        QVERIFY(r.send.isLoaded());
    }

private:
    static QByteArray wireText(const QString &text) { return FrmSend::wireText(text); }
};

QTEST_MAIN(WindowsTest)
#include "tst_windows.moc"
