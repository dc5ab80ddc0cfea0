#pragma once

#include <QByteArrayView>
#include <algorithm>
#include <charconv>

// The run of decimal digits at the start of text: its length, and its value read up to maxDigits
// digits (18 always fit). No digit at the start: length 0, value 0. A sign is no digit.
struct DigitRun
{
    qint64 value = 0;
    qsizetype length = 0;
};

inline DigitRun digitRun(QByteArrayView text, qsizetype maxDigits = 18)
{
    const char *first = text.data();
    unsigned long long value = 0;
    const auto [end, error] =
        std::from_chars(first, first + std::min(text.size(), maxDigits), value);
    if (error != std::errc())
        return {};
    return {qint64(value), end - first};
}

// The number after leading blanks (spaces and tabs), as far as digits go, nine at most so that
// it fits an int; 0 when there is none. How the station reads numbers out of modem answers.
inline int leadingNumber(QByteArrayView text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    return int(digitRun(text.sliced(i), 9).value);
}
