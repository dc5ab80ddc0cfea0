#pragma once

#include "AuditImage.h"

#include <QByteArray>

namespace audit {

// Decimal text of a value, nothing else.
inline QByteArray NumberText(qint64 value)
{
    return QByteArray::number(value);
}

// Two digits for 0 to 99; a byte of 100 or more gives "00".
QByteArray TwoDigits(int b);

// The decimal texts of a byte's two nibbles; a zero high nibble gives a leading "0" only
// when the low nibble is a single digit (0x59 "59", 0xA5 "105", 0x0C "12", 0x07 "07").
QByteArray BcdDigits(int b);

// count bytes from data offset a, each written as the character with its code, unchanged.
QByteArray CharacterText(const AuditImage &image, qint64 a, int count);

// A date and time stamp of five bytes: year and month from a + 3 and a + 4, "00", then the
// bytes at a + 2, a + 1 and a + 0.
QByteArray StampText(const AuditImage &image, qint64 a);

// The last six (three) characters of a text, all of it when shorter.
inline QByteArray Right6(const QByteArray &text)
{
    return text.right(6);
}
inline QByteArray Right3(const QByteArray &text)
{
    return text.right(3);
}

inline qint64 Max0(qint64 value)
{
    return value >= 0 ? value : 0;
}

} // namespace audit
