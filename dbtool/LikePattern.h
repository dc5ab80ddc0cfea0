#pragma once

#include <QString>

// A LIKE pattern (with ESCAPE '\') that matches text anywhere in a field, taking % and _ in text
// as themselves.
inline QString likePattern(const QString &text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('%'), QLatin1String("\\%"))
        .replace(QLatin1Char('_'), QLatin1String("\\_"));
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}
