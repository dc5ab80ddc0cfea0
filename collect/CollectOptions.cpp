#include "CollectOptions.h"

#include "DatabaseTarget.h"
#include "MachineAddress.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace {
using Kind = CollectJob::Kind;

struct JobOption
{
    const char *name;
    Kind kind;
    const char *value; // "" for a job without a file
    const char *help;
};

const JobOption Jobs[] = {
    {"read-config", Kind::ReadConfig, "FILE",
     "\"Data\": read the configuration into FILE (interleaved .prm); the snapshot "
     "Cartella/NUMBER.ntm is written too."},
    {"read-telemetry", Kind::ReadTelemetry, "FILE",
     "\"Telemetry\" read: the telemetry settings into FILE (.tlm)."},
    {"write-config", Kind::WriteConfig, "FILE",
     "\"All\": write the configuration from FILE (.prm plain or interleaved, or .cfx), then the "
     "alarm reset that activates it; the snapshot is written after."},
    {"write-changed", Kind::WriteChanged, "FILE",
     "\"Select\": write only the blocks of FILE that differ from Cartella/NUMBER.ntm; without "
     "a difference nothing is dialled."},
    {"write-telemetry", Kind::WriteTelemetry, "FILE",
     "\"Telemetry\" write: the telemetry settings from FILE (.tlm)."},
    {"reset-alarms", Kind::ResetAlarms, "",
     "\"Reset Alarm\": reset the alarms and wait until the machine reports it done."},
    {"audit", Kind::Audit, "FILE",
     "\"Audit\": read the audit memory and convert it with decod.asm and address.asm of the "
     "program folder into FILE (EVA-DTS)."},
};

const char *const Description =
    "One unattended job on one machine: finds the modem as the station does, unlocks the SIM "
    "with the PIN stored in Pin.set (in the program folder's parent), waits up to 60 s for the "
    "network, dials \"ATD\" + NUMBER, runs the job with the station's own engine and always "
    "hangs up. Questions are answered Retry/Yes at most --retries times per job, then "
    "Cancel/No. Messages and progress go to standard error.\n\n"
    "Exit status: 0 the job completed; 1 it failed (no modem, SIM not ready, not registered, "
    "the dial failed, the transfer or dialogue gave up, a file was refused, a script line "
    "failed, a station is running); 2 usage error or a file that cannot be read or written.\n\n"
    "With --address HOST:PORT the machine is reached over TCP (a router or serial device server "
    "in transparent mode) instead: no modem, SIM or --ports; connecting is the call set-up (20 s "
    "at most, a refusal is \"NO CARRIER\") and closing the connection the hang-up. --number "
    "still names the snapshot and the messages. With --listen HOST:PORT the machine connects "
    "to gsmcollect instead and sends its GSM number or its Identity (from the machine "
    "database: --database, else the URL in ./Database.conf, else Dati.mdb) in one line; the job runs on that connection, and no connection within 60 s is \"Time OUT\". A "
    "port that cannot be listened on exits with status 2.";

// What a dial string may hold; nothing that ends the command or leaves the snapshot folder.
const QRegularExpression NumberPattern(QStringLiteral("^[0-9+*#,pPwW]{1,40}$"));
} // namespace

