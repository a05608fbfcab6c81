#pragma once

#include <QString>

namespace Numbers {

// Lenient text-to-number conversion used everywhere a text is read as a number: blanks are skipped,
// the leading number is taken (sign, digits, decimal point, exponent), anything after it is
// ignored, and a text without a leading number is 0. A number too large for a double is also 0.
double toNumber(const QString& text);

// The number as the shortest plain text: no exponent, no trailing zeros, "-0" written as "0".
QString toText(double value);

// Whole-number readings of settings: the number read, truncated toward zero, kept in 16 bits.
qint16 toInt16(const QString& text);

} // namespace Numbers
