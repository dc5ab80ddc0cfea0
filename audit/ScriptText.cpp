#include "ScriptText.h"

namespace audit {

QList<QByteArray> TextLines(const QByteArray &text)
{
    QList<QByteArray> lines;
    ForEachLine(text, [&lines](QByteArrayView line) { lines.append(line.toByteArray()); });
    return lines;
}

QList<QByteArray> LineFields(const QByteArray &line)
{
    if (line.isEmpty())
        return {};
    return line.split(',');
}

void LineFieldViews(QByteArrayView line, FieldViews &fields)
{
    fields.clear();
    if (line.isEmpty())
        return;
    qsizetype start = 0;
    for (qsizetype comma; (comma = line.indexOf(',', start)) >= 0; start = comma + 1)
        fields.append(line.sliced(start, comma - start));
    fields.append(line.sliced(start));
}

} // namespace audit
