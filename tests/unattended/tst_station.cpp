// The scheduler, the call console and the unattended collector wired into a running station as
// the program wires them, against the simulated modem and machines, on virtual time.
#include "AuditFiles.h"
#include "CallSession.h"
#include "ConsoleAuditRunner.h"
#include "FrmCall.h"
#include "MachineController.h"
#include "MachineDb.h"
#include "MachineLink.h"
#include "MachineListModel.h"
#include "Scheduler.h"
#include "StationRig.h"
#include "UnattendedCollector.h"

#include <QAction>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeView>

namespace {
const QString Corridor = QStringLiteral("3351234567"); // answers data calls
const QString Busy = QStringLiteral("3359990001");     // always busy

ScheduleRecord saturdayAt(const QString &number, int hour, int minute, bool unattended)
{
    ScheduleRecord r;
    r.setNumber(number);
    r.setHour(quint8(hour));
    r.setMinute(quint8(minute));
    r.setWeekday(6, true);
    r.setWeekly(true);
    r.setUnattended(unattended);
    return r;
}

// A station on Saturday 5 December 2026, 09:00, with two machines in its database, the
// conversion files in its program folder, and everything wired as the station program does.
struct DeskRig : StationRig
{
    DeskRig()
    {
        {
            SqlMachineDb seed(programFile("Dati.mdb"));
            seed.open();
            seed.append(
                MachineTables::Distributori,
                {{"Description", "Corridor A"}, {"GSM", Corridor}, {"Sale point", "Station hall"}});
            seed.append(
                MachineTables::Distributori,
                {{"Description", "Busy corner"}, {"GSM", Busy}, {"Sale point", "Platform 2"}});
        }
        write(programFile("decod.asm"), "CA2,CASH,3,6,8\r\nDA1,BLOCK\r\n");
        write(programFile("address.asm"), "CASH,0\r\nBLOCK,10\r\n");
        gsm.addMachine(Corridor.toLatin1(), &machine);
        gsm.setDialAnswer(Busy.toLatin1(), DialAnswer::Busy);

        window.setCallQueue([this] { return scheduler.queue().takeNext(); });
        window.setFillList([this] {
            if (db.isOpen() || db.open())
                machines.fill(db);
        });
        window.setOnLoad([this] { station.hide(); });
        station.setCallConsole(&window);
        station.setCallQueue(&scheduler.queue());
        station.setScheduleLoader([this] { scheduler.loadAtStartUp(); });
        scheduler.check().attach(station.Timer5);
        scheduler.check().setUnattendedCollected(true);
        QObject::connect(&scheduler.check(), &ScheduleCheck::due, &collector,
                         &UnattendedCollector::due);
        collector.setHandOverTimer(&station.Timer6);
        collector.setConsole(&window);
        collector.setMachineDb(&db);
        QObject::connect(&collector, &UnattendedCollector::portHeld, &station,
                         &FrmStGSM::setPortLent);
        db.open();
    }

    QString programFile(const QString &name) const { return QDir(programFolder()).filePath(name); }
    QString auditFile(const QString &rel) const
    {
        return QDir(workFolder()).filePath(QStringLiteral("Audit/") + rel);
    }
    bool startWith(const QList<ScheduleRecord> &entries)
    {
        Schedule file(programFile(QStringLiteral("PROGOR.DAT")));
        for (int i = 0; i < entries.size(); ++i)
            file[i] = entries[i];
        return file.save() && start() && runUntilPolling();
    }
    QStringList logLines() const
    {
        return QString::fromLatin1(readAll(auditFile("collect.csv")))
            .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts)
            .mid(1);
    }
    // Where each dial of number stands in the modem's log.
    QList<int> dials(const QString &number) const
    {
        QList<int> out;
        for (int i = 0; i < log.size(); ++i)
            if (log[i].line == "ATD" + number.toLatin1())
                out << i;
        return out;
    }
    // Whether network polling asked for the signal between two places of the log.
    bool polledBetween(int from, int to) const
    {
        for (int i = from + 1; i < to && i < log.size(); ++i)
            if (log[i].line == "AT+CSQ")
                return true;
        return false;
    }
    // The first place of the log at or after the moment ms.
    int placeAt(qint64 ms) const
    {
        int i = 0;
        while (i < log.size() && log[i].at < ms)
            ++i;
        return i;
    }

