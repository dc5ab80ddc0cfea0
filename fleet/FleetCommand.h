#pragma once

#include "DbCommand.h"

class QTextStream;

// gsmdb's forms for the collection queue: --enqueue, --export attempts, --export audits.
// Exit status as gsmdb's: 0 done, 1 some machines were not found, 2 usage, file or database.
namespace FleetCommand {
int run(const DbCommand::Options &options, const QString &defaultHome, QTextStream &err);
}
