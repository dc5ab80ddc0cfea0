#include "Numbers.h"

#include <QByteArray>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace audit {

namespace {

struct Scanned
{
    double value = 0;
    qsizetype end = 0; // characters taken; 0 when the text does not start with a number
};

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

qsizetype digitRun(QByteArrayView s, qsizetype from)
{
    qsizetype i = from;
    while (i < s.size() && isDigit(s[i]))
        ++i;
    return i - from;
}

int hexDigit(char c)
{
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Up to four digits are a 16-bit pattern and up to eight a 32-bit one, so &HFFFF is -1
// while &H10000 is 65536. Longer forms are too large for any parameter.
Scanned scanHex(QByteArrayView s)
{
    quint64 pattern = 0;
    qsizetype digits = 0;
    for (qsizetype i = 2; i < s.size() && hexDigit(s[i]) >= 0; ++i, ++digits)
        pattern = (pattern << 4 | quint64(hexDigit(s[i]))) & 0xFFFFFFFFu;
    if (digits == 0)
        return {};
    double value = std::numeric_limits<double>::infinity();
    if (digits <= 4)
        value = qint16(quint16(pattern));
    else if (digits <= 8)
        value = qint32(quint32(pattern));
    return {value, 2 + digits};
}

// Whether an out-of-range decimal form lies above the doubles rather than below them: the
// power of ten of its first significant digit is positive.
bool tooLarge(QByteArrayView form)
{
    const qsizetype point = form.indexOf('.');
    qsizetype mark = form.indexOf('e');
    if (mark < 0)
        mark = form.indexOf('E');
    const QByteArrayView mantissa = mark < 0 ? form : form.first(mark);
    const qsizetype wholeEnd = point < 0 ? mantissa.size() : point;
    qsizetype firstDigit = 0;
    while (firstDigit < mantissa.size() &&
           (mantissa[firstDigit] == '0' || mantissa[firstDigit] == '.'))
        ++firstDigit;
    const qint64 digitPower =
        firstDigit < wholeEnd ? wholeEnd - firstDigit - 1 : wholeEnd - firstDigit;
    qint64 exponent = 0;
    if (mark >= 0) {
        const QByteArrayView text = form.sliced(mark + 1);
        for (char c : text)
            if (isDigit(c))
                exponent = std::min<qint64>(exponent * 10 + (c - '0'), 1'000'000'000);
        if (text.startsWith('-'))
            exponent = -exponent;
    }
    return digitPower + exponent > 0;
}

// The value of a validated decimal form. A form too large for a double becomes an infinity,
// which no range check lets through; one too small becomes 0.
double decimalValue(QByteArrayView form)
{
    const bool negative = form.startsWith('-');
    if (form.startsWith('-') || form.startsWith('+'))
        form = form.sliced(1);
    double value = 0;
    const auto [end, error] = std::from_chars(form.begin(), form.end(), value);
    Q_UNUSED(end);
    if (error == std::errc::result_out_of_range)
        value = tooLarge(form) ? std::numeric_limits<double>::infinity() : 0.0;
    return negative ? -value : value;
}

Scanned scanDecimal(QByteArrayView s)
{
    qsizetype i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    const qsizetype whole = digitRun(s, i);
    i += whole;
    qsizetype fraction = 0;
    if (i < s.size() && s[i] == '.') {
        fraction = digitRun(s, i + 1);
        if (whole + fraction > 0)
            i += 1 + fraction;
    }
    if (whole + fraction == 0)
        return {};
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        qsizetype e = i + 1;
        if (e < s.size() && (s[e] == '+' || s[e] == '-'))
            ++e;
        if (const qsizetype exponent = digitRun(s, e); exponent > 0)
            i = e + exponent;
    }
    return {decimalValue(s.first(i)), i};
}

Scanned scanNumber(QByteArrayView s)
{
    if (s.size() >= 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h'))
        return scanHex(s);
    return scanDecimal(s);
}

QByteArray withoutBlanks(QByteArrayView s)
{
    QByteArray kept;
    kept.reserve(s.size());
    for (char c : s)
        if (!isBlank(c))
            kept.append(c);
    return kept;
}

} // namespace

std::optional<double> NumericValue(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    QByteArrayView core = text.sliced(begin, end - begin);
    QByteArray signedCore;
    if (!core.isEmpty() && (core[0] == '+' || core[0] == '-')) {
        qsizetype rest = 1;
        while (rest < core.size() && isBlank(core[rest]))
            ++rest;
        signedCore = core.first(1).toByteArray() + core.sliced(rest).toByteArray();
        core = signedCore;
    }
    const Scanned scanned = scanNumber(core);
    if (scanned.end == 0 || scanned.end != core.size())
        return std::nullopt;
    return scanned.value;
}

double LeadingNumber(QByteArrayView text)
{
    if (!text.contains(' ') && !text.contains('\t'))
        return scanNumber(text).value; // the usual field: nothing to take out
    return scanNumber(withoutBlanks(text)).value;
}

std::optional<qint16> ToParameter(double value)
{
    const double rounded = std::nearbyint(value); // the default rounding mode: halves to even
    if (!(rounded >= -32768.0 && rounded <= 32767.0))
        return std::nullopt;
    return qint16(rounded);
}

} // namespace audit
