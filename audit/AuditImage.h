#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace audit {

// The framed audit image: a little-endian length word, the data bytes, a little-endian sum
// word. Data offset a lies at index a + 2, so offsets -2 and -1 read the length word.
//
// Scripts add index parameters and fixed table offsets to addresses freely, so a read may
// point anywhere: a byte outside the array reads as 0.
class AuditImage
{
public:
    AuditImage() = default;
    // auditImageLength bounds the script's addresses; it is normally the array's size.
    AuditImage(QByteArray framed, qint32 auditImageLength);
    explicit AuditImage(const QByteArray &framed);

    qint32 AuditImageLength() const { return m_length; }

    int ImageByte(qint64 a) const
    {
        const qint64 index = a + 2;
        return index >= 0 && index < m_bytes.size() ? quint8(m_bytes[index]) : 0;
    }
    int ImageWord(qint64 a) const { return ImageByte(a) + 256 * ImageByte(a + 1); }
    qint32 ImageTriple(qint64 a) const { return ImageWord(a) + 65536 * ImageByte(a + 2); }

private:
    QByteArray m_bytes;
    qint32 m_length = 0;
};

// Frames bare data bytes; nothing when they do not fit the 16-bit length word.
std::optional<QByteArray> FrameAuditData(const QByteArray &data);

// Why a framed image is unusable (shorter than its frame, or a length word that disagrees
// with its size); empty when it is fine.
QString FrameProblem(const QByteArray &framed);

} // namespace audit
