#pragma once

#include "LinkState.h"

#include <QByteArray>
#include <array>
#include <bitset>

// The framed byte protocol spoken with a machine's controller over a connected data call. Every
// value on the wire is one byte written as two upper-case hexadecimal digits between SOH and EOT.
namespace Frames {

inline constexpr char SOH = 0x01;
inline constexpr char EOT = 0x04;
// How the receiver writes SOH and EOT into its assembled text.
inline const QByteArray SohText = QByteArrayLiteral("<SOH>");
inline const QByteArray EotText = QByteArrayLiteral("<EOT>");

using Slots = std::array<QByteArray, 256>;
// Which slots' requests have gone out and wait for their answer.
using SentMask = std::bitset<256>;

// The value of one hexadecimal digit; any other character gives 0.
quint8 digitValue(char digit);
// `CalAddr`: the same, handed back through value as the station's callers expect.
inline void CalAddr(char digit, quint8 &value)
{
    value = digitValue(digit);
}
// The byte written by the two digits at text[pos] and text[pos + 1]; 0 outside the text.
quint8 pairValue(const QByteArray &text, qsizetype pos);
// Two upper-case digits, zero-padded.
QByteArray hex2(quint8 value);

// Command bytes: bits 0-3 the byte count minus one, bits 4-6 the memory selector, bit 7 write.
quint8 memorySelector(int memoryType);
quint8 readCommand(int memoryType, int count);
quint8 writeCommand(int memoryType, int count);

// (command + reserved 0 + address low + address high + data bytes) mod 256.
quint8 requestChecksum(quint8 command, quint16 address, const QByteArray &data = {});
// A whole request frame, SOH and EOT included.
QByteArray request(quint8 frameNo, quint8 command, quint16 address, const QByteArray &data = {});

// What the stored request in a slot says about itself; empty slots and short texts give zeros.
quint8 slotFrameNumber(const QByteArray &request);
quint16 slotAddress(const QByteArray &request);
quint8 slotChecksum(const QByteArray &request);
// The number of data bytes a request reads or writes (its command's low nibble plus one).
int slotDataCount(const QByteArray &request);

// Longest assembled text a transfer mode accepts before a frame counts as bad; 0 means no limit.
int lengthLimit(TransferMode mode, bool awaitResetAck, bool awaitResetStatus);

// Whether a transfer mode's answers carry data (reads) or only acknowledge (writes).
bool isReadMode(TransferMode mode);

// The judgement of one complete assembled frame text.
struct Answer
{
    bool accepted = false;
    quint8 frameNo = 0;
    QByteArray data; // the data bytes of an accepted read answer
};
// Checks an assembled text ("<SOH>" ... "<EOT>") against the outstanding requests: the slot must
// still hold its own request, that request must have gone out, a read answer must carry exactly
// the data count its request asked for, and the check value must match as upper-case text.
// The frame number is all that ties an answer to its request, so without the last two checks a
// late repeat of an earlier answer would fill a slot that reuses its number.
Answer checkAnswer(const QByteArray &assembled, TransferMode mode, const Slots &outstanding,
                   const SentMask &sent);

// The body of an assembled text: what lies between "<SOH>" and "<EOT>", from the first "<SOH>".
QByteArray body(const QByteArray &assembled);

} // namespace Frames
