#include "refdata/RangeKinds.h"

#include "common/Numbers.h"

namespace RangeKinds {

const QStringList& catalogueTexts()
{
    static const QStringList list{QStringLiteral("By sex and age"), QStringLiteral("For all"), QStringLiteral("By age"),
                                  QStringLiteral("By sex")};
    return list;
}

QString text(RangeKind kind)
{
    switch (kind) {
    case RangeKind::ForAll:
        return QStringLiteral("For all");
    case RangeKind::ByAge:
        return QStringLiteral("By age");
    case RangeKind::BySex:
        return QStringLiteral("By sex");
    case RangeKind::BySexAndAge:
        break;
    }
    return QStringLiteral("By sex and age");
}

RangeKind fromText(const QString& text)
{
    if (text == QLatin1String("For all"))
        return RangeKind::ForAll;
    if (text == QLatin1String("By age"))
        return RangeKind::ByAge;
    if (text == QLatin1String("By sex"))
        return RangeKind::BySex;
    return RangeKind::BySexAndAge;
}

RangeKind fromStored(const QVariant& stored)
{
    if (stored.isNull())
        return RangeKind::BySexAndAge;
    const double n = Numbers::toNumber(stored.toString());
    if (n == 1)
        return RangeKind::ForAll;
    if (n == 2)
        return RangeKind::ByAge;
    if (n == 3)
        return RangeKind::BySex;
    return RangeKind::BySexAndAge;
}

QString stored(RangeKind kind)
{
    switch (kind) {
    case RangeKind::ForAll:
        return QStringLiteral("1");
    case RangeKind::ByAge:
        return QStringLiteral("2");
    case RangeKind::BySex:
        return QStringLiteral("3");
    case RangeKind::BySexAndAge:
        break;
    }
    return QStringLiteral("0");
}

bool hasSex(RangeKind kind)
{
    return kind == RangeKind::BySex || kind == RangeKind::BySexAndAge;
}

bool hasAge(RangeKind kind)
{
    return kind == RangeKind::ByAge || kind == RangeKind::BySexAndAge;
}

} // namespace RangeKinds
