#pragma once

#include "MachineFiles.h"
#include "LinkState.h"

#include <QByteArray>
#include <QString>
#include <QVector>

// One block of a transfer: up to 16 bytes of machine memory.
struct Block
{
    quint32 address = 0;
    quint16 length = 0;
    bool operator==(const Block &o) const { return address == o.address && length == o.length; }
};

// The block lists of the transfer engine (pure).
namespace BlockMaps {

inline constexpr int ListRows = 665;
inline constexpr int ConfigBytes = MachineFiles::ConfigImageSize;
inline constexpr int TelemetryFirst = 3824;
inline constexpr int TelemetryBytes = 623;
inline constexpr int TelemetryBlocks = 39;
// TelemetryImage is indexed by machine address minus this.
inline constexpr int TelemetryBase = MachineFiles::TelemetryIndexBase;

// An area cut into 16-byte blocks, the last one carrying the rest.
QVector<Block> cut(quint32 first, int bytes);
// The three configuration areas: 665 blocks.
QVector<Block> configuration();
// The telemetry settings: 39 blocks from 3824.
QVector<Block> telemetry();
// Blocks (a, 16) where the image differs from the snapshot at a, scanning on at a + 16; a block
// that would pass the image's end is moved back to (12911, 16) and ends the scan.
QVector<Block> changed(const QByteArray &image, const QByteArray &snapshot);

// A memory-map line "type,AAAA,length": the type before the first comma, the address from the
// four hexadecimal digits at characters 3-6, the length from character 8 on.
MapRecord parseMapLine(const QString &line);

} // namespace BlockMaps