CollectOptions::Parsed CollectOptions::parse(const QStringList &args, const QString &defaultHome,
                                             CollectOptions *out, QString *message)
{
    QCommandLineParser p;
    p.setApplicationDescription(QString::fromLatin1(Description));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help."));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Shows the version."));
    const QCommandLineOption home(
        QStringLiteral("home"),
        QStringLiteral("Program folder (default: the executable's; when installed, "
                       "gsmstation/station in the user's data folder)."),
        QStringLiteral("DIR"));
    const QCommandLineOption ports(
        QStringLiteral("ports"),
        QStringLiteral("Serial devices searched in order (default: the system's ports)."),
        QStringLiteral("DEV[,DEV...]"));
    const QCommandLineOption address(
        QStringLiteral("address"),
        QStringLiteral("Reach the machine over TCP at HOST:PORT instead of dialling."),
        QStringLiteral("HOST:PORT"));
    const QCommandLineOption listen(
        QStringLiteral("listen"),
        QStringLiteral("Wait on HOST:PORT for the machine to connect and identify itself."),
        QStringLiteral("HOST:PORT"));
    const QCommandLineOption database(
        QStringLiteral("database"),
        QStringLiteral("With --listen, the machine database that knows the identities: a "
                       "PostgreSQL URI (postgresql://user@host:port/dbname) or a SQLite file "
                       "(default: the URL in ./Database.conf, else Dati.mdb in the program "
                       "folder). Passwords come from ~/.pgpass, PGPASSFILE or PGPASSWORD."),
        QStringLiteral("URL"));
    const QCommandLineOption number(QStringLiteral("number"),
                                    QStringLiteral("The machine's GSM number, dialled as given (with --address: "
                                                   "the name of its snapshot and messages)."),
                                    QStringLiteral("NUMBER"));
    const QCommandLineOption retries(
        QStringLiteral("retries"),
        QStringLiteral("Retry/Yes answers per job before Cancel/No (default 3)."),
        QStringLiteral("N"), QStringLiteral("3"));
    const QCommandLineOption image(
        QStringLiteral("image"),
        QStringLiteral("With --audit, also write the framed audit image "
                       "(length word, data, sum word) to IMG (\"-\": standard output)."),
        QStringLiteral("IMG"));
    const QCommandLineOption erase(
        QStringLiteral("erase"),
        QStringLiteral("With --audit, erase the machine's erasable data when every script line "
                       "succeeded."));
    const QCommandLineOption verbose(
        QStringLiteral("verbose"),
        QStringLiteral("Also show every AT command and every frame sent and received."));
    p.addOptions({help, version, home, ports, address, listen, database, number});
    QList<QCommandLineOption> jobOptions;
    for (const JobOption &j : Jobs) {
        jobOptions << (*j.value ? QCommandLineOption(QString::fromLatin1(j.name),
                                                     QString::fromLatin1(j.help),
                                                     QString::fromLatin1(j.value))
                                : QCommandLineOption(QString::fromLatin1(j.name),
                                                     QString::fromLatin1(j.help)));
        p.addOption(jobOptions.last());
    }
    p.addOptions({image, erase, retries, verbose});

    auto error = [message](const QString &why) {
        *message = why;
        return Parsed::Error;
    };
    if (!p.parse(args))
        return error(p.errorText());
    if (p.isSet(help)) {
        *message = p.helpText();
        return Parsed::Help;
    }
    if (p.isSet(version)) {
        *message = QStringLiteral("gsmcollect %1").arg(QStringLiteral(PROJECT_VERSION));
        return Parsed::Version;
    }
    if (!p.positionalArguments().isEmpty())
        return error(QStringLiteral("unexpected argument \"%1\"").arg(p.positionalArguments()[0]));

    CollectOptions o;
    int jobs = 0;
    for (int i = 0; i < jobOptions.size(); ++i) {
        if (!p.isSet(jobOptions[i]))
            continue;
        ++jobs;
        o.job = QString::fromLatin1(Jobs[i].name);
        o.request.kind = Jobs[i].kind;
        if (*Jobs[i].value) {
            o.request.file = p.value(jobOptions[i]);
            if (o.request.file.isEmpty())
                return error(QStringLiteral("--%1 needs a file name").arg(o.job));
            // The job reads its file again or gives it the station's extension.
            if (o.request.file == QLatin1String("-"))
                return error(QStringLiteral("--%1 needs a file name, not \"-\"").arg(o.job));
            o.request.file = QFileInfo(o.request.file).absoluteFilePath();
        }
    }
    if (jobs != 1)
        return error(QStringLiteral("give exactly one job: --read-config, --read-telemetry, "
                                    "--write-config, --write-changed, --write-telemetry, "
                                    "--reset-alarms or --audit (see --help)"));
    if (!p.isSet(number))
        return error(QStringLiteral("--number is required"));
    o.request.number = p.value(number);
    if (!NumberPattern.match(o.request.number).hasMatch())
        return error(QStringLiteral("bad --number \"%1\": digits, +, *, #, comma, p and w only")
                         .arg(o.request.number));
    bool ok = false;
    o.request.retries = p.value(retries).toInt(&ok);
    if (!ok || o.request.retries < 0 || o.request.retries > 999)
        return error(QStringLiteral("bad --retries \"%1\": a number 0-999").arg(p.value(retries)));
    if (o.request.kind != Kind::Audit && (p.isSet(image) || p.isSet(erase)))
        return error(QStringLiteral("--image and --erase belong to --audit"));
    if (p.isSet(image)) {
        o.request.image = p.value(image);
        if (o.request.image.isEmpty())
            return error(QStringLiteral("--image needs a file name"));
        o.request.image = o.request.image == QLatin1String("-")
                              ? QStringLiteral("/dev/stdout")
                              : QFileInfo(o.request.image).absoluteFilePath();
    }
    o.request.erase = p.isSet(erase);
    o.verbose = p.isSet(verbose);
    o.home = QDir(p.isSet(home) ? p.value(home) : defaultHome).absolutePath();
    if (p.isSet(ports)) {
        o.ports = p.value(ports).split(QLatin1Char(','), Qt::SkipEmptyParts);
        if (o.ports.isEmpty())
            return error(QStringLiteral("--ports names no device"));
    }
    if (p.isSet(address)) {
        if (p.isSet(ports))
            return error(QStringLiteral("--ports and --address exclude each other: a machine on "
                                        "TCP needs no modem"));
        const MachineAddress a = MachineAddress::parseHostPort(p.value(address));
        if (a.kind != MachineAddress::Kind::Connect)
            return error(QStringLiteral("bad --address: %1").arg(a.problem));
        o.address = p.value(address);
    }
    if (p.isSet(database)) {
        DatabaseTarget t;
        QString why;
        if (!DatabaseTarget::parse(p.value(database), &t, &why))
            return error(QStringLiteral("bad --database: %1").arg(why));
        o.database = p.value(database);
    }
    if (p.isSet(listen)) {
        if (p.isSet(ports) || p.isSet(address))
            return error(QStringLiteral("--listen excludes --ports and --address: the machine "
                                        "connects to gsmcollect"));
        o.listen = p.value(listen);
    }
    *out = o;
    return Parsed::Run;
}
