#pragma once

#include <QByteArray>
#include <QStringList>

class MachineController;

// A simulated controller's audit memory as the station's audit read collects it: the 45 lines
// of the memory map, nine of them placed by the controller's pointer block, and the bytes they
// name framed with a length word and a sum word.
namespace DemoAudit {

// "type,AAAA,length", in the order the station reads them.
QStringList mapLines(const MachineController &machine);

// The bytes of the map lines in map order, each line's bytes in address order.
QByteArray data(const MachineController &machine);

// data() behind its little-endian length word (data + 4) and followed by the little-endian
// sum of its bytes modulo 65536. The clock bytes are those the controller last set.
QByteArray imageFor(const MachineController &machine);

} // namespace DemoAudit
