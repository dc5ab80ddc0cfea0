#pragma once

#include "AuditImage.h"
#include "ConversionRun.h"

#include <QBuffer>
#include <QByteArrayList>
#include <QTest>
#include <initializer_list>

namespace audit::test {

// Data bytes of an audit image: zeros, with values placed little-endian at data offsets.
class Data
{
public:
    explicit Data(int size = 64) : m_bytes(size, '\0') {}

    Data &b(int at, std::initializer_list<int> values) { return put(at, values, 1); }
    Data &w(int at, std::initializer_list<int> values) { return put(at, values, 2); }
    Data &t(int at, std::initializer_list<int> values) { return put(at, values, 3); }
    Data &b(int at, int value) { return put(at, {value}, 1); }
    Data &w(int at, int value) { return put(at, {value}, 2); }
    Data &t(int at, int value) { return put(at, {value}, 3); }
    Data &s(int at, const QByteArray &text)
    {
        m_bytes.replace(at, text.size(), text);
        return *this;
    }
    operator QByteArray() const { return m_bytes; }

private:
    // Consecutive values of a width, from at on.
    Data &put(int at, std::initializer_list<int> values, int width)
    {
        for (int value : values)
            for (int i = 0; i < width; ++i)
                m_bytes[at++] = char((value >> (8 * i)) & 0xFF);
        return *this;
    }
    QByteArray m_bytes;
};

// A string literal with its embedded zero bytes.
template <int N> QByteArray raw(const char (&text)[N])
{
    return QByteArray(text, N - 1);
}

// Conversion tables: data bytes, a script and an address table give exactly these record
// lines and these failed script lines.
inline void addConversionColumns()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QByteArrayList>("expected");
    QTest::addColumn<QList<int>>("failed");
    QTest::addColumn<QByteArray>("addresses");
}

inline void row(const char *name, const QByteArray &data, const QByteArray &script,
                const QByteArrayList &expected, const QList<int> &failed = {},
                const QByteArray &addresses = {})
{
    QTest::newRow(name) << data << script << expected << failed << addresses;
}

// Converts the row's script over its framed data, as the station does.
inline void checkConversionRow()
{
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, script);
    QFETCH(QByteArrayList, expected);
    QFETCH(QList<int>, failed);
    QFETCH(QByteArray, addresses);
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    const ConversionResult result =
        Convert({script, addresses}, AuditImage(*FrameAuditData(data)), out);
    QByteArray lines;
    for (const QByteArray &line : expected)
        lines += line + "\r\n";
    QCOMPARE(out.data().split('\n'), lines.split('\n')); // a difference names its line
    QCOMPARE(result.failedLines, failed);
}

} // namespace audit::test
