#include "ModPublic.h"
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
    void aDueEntryReachesTheConsole_data()
    {
        QTest::addColumn<bool>("console");
        QTest::newRow("console wired: it opens") << true;
        QTest::newRow("no console: nothing happens, nothing is dialled") << false;
    }
    void aDueEntryReachesTheConsole()
    {
        QFETCH(bool, console);
        StationRig r; // Saturday 5 December 2026, 09:00
        Schedule file(QDir(r.programFolder()).filePath("PROGOR.DAT"));
        const quint8 Sat = 0x20;
        file[0] = entry("3351234567", 9, 3, Sat, 0, Weekly);
        QVERIFY(file.save());

        Scheduler scheduler(r.services);
        r.station.setCallQueue(&scheduler.queue());
        r.station.setScheduleLoader([&] { scheduler.loadAtStartUp(); });
        scheduler.check().attach(r.station.Timer5);
        if (!console)
            r.station.setCallConsole(nullptr);
        QVERIFY(r.start());
        QCOMPARE(scheduler.schedule()[0], file[0]);
        QVERIFY(r.runUntilPolling());

        QVERIFY(r.time.rt.runUntil([&] { return scheduler.queue().size() > 0; }, 10 * 60'000));
        QCOMPARE(r.clock.now().time().toString("hh:mm"), QString("09:03"));
        QCOMPARE(scheduler.queue().first(), QString("3351234567     "));
        QVERIFY(modPublic().StationActive);

        r.time.rt.runFor(2 * 60'000); // Timer6 comes round at least twice
        QCOMPARE(r.console.shown, console ? 1 : 0);
        QCOMPARE(modPublic().StationActive, !console);
        QCOMPARE(r.station.Timer2.isEnabled(), !console);
        QCOMPARE(scheduler.queue().size(), 1); // the console takes it
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
        QCOMPARE(scheduler.schedule().daysInMonth()[1], quint8(28));
    }
};

QTEST_MAIN(HandOverTest)
#include "tst_handover.moc"
