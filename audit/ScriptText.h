#pragma once

#include <QByteArray>
#include <QList>

namespace audit {

// The lines of an 8-bit text file. Lines end in CR LF or LF, the ending is not part of the
// line, and a final ending does not start an extra empty line.
QList<QByteArray> TextLines(const QByteArray &text);

// A line split at every ","; an empty line has no fields at all.
QList<QByteArray> LineFields(const QByteArray &line);

} // namespace audit
