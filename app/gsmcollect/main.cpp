// One unattended console job on one machine, from the command line (see --help).

#include "CollectLog.h"
#include "CollectOptions.h"
#include "Collector.h"
#include "HardwarePort.h"
#include "PortTrace.h"
#include "ProgramFolder.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cstdio>
#include <memory>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int g_interrupts[2] = {-1, -1};
volatile sig_atomic_t g_jobStarted = 0;

// Before the job nothing needs undoing, so SIGINT and SIGTERM end the program at once, whatever
// it waits for. During the job they end it through the event loop, so the call is still hung up;
// a second one ends the program at once.
void watchInterrupts(Collector &collector)
{
    QObject::connect(&collector, &Collector::jobStarting, [] { g_jobStarted = 1; });
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_interrupts) != 0)
        return;
    auto *notifier = new QSocketNotifier(g_interrupts[1], QSocketNotifier::Read, &collector);
    QObject::connect(notifier, &QSocketNotifier::activated, &collector, [&collector] {
        char c;
        if (::read(g_interrupts[1], &c, 1) == 1)
            collector.abort();
    });
    struct sigaction sa = {};
    sa.sa_handler = [](int) {
        static volatile sig_atomic_t seen = 0;
        if (seen || !g_jobStarted) {
            static const char Message[] = "gsmcollect: failed: interrupted\n";
            [[maybe_unused]] const auto n = ::write(STDERR_FILENO, Message, sizeof Message - 1);
            ::_exit(Collector::Failed);
        }
        seen = 1;
        const char c = 1;
        [[maybe_unused]] const auto n = ::write(g_interrupts[0], &c, 1);
    };
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}
} // namespace
#else
namespace {
void watchInterrupts(Collector &) {}
} // namespace
#endif

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("gsmcollect"));

    CollectOptions options;
    QString message;
    const QString home = ProgramFolder::choose({}, QCoreApplication::applicationDirPath());
    switch (CollectOptions::parse(app.arguments(), home, &options, &message)) {
    case CollectOptions::Parsed::Help:
    case CollectOptions::Parsed::Version:
        std::printf("%s\n", qPrintable(message));
        return 0;
    case CollectOptions::Parsed::Error:
        std::fprintf(stderr, "gsmcollect: %s\n", qPrintable(message));
        return Collector::UsageOrFile;
    case CollectOptions::Parsed::Run:
        break;
    }

    CollectLog log = CollectLog::toStderr();
    HardwarePort hardware(options.ports);
    std::unique_ptr<PortTrace> trace;
    if (options.verbose)
        trace = std::make_unique<PortTrace>(hardware, [&log](const QString &l) { log.line(l); });
    SerialPort &port = trace ? static_cast<SerialPort &>(*trace) : hardware;
#ifdef Q_OS_WIN
    const int portCount = options.ports.isEmpty() ? 13 : int(options.ports.size());
#else
    const int portCount =
        int(options.ports.isEmpty() ? HardwarePort::systemPorts().size() : options.ports.size());
#endif
    Collector collector(port, log);
    watchInterrupts(collector);
    return collector.run(options, portCount);
}
