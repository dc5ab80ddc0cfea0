// Serves the simulated GSM modem on a pseudo-terminal and prints the terminal's path, so that
// the station (or any other program) can talk to it through the system's serial stack.

#include "GsmModem.h"
#include "PtyLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
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
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("gsmsim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));
    std::signal(SIGTERM, [](int) { QCoreApplication::quit(); });
    std::signal(SIGINT, [](int) { QCoreApplication::quit(); });

    QCommandLineParser cli;
    cli.setApplicationDescription(
        QStringLiteral("Simulated GSM modem on a pseudo-terminal. Prints the device path."));
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
    QCommandLineOption noGprs(QStringLiteral("no-gprs"), QStringLiteral("Not attached to GPRS."));
    QCommandLineOption bandOff(QStringLiteral("band-off"),
                               QStringLiteral("Automatic band selection off."));
    QCommandLineOption verbose(QStringLiteral("verbose"),
                               QStringLiteral("Print every command received."));
    cli.addOptions({noGprs, bandOff, verbose});
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
    if (cli.isSet(verbose))
        QObject::connect(&modem, &ModemSim::commandReceived, [](const QByteArray &line) {
            std::printf("<- %s\n", line.constData());
            std::fflush(stdout);
        });
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
