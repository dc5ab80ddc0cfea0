// Runs the station against the in-process simulated modem on real time (60 s by default: SIM
// unlock, then network polling every 10 s) and prints its CPU share and resident memory.
// Goal: below 1 % of one core.

#include "Clock.h"
#include "Dialogs.h"
#include "FrmStGSM.h"
#include "GsmModem.h"
#include "Launcher.h"
#include "LoopbackPort.h"
#include "TrayIcon.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <sys/resource.h>

static double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

static long residentKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (QByteArray line = f.readLine(); !line.isEmpty(); line = f.readLine())
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;

    QTemporaryDir tmp;
    QDir(tmp.path()).mkdir(QStringLiteral("prog"));
    LoopbackPort port;
    GsmModem modem;
    port.plug(1, &modem);
    ScriptedDialogs dialogs;
    TrayIcon tray;
    SystemClock clock;
    RecordingLauncher launcher;
    Services s{&port,      &dialogs,  &tray,
               &clock,     &launcher, QDir(tmp.path()).filePath(QStringLiteral("prog")),
               tmp.path(), QString()};
    FrmStGSM station(s);
    int ticks = 0;
    QObject::connect(&station.Timer2, &Timer::tick, [&] { ++ticks; });
    if (!station.load())
        return 1;

    QElapsedTimer wall;
    wall.start();
    const double cpu0 = cpuSeconds();
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    const double cpu = cpuSeconds() - cpu0;
    const double secs = wall.elapsed() / 1000.0;
    std::printf("station polling: %.1f s wall, %d polling ticks, %.3f s CPU, %.3f %% of one core "
                "(goal < 1 %%), resident memory %ld KiB\n",
                secs, ticks, cpu, 100.0 * cpu / secs, residentKiB());
    return 0;
}
