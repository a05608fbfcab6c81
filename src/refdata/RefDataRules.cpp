#include "refdata/RefDataRules.h"

#include "refdata/RangeKinds.h"
#include "refdata/RefDataMessages.h"

#include <cmath>

namespace RefDataRules {

namespace {

QVariant valueOf(const SqlRun::Columns& row, const char* column)
{
    for (const auto& [name, value] : row)
        if (name == QLatin1String(column))
            return value;
    return {};
}

QString textOf(const SqlRun::Columns& row, const char* column)
{
    const QVariant v = valueOf(row, column);
    return v.isNull() ? QString() : v.toString();
}

// A number column: null counts as 0, as the windows store an empty field.
double numberOf(const SqlRun::Columns& row, const char* column)
{
    const QVariant v = valueOf(row, column);
    return v.isNull() ? 0 : v.toDouble();
}

Refusal refusal(const char* column, const QString& message, const char* reason)
{
    return {QLatin1String(column), message, QLatin1String(reason)};
}

// The windows' number fields take digits and a point only: never a negative number.
std::optional<Refusal> negative(const SqlRun::Columns& row, std::initializer_list<const char*> columns)
{
    for (const char* column : columns) {
        const double n = numberOf(row, column);
        if (!std::isfinite(n) || n < 0)
            return refusal(column, RefDataMessages::notANumber, "must not be negative");
    }
    return std::nullopt;
}

// What REFRANGE may hold: the four kinds' values; null reads as "By sex and age".
bool knownKind(const QVariant& stored)
{
    if (stored.isNull())
        return true;
    const QString text = stored.toString().trimmed();
    return text == u"0" || text == u"1" || text == u"2" || text == u"3";
}

} // namespace

const QStringList& ageUnits()
{
    static const QStringList list{QStringLiteral("Years"), QStringLiteral("Mons."), QStringLiteral("Days")};
    return list;
}

std::optional<Refusal> checkTest(const SqlRun::Columns& row, const AssayOwner& assayOwner)
{
    if (textOf(row, "testsimp").trimmed().isEmpty())
        return refusal("testsimp", RefDataMessages::testNameEmpty, "a test needs a name");
    if (auto wrong = negative(row, {"crvtestid", "correctfactors", "arrangnum"}))
        return wrong;
    if (!knownKind(valueOf(row, "REFRANGE")))
        return refusal("REFRANGE", RefDataMessages::rangeKindNotListed, "must be one of \"0\", \"1\", \"2\", \"3\"");
    const QString assay = textOf(row, "shortAssay");
    // The analyser's code is matched exactly: blanks around it never match.
    if (assay != assay.trimmed())
        return refusal("shortAssay", RefDataMessages::duplicateAssay, "blanks around the assay code never match");
    if (!assay.isEmpty() && assayOwner) {
        // Two tests with one assay code leave every result of that assay unevaluated.
        if (const auto other = assayOwner(assay, qint64(numberOf(row, "testcode"))))
            return Refusal{QStringLiteral("shortAssay"), RefDataMessages::duplicateAssay + *other,
                           QStringLiteral("the assay code is already the test \"%1\"'s").arg(*other)};
    }
    return std::nullopt;
}

std::optional<Refusal> checkRange(const SqlRun::Columns& row)
{
    const QVariant kindValue = valueOf(row, "REFRANGE");
    if (!knownKind(kindValue))
        return refusal("REFRANGE", RefDataMessages::rangeKindNotListed, "must be one of \"0\", \"1\", \"2\", \"3\"");
    if (auto wrong = negative(row, {"firstold", "secondold", "lowlimit", "highlimit"}))
        return wrong;
    const RangeKind kind = RangeKinds::fromStored(kindValue);
    const QString unit = textOf(row, "ageunit");
    // A row without a kind of its own (written before the kind was stored) has no age rule to keep.
    if (!kindValue.isNull() && RangeKinds::hasAge(kind)) {
        if (numberOf(row, "secondold") <= numberOf(row, "firstold"))
            return refusal("secondold", RefDataMessages::ageWrong, "the upper age must lie above the lower age");
        if (unit.isEmpty())
            return refusal("ageunit", RefDataMessages::ageUnitMissing, "an age range needs its age unit");
    }
    if (!unit.isEmpty() && !ageUnits().contains(unit))
        return refusal("ageunit", RefDataMessages::ageUnitNotListed, "must be \"Years\", \"Mons.\" or \"Days\"");
    const QString sex = textOf(row, "sex");
    if (!sex.isEmpty() && sex != u"Male" && sex != u"Female" && sex != u"All")
        return refusal("sex", RefDataMessages::sexNotListed, "must be \"Male\", \"Female\", \"All\" or empty");
    const double low = numberOf(row, "lowlimit"), high = numberOf(row, "highlimit");
    if (low != 0 && high != 0 && low > high)
        return refusal("lowlimit", RefDataMessages::limitsWrong, "the low limit lies above the high limit");
    const QString pregnant = textOf(row, "pregsmok").trimmed();
    if (!pregnant.isEmpty() && pregnant != u"0" && pregnant != u"1")
        return refusal("pregsmok", RefDataMessages::notANumber, "must be \"0\" or \"1\"");
    if (numberOf(row, "testcode") == 0)
        return refusal("testcode", RefDataMessages::chooseTestFirst, "a range belongs to a test");
    return std::nullopt;
}

std::optional<Refusal> checkComment(const SqlRun::Columns& row, const TestExists& testExists)
{
    if (textOf(row, "testsimp").trimmed().isEmpty())
        return refusal("testsimp", RefDataMessages::commentTestEmpty, "a comment names its test");
    if (textOf(row, "Comments").trimmed().isEmpty())
        return refusal("Comments", RefDataMessages::commentEmpty, "a comment needs its text");
    const qint64 code = qint64(numberOf(row, "testcode"));
    if (code == 0 || (testExists && !testExists(code)))
        return refusal("testcode", RefDataMessages::commentTestUnknown, "no test of the catalogue has this code");
    return std::nullopt;
}

} // namespace RefDataRules
