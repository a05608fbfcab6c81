#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

// The four kinds of reference range a test uses: what the catalogue shows, what `REFRANGE` holds,
// and which of the range editor's fields each kind switches on.
enum class RangeKind
{
    ForAll,     // "For all", "1"
    ByAge,      // "By age", "2"
    BySex,      // "By sex", "3"
    BySexAndAge // "By sex and age", "0" (and any other value)
};

namespace RangeKinds {

// The catalogue's list, in its order: "By sex and age", "For all", "By age", "By sex".
const QStringList& catalogueTexts();
QString text(RangeKind kind);
// A catalogue text; any text but the first three kinds' is "By sex and age".
RangeKind fromText(const QString& text);
// A stored `REFRANGE`: its number 1, 2 or 3, anything else (null too) "By sex and age".
RangeKind fromStored(const QVariant& stored);
// What `REFRANGE` is written as: "1", "2", "3" or "0".
QString stored(RangeKind kind);

bool hasSex(RangeKind kind);
bool hasAge(RangeKind kind);

} // namespace RangeKinds
