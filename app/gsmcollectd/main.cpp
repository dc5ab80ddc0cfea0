// The fleet's collector service: claims collections from the shared queue and runs them on its
// own lines (see --help).

#include "CallLines.h"
#include "Clock.h"
#include "CollectQueue.h"
#include "ConsoleAuditRunner.h"
#include "DatabaseTarget.h"
#include "FleetCollector.h"
#include "HardwarePort.h"
#include "MachineListener.h"
#include "ModemPreparation.h"
#include "PortTrace.h"
#include "ProgramFolder.h"
#include "Runtime.h"
#include "Timer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QSysInfo>
#include <QSocketNotifier>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <cstdio>
#include <memory>
#include <vector>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr const char *Connection = "fleet";
int g_term[2] = {-1, -1};

void say(const QString &line)
{
    std::fprintf(stderr, "gsmcollectd: %s\n", qPrintable(line));
    std::fflush(stderr);
}

// SIGTERM and SIGINT stop the collector through the event loop; a second one ends at once.
void watchTerm(FleetCollector &collector)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_term) != 0)
        return;
    auto *n = new QSocketNotifier(g_term[1], QSocketNotifier::Read, &collector);
    QObject::connect(n, &QSocketNotifier::activated, &collector, [&collector] {
        char c;
        if (::read(g_term[1], &c, 1) == 1)
            collector.stop();
    });
    struct sigaction sa = {};
    sa.sa_handler = [](int) {
        static volatile sig_atomic_t seen = 0;
        if (seen)
            ::_exit(1);
        seen = 1;
        const char c = 1;
        [[maybe_unused]] const auto w = ::write(g_term[0], &c, 1);
    };
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

// One modem of the collector, prepared once and kept for its calls.
struct ModemLine
{
    explicit ModemLine(const QString &device) : hardware(QStringList{device}) {}
    HardwarePort hardware;
    std::unique_ptr<PortTrace> trace;
    std::unique_ptr<ConsoleAuditRunner> runner;
    SerialPort &port() { return trace ? static_cast<SerialPort &>(*trace) : hardware; }
};

