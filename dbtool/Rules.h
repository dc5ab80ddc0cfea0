#pragma once

#include "MachineDb.h"

#include <QString>
#include <optional>

// What a record must be to be saved in the machine database. The station finds a sender by the
// exact GSM number and a sale point or an operator by its exact name, so numbers are digits,
// names are unique keys and hold no line break or control character.
namespace Rules {

// What the rules need to know about the file.
class OnFile
{
public:
    virtual ~OnFile() = default;
    // The description of a machine with this GSM number, if there is one.
    virtual std::optional<QString> machineWithGsm(const QString &gsm) = 0;
    // The description of a machine whose "Identity" is this.
    virtual std::optional<QString> machineWithIdentity(const QString &identity) = 0;
    virtual bool hasSalePoint(const QString &name) = 0;
    virtual bool hasOperator(const QString &name) = 0;
};

// The first reason why record (already normalised) cannot be saved in table, or "" when it can.
// before is the record as it is on file when one is changed (null for a new one): what did not
// change is not checked against the file again, so an old record can still be edited.
QString problem(const QString &table, const DbRecord &record, const DbRecord *before,
                OnFile &onFile);

// Every field trimmed of surrounding blanks: a blank after a number breaks the exact look-up.
// With the table, its telephone numbers also lose the blanks, dots and dashes people group
// digits with ("+39 347 111 0401"); a number that is not one even then stays as written.
DbRecord normalised(const DbRecord &record, const QString &table = {});
QString phoneDigits(const QString &text);

// The field that identifies a record of table ("GSM", "Name"); "" for the journal.
QString keyField(const QString &table);
bool isPhoneNumber(const QString &text);
} // namespace Rules
