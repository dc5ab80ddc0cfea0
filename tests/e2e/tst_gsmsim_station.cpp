#include "Clock.h"
#include "Dialogs.h"
#include "FrmStGSM.h"
#include "GsmSimProcess.h"
#include "HardwarePort.h"
#include "Launcher.h"
#include "ModPublic.h"
#include "Runtime.h"
#include "StationFixture.h"
#include "TrayIcon.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTimer>

namespace {
// Waits on the event loop (real time: this test goes through a real serial line).
bool waitFor(const std::function<bool()> &pred, int ms)
{
    QElapsedTimer t;
    t.start();
    QTimer wake; // lets the loop look at the clock even when the line is quiet
    wake.start(100);
    while (!pred()) {
        if (t.elapsed() > ms)
            return false;
        Runtime::current().yield();
    }
    return true;
}
} // namespace

// The station against gsmsim through QSerialPort: discovery, a stored PIN, two polling ticks.
class GsmSimStationTest : public QObject
{
    Q_OBJECT

private slots:
    void discoveryUnlockAndPolling()
    {
        GsmSimProcess sim({"--sim", "pin", "--pin", "2468", "--operator", "", "--manufacturer",
                           "Sim_Maker", "--signal", "23"});
        QVERIFY(!sim.device().isEmpty());

        QTemporaryDir tmp;
        QDir(tmp.path()).mkdir("prog");
        QByteArray pinLine(80, '7');
        pinLine[25] = '2', pinLine[3] = '4', pinLine[30] = '6', pinLine[7] = '8';
        QFile pin(QDir(tmp.path()).filePath("Pin.set"));
        QVERIFY(pin.open(QIODevice::WriteOnly));
        pin.write(pinLine + "\r\n");
        pin.close();

        resetModPublic();
        HardwarePort port({sim.device()});
        ScriptedDialogs dialogs;
        TrayIcon tray;
        SystemClock clock;
        RecordingLauncher launcher;
        Services s;
        s.port = &port;
        s.dialogs = &dialogs;
        s.tray = &tray;
        s.clock = &clock;
        s.launcher = &launcher;
        s.appFolder = QDir(tmp.path()).filePath("prog");
        s.instanceLockDir = tmp.path();
        FrmStGSM station(s);
        FakeWindow console;
        station.setCallConsole(&console);

        // Polling ticks come every 10 s; after each, the next is brought forward.
        int ticks = 0;
        connect(&station.Timer2, &Timer::tick, this, [&] {
            if (++ticks < 2)
                station.Timer2.setInterval(50);
        });
        QVERIFY(station.load());
        QVERIFY(waitFor([&] { return station.Timer2.isEnabled(); }, 20'000));
        QCOMPARE(station.Label1[0]->text(), QString("Sim_Maker"));
        QCOMPARE(modPublic().Manufacturer, QString("Sim_Maker"));
        station.Timer2.setInterval(50);
        QVERIFY(waitFor([&] { return ticks >= 2 && station.Timer2.isEnabled(); }, 20'000));

        QCOMPARE(tray.toolTip(), QString("Connect Home network"));
        QCOMPARE(station.Label1[3]->text(), QString(" OMNITEL"));
        QVERIFY(station.mnuCall->isEnabled());
        QVERIFY(!station.pinWindow()); // the stored PIN was accepted
        QCOMPARE(dialogs.shown().size(), 0);
        port.close();
    }
};

QTEST_MAIN(GsmSimStationTest)
#include "tst_gsmsim_station.moc"