bool reopen()
{
    return DatabaseTarget::reopen(QString::fromLatin1(Connection));
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("gsmcollectd"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));

    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Collects audits for the fleet: claims due requests from the collection queue in the\n"
        "database, calls each machine on one of its lines (a modem port per call, or TCP for\n"
        "machines with an address), stores the EVA-DTS records and the framed image in the\n"
        "database, and records every attempt. SIGTERM stops claiming; calls still running after\n"
        "15 s are hung up and given back, and the service exits 0 within 30 s.\n"
        "Exit status: 0 stopped, 1 failed, 2 usage or file error."));
    p.addHelpOption();
    p.addVersionOption();
    const QCommandLineOption database(
        "database", "PostgreSQL URI (postgresql://user@host:port/dbname) or SQLite file; default: "
                    "the URL in ./Database.conf, else Dati.mdb in the program folder. Passwords "
                    "come from ~/.pgpass, PGPASSFILE or PGPASSWORD.", "URL");
    const QCommandLineOption home("home", "Program folder (decod.asm, address.asm).", "DIR");
    const QCommandLineOption name("name", "Collector name in the attempts (default host-pid).", "NAME");
    const QCommandLineOption ports("ports", "Modem ports, one call each (comma-separated).", "DEV,...");
    const QCommandLineOption sessions("sessions", "IP calls at once (default 50).", "N", "50");
    const QCommandLineOption lease("lease", "Lease of a claim in seconds (default 300).", "S", "300");
    const QCommandLineOption retry("retry-delay", "Seconds between attempts (default 300).", "S", "300");
    const QCommandLineOption listen(
        "listen", "Hold the connections of machines that connect and identify themselves, and "
                  "collect them through it (default off).", "HOST:PORT");
    const QCommandLineOption verbose("verbose", "Trace every line and frame of every call.");
    p.addOptions({database, home, name, ports, sessions, lease, retry, listen, verbose});
    if (!p.parse(app.arguments())) {
        say(p.errorText());
        return 2;
    }
    if (p.isSet(QStringLiteral("help"))) {
        std::printf("%s", qPrintable(p.helpText()));
        return 0;
    }
    if (p.isSet(QStringLiteral("version"))) {
        std::printf("gsmcollectd %s\n", PROJECT_VERSION);
        return 0;
    }
    if (!p.positionalArguments().isEmpty()) {
        say(QStringLiteral("unexpected argument: %1").arg(p.positionalArguments().first()));
        return 2;
    }
    bool okS = false, okL = false, okR = false;
    const int nSessions = p.value(sessions).toInt(&okS);
    const int leaseS = p.value(lease).toInt(&okL);
    const int retryS = p.value(retry).toInt(&okR);
    if (!okS || nSessions < 0 || nSessions > 10'000 || !okL || leaseS < 10 || leaseS > 86'400 ||
        !okR || retryS < 0 || retryS > 86'400) {
        say(QStringLiteral("--sessions 0-10000, --lease 10-86400 and --retry-delay 0-86400"));
        return 2;
    }
    const QString folder = ProgramFolder::choose(p.value(home), QCoreApplication::applicationDirPath());
    if (!QFileInfo(folder).isDir()) {
        say(QStringLiteral("there is no program folder %1").arg(QDir::toNativeSeparators(folder)));
        return 2;
    }
    QString url = p.value(database);
    if (url.isEmpty())
        url = DatabaseTarget::fromConfFile(QDir::currentPath());
    if (url.isEmpty())
        url = QDir(folder).filePath(QStringLiteral("Dati.mdb"));
    DatabaseTarget target;
    QString why;
    if (!DatabaseTarget::parse(url, &target, &why)) {
        say(why);
        return 2;
    }

    SystemClock clock;
    FleetCollector::Options o;
    o.name = p.value(name).isEmpty()
                 ? QStringLiteral("%1-%2").arg(QSysInfo::machineHostName()).arg(::getpid())
                 : p.value(name);
    o.workFolder = QDir(QDir::tempPath()).filePath(QStringLiteral("gsmcollectd-%1").arg(o.name));
    o.leaseMs = qint64(leaseS) * 1000;
    o.retryDelayMs = qint64(retryS) * 1000;
    o.ipSessions = nSessions;
    CollectQueue queue{QString::fromLatin1(Connection)};
    FleetCollector collector(queue, clock, o);
    collector.setReconnect(reopen);
    QObject::connect(&collector, &FleetCollector::line, say);
    QObject::connect(&collector, &FleetCollector::stopped, &app, [] { QCoreApplication::exit(0); });
    watchTerm(collector);
    // Machines with an address are called over TCP, up to --sessions at once.
    CallLines ipLines(target.kind == DatabaseTarget::Kind::Sqlite ? target.path : url);
    if (nSessions > 0)
        collector.callOverIp(ipLines, folder, [&](const QString &gsm) -> FleetCollector::Trace {
            if (!p.isSet(verbose))
                return {};
            return [gsm](const QString &l) { say(gsm + QStringLiteral(": ") + l); };
        });
    std::unique_ptr<MachineListener> listener;
    if (p.isSet(listen)) {
        listener = std::make_unique<MachineListener>([&ipLines](const QByteArray &identity) {
            return machineIdentifiedBy(ipLines.database(), identity);
        });
        if (!listener->listen(p.value(listen), &why)) {
            say(why);
            return 2;
        }
        QObject::connect(listener.get(), &MachineListener::log, say);
        ipLines.setListener(listener.get());
        collector.setListener(listener.get());
        say(QStringLiteral("machines on IP connect to port %1").arg(listener->port()));
    }

    // Each modem is made ready once; one that cannot be is left out, with the reason.
    std::vector<std::unique_ptr<ModemLine>> lines;
    const QStringList devices = p.value(ports).split(u',', Qt::SkipEmptyParts);
    for (const QString &dev : devices) {
        auto line = std::make_unique<ModemLine>(dev);
        if (p.isSet(verbose))
            line->trace = std::make_unique<PortTrace>(
                line->hardware, [dev](const QString &l) { say(dev + QStringLiteral(": ") + l); });
        ModemPreparation prep(line->port());
        QObject::connect(&prep, &ModemPreparation::note,
                         [dev](const QString &l) { say(dev + QStringLiteral(": ") + l); });
        if (prep.run(1, QFileInfo(folder).absolutePath()) != ModemPreparation::Outcome::Ready) {
            say(QStringLiteral("%1: left out: %2").arg(dev, prep.reason()));
            continue;
        }
        line->runner = std::make_unique<ConsoleAuditRunner>(line->port(), folder);
        collector.addModemLine(line->runner.get());
        lines.push_back(std::move(line));
    }
    if (!devices.isEmpty() && lines.empty() && nSessions == 0) {
        say(QStringLiteral("no line to call on"));
        return 1;
    }

    // A database that is not there yet is waited for: the service starts when it appears.
    ::Timer connectTimer(QStringLiteral("gsmcollectd.connect"), 1000, false);
    int backoffMs = 1000;
    auto connectNow = [&] {
        connectTimer.stop();
        QString why;
        if (!QSqlDatabase::contains(QString::fromLatin1(Connection))
                ? target.open(QString::fromLatin1(Connection), &why)
                : reopen()) {
            if (queue.prepare(&why)) {
                say(QStringLiteral("collecting from %1 as %2 (%3 modem line(s), %4 IP session(s))")
                        .arg(target.display(), o.name)
                        .arg(lines.size())
                        .arg(nSessions));
                collector.start();
                return;
            }
        }
        if (why.isEmpty())
            why = QSqlDatabase::database(QString::fromLatin1(Connection), false).lastError().text();
        say(QStringLiteral("database: %1; retrying in %2 s").arg(why.simplified()).arg(backoffMs / 1000));
        connectTimer.setInterval(backoffMs);
        backoffMs = std::min(backoffMs * 2, 30'000);
        connectTimer.start();
    };
    QObject::connect(&connectTimer, &::Timer::tick, connectNow);
    connectNow();
    return app.exec();
}
