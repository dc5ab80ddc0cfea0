#include "Csv.h"

#include <QCoreApplication>
#include <QStringDecoder>

namespace Csv {

Encoding detectEncoding(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    Q_UNUSED(text);
    return utf8.hasError() ? Encoding::Latin1 : Encoding::Utf8;
}

QString decode(const QByteArray &bytes, Encoding encoding)
{
    QString text = encoding == Encoding::Latin1 ? QString::fromLatin1(bytes)
                                                : QStringDecoder(QStringDecoder::Utf8)(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

const char *encodingName(Encoding encoding)
{
    return encoding == Encoding::Latin1 ? "Latin-1" : "UTF-8";
}

namespace {
bool isBreak(QChar c)
{
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

// Consumes one line break (CR LF, LF or CR) at i.
void skipBreak(const QString &text, qsizetype &i)
{
    if (text[i] == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
        ++i;
    ++i;
}

bool allEmpty(const QStringList &fields)
{
    for (const QString &f : fields)
        if (!f.isEmpty())
            return false;
    return true;
}
} // namespace

Document parseText(const QString &text, QChar sep)
{
    Document doc;
    doc.separator = sep;
    const QChar quote = QLatin1Char('"');
    const qsizetype n = text.size();
    qsizetype i = text.startsWith(QChar(0xFEFF)) ? 1 : 0;
    int line = 1;
    while (i < n) {
        Record rec;
        rec.line = line;
        bool end = false;
        while (!end) {
            QString f;
            const int number = int(rec.fields.size()) + 1;
            if (i < n && text[i] == quote) {
                bool closed = false;
                for (++i; i < n; ++i) {
                    const QChar c = text[i];
                    if (c == quote) {
                        if (i + 1 < n && text[i + 1] == quote) {
                            f += quote;
                            ++i;
                            continue;
                        }
                        closed = true;
                        ++i;
                        break;
                    }
                    // A break inside quotes is data; count it for the line numbers that follow.
                    if (c == QLatin1Char('\n') ||
                        (c == QLatin1Char('\r') &&
                         (i + 1 >= n || text[i + 1] != QLatin1Char('\n'))))
                        ++line;
                    f += c;
                }
                if (!closed) {
                    rec.error =
                        QCoreApplication::translate("Csv", "the quotes of field %1 are not closed")
                            .arg(number);
                    rec.fields << f;
                    break;
                }
                if (i < n && text[i] != sep && !isBreak(text[i]) && rec.error.isEmpty())
                    rec.error = QCoreApplication::translate(
                                    "Csv", "text after the closing quote of field %1")
                                    .arg(number);
            }
            // Unquoted text, or what follows a closing quote up to the separator.
            const qsizetype start = i;
            while (i < n && text[i] != sep && !isBreak(text[i])) {
                if (text[i] == quote && rec.error.isEmpty())
                    rec.error = QCoreApplication::translate(
                                    "Csv", "a quote inside field %1, which is not quoted")
                                    .arg(number);
                ++i;
            }
            f += QStringView(text).mid(start, i - start);
            rec.fields << f;
            if (i >= n) {
                end = true;
            } else if (text[i] == sep) {
                ++i;
            } else {
                skipBreak(text, i);
                ++line;
                end = true;
            }
        }
        if (!rec.error.isEmpty())
            rec.fields.clear();
        else if (allEmpty(rec.fields))
            continue;
        doc.records << rec;
    }
    return doc;
}

namespace {
// The separator of the first non-blank record: a comma as soon as one stands outside quotes,
// else a semicolon if one does.
QChar separatorOf(const QString &text)
{
    bool quoted = false;
    bool semicolon = false;
    bool seen = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        if (quoted)
            continue;
        if (c == QLatin1Char(','))
            return c;
        if (c == QLatin1Char(';'))
            semicolon = true;
        if (isBreak(c) && seen)
            break;
        seen = seen || !isBreak(c);
    }
    return semicolon ? QLatin1Char(';') : QLatin1Char(',');
}
} // namespace

Document parse(const QByteArray &bytes)
{
    const Encoding encoding = detectEncoding(bytes);
    const QString text = decode(bytes, encoding);
    Document doc = parseText(text, separatorOf(text));
    doc.encoding = encoding;
    return doc;
}

QString field(const QString &value)
{
    bool needs = value.startsWith(QLatin1Char(' ')) || value.endsWith(QLatin1Char(' '));
    for (const QChar c : value)
        needs = needs || c == QLatin1Char(',') || c == QLatin1Char(';') || c == QLatin1Char('"') ||
                isBreak(c);
    if (!needs)
        return value;
    QString out = value;
    out.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + out + QLatin1Char('"');
}

QString line(const QStringList &fields)
{
    QStringList out;
    out.reserve(fields.size());
    for (const QString &f : fields)
        out << field(f);
    return out.join(QLatin1Char(',')) + QLatin1String("\r\n");
}
} // namespace Csv
