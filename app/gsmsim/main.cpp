// Serves the simulated GSM modem on a pseudo-terminal and prints the terminal's path, so that
// the station (or any other program) can talk to it through the system's serial stack. The
// modem can call simulated vending machines, each with its own line faults.

#include "DemoAudit.h"
#include "DemoData.h"
#include "DemoScripts.h"
#include "GsmModem.h"
#include "MachineAddress.h"
#include "MachineController.h"
#include "PtyLine.h"
#include "TcpMachine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <csignal>
#include <cstdio>

namespace {
bool parseSim(const QString &s, SimCardState *out)
{
    static const QHash<QString, SimCardState> names = {
        {QStringLiteral("ready"), SimCardState::Ready},
        {QStringLiteral("pin"), SimCardState::WantsPin},
        {QStringLiteral("puk"), SimCardState::WantsPuk},
        {QStringLiteral("phone-lock"), SimCardState::PhoneLock},
        {QStringLiteral("failing"), SimCardState::Failing}};
    auto it = names.constFind(s);
    if (it == names.constEnd())
        return false;
    *out = *it;
    return true;
}

// The frame as text, with its control bytes named.
QByteArray shown(const QByteArray &raw)
{
    QByteArray out;
    for (char c : raw)
        out += c == 0x01 ? QByteArray("<SOH>") : c == 0x04 ? QByteArray("<EOT>") : QByteArray(1, c);
    return out;
}

int usage(const QString &why)
{
    std::fprintf(stderr, "gsmsim: %s\n", qPrintable(why));
    return 2;
}

// --install-scripts and --audit-image: exit status 0 done, 1 a file could not be written.
int writeDemoFiles(const QString &folder, const QString &imagePath,
                   const QList<MachineController *> &machines)
{
    if (!imagePath.isEmpty() && machines.isEmpty())
        return usage(QStringLiteral("--audit-image needs a --machine"));
    if (!folder.isEmpty()) {
        QStringList written;
        QString error;
        if (!DemoScripts::install(folder, &written, &error)) {
            std::fprintf(stderr, "gsmsim: %s\n", qPrintable(error));
            return 1;
        }
        for (const QString &path : written)
            std::fprintf(stderr, "gsmsim: wrote %s\n", qPrintable(path));
    }
    if (imagePath.isEmpty())
        return 0;
    const QByteArray image = DemoAudit::imageFor(*machines.first());
    QFile out;
    const bool opened = imagePath == QLatin1String("-")
                            ? out.open(stdout, QIODevice::WriteOnly)
                            : (out.setFileName(imagePath), out.open(QIODevice::WriteOnly));
    if (!opened || out.write(image) != image.size() || !out.flush()) {
        std::fprintf(stderr, "gsmsim: cannot write %s: %s\n", qPrintable(imagePath),
                     qPrintable(out.errorString()));
        return 1;
    }
    return 0;
}

// "PORT[:COUNT]": the first port (0: each machine on a free port the system picks) and how many
// machines (0: all of them).
bool parseTcpMachines(const QString &text, quint16 *first, int *count)
{
    bool ok1 = false, ok2 = true;
    const uint port = text.section(QLatin1Char(':'), 0, 0).toUInt(&ok1);
    const QString c = text.section(QLatin1Char(':'), 1);
    const int n = c.isEmpty() ? 0 : c.toInt(&ok2);
    if (!ok1 || !ok2 || port > 65535 || n < 0 || text.count(QLatin1Char(':')) > 1 ||
        (!c.isEmpty() && n == 0))
        return false;
    *first = quint16(port);
    *count = n;
    return true;
}

// Serves machines on consecutive loopback ports, or connects them out to the station, and prints
// one line per machine. Exit status 2 when a port cannot be listened on.
int serveOverTcp(const QString &listenSpec, const QString &connectSpec, int retryMs,
                 const QList<QPair<QByteArray, MachineController *>> &machines, bool verbose)
{
    QList<TcpMachine *> routers;
    for (const auto &[number, machine] : machines) {
        auto *router = new TcpMachine(machine, machine);
        routers << router;
        if (verbose)
            QObject::connect(router, &TcpMachine::connectionChanged, [n = number](bool up) {
                std::printf("%s %s\n", n.constData(), up ? "connected" : "disconnected");
                std::fflush(stdout);
            });
    }
    if (!connectSpec.isEmpty()) {
        const MachineAddress to = MachineAddress::parseHostPort(connectSpec);
        if (to.kind != MachineAddress::Kind::Connect)
            return usage(QStringLiteral("bad --connect: %1").arg(to.problem));
        for (int i = 0; i < machines.size(); ++i) {
            routers[i]->connectTo(to.host, to.port, machines[i].first, retryMs);
            std::printf("%s -> %s\n", machines[i].first.constData(), qPrintable(connectSpec));
        }
        std::fflush(stdout);
        return -1;
    }
    quint16 first = 0;
    int count = 0;
    if (!parseTcpMachines(listenSpec, &first, &count))
        return usage(QStringLiteral("bad --tcp-machines \"%1\": PORT[:COUNT]").arg(listenSpec));
    if (count == 0)
        count = int(machines.size());
    if (count > machines.size())
        return usage(QStringLiteral("--tcp-machines: %1 machines asked for, %2 to serve")
                         .arg(count)
                         .arg(machines.size()));
    if (first > 0 && int(first) + count - 1 > 65535)
        return usage(QStringLiteral("--tcp-machines: the ports run past 65535"));
    for (int i = 0; i < count; ++i) {
        const quint16 port = first == 0 ? 0 : quint16(first + i);
        QString error;
        if (!routers[i]->listen(QHostAddress::LocalHost, port, &error)) {
            std::fprintf(stderr, "gsmsim: cannot listen on 127.0.0.1:%u: %s\n", unsigned(port),
                         qPrintable(error));
            return 2;
        }
        std::printf("127.0.0.1:%u %s\n", unsigned(routers[i]->port()),
                    machines[i].first.constData());
    }
    std::fflush(stdout);
    return -1;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("gsmsim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));
    std::signal(SIGTERM, [](int) { QCoreApplication::quit(); });
    std::signal(SIGINT, [](int) { QCoreApplication::quit(); });

    QCommandLineParser cli;
    cli.setApplicationDescription(QStringLiteral(
        "Simulated GSM modem on a pseudo-terminal. Prints the device path.\n\n"
        "Data calls: \"ATD\" + a number given with --machine connects to a simulated vending "
        "machine (\"CONNECT 9600\"); other numbers answer \"NO CARRIER\". FAULTS is a comma "
        "list of lost=P, lowercase[=P], duplicate=P, late=P, late-ms=MS, junk=P, oversize=P, "
        "silence-after=K, drop-after=K, seed=N (P a probability 0-1, K requests per call). "
        "\"+++\" with a guard time of silence before and after returns to command mode; "
        "\"ATH\" ends the call, \"ATO\" resumes it. A pseudo-terminal carries no carrier "
        "detect line: a machine that drops the call shows as \"NO CARRIER\" only."));
    cli.addHelpOption();
    cli.addVersionOption();
    const GsmModemConfig d;
    auto opt = [&cli](const char *name, const char *help, const char *value, const QString &def) {
        QCommandLineOption o(QString::fromLatin1(name), QString::fromLatin1(help),
                             QString::fromLatin1(value), def);
        cli.addOption(o);
        return o;
    };
    const auto sim =
        opt("sim", "SIM state: ready, pin, puk, phone-lock, failing.", "STATE", "ready");
    const auto pin = opt("pin", "SIM PIN.", "PIN", QString::fromLatin1(d.pin));
    const auto puk = opt("puk", "SIM PUK.", "PUK", QString::fromLatin1(d.puk));
    const auto maker =
        opt("manufacturer", "Manufacturer text.", "TEXT", QString::fromLatin1(d.manufacturer));
    const auto model = opt("model", "Model text.", "TEXT", QString::fromLatin1(d.model));
    const auto imei = opt("imei", "Serial number.", "DIGITS", QString::fromLatin1(d.imei));
    const auto reg =
        opt("registration", "Registration status 0-5.", "N", QString::number(d.registration));
    const auto signal =
        opt("signal", "Signal level 0-31 (99 unknown).", "N", QString::number(d.rssi));
    const auto opName = opt("operator", "Operator name (empty: numeric only).", "NAME",
                            QString::fromLatin1(d.operatorName));
    const auto opCode = opt("operator-code", "Operator code (MCC+MNC).", "CODE",
                            QString::fromLatin1(d.operatorCode));
    const auto bauds =
        opt("bauds", "Speeds the modem answers at.", "LIST", QStringLiteral("19200"));
    QCommandLineOption machineOpt(
        QStringLiteral("machine"),
        QStringLiteral("A simulated machine answers data calls to NUMBER (repeatable)."),
        QStringLiteral("NUMBER[:FAULTS]"));
    QCommandLineOption busyOpt(QStringLiteral("busy"),
                               QStringLiteral("Calls to NUMBER answer \"BUSY\" (repeatable)."),
                               QStringLiteral("NUMBER"));
    QCommandLineOption noAnswerOpt(
        QStringLiteral("no-answer"),
        QStringLiteral("Calls to NUMBER answer \"NO ANSWER\" (repeatable)."),
        QStringLiteral("NUMBER"));
    QCommandLineOption silentOpt(
        QStringLiteral("silent-number"),
        QStringLiteral("Calls to NUMBER get no result at all (repeatable)."),
        QStringLiteral("NUMBER"));
    QCommandLineOption dialDelay(
        QStringLiteral("dial-delay"),
        QStringLiteral("Milliseconds before every dial result (default: 9 s for CONNECT, 5 s "
                       "BUSY, 40 s NO ANSWER, 6 s NO CARRIER)."),
        QStringLiteral("MS"));
    QCommandLineOption guard(QStringLiteral("escape-guard"),
                             QStringLiteral("Silence around \"+++\" in milliseconds."),
                             QStringLiteral("MS"), QStringLiteral("1000"));
    cli.addOptions({machineOpt, busyOpt, noAnswerOpt, silentOpt, dialDelay, guard});
    QCommandLineOption noGprs(QStringLiteral("no-gprs"), QStringLiteral("Not attached to GPRS."));
    QCommandLineOption bandOff(QStringLiteral("band-off"),
                               QStringLiteral("Automatic band selection off."));
    QCommandLineOption verbose(QStringLiteral("verbose"),
                               QStringLiteral("Print every command received."));
    cli.addOptions({noGprs, bandOff, verbose});
    QCommandLineOption installScripts(
        QStringLiteral("install-scripts"),
        QStringLiteral("Write the demonstration machines' \"decod.asm\" and \"address.asm\" into "
                       "DIR (files already there stay), then exit."),
        QStringLiteral("DIR"));
    QCommandLineOption auditImage(
        QStringLiteral("audit-image"),
        QStringLiteral("Write the audit image the station reads from the first --machine to FILE "
                       "(\"-\": standard output), then exit."),
        QStringLiteral("FILE"));
    cli.addOptions({installScripts, auditImage});
    QCommandLineOption tcpMachines(
        QStringLiteral("tcp-machines"),
        QStringLiteral("Instead of the modem, serve the --machine ones (without any, the "
                       "demonstration machines) over TCP on consecutive loopback ports from PORT "
                       "(0: free ports), COUNT of them (default: all), as routers in transparent "
                       "mode do. Prints \"127.0.0.1:PORT NUMBER\" for each."),
        QStringLiteral("PORT[:COUNT]"));
    QCommandLineOption connectOpt(
        QStringLiteral("connect"),
        QStringLiteral("Instead of the modem, each --machine connects out to HOST:PORT and sends "
                       "its number as an identification line (CR LF); when the connection fails "
                       "or ends it connects again after --retry milliseconds."),
        QStringLiteral("HOST:PORT"));
    QCommandLineOption retryOpt(QStringLiteral("retry"),
                                QStringLiteral("Pause before connecting again (default 5000)."),
                                QStringLiteral("MS"), QStringLiteral("5000"));
    cli.addOptions({tcpMachines, connectOpt, retryOpt});
    cli.process(app);

    GsmModemConfig cfg;
    if (!parseSim(cli.value(sim), &cfg.sim)) {
        std::fprintf(stderr, "gsmsim: unknown SIM state \"%s\"\n", qPrintable(cli.value(sim)));
        return 2;
    }
    cfg.pin = cli.value(pin).toLatin1();
    cfg.puk = cli.value(puk).toLatin1();
    cfg.manufacturer = cli.value(maker).toLatin1();
    cfg.model = cli.value(model).toLatin1();
    cfg.imei = cli.value(imei).toLatin1();
    cfg.registration = cli.value(reg).toInt();
    cfg.rssi = cli.value(signal).toInt();
    cfg.operatorName = cli.value(opName).toLatin1();
    cfg.operatorCode = cli.value(opCode).toLatin1();
    cfg.gprsAttached = !cli.isSet(noGprs);
    cfg.autoBand = !cli.isSet(bandOff);
    cfg.bauds.clear();
    for (const QString &b : cli.value(bauds).split(QLatin1Char(','), Qt::SkipEmptyParts))
        cfg.bauds.insert(b.toInt());

    GsmModem modem(cfg);
    modem.setLatency(5);
    bool ok = true;
    if (cli.isSet(dialDelay)) {
        const int ms = cli.value(dialDelay).toInt(&ok);
        if (!ok || ms < 0)
            return usage(QStringLiteral("bad --dial-delay \"%1\"").arg(cli.value(dialDelay)));
        modem.setDialDelay(ms);
    }
    const int guardMs = cli.value(guard).toInt(&ok);
    if (!ok || guardMs < 0)
        return usage(QStringLiteral("bad --escape-guard \"%1\"").arg(cli.value(guard)));
    modem.setEscapeGuard(guardMs);
    QList<MachineController *> machines;
    QList<QPair<QByteArray, MachineController *>> numbered;
    for (const QString &spec : cli.values(machineOpt)) {
        const QString number = spec.section(QLatin1Char(':'), 0, 0).trimmed();
        LinkFaults faults;
        QString error;
        if (number.isEmpty())
            return usage(QStringLiteral("--machine needs a number"));
        if (!LinkFaults::parse(spec.section(QLatin1Char(':'), 1), &faults, &error))
            return usage(QStringLiteral("--machine %1: %2").arg(spec, error));
        auto *machine = new MachineController(MachineProfile::forNumber(number.toLatin1()), &modem);
        machine->setFaults(faults);
        modem.addMachine(number.toLatin1(), machine);
        machines << machine;
        numbered << qMakePair(number.toLatin1(), machine);
        if (cli.isSet(verbose))
            QObject::connect(machine, &MachineController::requestReceived,
                             [number](const MachineController::Request &r) {
                                 std::printf("%s <- %s%s\n", qPrintable(number),
                                             shown(r.raw).constData(), r.valid ? "" : " (refused)");
                                 std::fflush(stdout);
                             });
    }
    if (cli.isSet(installScripts) || cli.isSet(auditImage))
        return writeDemoFiles(cli.value(installScripts), cli.value(auditImage), machines);
    const std::pair<const QCommandLineOption *, DialAnswer> answers[] = {
        {&busyOpt, DialAnswer::Busy},
        {&noAnswerOpt, DialAnswer::NoAnswer},
        {&silentOpt, DialAnswer::Silent}};
    for (const auto &[option, answer] : answers)
        for (const QString &number : cli.values(*option))
            modem.setDialAnswer(number.toLatin1(), answer);
    if (cli.isSet(verbose)) {
        QObject::connect(&modem, &ModemSim::commandReceived, [](const QByteArray &line) {
            std::printf("<- %s\n", line.constData());
            std::fflush(stdout);
        });
        QObject::connect(&modem, &GsmModem::callChanged, [](const QByteArray &number, bool up) {
            std::printf("call %s %s\n", number.constData(), up ? "connected" : "ended");
            std::fflush(stdout);
        });
    }
    if (cli.isSet(tcpMachines) || cli.isSet(connectOpt)) {
        if (cli.isSet(tcpMachines) && cli.isSet(connectOpt))
            return usage(QStringLiteral("--tcp-machines and --connect exclude each other"));
        if (cli.isSet(connectOpt) && numbered.isEmpty())
            return usage(QStringLiteral("--connect needs a --machine"));
        const int retryMs = cli.value(retryOpt).toInt(&ok);
        if (!ok || retryMs < 0)
            return usage(QStringLiteral("bad --retry \"%1\"").arg(cli.value(retryOpt)));
        if (numbered.isEmpty())
            for (const QByteArray &number : DemoData::machineNumbers())
                numbered << qMakePair(number, new MachineController(
                                                  MachineProfile::forNumber(number), &modem));
        for (const auto &[number, machine] : numbered) {
            if (cli.isSet(verbose) && !machines.contains(machine))
                QObject::connect(machine, &MachineController::requestReceived,
                                 [n = number](const MachineController::Request &r) {
                                     std::printf("%s <- %s%s\n", n.constData(),
                                                 shown(r.raw).constData(),
                                                 r.valid ? "" : " (refused)");
                                     std::fflush(stdout);
                                 });
        }
        const int status = serveOverTcp(cli.value(tcpMachines), cli.value(connectOpt), retryMs,
                                        numbered, cli.isSet(verbose));
        return status >= 0 ? status : app.exec();
    }
    PtyLine line(&modem);
    QString error;
    if (!line.open(&error)) {
        std::fprintf(stderr, "gsmsim: cannot create a pseudo-terminal: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%s\n", qPrintable(line.devicePath()));
    std::fflush(stdout);
    return app.exec();
}
