#include "link/ChainValues.h"

#include "common/Numbers.h"

#include <cmath>

namespace ChainValues {

namespace {
bool isNumeric(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
        return true;
    default:
        return false;
    }
}
} // namespace

QVariant number(double value)
{
    // Doubles hold whole numbers exactly up to 2^53.
    constexpr double exactLimit = 9007199254740992.0;
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < exactLimit)
        return QVariant(static_cast<qlonglong>(value));
    return QVariant(value);
}

QVariant numberOf(const QString& text)
{
    return number(Numbers::toNumber(text));
}

QVariant text(const QString& value)
{
    if (!value.isNull())
        return QVariant(value);
    return QVariant(QString(0, QChar()));
}

QString fieldText(const QVariant& value)
{
    if (value.isNull())
        return {};
    if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float)
        return Numbers::toText(value.toDouble());
    return value.toString();
}

double fieldNumber(const QVariant& value)
{
    if (value.isNull())
        return 0.0;
    if (isNumeric(value)) {
        const double number = value.toDouble();
        return std::isfinite(number) ? number : 0.0;
    }
    return Numbers::toNumber(value.toString());
}

} // namespace ChainValues
