#include "StationState.h"
#include "ScheduleTestSupport.h"
#include "Scheduler.h"
#include "StationRig.h"

#include <QTest>

// The scheduler wired into a running station as the program wires it: the schedule loaded at
// start-up, `Timer5` checking it, `Timer6` handing a queued machine to the call console.
class HandOverTest : public QObject
{
    Q_OBJECT

private slots:
    // With a console the station opens it (the unattended tests show it on the fleet); without
    // one the number stays queued and nothing is dialled.
    void aDueEntryWithoutAConsoleWaitsInTheQueue()
    {
        StationRig r; // Saturday 5 December 2026, 09:00
        Schedule file(QDir(r.programFolder()).filePath("PROGOR.DAT"));
        file[0] = entry("3351234567", 9, 3, 0x20, 0, Weekly);
        QVERIFY(file.save());
        Scheduler scheduler(r.services);
        r.station.setCallQueue(&scheduler.queue());
        r.station.setScheduleLoader([&] { scheduler.loadAtStartUp(); });
        scheduler.check().attach(r.station.Timer5);
        r.station.setCallConsole(nullptr);
        QVERIFY(r.start());
        QCOMPARE(scheduler.schedule()[0], file[0]);
        QVERIFY(r.runUntilPolling());
        QVERIFY(r.time.rt.runUntil([&] { return scheduler.queue().size() > 0; }, 10 * 60'000));
        QCOMPARE(r.clock.now().time().toString("hh:mm"), QString("09:03"));
        QCOMPARE(scheduler.queue().first(), QString("3351234567     "));
        r.time.rt.runFor(2 * 60'000); // Timer6 comes round at least twice
        QVERIFY(r.station.state().StationActive);
        QVERIFY(r.station.Timer2.isEnabled());
        QCOMPARE(scheduler.queue().size(), 1);
        QCOMPARE(r.count("ATD3351234567"), 0);
        QVERIFY(r.dialogs.boxes().isEmpty());
    }

    void anUnreadableScheduleIsReportedAtStartUp()
    {
        StationRig r;
        const QString path = QDir(r.programFolder()).filePath("PROGOR.DAT");
        QVERIFY(QDir().mkpath(path)); // a folder where the file should be
        Scheduler scheduler(r.services);
        r.station.setScheduleLoader([&] { scheduler.loadAtStartUp(); });
        QVERIFY(r.start());
        QCOMPARE(r.dialogs.boxes().size(), 1);
        QVERIFY2(r.dialogs.boxes().first().startsWith(
                     "Error|The schedule " + QDir::toNativeSeparators(path) + " cannot be read ("),
                 qPrintable(r.dialogs.boxes().first()));
        QVERIFY(r.dialogs.boxes().first().endsWith(
            ").\r\nThe station starts without scheduled calls.|Exclamation|Ok"));
    }
};

QTEST_MAIN(HandOverTest)
#include "tst_handover.moc"
