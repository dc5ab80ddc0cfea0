#pragma once

#include <QByteArray>
#include <QList>

class MachineDb;

// The machines, sale points and operators of a demonstration: enough for a full incoming SMS
// window, a forward to an operator, a forward back to a machine whose operator is not on file,
// and a machine whose sale point is not on file.
namespace DemoData {
// Fills the tables; false when any record could not be added.
bool seed(MachineDb &db);
QList<QByteArray> machineNumbers();
// A number that is in no table.
QByteArray strangerNumber();
} // namespace DemoData
