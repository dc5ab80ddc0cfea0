// A full configuration read and a full audit memory-map read against the in-process simulated
// controller on real time, each compared with the same transfer on virtual time, which gives
// exactly the designed pacing, pauses and build delays. Prints wall time, designed duration,
// their ratio (goal at most 1.01) and the CPU share (goal below 1 % of one core).

#include "DemoAudit.h"
#include "Dialogs.h"
#include "LinkConsole.h"
#include "LoopbackPort.h"
#include "MachineController.h"
#include "MachineLink.h"
#include "Runtime.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <sys/resource.h>

namespace {
double cpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

class QuietConsole : public LinkConsole
{
public:
    void setProgressMaximum(int m) override { max = m; }
    int progressMaximum() const override { return max; }
    void setProgressValue(int v) override { value = v; }
    int progressValue() const override { return value; }
    void showReceiveText(const QByteArray &) override {}
    void showFrameNumber(const QString &) override {}
    void setStatusLine(const QString &) override {}
    void resetAlarmEnded() override {}
    void setCommandsEnabled(bool) override {}
    QString machineNumber() const override { return {}; }
    void hangUp() override { failed = true; }
    void resetAlarmClick() override {}
    void auditDownloaded() override {}
    int max = 0, value = 0;
    bool failed = false;
};

struct Outcome
{
    qint64 ms = 0;
    double cpu = 0;
    bool ok = false;
};

Outcome run(int mode, bool virtualTime)
{
    VirtualRuntime vrt;
    if (virtualTime)
        Runtime::install(&vrt);
    Outcome out;
    {
        LoopbackPort port;
        ScriptedDialogs dialogs;
        ::Timer timer2(QStringLiteral("Timer2"), 6000, false);
        ::Timer timer5(QStringLiteral("Timer5"), 30000, true);
        MachineController machine;
        port.plug(1, &machine);
        port.setCommPort(1);
        port.open();
        MachineLink link(port, dialogs, timer2, timer5);
        LinkState &state = link.state;
        QuietConsole console;
        link.setConsole(&console);
        if (mode == 5) {
            const QStringList map = DemoAudit::mapLines(machine);
            for (int i = 0; i < 45; ++i)
                state.MapLines[i] = map.value(i);
            for (auto &r : state.MapRecords)
                r = MapRecord{255, 255, 255};
        }
        auto busy = [&] {
            return link.engine.Timer.isEnabled() || link.engine.Timer8.isEnabled() ||
                   link.engine.Timer9.isEnabled();
        };
        QElapsedTimer wall;
        wall.start();
        const double cpu0 = cpuSeconds();
        const qint64 t0 = Runtime::current().nowMs();
        link.engine.start(TransferMode(mode));
        while (busy() && !console.failed)
            Runtime::current().yield();
        out.ms = virtualTime ? Runtime::current().nowMs() - t0 : wall.elapsed();
        out.cpu = cpuSeconds() - cpu0;
        out.ok = !console.failed && dialogs.boxes().isEmpty();
    }
    Runtime::install(nullptr);
    return out;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const struct
    {
        int mode;
        const char *name;
    } jobs[] = {{1, "configuration read (665 blocks)"}, {5, "audit map read (442 frames)"}};
    for (const auto &job : jobs) {
        const Outcome designed = run(job.mode, true);
        const Outcome real = run(job.mode, false);
        std::printf("%s: wall %.2f s, designed %.2f s, ratio %.4f (goal <= 1.01), CPU %.3f s = "
                    "%.3f %% of one core (goal < 1 %%)%s\n",
                    job.name, real.ms / 1000.0, designed.ms / 1000.0,
                    double(real.ms) / double(designed.ms), real.cpu,
                    100.0 * real.cpu / (real.ms / 1000.0),
                    real.ok && designed.ok ? "" : "  [transfer FAILED]");
    }
    return 0;
}
