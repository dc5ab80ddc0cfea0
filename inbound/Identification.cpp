#include "Identification.h"

#include <QString>

Identification Identification::parse(const QByteArray &buffer, int limit)
{
    Identification id;
    qsizetype start = 0;
    while (start < buffer.size() && (buffer[start] == '\r' || buffer[start] == '\n'))
        ++start;
    qsizetype end = start;
    while (end < buffer.size() && buffer[end] != '\r' && buffer[end] != '\n')
        ++end;
    if (end > limit) {
        id.state = State::TooLong;
        return id;
    }
    if (end == buffer.size())
        return id;
    id.state = State::Complete;
    id.identity = buffer.mid(start, end - start).trimmed();
    id.consumed = end + 1;
    return id;
}

QString printableBytes(const QByteArray &bytes, int maxBytes)
{
    QString out;
    for (qsizetype i = 0; i < bytes.size() && i < maxBytes; ++i) {
        const uchar c = uchar(bytes[i]);
        if (c >= 0x20 && c < 0x7F && c != '\\')
            out += QLatin1Char(char(c));
        else
            out += QStringLiteral("\\x%1").arg(c, 2, 16, QLatin1Char('0'));
    }
    if (bytes.size() > maxBytes)
        out += QStringLiteral("...");
    return out;
}
