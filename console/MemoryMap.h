#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The memory map of an audit read: 45 lines "type,AAAA,length" naming the blocks read into the
// audit image, nine of them placed by the pointer block the machine keeps at 0x0B90.
namespace MemoryMap {

inline constexpr int Lines = 45;
inline constexpr int Pointers = 9;
inline constexpr quint16 PointerBlock = 0x0B90;

// `BuildMemoryMap`: the 45 lines with the nine pointer addresses (four hex digits each) placed.
QStringList build(const QStringList &pointerAddresses);

// `SwapWordBytes`: "B40C" -> "0CB4".
QString swapWordBytes(const QString &word);
// A pointer word's target: (word - 400) mod 65536 as four upper-case hex digits.
QString pointerAddress(quint16 word);

// The two request frames of the pointer read (frame numbers 0 and 1).
QByteArray pointerRequest(int block);

// One answer of the pointer read, as the console collected it up to its EOT.
struct PointerReply
{
    enum Status { Ok, NoSoh, BadCheck } status = NoSoh;
    QStringList addresses; // the pointer addresses its words give
};
// block: the frame number the reply must name; it must carry exactly 16 data bytes.
PointerReply checkPointerReply(const QByteArray &reply, int block);
// Where the reply to pointer request `block` starts in what the port delivered, or -1 while no
// EOT ends one. Whole frames that name another frame number are skipped: a late repeat of the
// other block's answer is not this block's reply.
qsizetype replyStart(const QByteArray &received, int block);

} // namespace MemoryMap
