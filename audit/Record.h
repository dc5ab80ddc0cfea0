#pragma once

#include "AuditImage.h"
#include "CodeTables.h"
#include "Formatters.h"

#include <QByteArray>
#include <QIODevice>
#include <array>

namespace audit {

// The parameter slots of one script line; parameter i of the line goes to slot i - 1.
using Params = std::array<qint16, 11>;

// One record line, built element by element: every element follows a "*".
class Line
{
public:
    explicit Line(QByteArrayView recordId) : m_text(recordId.toByteArray()) {}

    Line &operator<<(QByteArrayView element)
    {
        m_text += '*';
        m_text += element;
        return *this;
    }
    const QByteArray &text() const { return m_text; }

private:
    QByteArray m_text;
};

// What a record writer works with while it handles one script line. Offsets are computed in
// 64 bits, so no index parameter can wrap them.
class Record
{
public:
    Record(const AuditImage &image, const CodeTables &tables, const Params &params, QIODevice &out)
        : tables(tables), m_image(image), m_params(params), m_out(out)
    {
    }

    const CodeTables &tables;

    qint64 p(int slot) const { return m_params[slot]; }

    int byte(qint64 a) const { return m_image.ImageByte(a); }
    int word(qint64 a) const { return m_image.ImageWord(a); }
    qint32 triple(qint64 a) const { return m_image.ImageTriple(a); }
    bool bit(qint64 a, int n) const { return (byte(a) >> n) & 1; }

    QByteArray B(qint64 a) const { return NumberText(byte(a)); }
    QByteArray W(qint64 a) const { return NumberText(word(a)); }
    QByteArray T(qint64 a) const { return NumberText(triple(a)); }
    QByteArray D(qint64 a) const { return TwoDigits(byte(a)); }
    QByteArray chars(qint64 a, int count) const { return CharacterText(m_image, a, count); }
    QByteArray stamp(qint64 a) const { return StampText(m_image, a); }

    // Ends the line with CR LF and writes it at once; a device that refuses it fails the line.
    void write(const Line &line);
    // Ends the script line as failed; nothing more is written for it.
    void fail() { m_failed = true; }
    bool failed() const { return m_failed; }

private:
    const AuditImage &m_image;
    const Params &m_params;
    QIODevice &m_out;
    bool m_failed = false;
};

using Writer = void (*)(Record &);

} // namespace audit
