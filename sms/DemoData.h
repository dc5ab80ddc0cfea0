#pragma once

#include <QByteArray>
#include <QList>

class MachineDb;

// The machines, sale points and operators of a demonstration: every name a machine gives is on
// file, so a machine added with what the list shows is accepted, and one sale point's name holds
// an apostrophe.
namespace DemoData {
// Fills the tables; false when any record could not be added.
bool seed(MachineDb &db);
QList<QByteArray> machineNumbers();
// A number that is in no table.
QByteArray strangerNumber();
} // namespace DemoData
