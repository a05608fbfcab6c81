#include "link/Evaluation.h"

#include "common/Numbers.h"

#include <cmath>

namespace Evaluation {

namespace {

// Sets `field` from the column when the row has it and it is not null.
void take(const QSqlRecord& row, const char* column, QString& field)
{
    const int at = row.indexOf(QLatin1String(column));
    if (at < 0 || row.isNull(at))
        return;
    field = ChainValues::fieldText(row.value(at));
}

QString pregnancyText(const CurrentResult& record)
{
    return record.Chk_pregsmok == 1 ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

BoundQuery catalogueQuery(const QString& shortAssay)
{
    return {QStringLiteral("SELECT * FROM testtable where shortAssay=? "), {ChainValues::text(shortAssay)}};
}

QString ambiguousName(int rows, const QString& shortAssay)
{
    const int marks = qBound(2, rows, 5);
    return QString(marks, QLatin1Char('>')) + QLatin1Char(' ') + shortAssay;
}

void takeCatalogueRow(const QSqlRecord& row, CurrentResult& record)
{
    take(row, "testcode", record.Txt_CODE);
    take(row, "crvtestid", record.Txt_CRVTESTCODE);
    take(row, "testsimp", record.Txt_testsimp);
    take(row, "testabrev", record.Txt_testabrev);
    take(row, "REFRANGE", record.Txt_REFRANGE);
    take(row, "subgroupname", record.Txt_subgroupname);
    take(row, "correctfactors", record.Txt_correctfactors);
}

QString applyFactor(const QString& value, const QString& factor)
{
    if (value.isEmpty())
        return value;
    const double f = Numbers::toNumber(factor);
    const bool signed_ = value.startsWith(QLatin1Char('<')) || value.startsWith(QLatin1Char('>'));
    const double v = Numbers::toNumber(signed_ ? value.mid(1, 50) : value);
    if (v == 0.0 || f == 0.0)
        return value;
    const double product = v * f;
    if (!std::isfinite(product))
        return value;
    if (signed_)
        return value.left(1) + QLatin1Char(' ') + Numbers::toText(product);
    return Numbers::toText(product);
}

RangeChoice rangeQuery(const CurrentResult& r)
{
    RangeChoice choice;
    const double code = Numbers::toNumber(r.Txt_CODE);
    if (code == 0.0)
        return choice;
    const QVariant testcode = ChainValues::number(code);
    const QString p = pregnancyText(r);
    const double age = Numbers::toNumber(r.LblAgeN);
    const double kind = Numbers::toNumber(r.Txt_REFRANGE);

    if (kind == 1) {
        choice.which = RangeCase::ForAll;
        choice.query = {QStringLiteral("SELECT * FROM normalrange where testcode=? and REFRANGE='1' and pregsmok = ? "),
                        {testcode, p}};
    } else if (kind == 2 && age != 0.0 && !r.LblAgeU.isEmpty()) {
        choice.which = RangeCase::ByAge;
        choice.query = {QStringLiteral("SELECT * FROM normalrange where testcode=? and REFRANGE='2' and ageunit=? and "
                                       "firstold <= ? and secondold >= ? and pregsmok = ? "),
                        {testcode, r.LblAgeU, age, age, p}};
    } else if (kind == 3 && !r.LblSex.isEmpty()) {
        choice.which = RangeCase::BySex;
        choice.query = {
            QStringLiteral("SELECT * FROM normalrange where testcode=? and sex=? and REFRANGE='3' and pregsmok = ? "),
            {testcode, r.LblSex, p}};
    } else if (!r.LblSex.isEmpty() && !r.LblAgeU.isEmpty() && age != 0.0) {
        choice.which = RangeCase::BySexAndAge;
        // Two blanks before "and pregsmok", as this statement has always been written.
        choice.query = {QStringLiteral("SELECT * FROM normalrange where testcode=? and sex=? and ageunit=? and "
                                       "firstold <= ? and secondold >= ?  and pregsmok = ? "),
                        {testcode, r.LblSex, r.LblAgeU, age, age, p}};
    }
    return choice;
}

void takeRangeRow(const QSqlRecord& row, CurrentResult& record)
{
    take(row, "testunit", record.Txt_TESTUNIT);
    take(row, "normalrang", record.Txt_TESTNOTRMAL);
    take(row, "lowlimit", record.Txt_TEST_min);
    take(row, "highlimit", record.Txt_TEST_max);
    take(row, "nolowexe", record.Txt_TEST_minEX);
    take(row, "nohighexe", record.Txt_TEST_maxEX);
    take(row, "lowcomment", record.Txt_LOWCOMMENT);
    take(row, "highcomment", record.Txt_HIGHCOMMENT);
}

} // namespace Evaluation
