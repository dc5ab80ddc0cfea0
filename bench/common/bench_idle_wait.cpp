// Prints the CPU time the process uses while an AT exchange waits 10 s (real time) for a modem
// that never answers, on a real serial port (a pseudo-terminal). Goal: below 1 % of the wall time.

#include "AtExchange.h"
#include "HardwarePort.h"
#include "ModemSim.h"
#include "PtyLine.h"
#include "Timer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <sys/resource.h>

static double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    ModemSim modem;
    modem.setSilent(true);
    PtyLine line(&modem);
    QString error;
    if (!line.open(&error)) {
        std::fprintf(stderr, "cannot create a pseudo-terminal: %s\n", qPrintable(error));
        return 1;
    }
    HardwarePort port({line.devicePath()});
    port.setSettings(QStringLiteral("19200,N,8,1"));
    if (!port.open()) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(line.devicePath()));
        return 1;
    }
    Timer timeout(QStringLiteral("Timer3"), 2000, false);
    QObject::connect(&timeout, &Timer::tick, [&] { timeout.setEnabled(false); });
    AtExchange at(port, timeout);

    QElapsedTimer wall;
    wall.start();
    const double cpu0 = cpuSeconds();
    const int outcome = at.exchange("AT", seconds * 1000, {OK_CRLF});
    const double cpu = cpuSeconds() - cpu0;
    const double secs = wall.elapsed() / 1000.0;
    std::printf("silent-port wait: %.2f s wall, %.4f s CPU, %.3f %% of one core (goal < 1 %%)%s\n",
                secs, cpu, 100.0 * cpu / secs, outcome == -1 ? "" : " [modem answered?]");
    return 0;
}
