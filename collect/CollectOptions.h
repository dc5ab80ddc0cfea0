#pragma once

#include "CollectJob.h"

#include <QString>
#include <QStringList>

// The command line of gsmcollect.
struct CollectOptions
{
    QString home;      // the program folder, absolute
    QStringList ports; // serial devices in search order; empty: the system's
    QString address;   // "HOST:PORT": the job runs over TCP, without a modem
    QString listen;    // "HOST:PORT": the machine connects there and identifies itself
    QString database;  // where identities are looked up: a PostgreSQL URI or a SQLite file
    CollectJob::Request request;
    QString job; // the job's option name, e.g. "read-config"
    bool verbose = false;

    enum class Parsed { Run, Help, Version, Error };
    // args[0] is the program. defaultHome serves when --home is not given. On Help and Version
    // message holds the text to print; on Error the one-line reason.
    static Parsed parse(const QStringList &args, const QString &defaultHome, CollectOptions *out,
                        QString *message);
};
