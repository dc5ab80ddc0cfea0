#pragma once

#include "AuditImage.h"
#include "ConversionRun.h"

#include <QBuffer>
#include <QByteArray>
#include <QByteArrayList>
#include <QList>
#include <QTest>
#include <initializer_list>

namespace audit::test {

// Data bytes of an audit image: zeros, with values placed little-endian at data offsets.
class Data
{
public:
    explicit Data(int size = 64) : m_bytes(size, '\0') {}

    Data &b(int at, int value) { return put(at, value, 1); }
    Data &b(int at, std::initializer_list<int> values)
    {
        for (int value : values)
            put(at++, value, 1);
        return *this;
    }
    Data &w(int at, int value) { return put(at, value, 2); }
    Data &t(int at, int value) { return put(at, value, 3); }
    Data &s(int at, const QByteArray &text)
    {
        m_bytes.replace(at, text.size(), text);
        return *this;
    }
    operator QByteArray() const { return m_bytes; }

private:
    Data &put(int at, int value, int width)
    {
        for (int i = 0; i < width; ++i)
            m_bytes[at + i] = char((value >> (8 * i)) & 0xFF);
        return *this;
    }
    QByteArray m_bytes;
};

// A string literal with its embedded zero bytes.
template <int N> QByteArray raw(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}

inline QByteArray crlf(const QByteArrayList &lines)
{
    QByteArray text;
    for (const QByteArray &line : lines)
        text += line + "\r\n";
    return text;
}

struct Converted
{
    QByteArray records;
    QList<int> failedLines;
};

// Converts a script over the framed data, as the station does.
inline Converted convert(const QByteArray &data, const QByteArray &script,
                         const QByteArray &addresses = {})
{
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    const ConversionResult result =
        Convert({script, addresses}, AuditImage(*FrameAuditData(data)), out);
    return {out.data(), result.failedLines};
}

// Writer tables: the data bytes, one script line, and every line it must write.
inline void addWriterColumns()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QByteArrayList>("expected");
}

inline void writerRow(const char *name, const QByteArray &data, const QByteArray &script,
                      const QByteArrayList &expected)
{
    QTest::newRow(name) << data << script << expected;
}

inline void checkWriterRow()
{
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, script);
    QFETCH(QByteArrayList, expected);
    const Converted out = convert(data, script);
    QCOMPARE(out.failedLines, QList<int>());
    QCOMPARE(out.records, crlf(expected));
}

} // namespace audit::test
