#pragma once

#include <QByteArrayView>
#include <optional>

namespace audit {

// The value of a field that passes the numeric test: blanks around, an optional sign (blanks
// may follow it), decimal digits with an optional point and exponent; or &H and hexadecimal
// digits. Nothing when the field is no number, which makes it a name.
std::optional<double> NumericValue(QByteArrayView text);

// The longest leading number of a field, blanks anywhere skipped; 0 when there is none.
double LeadingNumber(QByteArrayView text);

// The parameter a number stands for: rounded, halves to the even neighbour; nothing outside
// -32768..32767.
std::optional<qint16> ToParameter(double value);

} // namespace audit
