#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QVarLengthArray>

namespace audit {

// The lines of an 8-bit text file. Lines end in CR LF or LF, the ending is not part of the
// line, and a final ending does not start an extra empty line.
QList<QByteArray> TextLines(const QByteArray &text);

// A line split at every ","; an empty line has no fields at all.
QList<QByteArray> LineFields(const QByteArray &line);

// The same, without copying: views into the text, for the thousands of lines of a conversion.
using FieldViews = QVarLengthArray<QByteArrayView, 16>;
void LineFieldViews(QByteArrayView line, FieldViews &fields);
// Calls onLine(view) for every line of text, as TextLines splits it.
template <typename OnLine> void ForEachLine(QByteArrayView text, OnLine onLine)
{
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        const qsizetype next = end < 0 ? text.size() : end + 1;
        if (end < 0)
            end = text.size();
        else if (end > start && text[end - 1] == '\r')
            --end;
        onLine(text.sliced(start, end - start));
        start = next;
    }
}

} // namespace audit
