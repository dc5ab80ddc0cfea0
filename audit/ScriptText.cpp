#include "ScriptText.h"

namespace audit {

QList<QByteArray> TextLines(const QByteArray &text)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        const qsizetype next = end < 0 ? text.size() : end + 1;
        if (end < 0)
            end = text.size();
        else if (end > start && text[end - 1] == '\r')
            --end;
        lines.append(text.sliced(start, end - start));
        start = next;
    }
    return lines;
}

QList<QByteArray> LineFields(const QByteArray &line)
{
    if (line.isEmpty())
        return {};
    return line.split(',');
}

} // namespace audit
