// The station as the program wires it (StationDesk), against a simulated modem, machine and SMS
// store on virtual time: the windows that borrow the modem keep clear of each other and of the
// unattended collection, the SMS desk keeps in step inside the polling ticks, and "Exit" ends
// whatever the station is waiting for.
#include "AuditArchive.h"
#include "FrmCall.h"
#include "FrmSend.h"
#include "FrmSms.h"
#include "GsmModem.h"
#include "MachineController.h"
#include "MachineDb.h"
#include "SignalBar.h"
#include "SmsStore.h"
#include "StationDesk.h"
#include "StationFixture.h"
#include "UnattendedCollector.h"

#include <QAction>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

namespace {
const QString Corridor = QStringLiteral("3351234567");

struct Rig : StationFixture
{
    Rig()
    {
        gsm.setLatency(0);
        port.plug(1, &gsm);
        gsm.addMachine(Corridor.toLatin1(), &machine);
        store.install(gsm);
        // Every chunk on its way to the station passes through here first.
        gsm.setOutput([this](const QByteArray &bytes) {
            if (!answers.isEmpty())
                answers.last() += bytes;
            port.deliver(&gsm, bytes);
        });
        QObject::connect(&gsm, &ModemSim::commandReceived, [this](const QByteArray &line) {
            log << line;
            answers << QByteArray();
        });
    }
    // Starts, with an unattended entry for Corridor at 09:03 on Saturdays (today) when asked,
    // and runs until the modem is registered.
    bool start(bool collectAt0903 = false)
    {
        SqlMachineDb db(programFile("Dati.mdb"));
        bool ready = db.open() && db.append(MachineTables::Distributori,
                                            {{"Description", "Corridor A"}, {"GSM", Corridor}});
        if (collectAt0903) {
            Schedule schedule(programFile("PROGOR.DAT"));
            schedule[0].setNumber(Corridor);
            schedule[0].setHour(9);
            schedule[0].setMinute(3);
            schedule[0].setWeekday(6, true);
            schedule[0].setWeekly(true);
            schedule[0].setUnattended(true);
            ready = ready && schedule.save() &&
                    write("decod.asm", "CA2,CASH,3,6,8\r\nDA1,BLOCK\r\n") &&
                    write("address.asm", "CASH,0\r\nBLOCK,10\r\n");
        }
        return ready && desk.station().load() &&
               time.rt.runUntil([this] { return desk.station().mnuCall->isEnabled(); }, 120'000);
    }
    QString programFile(const QString &name) const { return QDir(programFolder()).filePath(name); }
    bool write(const QString &name, const QByteArray &bytes) const
    {
        QFile f(programFile(name));
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    }
    // How often line reached the modem after the first `from` lines of the log.
    int sentAfter(const QByteArray &line, qsizetype from) const
    {
        return int(log.mid(from).count(line));
    }
    // What the modem sent back between the first `command` and the next command.
    QByteArray answerTo(const QByteArray &command) const
    {
        const qsizetype i = log.indexOf(command);
        return i < 0 ? "<not sent>" : answers[i];
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
    // The filed events, "Number|Data|SMS" each.
    QStringList events() const
    {
        SqlMachineDb db(programFile("Dati.mdb"));
        db.open();
        QStringList out;
        for (const DbRecord &e : db.records(MachineTables::Eventi))
            out << QStringList{e.value("Number"), e.value("Data"), e.value("SMS")}.join('|');
        return out;
    }
    GsmModem gsm;
    SmsStore store;
    MachineController machine{MachineProfile::forNumber(Corridor.toLatin1())};
    StationDesk desk{services, nullptr};
    FrmCall &console = desk.calls().window();
    FrmSend &sendWindow = desk.sms().sendWindow();
    WindowOpener &send = sendWindow.opener();
    FrmSms &viewer = desk.sms().smsWindow();
    FrmStGSM &station = desk.station();
    QList<QByteArray> log;     // every command line the modem understood
    QList<QByteArray> answers; // what the modem answered to each
};
} // namespace

class DeskTest : public QObject
{
    Q_OBJECT

private slots:
    // Each window holds the modem while it is open: opening one closes the other, and the
    // station's polling stays off the port until the last one has closed.
    void consoleAndSendWindowCloseEachOther_data()
    {
        QTest::addColumn<bool>("consoleFirst");
        QTest::newRow("console open, then \"Send SMS\"") << true;
        QTest::newRow("send window open, then \"Call\"") << false;
    }
    void consoleAndSendWindowCloseEachOther()
    {
        QFETCH(bool, consoleFirst);
        Rig r;
        QVERIFY(r.start());
        QAction *call = r.desk.station().mnuCall, *sms = r.desk.station().mnuSSMS;
        WindowOpener &first = consoleFirst ? static_cast<WindowOpener &>(r.console) : r.send;
        WindowOpener &second = consoleFirst ? r.send : static_cast<WindowOpener &>(r.console);

        (consoleFirst ? call : sms)->trigger();
        QVERIFY(first.isLoaded());
        (consoleFirst ? sms : call)->trigger();
        QVERIFY(second.isLoaded());
        QVERIFY(!first.isLoaded());
        QCOMPARE(QDir::currentPath(), r.programFolder()); // "Call" works in the program folder
        const qsizetype opened = r.log.size();
        r.time.rt.runFor(30'000);
        QCOMPARE(r.sentAfter("AT+CSQ", opened), 0);

        second.unload();
        const qsizetype closed = r.log.size();
        QVERIFY(r.time.rt.runUntil([&] { return r.sentAfter("AT+CSQ", closed) > 0; }, 15'000));
    }

    // The collection falls due while the operator works in the console: it waits until the
    // console is closed, then dials at once and files the audit.
    void anOpenConsoleDefersTheCollection()
    {
        Rig r;
        QVERIFY(r.start(true));
        UnattendedCollector *collector = r.desk.collect().collector();
        QVERIFY(collector);
        r.desk.station().mnuCall->trigger();
        r.time.rt.runFor(20 * 60'000);
        QCOMPARE(collector->waiting(), QStringList{Corridor});
        QCOMPARE(r.sentAfter("ATD" + Corridor.toLatin1(), 0), 0);

        QSignalSpy finished(collector, &UnattendedCollector::attemptFinished);
        QDateTime started;
        QObject::connect(collector, &UnattendedCollector::attemptStarted,
                         [&] { started = r.clock.now(); });
        r.console.close();
        QVERIFY(
            r.time.rt.runUntil([&] { return r.log.contains("ATD" + Corridor.toLatin1()); }, 5000));
        QVERIFY(r.time.rt.runUntil([&] { return finished.size() == 1; }, 30 * 60'000));
        QCOMPARE(finished[0][1].value<AuditJobOutcome>().result, AuditJobOutcome::Completed);
        QCOMPARE(r.sentAfter("ATD" + Corridor.toLatin1(), 0), 1);
        // Named for when it was read, not for when it fell due.
        QCOMPARE(QDir(r.workFolder() + "/Audit/" + Corridor).entryList({"*.txt"}),
                 QStringList{AuditArchive::stamp(started) + ".txt"});
    }

    void anUnreadableScheduleIsReportedAtStartUp()
    {
        Rig r;
        const QString path = r.programFile("PROGOR.DAT");
        QVERIFY(QDir().mkpath(path)); // a folder where the file should be
        QVERIFY(r.start());
        QCOMPARE(r.dialogs.boxes().size(), 1);
        QVERIFY2(r.dialogs.boxes().first().startsWith(
                     "Error|The schedule " + QDir::toNativeSeparators(path) + " cannot be read ("),
                 qPrintable(r.dialogs.boxes().first()));
        QVERIFY(r.dialogs.boxes().first().endsWith(
            ").\r\nThe station starts without scheduled calls.|Exclamation|Ok"));
    }

    // A Telit modem lists without time stamps, so each message is read singly. Texts ending in
    // "OK", answers in 4-byte chunks: every answer still belongs to its own command.
    void telitReadsDeletesAndQueriesStayInStep()
    {
        Rig r;
        r.gsm.config().manufacturer = "Telit_Mobile_Terminals";
        r.gsm.config().operatorName.clear(); // known by its code only: " OMNITEL"
        r.gsm.config().rssi = 23;
        r.store.setForm(SmsStore::Form::Telit);
        r.store.receive("+391", "POWER OK", QDateTime(QDate(2005, 3, 21), QTime(10, 15)));
        r.store.receive("+392", "DOOR OPEN", QDateTime(QDate(2005, 3, 22), QTime(11, 16)));
        r.gsm.setChunking(4, 5);
        QVERIFY(r.start());
        QVERIFY(r.time.rt.runUntil(
            [&] { return r.log.contains("AT+COPS?") && r.station.Timer2.isEnabled(); }, 30'000));

        QCOMPARE(r.log.mid(r.log.indexOf("AT+CMGL=\"ALL\"")),
                 QList<QByteArray>({"AT+CMGL=\"ALL\"", "AT+CMGR=1", "AT+CMGD=1", "AT+CMGR=2",
                                    "AT+CMGD=2", "AT+CGATT?", "AT+CSQ", "AT+CREG?", "AT+COPS?"}));
        QCOMPARE(r.answerTo("AT+CMGR=1"),
                 QByteArray("\r\n+CMGR: \"REC READ\",\"+391\",,\"05/03/21,10:15:00+04\"\r\n"
                            "POWER OK\r\n\r\nOK\r\n"));
        QCOMPARE(r.answerTo("AT+CMGD=1") + r.answerTo("AT+CMGD=2"), "\r\nOK\r\n\r\nOK\r\n");
        QCOMPARE(r.rows(), QStringList({"1|+391|21/03/05|10:15|POWER OK",
                                        "2|+392|22/03/05|11:16|DOOR OPEN"}));
        QCOMPARE(r.store.count(), 0);

        QCOMPARE(r.station.ProgressBar1->level() * 100 + r.station.ProgressBar2->level(), 2323);
        QVERIFY(r.station.ProgressBar2->isVisibleTo(&r.station));
        QVERIFY(r.station.mnuCall->isEnabled() && r.station.mnuSSMS->isEnabled());
        QCOMPARE(r.tray.icon() * 10 + r.tray.state(), 11);
        QCOMPARE(r.station.Label1[3]->text(), QString(" OMNITEL"));
        QCOMPARE(r.tray.toolTip(), QString("Connect Home network"));

        r.time.rt.runFor(40'000); // Timer6 comes round with nothing queued: no console
        QVERIFY(!r.console.isLoaded());
        r.viewer.Command1_Click();
        r.viewer.Command1_Click();
        QCOMPARE(r.events(),
                 QStringList({"+391|21/03/05 10:15|POWER OK", "+392|22/03/05 11:16|DOOR OPEN"}));
    }

    // "Exit" ends the program whatever it is waiting for: the wait gives up at once, nothing
    // more reaches the modem, and the exit sequence ends the program one second later.
    void exitEndsEveryWaitAtOnce_data()
    {
        QTest::addColumn<QString>("during");
        QTest::newRow("modem search: port 1 silent, the modem on port 2") << "discovery";
        QTest::newRow("the 15 s wait for the SMS listing") << "listing";
        QTest::newRow("the 30 s wait for a sent SMS's result") << "send";
    }
    void exitEndsEveryWaitAtOnce()
    {
        QFETCH(QString, during);
        Rig r;
        FakeWindow console;
        r.station.setCallConsole(&console);
        QList<qint64> ended;
        connect(&r.station, &FrmStGSM::ended, [&] { ended << r.now(); });
        qint64 exitAt = -1;
        qint64 waitEndedAt = -1;
        bool lingered = true; // the station, the port or the tray outlived "Exit" at once
        auto exitIn = [&](qint64 ms) {
            r.time.rt.post(ms, [&] {
                exitAt = r.now();
                console.loaded = true;
                r.station.mnuExit->trigger();
                lingered =
                    r.station.state().StationActive || r.port.isOpen() || !r.tray.isVisible();
            });
        };
        if (during == "discovery") {
            r.modem.setSilent(true);
            r.port.plug(1, &r.modem);
            r.port.plug(2, &r.gsm);
            connect(&r.station.Timer1, &Timer::tick, [&] { waitEndedAt = r.now(); });
            QVERIFY(r.station.load());
            exitIn(1200); // while port 1 is tried at 9600 baud
        } else {
            QVERIFY(r.start());
            QVERIFY(r.time.rt.runUntil([&] { return r.log.contains("AT+COPS?"); }, 30'000));
        }
        if (during == "listing") {
            r.gsm.setOverride("AT+CMGL=\"ALL\"", QByteArray());
            connect(&r.station.Timer2, &Timer::tick, [&] { waitEndedAt = r.now(); });
            connect(&r.gsm, &ModemSim::commandReceived, [&](const QByteArray &line) {
                if (line == "AT+CMGL=\"ALL\"" && exitAt < 0)
                    exitIn(3000);
            });
        }
        if (during == "send") {
            r.store.failSends(SmsStore::SendFault::NoFinalOk);
            r.time.rt.post(100, [&] {
                r.send.show();
                r.sendWindow.setNumber("+39333");
                r.sendWindow.setText("ALARM");
                exitIn(2000);
                r.sendWindow.Command1_Click();
                waitEndedAt = r.now();
            });
        }
        QVERIFY(r.time.rt.runUntil([&] { return exitAt >= 0; }, 60'000));
        const QByteArray written = r.port.written();
        const int opened = r.port.openAttempts().size();
        const int boxes = r.dialogs.shown().size();
        r.time.rt.runFor(30'000);

        QCOMPARE(waitEndedAt, exitAt);
        QCOMPARE(r.port.written(), written);
        QCOMPARE(r.port.openAttempts().size(), opened);
        QVERIFY(!r.port.isOpen());
        QCOMPARE(r.dialogs.shown().size(), boxes);
        if (during == "discovery")
            QCOMPARE(r.gsm.commands(), QList<QByteArray>());
        QCOMPARE(ended, QList<qint64>{exitAt + 1000});
        QCOMPARE(r.launcher.programs(),
                 QStringList({QDir(r.workFolder()).filePath("WINCORVANI.EXE")}));
        QVERIFY(!r.tray.isVisible() && !lingered && !r.station.Timer1.isEnabled());
        QCOMPARE(console.unloaded, 1);
        QCOMPARE(QDir::currentPath(), r.workFolder());
    }
};

QTEST_MAIN(DeskTest)
#include "tst_desk.moc"
