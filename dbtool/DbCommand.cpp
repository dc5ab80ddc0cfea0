#include "DbCommand.h"

#include "DatabaseTarget.h"

#include "Language.h"
#include "MachineDb.h"
#include "OutputFile.h"
#include "TableIo.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

namespace DbCommand {

QString databasePath(const QString &home)
{
    return QDir(home).absoluteFilePath(QStringLiteral("Dati.mdb"));
}

bool databaseTarget(const Options &o, const QString &home, DatabaseTarget *target, QString *why)
{
    QString url = o.database;
    if (url.isEmpty())
        url = DatabaseTarget::fromConfFile(QDir::currentPath());
    if (url.isEmpty())
        url = databasePath(home);
    return DatabaseTarget::parse(url, target, why);
}

Options parse(const QStringList &args)
{
    Options o;
    QCommandLineParser cli;
    const QCommandLineOption home(QStringLiteral("home"), {}, QStringLiteral("DIR"));
    const QCommandLineOption maximized(QStringLiteral("maximized"));
    const QCommandLineOption language(QStringLiteral("language"), {}, QStringLiteral("LANG"));
    const QCommandLineOption import(QStringLiteral("import"), {}, QStringLiteral("TABLE"));
    const QCommandLineOption exportOpt(QStringLiteral("export"), {}, QStringLiteral("TABLE"));
    const QCommandLineOption skip(QStringLiteral("skip-invalid"));
    const QCommandLineOption database(QStringLiteral("database"), {}, QStringLiteral("URL"));
    const QCommandLineOption enqueue(QStringLiteral("enqueue"), {}, QStringLiteral("JOB"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    // What Qt itself takes from a window program's command line ("-platform offscreen").
    const QCommandLineOption platform(QStringLiteral("platform"), {}, QStringLiteral("NAME"));
    const QCommandLineOption style(QStringLiteral("style"), {}, QStringLiteral("NAME"));
    const QCommandLineOption geometry(QStringLiteral("qwindowgeometry"), {},
                                      QStringLiteral("GEOMETRY"));
    cli.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    cli.addOption(language);
    cli.addOptions({database, enqueue});
    cli.addOptions(
        {home, maximized, import, exportOpt, skip, help, version, platform, style, geometry});
    if (!cli.parse(args)) {
        o.usageError = cli.errorText();
        if (o.usageError.endsWith(QLatin1Char('.')))
            o.usageError.chop(1);
        return o;
    }
    o.help = cli.isSet(help);
    o.version = cli.isSet(version);
    o.home = cli.value(home);
    o.maximized = cli.isSet(maximized);
    o.language = cli.value(language);
    o.importName = cli.value(import);
    o.exportName = cli.value(exportOpt);
    o.skipInvalid = cli.isSet(skip);
    o.database = cli.value(database);
    o.enqueueJob = cli.value(enqueue);
    QStringList files = cli.positionalArguments();
    if (cli.isSet(enqueue) && !files.isEmpty())
        o.enqueueWhat = files.takeFirst();
    if (o.help || o.version)
        return o;
    if (int(cli.isSet(import)) + int(cli.isSet(exportOpt)) + int(cli.isSet(enqueue)) > 1)
        o.usageError = QStringLiteral("--import, --export and --enqueue cannot be given together");
    else if (cli.isSet(enqueue) && (o.enqueueJob != QLatin1String("audit") || o.enqueueWhat.isEmpty()))
        o.usageError = QStringLiteral("--enqueue takes audit and all or NUMBER[,NUMBER...]");
    else if (cli.isSet(enqueue) && !files.isEmpty())
        o.usageError = QStringLiteral("unexpected argument \"%1\"").arg(files.first());
    else if (cli.isSet(import) && !TableIo::importable().contains(o.importName))
        o.usageError = QStringLiteral("--import takes one of: %1")
                           .arg(TableIo::importable().join(QStringLiteral(", ")));
    else if (cli.isSet(exportOpt) && !TableIo::exportable().contains(o.exportName) &&
             !o.isFleetJob())
        o.usageError = QStringLiteral("--export takes one of: %1, attempts, audits")
                           .arg(TableIo::exportable().join(QStringLiteral(", ")));
    else if (o.exportName == QLatin1String("audits") && files.size() != 1)
        o.usageError = QStringLiteral("--export audits needs one folder");
    else if (o.isJob() && !cli.isSet(enqueue) && o.exportName != QLatin1String("audits") &&
             files.size() != 1)
        o.usageError =
            QStringLiteral("--%1 needs one CSV file")
                .arg(cli.isSet(import) ? QStringLiteral("import") : QStringLiteral("export"));
    else if (!o.isJob() && !files.isEmpty())
        o.usageError = QStringLiteral("unexpected argument \"%1\"").arg(files.first());
    else if (o.skipInvalid && !cli.isSet(import))
        o.usageError = QStringLiteral("--skip-invalid goes with --import");
    else if (Language l; !o.language.isEmpty() && !Languages::parse(o.language, &l))
        o.usageError =
            QStringLiteral("--language takes en, it or source, not \"%1\"").arg(o.language);
    else if (o.isJob() && o.maximized)
        o.usageError = QStringLiteral("--maximized goes with the window, not with a job");
    if (o.isJob() && !cli.isSet(enqueue) && files.size() == 1)
        o.file = files.first();
    return o;
}

QString helpText()
{
    return QStringLiteral(
        "Usage: gsmdb [--home DIR] [--maximized]\n"
        "  or:  gsmdb [--home DIR] --import machines|salepoints|operators FILE.csv "
        "[--skip-invalid]\n"
        "  or:  gsmdb [--home DIR] --export machines|salepoints|operators|events FILE.csv\n"
        "  or:  gsmdb [--database URL] --enqueue audit all|NUMBER[,NUMBER...]\n"
        "  or:  gsmdb [--database URL] --export attempts FILE.csv\n"
        "  or:  gsmdb [--database URL] --export audits DIR\n"
        "\n"
        "Edits the machine database Dati.mdb of the program folder (created with its four\n"
        "tables when missing), or imports or exports one table as CSV without a window.\n"
        "\n"
        "Options:\n"
        "  --home DIR       program folder (default: the executable's folder; when\n"
        "                   installed, gsmstation/station in the user's data folder)\n"
        "  --database URL   the database: a PostgreSQL URI (postgresql://user@host:port/db,\n"
        "                   postgresql:///db?host=/socket/dir) or a SQLite file; default: the\n"
        "                   URL in ./Database.conf, else Dati.mdb in the program folder.\n"
        "                   Passwords come from ~/.pgpass, PGPASSFILE or PGPASSWORD\n"
        "  --maximized      open the window maximised\n"
        "  --language LANG  the window's language: en, it or source (the texts as written);\n"
        "                   default: the system's\n"
        "  --import TABLE   add or update records from FILE.csv (at most 256 MiB; UTF-8 or\n"
        "                   Latin-1, a header row naming the fields); a row whose key (GSM\n"
        "                   number, name) is on file updates that record; one invalid row\n"
        "                   rolls the import back; a machine's Address is empty (dial the\n"
        "                   GSM number), HOST:PORT (connect over TCP) or inbound (the\n"
        "                   machine connects and sends its Identity or GSM number)\n"
        "  --skip-invalid   import the valid rows and skip the invalid ones\n"
        "  --export TABLE   write every record of the table to FILE.csv (UTF-8); \"-\" is\n"
        "                   standard output. \"attempts\" writes the collection attempts\n"
        "                   (GSM, Request, Collector, Started, Ended, Outcome, Detail; UTC);\n"
        "                   \"audits\" writes every stored audit as DIR/<GSM>/<yyyymmdd-hhmm>.txt\n"
        "                   and .img\n"
        "  --enqueue JOB    queue a collection now for every machine (all) or the numbers\n"
        "                   given; a machine already waiting is left as it is\n"
        "  -h, --help       this text\n"
        "\n"
        "Exit status: 0 done, 1 some rows were invalid (listed with their line numbers),\n"
        "2 usage, file or database errors.\n");
}

namespace {
QString sizeText(qint64 bytes)
{
    constexpr qint64 MiB = 1 << 20;
    return bytes % MiB == 0 ? QStringLiteral("%1 MiB").arg(bytes / MiB)
                            : QStringLiteral("%1 bytes").arg(bytes);
}

int exportJob(const Options &o, const DatabaseTarget &target, QTextStream &err)
{
    const QString table = TableIo::tableNamed(o.exportName);
    const QString path = target.display();
    if (target.kind == DatabaseTarget::Kind::Sqlite && !QFileInfo::exists(path)) {
        err << "gsmdb: no machine database at " << path << Qt::endl;
        return 2;
    }
    SqlMachineDb db(target);
    if (!db.open()) {
        err << "gsmdb: the machine database " << path << " cannot be used: " << db.error()
            << Qt::endl;
        return 2;
    }
    OutputFile out(o.file);
    if (!out.open()) {
        err << "gsmdb: " << o.file << ": " << out.errorString() << Qt::endl;
        return 2;
    }
    int rows = 0;
    QString error;
    if (!TableIo::exportTable(db, table, out.device(), &rows, &error) || !out.commit()) {
        err << "gsmdb: " << o.file << ": " << (error.isEmpty() ? out.errorString() : error)
            << Qt::endl;
        return 2;
    }
    err << o.exportName << ": " << rows << " rows written to " << o.file << Qt::endl;
    return 0;
}

int importJob(const Options &o, const DatabaseTarget &target, QTextStream &err)
{
    const QString path = target.display();
    const QString table = TableIo::tableNamed(o.importName);
    QByteArray csv;
    if (const QString why = readImportFile(o.file, o.importLimit, &csv); !why.isEmpty()) {
        err << "gsmdb: " << o.file << ": " << why << Qt::endl;
        return 2;
    }
    if (target.kind == DatabaseTarget::Kind::Sqlite)
        QDir().mkpath(QFileInfo(path).absolutePath());
    SqlMachineDb db(target);
    if (!db.open()) {
        err << "gsmdb: the machine database " << path << " cannot be used: " << db.error()
            << Qt::endl;
        return 2;
    }
    const TableIo::ImportPlan plan = TableIo::plan(db, table, csv);
    if (!plan.fileError.isEmpty()) {
        err << "gsmdb: " << o.file << ": " << plan.fileError << Qt::endl;
        return 2;
    }
    for (const QString &w : plan.warnings)
        err << "gsmdb: " << o.file << ": " << w << Qt::endl;
    for (const TableIo::RowProblem &p : plan.problems)
        err << o.file << ':' << p.line << ": " << p.reason << Qt::endl;
    if (!plan.problems.isEmpty() && !o.skipInvalid) {
        err << o.importName << ": " << plan.problems.size() << " of " << plan.rowsRead
            << " rows are invalid; nothing was imported" << Qt::endl;
        return 1;
    }
    QString error;
    if (!TableIo::apply(db, plan, o.skipInvalid, &error)) {
        err << "gsmdb: " << path << ": " << error << "; nothing was imported" << Qt::endl;
        return 2;
    }
    err << o.importName << ": " << plan.additions() << " added, " << plan.updates()
        << " updated from " << o.file << " (" << Csv::encodingName(plan.encoding) << ")";
    if (!plan.problems.isEmpty())
        err << "; " << plan.problems.size() << " invalid rows skipped";
    err << Qt::endl;
    return plan.problems.isEmpty() ? 0 : 1;
}
} // namespace

QString readImportFile(const QString &path, qint64 limit, QByteArray *csv)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return in.errorString();
    // In chunks up to the bound: the input may be a device or a pipe that never ends.
    csv->clear();
    while (csv->size() <= limit) {
        const QByteArray chunk = in.read(qMin<qint64>(1 << 16, limit + 1 - csv->size()));
        if (chunk.isEmpty())
            break;
        *csv += chunk;
    }
    if (in.error() != QFileDevice::NoError)
        return in.errorString();
    if (csv->size() > limit)
        return QStringLiteral("an import file may hold at most %1").arg(sizeText(limit));
    return {};
}

int run(const Options &o, const QString &defaultHome, QTextStream &err)
{
    if (!o.usageError.isEmpty()) {
        err << "gsmdb: " << o.usageError << " (see --help)" << Qt::endl;
        return 2;
    }
    DatabaseTarget target;
    QString why;
    if (!databaseTarget(o, o.home.isEmpty() ? defaultHome : o.home, &target, &why)) {
        err << "gsmdb: " << why << Qt::endl;
        return 2;
    }
    if (!o.importName.isEmpty())
        return importJob(o, target, err);
    if (!o.exportName.isEmpty())
        return exportJob(o, target, err);
    return 0;
}
} // namespace DbCommand
