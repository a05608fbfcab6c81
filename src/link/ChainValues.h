#pragma once

#include <QString>
#include <QVariant>
#include <QVariantList>

// A statement text with its values, in the order of its "?" placeholders. The rules of the receive
// chain build these; the database steps only run them.
struct BoundQuery
{
    QString sql;
    QVariantList values;

    bool isEmpty() const { return sql.isEmpty(); }
};

// How the chain turns record texts into bound values and column values back into record texts.
namespace ChainValues {

// A number to bind: a whole number as an integer (so that keys compare exactly on every engine),
// anything else as a double.
QVariant number(double value);
// The lenient number of a record text, to bind.
QVariant numberOf(const QString& text);

// Text for a column that takes an empty text, not a null. A QString that was never set binds as
// null, so an empty field is passed as a real empty text.
QVariant text(const QString& value);

// A column's value as the record keeps it: numbers in their shortest plain text, anything else as
// its text; a null gives an empty text.
QString fieldText(const QVariant& value);
// A column's value read as a number: numeric types as they are, texts leniently.
double fieldNumber(const QVariant& value);

} // namespace ChainValues
