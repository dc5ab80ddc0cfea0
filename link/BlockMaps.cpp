#include "BlockMaps.h"

namespace BlockMaps {

QVector<Block> cut(quint32 first, int bytes)
{
    QVector<Block> out;
    for (int done = 0; done < bytes; done += 16)
        out.append(Block{first + quint32(done), quint16(qMin(16, bytes - done))});
    return out;
}

QVector<Block> configuration()
{
    return cut(0, 1935) + cut(3072, 751) + cut(4976, 7951);
}

QVector<Block> telemetry()
{
    return cut(TelemetryFirst, TelemetryBytes);
}

QVector<Block> changed(const QByteArray &image, const QByteArray &snapshot)
{
    QVector<Block> out;
    const qsizetype end = qMin<qsizetype>(ConfigBytes, qMin(image.size(), snapshot.size()));
    qsizetype a = 0;
    while (a < end) {
        if (image.at(a) == snapshot.at(a)) {
            ++a;
            continue;
        }
        if (a + 16 > ConfigBytes - 1) {
            // The last block ends exactly at the image's last byte.
            out.append(Block{ConfigBytes - 1 - 16, 16});
            break;
        }
        out.append(Block{quint32(a), 16});
        a += 16;
    }
    return out;
}

namespace {
// Leading decimal digits, as a lenient number reader takes them; blanks first are skipped.
int leadingNumber(const QString &s)
{
    const QString t = s.trimmed();
    qint64 v = 0;
    bool neg = false;
    int i = 0;
    if (i < t.size() && (t[i] == u'-' || t[i] == u'+'))
        neg = t[i++] == u'-';
    for (; i < t.size() && t[i].isDigit() && v < 1000000; ++i)
        v = v * 10 + t[i].digitValue();
    return int(neg ? -v : v);
}
} // namespace

MapRecord parseMapLine(const QString &raw)
{
    const QString line = raw.trimmed();
    MapRecord r;
    r.type = quint8(leadingNumber(line.section(u',', 0, 0)));
    bool ok = false;
    r.address = line.mid(2, 4).toUInt(&ok, 16);
    if (!ok)
        r.address = 0;
    r.length = quint16(qBound(0, leadingNumber(line.mid(7)), 65535));
    return r;
}

} // namespace BlockMaps
