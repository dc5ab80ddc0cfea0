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

// Up to four digits are a 16-bit pattern and up to eight a 32-bit one, so &HFFFF is -1
// while &H10000 is 65536. Longer forms are too large for any parameter.
Scanned scanHex(QByteArrayView s)
{
    quint64 pattern = 0;
    const char *first = s.data() + 2;
    const qsizetype digits = std::from_chars(first, s.data() + s.size(), pattern, 16).ptr - first;
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

// Digits with an optional point and exponent, after an optional sign. A form too large for a
// double becomes an infinity, which no range check lets through; one too small becomes 0.
Scanned scanDecimal(QByteArrayView s)
{
    const qsizetype sign = !s.isEmpty() && (s[0] == '+' || s[0] == '-') ? 1 : 0;
    const QByteArrayView form = s.sliced(sign);
    // A digit, or a point and a digit, first: from_chars alone would take "inf" and "nan" too.
    if (form.isEmpty() ||
        !(isDigit(form[0]) || (form[0] == '.' && form.size() > 1 && isDigit(form[1]))))
        return {};
    double value = 0;
    const auto [end, error] = std::from_chars(form.data(), form.data() + form.size(), value);
    const qsizetype length = end - form.data();
    if (error == std::errc::result_out_of_range)
        value = tooLarge(form.first(length)) ? std::numeric_limits<double>::infinity() : 0.0;
    return {s.startsWith('-') ? -value : value, sign + length};
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
