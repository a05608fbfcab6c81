#pragma once

#include <QString>
#include <QVariant>

// How the reference-data windows turn column values into field texts and field texts back into
// column values.
namespace RefDataValues {

// A column's value as a field shows it: numbers in their shortest plain text, a null as `ifNull`.
QString text(const QVariant& value, const QString& ifNull = {});

// Whether a field holds nothing but what its key filter lets through: digits and, with
// `decimals`, one decimal point. An empty field passes (each column says what empty means).
bool isPlainNumber(const QString& text, bool decimals);

// The field's number to bind: a whole number as an integer, anything else as a double.
QVariant number(double value);

// LIKE patterns whose typed text matches itself only ('%', '_' and the escape character count as
// letters); write them with the escape clause below.
QString likeAnywhere(const QString& typed);
QString likePrefix(const QString& typed);
inline const QString likeEscape = QStringLiteral(" ESCAPE '!'");

} // namespace RefDataValues
