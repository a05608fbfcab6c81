#include "link/LisExport.h"

#include "common/DateFormats.h"
#include "common/Numbers.h"

namespace LisExport {

using ChainValues::text;

Decision decide(const CurrentResult& r, const AppSettings& settings)
{
    if (settings.autsavecrv != 1 || r.LblPatID.size() != 13 || Numbers::toNumber(r.Txt_CRVTESTCODE) == 0.0)
        return Decision::Skip;
    if (settings.lisActive != 1)
        return Decision::LisOff;
    return Decision::Send;
}

BoundQuery requestQuery(const CurrentResult& r)
{
    return {requestQuerySql, {text(r.LblPatID), ChainValues::numberOf(r.Txt_CRVTESTCODE)}};
}

QString editDate(const QDateTime& at)
{
    return DateFormats::longDate(at.date()) + QStringLiteral("   ") + DateFormats::timeAmPm(at.time());
}

SqlRun::Columns patienttestColumns(const CurrentResult& r, const QDateTime& now)
{
    return {
        {QStringLiteral("resultfinsh"), true},
        {QStringLiteral("edituser"), QStringLiteral("VIDAS INTERFACE")},
        {QStringLiteral("editdate"), editDate(now)},
        {QStringLiteral("resultt"), text(r.Txt_resultt1)},
        {QStringLiteral("resultt1"), text(r.Txt_resultt2)},
        {QStringLiteral("resultt2"), text(r.Txt_resultt3)},
        {QStringLiteral("RESULTCASEPRINT"), text(r.Txt_TEST_F)},
        {QStringLiteral("lowlimit"), QVariant(Numbers::toNumber(r.Txt_TEST_min))},
        {QStringLiteral("highlimit"), QVariant(Numbers::toNumber(r.Txt_TEST_max))},
        {QStringLiteral("nolowexe"), text(r.Txt_TEST_minEX)},
        {QStringLiteral("nohighexe"), text(r.Txt_TEST_maxEX)},
        {QStringLiteral("normalrang"), text(r.Txt_TESTNOTRMAL)},
        {QStringLiteral("testunit"), text(r.Txt_TESTUNIT)},
        {QStringLiteral("commentx"), text(r.txt_comment)},
    };
}

} // namespace LisExport
