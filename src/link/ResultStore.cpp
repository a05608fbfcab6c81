#include "link/ResultStore.h"

#include "common/DateFormats.h"
#include "common/Numbers.h"

#include <algorithm>

namespace ResultStore {

using ChainValues::numberOf;
using ChainValues::text;
using SqlRun::textOrNull;

BoundQuery duplicateQuery(const CurrentResult& r, const QDate& today, const Dialect& iface)
{
    // A short identifier is a sample number the analyser recycles: only today's row of it is the
    // same sample, so a result of weeks ago under the same number is never overwritten.
    if (r.LblPatID.size() != 13)
        return {QStringLiteral("SELECT * FROM Result where patientid=? AND shortAssay=? AND Testdate= ? "),
                {text(r.LblPatID), text(r.Txt_shortAssay), today}};
    // The sample is compared as a number ("0042" and "42" are one sample) only when it is one: a
    // lenient number of "12AB" would be 12 and overwrite sample 12's result, so any other text is
    // compared as it stands. The conversion never fails on a column holding letters.
    const QString sample = r.LblSampID.trimmed();
    const bool digits = !sample.isEmpty() &&
                        std::all_of(sample.cbegin(), sample.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    if (!digits)
        return {QStringLiteral("SELECT * FROM Result where SampleID=? AND Testdate= ? AND shortAssay=? "),
                {text(r.LblSampID), today, text(r.Txt_shortAssay)}};
    return {QStringLiteral("SELECT * FROM Result where ") + iface.toRealOrNull(QStringLiteral("SampleID")) +
                QStringLiteral("=? AND Testdate= ? AND shortAssay=? "),
            {numberOf(r.LblSampID), today, text(r.Txt_shortAssay)}};
}

QString noSampleName(const CurrentResult& r)
{
    return r.Txt_shortAssay + QStringLiteral("   ") + r.LblTestTime;
}

BoundQuery duplicateQueryNoSample(const CurrentResult& r, const QDate& today)
{
    return {
        QStringLiteral("SELECT * FROM Result where Patientname=? and resultt1= ? AND Testdate= ? AND shortAssay=? "),
        {text(r.LblPatName), text(r.Txt_resultt1), today, text(r.Txt_shortAssay)}};
}

SqlRun::Columns resultColumns(const CurrentResult& r, const QDateTime& now)
{
    const bool named = !r.LblPatName.isEmpty();
    const bool doctor = !r.LblDocName.isEmpty();
    const double age = Numbers::toNumber(r.LblAgeN);
    const auto orAssay = [&r](const QString& value) { return text(value.isEmpty() ? r.Txt_shortAssay : value); };
    return {
        {QStringLiteral("SampleID"), text(r.LblSampID)},
        {QStringLiteral("patientid"), text(r.LblPatID)},
        {QStringLiteral("Patientname"),
         text(named ? r.LblPatName : r.LblTestTime + QStringLiteral("   ") + r.Txt_shortAssay)},
        {QStringLiteral("patientsefa"), named ? textOrNull(r.Txt_patientsefa) : SqlRun::nullText()},
        {QStringLiteral("DocName"), textOrNull(r.LblDocName)},
        {QStringLiteral("Drsefa"), doctor ? textOrNull(r.Txt_DocSEFA) : SqlRun::nullText()},
        {QStringLiteral("sex"), textOrNull(r.LblSex)},
        {QStringLiteral("ageN"), age == 0.0 ? SqlRun::nullNumber() : QVariant(age)},
        {QStringLiteral("ageU"), textOrNull(r.LblAgeU)},
        {QStringLiteral("Testdate"), now.date()},
        {QStringLiteral("TestTime"), DateFormats::timeAmPm(now.time())},
        {QStringLiteral("testcode"), numberOf(r.Txt_CODE)},
        // The LIS test code goes with the row, so that a correction in the editor reaches the same
        // LIS request the result was written into.
        {QStringLiteral("crvtestid"),
         Numbers::toNumber(r.Txt_CRVTESTCODE) == 0.0 ? SqlRun::nullNumber() : numberOf(r.Txt_CRVTESTCODE)},
        {QStringLiteral("shortAssay"), text(r.Txt_shortAssay)},
        {QStringLiteral("LongAssay"), text(r.Txt_LongAssay)},
        {QStringLiteral("resultt1"), text(r.Txt_resultt1)},
        {QStringLiteral("resultt2"), text(r.Txt_resultt2)},
        {QStringLiteral("resultt3"), text(r.Txt_resultt3)},
        {QStringLiteral("testunit"), text(r.Txt_TESTUNIT)},
        {QStringLiteral("REFRANGE"), numberOf(r.Txt_REFRANGE)},
        {QStringLiteral("testsimp"), orAssay(r.Txt_testsimp)},
        {QStringLiteral("testabrev"), orAssay(r.Txt_testabrev)},
        {QStringLiteral("subgroupname"), text(r.Txt_subgroupname)},
        {QStringLiteral("normalrang"), text(r.Txt_TESTNOTRMAL)},
        {QStringLiteral("RESULTCASEPRINT"), text(r.Txt_TEST_F)},
        {QStringLiteral("lowlimit"), QVariant(Numbers::toNumber(r.Txt_TEST_min))},
        {QStringLiteral("highlimit"), QVariant(Numbers::toNumber(r.Txt_TEST_max))},
        {QStringLiteral("nolowexe"), text(r.Txt_TEST_minEX)},
        {QStringLiteral("nohighexe"), text(r.Txt_TEST_maxEX)},
        {QStringLiteral("comment"), textOrNull(r.txt_comment)},
        {QStringLiteral("sending"), r.Chk_pregsmok == 1},
        {QStringLiteral("instrumentid"), textOrNull(r.LblInstrument)},
        {QStringLiteral("instrumentsn"), textOrNull(r.LblSerialNo)},
    };
}

QString instrumentText(const QString& id, const QString& serialNo)
{
    if (id.isEmpty() || serialNo.isEmpty())
        return id + serialNo;
    return id + QLatin1Char(' ') + serialNo;
}

} // namespace ResultStore
