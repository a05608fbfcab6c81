#include "refdata/RefDataValues.h"

#include "common/Numbers.h"

#include <cmath>

namespace RefDataValues {

namespace {
QString escaped(const QString& typed)
{
    QString out;
    out.reserve(typed.size());
    for (const QChar c : typed) {
        if (c == u'%' || c == u'_' || c == u'!' || c == u'[')
            out += u'!';
        out += c;
    }
    return out;
}
} // namespace

QString text(const QVariant& value, const QString& ifNull)
{
    if (value.isNull())
        return ifNull;
    if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float)
        return Numbers::toText(value.toDouble());
    return value.toString();
}

bool isPlainNumber(const QString& text, bool decimals)
{
    int points = 0;
    for (const QChar c : text) {
        if (c == u'.' && decimals && ++points == 1)
            continue;
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

QVariant number(double value)
{
    if (std::abs(value) < 9.0e15 && value == std::trunc(value))
        return QVariant(static_cast<qint64>(value));
    return QVariant(value);
}

QString likeAnywhere(const QString& typed)
{
    return u'%' + escaped(typed) + u'%';
}

QString likePrefix(const QString& typed)
{
    return escaped(typed) + u'%';
}

} // namespace RefDataValues
