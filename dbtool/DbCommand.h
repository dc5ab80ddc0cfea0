#pragma once

#include <QString>
#include <QStringList>

class QTextStream;
struct DatabaseTarget;

// The command line of the database editor: the window, or one import or export without it.
namespace DbCommand {

constexpr qint64 DefaultImportLimit = qint64(256) << 20;

struct Options
{
    QString home; // program folder; "" = the executable's folder
    bool maximized = false;
    QString language; // en, it, source; "" = the system's
    QString importName; // machines, salepoints, operators
    QString exportName; // the same, or events
    QString file;
    QString database;     // --database URL; "" = Database.conf, else the program folder's file
    QString enqueueJob;   // --enqueue JOB WHAT: the job ("audit")
    QString enqueueWhat;  // "all" or NUMBER[,NUMBER...]
    bool skipInvalid = false;
    qint64 importLimit = DefaultImportLimit; // bytes an import file may hold
    bool help = false;
    bool version = false;
    QString usageError; // set when the arguments make no sense; the program exits with 2
    bool isJob() const
    {
        return !importName.isEmpty() || !exportName.isEmpty() || !enqueueJob.isEmpty();
    }
    // The collection queue's forms, run by the fleet's command.
    bool isFleetJob() const
    {
        return !enqueueJob.isEmpty() || exportName == QLatin1String("attempts") ||
               exportName == QLatin1String("audits");
    }
};

// args as the program got them, the program's name first.
Options parse(const QStringList &args);
QString helpText();

// Runs an import or export. Exit status: 0 done; 1 some rows were invalid (the import was
// rolled back, or only the valid rows were imported with --skip-invalid); 2 usage, file or
// database errors. Problems, one per line, and a closing summary go to err.
int run(const Options &options, const QString &defaultHome, QTextStream &err);

// Reads an import file whole, at most limit bytes: "" or why it cannot be imported.
QString readImportFile(const QString &path, qint64 limit, QByteArray *csv);

// The database file of a program folder.
QString databasePath(const QString &home);

// The database a command works on: --database, else the URL of Database.conf in the working
// folder, else the program folder's file. False with the reason for a malformed URL.
bool databaseTarget(const Options &o, const QString &home, DatabaseTarget *target,
                    QString *why);
} // namespace DbCommand
