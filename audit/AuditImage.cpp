#include "AuditImage.h"

namespace audit {

namespace {
constexpr int FrameBytes = 4;
constexpr qsizetype MaxFramedSize = 0xFFFF;

void appendWord(QByteArray &bytes, quint16 value)
{
    bytes.append(char(value & 0xFF));
    bytes.append(char(value >> 8));
}
} // namespace

AuditImage::AuditImage(QByteArray framed, qint32 auditImageLength)
    : m_bytes(std::move(framed)), m_length(auditImageLength)
{
}

AuditImage::AuditImage(const QByteArray &framed) : AuditImage(framed, qint32(framed.size())) {}

std::optional<QByteArray> FrameAuditData(const QByteArray &data)
{
    const qsizetype length = data.size() + FrameBytes;
    if (length > MaxFramedSize)
        return std::nullopt;
    quint32 sum = 0;
    for (char byte : data)
        sum += quint8(byte);
    QByteArray framed;
    framed.reserve(length);
    appendWord(framed, quint16(length));
    framed.append(data);
    appendWord(framed, quint16(sum & 0xFFFF));
    return framed;
}

QString FrameProblem(const QByteArray &framed)
{
    if (framed.size() < FrameBytes)
        return QStringLiteral("%1 bytes are shorter than the length and sum words")
            .arg(framed.size());
    const int lengthWord = quint8(framed[0]) + 256 * quint8(framed[1]);
    if (lengthWord != framed.size())
        return QStringLiteral("the length word says %1 bytes but the image has %2")
            .arg(lengthWord)
            .arg(framed.size());
    return {};
}

} // namespace audit
