// The station as the program wires it (StationDesk), against a simulated modem and machine on
// virtual time: the windows that borrow the modem keep clear of each other and of the
// unattended collection.
#include "AuditArchive.h"
#include "FrmCall.h"
#include "FrmSend.h"
#include "GsmModem.h"
#include "MachineController.h"
#include "MachineDb.h"
#include "StationDesk.h"
#include "StationFixture.h"
#include "UnattendedCollector.h"

#include <QAction>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

namespace {
const QString Corridor = QStringLiteral("3351234567");

struct Rig : StationFixture
{
    Rig()
    {
        gsm.setLatency(0);
        port.plug(1, &gsm);
        gsm.addMachine(Corridor.toLatin1(), &machine);
        QObject::connect(&gsm, &ModemSim::commandReceived,
                         [this](const QByteArray &line) { log << line; });
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
    GsmModem gsm;
    MachineController machine{MachineProfile::forNumber(Corridor.toLatin1())};
    StationDesk desk{services, nullptr};
    FrmCall &console = desk.calls().window();
    WindowOpener &send = desk.sms().sendWindow().opener();
    QList<QByteArray> log; // every command line the modem understood
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
};

QTEST_MAIN(DeskTest)
#include "tst_desk.moc"
