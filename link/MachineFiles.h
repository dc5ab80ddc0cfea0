#pragma once

#include "Dialogs.h"
#include "OutputFile.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>

class Clock;

// The files a machine's memory images are kept in: configuration (.prm, interleaved or plain),
// raw configuration image (.cfx), telemetry settings (.tlm) and the per-machine snapshot (.ntm).
// Everything here is a plain function over bytes; a refused file comes back as a Result that
// carries the message box the station shows for it, and leaves the caller's image untouched.
namespace MachineFiles {

inline constexpr int ConfigImageSize = 12928; // machine addresses 0-12927
// Index = machine address - 3748; index 0-75 hold a telemetry file's header.
inline constexpr int TelemetryImageSize = 703;
inline constexpr int TelemetryIndexBase = 3748;
inline constexpr int HeaderSize = 76;

inline constexpr qsizetype ConfigFileSize = 26011;      // interleaved .prm
inline constexpr qsizetype PlainConfigFileSize = 13004; // .prm without filler and trailer
inline constexpr qsizetype RawImageFileSize = 12928;    // .cfx and .ntm
inline constexpr qsizetype TelemetryFileSize = 1403;
inline constexpr qsizetype OldTelemetryFileSize = 987; // older layout, 492 logical bytes

// Yields one filler byte, 0-254.
using FillerSource = std::function<quint8()>;
// Int(rnd x 255) from the station's random numbers.
FillerSource fillerFrom(Clock &clock);

enum class Status {
    Ok,
    NotValid,        // wrong length for its kind, or a name without an extension
    BadChecksum,     // trailer does not match the body
    SnapshotMissing, // the machine's snapshot is missing, unreadable or short
    IoError,         // the file could not be opened, read or written
};

// What the station shows for a refused file, ready for Dialogs::message (Ok button).
struct Result
{
    Status status = Status::Ok;
    QString text;  // exact message text
    QString title; // "" shows the program's name
    MsgIcon icon = MsgIcon::None;

    bool ok() const { return status == Status::Ok; }
};

// --- interleaved layout -------------------------------------------------------------------

// Each logical byte followed by a filler byte, then sum low byte, 7, sum high byte; the sum
// (mod 65536) covers every body byte, filler included.
QByteArray interleave(const QByteArray &logical, const FillerSource &filler);
// True when the file holds a body and a trailer that matches it.
bool checksumMatches(const QByteArray &file);
// The body's logical bytes (every second byte from the start, the trailer left out).
QByteArray logicalBytes(const QByteArray &file);

// --- writers ------------------------------------------------------------------------------

enum class FileKind { Configuration, Telemetry };

// The 76-byte header. `title` is the file's name as chosen (no folder); the machine fields
// come from the configuration image, missing bytes reading as 0.
QByteArray header(FileKind kind, const QString &title, const QByteArray &configImage);
// Interleaved configuration file, 26011 bytes.
QByteArray configFile(const QString &title, const QByteArray &configImage,
                      const FillerSource &filler);
// Interleaved telemetry file, 1403 bytes: a fresh header, then telemetryImage[76..699].
QByteArray telemetryFile(const QString &title, const QByteArray &configImage,
                         const QByteArray &telemetryImage, const FillerSource &filler);
// .cfx and .ntm: the 12928 bytes of the image in address order.
QByteArray rawImage(const QByteArray &configImage);

// --- readers ------------------------------------------------------------------------------
// On refusal the image argument is left exactly as it was.

// .tlm of 1403 or 987 bytes: the logical bytes into telemetryImage from index 0, zero after
// them up to index 702.
Result readTelemetry(const QByteArray &file, QByteArray &telemetryImage);

enum class ConfigLayout { RawImage, ConfigFile, Unknown };
// The reader a chosen name selects: the four characters from the name's first "." are ".cfx"
// for a raw image, anything else for a configuration file; no "." at all is Unknown.
ConfigLayout configLayoutOf(const QString &fileName);
// .cfx replaces the whole image; a .prm (13004 bytes plain, 26011 interleaved) replaces
// addresses 0-3, 7, 9-11 and 16-12927, keeping the others.
Result readConfig(const QByteArray &file, ConfigLayout layout, QByteArray &configImage);
// The first 12928 bytes of a snapshot; `machine` names it in the refusal.
Result readSnapshot(const QByteArray &file, const QString &machine, QByteArray &snapshotImage);

// --- files on disk ------------------------------------------------------------------------

// <program folder>/Cartella/<machine>.ntm
QString snapshotPath(const QString &appFolder, const QString &machine);

Result loadTelemetryFile(const QString &path, QByteArray &telemetryImage);
Result loadConfigFile(const QString &path, QByteArray &configImage);
Result loadSnapshotFile(const QString &path, const QString &machine, QByteArray &snapshotImage);

// Writes under a temporary name and renames when complete, so the final name never holds a
// half-written file.
Result writeWholeFile(const QString &path, const QByteArray &bytes);
// The same without holding the event thread while the disk works: done runs through the event
// loop once the file is final or refused, not at all if context has gone first. Virtual time
// stands still meanwhile.
void writeWholeFileLater(const QString &path, const QByteArray &bytes, QObject *context,
                         std::function<void(const Result &)> done);
// OutputFile::commitLater, with virtual time standing still until the disk is done.
void commitLater(OutputFile &file, QObject *context,
                 std::function<void(const OutputFile::Committed &)> done);
// The header's title is the path's file name.
Result saveConfigFile(const QString &path, const QByteArray &configImage,
                      const FillerSource &filler);
Result saveTelemetryFile(const QString &path, const QByteArray &configImage,
                         const QByteArray &telemetryImage, const FillerSource &filler);
// Also creates the snapshot folder when it is missing.
Result saveSnapshotFile(const QString &path, const QByteArray &configImage);

} // namespace MachineFiles