    MachineController machine{MachineProfile::forNumber(Corridor.toLatin1())};
    ScriptedDialogs jobDialogs; // the console's, for the operator's own calls
    Services consoleServices = [this] {
        Services s = services;
        s.dialogs = &jobDialogs;
        s.lender = &station.lender();
        return s;
    }();
    SqlMachineDb db{programFile(QStringLiteral("Dati.mdb"))};
    MachineListModel machines;
    CallSession session{consoleServices, station.Timer2, station.Timer5};
    FrmCall window{session, machines};
    Scheduler scheduler{services};
    ConsoleAuditRunner runner{port, programFolder()};
    UnattendedCollector collector{services, station.lender(), station.Timer2, runner};
};
} // namespace

class StationCollectTest : public QObject
{
    Q_OBJECT

private slots:
    // A console entry falls due: Timer6 opens the console on that machine, nothing is dialled.
    void aDueEntryOpensTheConsoleOnItsMachine()
    {
        DeskRig r;
        QVERIFY(r.startWith({saturdayAt(Corridor, 9, 3, false)}));
        QVERIFY(r.time.rt.runUntil([&] { return r.window.isLoaded(); }, 10 * 60'000));
        if (!r.scheduler.queue().first().isEmpty())
            r.window.activated(); // what the window system does when the console comes up
        QCOMPARE(r.window.Label1->text(), Corridor);
        QCOMPARE(r.window.Label4->text(), QStringLiteral("Corridor A"));
        QCOMPARE(r.window.ListView1->currentIndex().row(), 0);
        QVERIFY(!r.window.Command9->isEnabled());
        r.time.rt.runFor(10 * 60'000);
        QVERIFY(r.dials(Corridor).isEmpty());
        QVERIFY(r.collector.waiting().isEmpty());
        QVERIFY(!QFile::exists(r.auditFile("collect.csv")));
    }

    // An unattended entry: the audit is read and filed without anyone, equal to what
    // evadts-convert makes of the same image, one log line, and polling goes on.
    void anUnattendedEntryIsCollectedAndFiled()
    {
        DeskRig r;
        QVERIFY(r.startWith({saturdayAt(Corridor, 9, 3, true)}));
        QSignalSpy finished(&r.collector, &UnattendedCollector::attemptFinished);
        QList<bool> menu; // "Call", "Send SMS", "Setup" while the collection holds the port
        QObject::connect(&r.collector, &UnattendedCollector::attemptStarted, [&] {
            for (QAction *a : {r.station.mnuCall, r.station.mnuSSMS, r.station.mnuSet})
                menu << a->isEnabled();
        });
        QVERIFY(r.time.rt.runUntil([&] { return finished.size() == 1; }, 30 * 60'000));
        const qint64 end = r.now();
        QCOMPARE(menu, QList<bool>({false, false, false}));
        QVERIFY(r.station.mnuCall->isEnabled());
        QVERIFY(r.station.mnuSet->isEnabled());
        QCOMPARE(finished[0][1].value<AuditJobOutcome>().result, AuditJobOutcome::Completed);
        QVERIFY(!r.window.isLoaded());
        QCOMPARE(r.scheduler.queue().size(), 0);
        QCOMPARE(r.dials(Corridor).size(), 1);
        QCOMPARE(r.machine.eraseCount(), 0);
        QVERIFY(!r.gsm.callUp());

        const QDir folder(r.auditFile(Corridor));
        QCOMPARE(folder.entryList(QDir::Files),
                 QStringList({"20261205-0903.img", "20261205-0903.txt"}));
        QProcess convert;
        convert.setWorkingDirectory(r.programFolder());
        convert.start(QStringLiteral(EVADTS_CONVERT),
                      {"--script", "decod.asm", "--address", "address.asm", "--image",
                       folder.filePath("20261205-0903.img")});
        QVERIFY(convert.waitForFinished(60'000));
        QCOMPARE(convert.exitCode(), 0);
        const QByteArray records = convert.readAllStandardOutput();
        QVERIFY(records.startsWith("CA2*"));
        QCOMPARE(readAll(folder.filePath("20261205-0903.txt")), records);

        const QStringList lines = r.logLines();
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines[0].startsWith("2026-12-05 09:03:"), qPrintable(lines[0]));
        QCOMPARE(lines[0].section(u',', 1),
                 QString("%1,Corridor A,Completed,%2,Audit/%1/20261205-0903.txt")
                     .arg(Corridor, lines[0].section(u',', 4, 4)));
        QVERIFY(lines[0].section(u',', 4, 4).toInt() > 60);

        QVERIFY(r.station.state().StationActive);
        const int ended = r.placeAt(end);
        r.time.rt.runFor(1000);
        QVERIFY(r.polledBetween(ended - 1, r.placeAt(end + 1000)));
    }

    // A busy machine: three attempts 5 minutes apart, each logged, polling between them, and a
    // tray message at the end.
    void aBusyMachineIsTriedThreeTimes()
    {
        DeskRig r;
        QVERIFY(r.startWith({saturdayAt(Busy, 9, 3, true)}));
        QSignalSpy finished(&r.collector, &UnattendedCollector::attemptFinished);
        QVERIFY(r.time.rt.runUntil([&] { return finished.size() == 3; }, 60 * 60'000));
        r.time.rt.runFor(30 * 60'000);
        const QList<int> dials = r.dials(Busy);
        QCOMPARE(dials.size(), 3);
        for (int i = 1; i < 3; ++i) {
            const qint64 gap = r.log[dials[i]].at - r.log[dials[i - 1]].at;
            QVERIFY2(gap >= 5 * 60'000 && gap < 6 * 60'000, qPrintable(QString::number(gap)));
            QVERIFY(r.polledBetween(dials[i - 1], dials[i]));
        }
        const QStringList lines = r.logLines();
        QCOMPARE(lines.size(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(lines[i].section(u',', 1, 3), QString(Busy + ",Busy corner,Busy"));
            QVERIFY2(lines[i].contains(QString("BUSY (attempt %1 of 3").arg(i + 1)),
                     qPrintable(lines[i]));
        }
        QCOMPARE(r.tray.messageTitle(), QStringLiteral("Audit not collected"));
        QVERIFY(r.tray.messageText().startsWith("Busy corner (" + Busy + "): Busy, attempt 3"));
        QCOMPARE(QDir(r.auditFile(Busy)).entryList(QDir::Files), QStringList());
        QVERIFY(r.station.state().StationActive);
        QVERIFY(r.station.Timer2.isEnabled());
    }

    // The operator works in the console when the entry falls due: the collection waits until
    // the console is closed, then runs.
    void anOpenConsoleDefersTheCollection()
    {
        DeskRig r;
        QVERIFY(r.startWith({saturdayAt(Corridor, 9, 3, true)}));
        QVERIFY(r.time.rt.runUntil([&] { return r.station.mnuCall->isEnabled(); }, 60'000));
        r.station.mnuCall->trigger();
        QVERIFY(r.window.isLoaded());
        r.time.rt.runFor(20 * 60'000);
        QCOMPARE(r.collector.waiting(), QStringList{Corridor});
        QVERIFY(r.dials(Corridor).isEmpty());
        QVERIFY(!r.window.isHidden());

        const qint64 closed = r.now();
        const int closedAt = r.log.size();
        r.window.close();
        QSignalSpy finished(&r.collector, &UnattendedCollector::attemptFinished);
        QDateTime started;
        QObject::connect(&r.collector, &UnattendedCollector::attemptStarted,
                         [&] { started = r.clock.now(); });
        QVERIFY(r.time.rt.runUntil([&] { return finished.size() == 1; }, 30 * 60'000));
        QCOMPARE(finished[0][1].value<AuditJobOutcome>().result, AuditJobOutcome::Completed);
        QCOMPARE(r.dials(Corridor).size(), 1);
        // Polling came back first, and the dial followed it.
        QVERIFY(r.polledBetween(closedAt - 1, r.dials(Corridor)[0]));
        QVERIFY(r.log[r.dials(Corridor)[0]].at - closed < 5000);
        QCOMPARE(QDir(r.auditFile(Corridor)).entryList({"*.txt"}, QDir::Files),
                 QStringList{AuditArchive::stamp(started) + ".txt"});
    }
};

QTEST_MAIN(StationCollectTest)
#include "tst_station.moc"
