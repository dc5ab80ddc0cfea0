#pragma once

#include <QByteArray>
#include <QString>

class Clock;

// "Pin.set": one line of 80 decimal digits + CR LF; the four PIN digits stand at positions 26,
// 4, 31 and 8 (from 1), the rest is random filler, so the PIN is not plain to read.
namespace PinFile {
inline const QString Name = QStringLiteral("Pin.set");

// The line for pin (exactly 4 characters) with fresh filler from clock.
QByteArray makeLine(const QByteArray &pin, Clock &clock);
// The "AT+CPIN=" argument from the file's first line: a double quote, the characters at the
// four positions (those that exist), a double quote.
QByteArray pinArgument(const QByteArray &line);
// Rewrites the file in dir; false when it could not be written.
bool write(const QString &dir, const QByteArray &pin, Clock &clock);
// The first line of the file in dir without its line end; false when there is no file.
bool readFirstLine(const QString &dir, QByteArray *line);
} // namespace PinFile
