#include "link/Evaluation.h"
#include "link/Flagging.h"
#include "link/PatientMatch.h"

#include <QSqlField>
#include <QTest>

// From a parsed result to a stored one: catalogue row, factor, reference range, flag, comment, patient.

using Case = Evaluation::RangeCase;
using Shade = Flagging::Shade;

namespace {

// A query's row from "column=value;...": ~ a null, a number a double, else (or after ') a text.
QSqlRecord row(const QString& columns)
{
    QSqlRecord record;
    for (const QString& column : columns.split(u';')) {
        const QString value = column.section(u'=', 1);
        bool number = false;
        const double d = value.toDouble(&number);
        QSqlField field(column.section(u'=', 0, 0),
                        number ? QMetaType::fromType<double>() : QMetaType::fromType<QString>());
        field.setValue(value == u"~" ? QVariant()
                       : number      ? QVariant(d)
                                     : QVariant(value.mid(value.startsWith(u'\''))));
        record.append(field);
    }
    return record;
}

using Field = QString CurrentResult::*;

// The fields that each kind of row fills.
QList<Field> fieldsOf(const QString& kind)
{
    using R = CurrentResult;
    if (kind == u"catalogue")
        return {&R::Txt_CODE,     &R::Txt_CRVTESTCODE,  &R::Txt_testsimp,      &R::Txt_testabrev,
                &R::Txt_REFRANGE, &R::Txt_subgroupname, &R::Txt_correctfactors};
    if (kind == u"range")
        return {&R::Txt_TESTUNIT,   &R::Txt_TESTNOTRMAL, &R::Txt_TEST_min,   &R::Txt_TEST_max,
                &R::Txt_TEST_minEX, &R::Txt_TEST_maxEX,  &R::Txt_LOWCOMMENT, &R::Txt_HIGHCOMMENT};
    return {&R::LblPatID, &R::Txt_patientsefa, &R::LblPatName,  &R::LblSex,
            &R::LblAgeN,  &R::LblAgeU,         &R::Txt_DocSEFA, &R::LblDocName};
}

// A record with `fields` set from the comma-separated `values`.
CurrentResult with(const QList<Field>& fields, const QString& values)
{
    CurrentResult r;
    for (qsizetype i = 0; i < fields.size(); ++i)
        r.*fields[i] = values.section(u',', i, i);
    return r;
}

// A record from "test code,range kind,sex,age,age unit,pregnant".
CurrentResult patient(const QString& spec)
{
    using R = CurrentResult;
    CurrentResult r = with({&R::Txt_CODE, &R::Txt_REFRANGE, &R::LblSex, &R::LblAgeN, &R::LblAgeU}, spec);
    r.Chk_pregsmok = spec.section(u',', 5).toInt();
    return r;
}

// A result from "value,reading,low limit,high limit", with flag texts L and H and their comments.
CurrentResult ranged(const QString& spec)
{
    using R = CurrentResult;
    CurrentResult r = with({&R::Txt_resultt3, &R::Txt_resultt2, &R::Txt_TEST_min, &R::Txt_TEST_max, &R::Txt_TEST_minEX,
                            &R::Txt_TEST_maxEX, &R::Txt_LOWCOMMENT, &R::Txt_HIGHCOMMENT},
                           spec + QStringLiteral(",L,H,below the range,above the range"));
    r.Txt_resultt1 = r.Txt_resultt2.isEmpty() ? r.Txt_resultt3 : r.Txt_resultt2;
    return r;
}

} // namespace

class tst_Evaluation : public QObject
{
    Q_OBJECT

private slots:
    void catalogue()
    {
        const BoundQuery q = Evaluation::catalogueQuery(QStringLiteral("O'TSH"));
        QCOMPARE(q.sql, QStringLiteral("SELECT * FROM testtable where shortAssay=? "));
        QCOMPARE(q.values, QVariantList{QStringLiteral("O'TSH")});
        // An assay with several catalogue rows is marked with one ">" per row, up to five.
        QCOMPARE(Evaluation::ambiguousName(2, QStringLiteral("TSH")), QStringLiteral(">> TSH"));
        QCOMPARE(Evaluation::ambiguousName(12, QStringLiteral("TSH")), QStringLiteral(">>>>> TSH"));
    }

    // Each row fills its fields from the columns that are not null; the others keep what they held.
    void rowsFillWhatIsNotNull_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("columns");
        QTest::addColumn<QString>("fields");
        const auto add = [](const char* kind, const char* columns, const char* fields) {
            QTest::addRow("%s %s", kind, columns)
                << QString::fromLatin1(kind) << QString::fromUtf8(columns) << QString::fromUtf8(fields);
        };
        // clang-format off
        add("catalogue", "testcode=7;shortAssay=TSH;crvtestid=501;testsimp=Thyroid stimulating;testabrev=TSH;"
            "REFRANGE='2;subgroupname=Thyroid;correctfactors=1.25", "7|501|Thyroid stimulating|TSH|2|Thyroid|1.25");
        add("catalogue", "testcode=8;crvtestid=~;testsimp=~;testabrev=~;REFRANGE=~;subgroupname=~;correctfactors=~",
            "8|old|old|old|old|old|old");
        add("range", "testunit=uUI/ml;normalid=3;normalrang=0.25 - 5;lowlimit=0.25;highlimit=5.0;nolowexe=L;"
            "nohighexe=H;lowcomment=low;highcomment=high", "uUI/ml|0.25 - 5|0.25|5|L|H|low|high");
        add("range", "testunit=~;normalrang=~;lowlimit=~;highlimit=~;nolowexe=~;nohighexe=~;lowcomment=~;highcomment=~",
            "old|old|old|old|old|old|old|old");
        add("patient", "patientsefa=السيد;patientid='2601140001230;patientnamear=أحمد;patientsex=Male;"
            "patientage=45.0;patientageunit=Years;referredbysefa=د/;referredbyname=سامي;moreinfo='0000000010",
            "2601140001230|السيد|أحمد|Male|45|Years|د/|سامي|1");
        // The LIS patient identifier is always taken; an age in a text column is read as a number.
        add("patient", "patientage= 7.50 y;patientid='2601140001247;patientsefa=~;patientnamear=~;patientsex=~;"
            "patientageunit=~;referredbysefa=~;referredbyname=~;moreinfo=~",
            "2601140001247|old|old|old|7.5|old|old|old|0");
        add("patient", "moreinfo='0000000010;patientid='7;patientage=~", "7|old|old|old|old|old|old|old|1");
        // clang-format on
    }

    void rowsFillWhatIsNotNull()
    {
        QFETCH(QString, kind);
        QFETCH(QString, columns);
        CurrentResult r = with(fieldsOf(kind), QStringLiteral("old,old,old,old,old,old,old,old"));
        if (kind == u"catalogue")
            Evaluation::takeCatalogueRow(row(columns), r);
        else if (kind == u"range")
            Evaluation::takeRangeRow(row(columns), r);
        else
            PatientMatch::takePatientRow(row(columns), r);
        QStringList fields;
        for (const Field field : fieldsOf(kind))
            fields << r.*field;
        if (kind == u"patient")
            fields << QString::number(r.Chk_pregsmok);
        QTEST(fields.join(u'|'), "fields");
    }

    void factor()
    {
        // The value times the factor, sign kept; a zero, unusable or too large result keeps the value.
        const QList<std::tuple<const char*, const char*, const char*>> products{
            {"2.35", "2", "4.7"}, {"0.1", "3", "0.3"}, {"< 0.5", "2", "< 1"}, {"> 1200", "0.5", "> 600"},
            {"<0.5", "2", "< 1"}, {"4", "-0.5", "-2"}, {"2.35", "0", "2.35"}, {"2.35", "x", "2.35"},
            {"0", "2", "0"},      {"<", "2", "<"},     {"abc", "2", "abc"},   {"1e300", "1e300", "1e300"},
            {"12abc", "2", "24"}, {"", "2", ""}};
        for (const auto& [value, factor, expected] : products)
            QCOMPARE(Evaluation::applyFactor(QString::fromLatin1(value), QString::fromLatin1(factor)),
                     QString::fromLatin1(expected));
    }

    // The reference range that applies, and the values bound to its statement.
    void rangeChoice()
    {
        // "test code,range kind,sex,age,age unit,pregnant"
        // clang-format off
        const QList<std::tuple<const char*, Case, QVariantList>> choices{
            {"7,1,,,,1", Case::ForAll, {qlonglong(7), "1"}}, {"7,1,Male,40,Years,0", Case::ForAll, {qlonglong(7), "0"}},
            {"7,2,,5,Years,0", Case::ByAge, {qlonglong(7), "Years", 5.0, 5.0, "0"}},
            {"9,2,Male,45,Years,0", Case::ByAge, {qlonglong(9), "Years", 45.0, 45.0, "0"}},
            {"7,3,Female,,,1", Case::BySex, {qlonglong(7), "Female", "1"}},
            {"7,0,Male,45,Years,0", Case::BySexAndAge, {qlonglong(7), "Male", "Years", 45.0, 45.0, "0"}},
            {"7,,Male,2.5,Mons.,0", Case::BySexAndAge, {qlonglong(7), "Male", "Mons.", 2.5, 2.5, "0"}},
            // too little known: no test code, or no age, age unit or sex where the kind needs it
            {",1,Male,45,Years,0", Case::None, {}}, {"0,1,,,,0", Case::None, {}}, {"7,2,,0,Years,0", Case::None, {}},
            {"7,2,Female,30,,0", Case::None, {}}, {"7,3,,30,Years,0", Case::None, {}},
            {"7,0,Male,,Years,0", Case::None, {}}, {"7,0,,45,Years,0", Case::None, {}}};
        // clang-format on
        for (const auto& [spec, which, values] : choices) {
            const Evaluation::RangeChoice choice = Evaluation::rangeQuery(patient(QString::fromLatin1(spec)));
            QVERIFY2(choice.which == which && choice.query.sql.isEmpty() == (which == Case::None), spec);
            QCOMPARE(choice.query.values, values);
        }
    }

    void flags()
    {
        // "value,reading,low,high": the flag and the window's shade, Flagged, Green, White, No result.
        const QList<std::pair<const char*, const char*>> flags{
            {"9.99,,10,20", "L F"},  {"10,,10,20", " G"},          {"20,,10,20", " G"},
            {"20.01,,10,20", "H F"}, {"< 10,,10,20", "L F"},       {"< 5,,10,20", "L F"},
            {"< 15,,10,20", " W"},   {"< 20,,10,20", " W"},        {"> 20,,10,20", "H F"},
            {"> 15,,10,20", " W"},   {"> 10,,10,20", " W"},        {"0,,,6", " G"},
            {"-1,,,6", "L F"},       {"6.5,,,6", "H F"},           {"3,,2,", "H F"},
            {"3,,,", " W"},          {"abc,,10,20", "L F"},        {">,,10,20", "L F"},
            {"-0,,0,5", " G"},       {"7,,10,5", "H F"},           {"0.01,Positive,10,20", " * F"},
            {",Positive,,", " * F"}, {"999,Negative,10,20", " G"}, {"25,Positif,10,20", "H F"},
            {",,10,20", " N"}};
        for (const auto& [spec, expected] : flags) {
            CurrentResult r = ranged(QString::fromLatin1(spec));
            Flagging::Flag(r, false);
            const Shade shade = Flagging::shadeOf(r);
            QCOMPARE(r.Txt_TEST_F + u' ' + QStringLiteral("NFGW")[int(shade)], QString::fromLatin1(expected));
            QVERIFY(r.txt_comment.isEmpty());
        }
        // No flag text for its side: unflagged; no limits: the flag stays; no result: it is cleared.
        CurrentResult r = ranged(QStringLiteral("25,,10,20"));
        r.Txt_TEST_maxEX.clear();
        QCOMPARE(Flagging::Flag(r, false), Flagging::Outcome::Unflagged);
        r = ranged(QStringLiteral("25,,,"));
        r.Txt_TEST_F = QStringLiteral("earlier");
        QCOMPARE(Flagging::Flag(r, true), Flagging::Outcome::NoLimits);
        QCOMPARE(r.Txt_TEST_F, QStringLiteral("earlier"));
        r.Txt_resultt1.clear();
        QCOMPARE(Flagging::Flag(r, true), Flagging::Outcome::NoResult);
        QCOMPARE(r.Txt_TEST_F, QString());
    }

    void autoComment()
    {
        // "value,low flag,high flag,setting": the comment of the flag's side. Texts compare as text, so
        // the empty flag of a signed value inside the range equals an empty low flag text.
        // clang-format off
        const QList<std::pair<const char*, const char*>> comments{
            {"5,L,H,1", "below the range"}, {"25,L,H,1", "above the range"}, {"15,L,H,1", ""}, {"5,L,H,0", ""},
            {"< 15,,H,1", "below the range"}, {"< 15,L,H,1", ""}, {"25,*,*,1", "below the range"}};
        // clang-format on
        for (const auto& [spec, comment] : comments) {
            const QStringList p = QString::fromLatin1(spec).split(u',');
            CurrentResult r = ranged(p[0] + ",,10,20");
            r.Txt_TEST_minEX = p[1];
            r.Txt_TEST_maxEX = p[2];
            Flagging::Flag(r, p[3] == u"1");
            QCOMPARE(r.txt_comment, QString::fromLatin1(comment));
        }
        // An empty range comment leaves the comment as it was.
        CurrentResult typed = ranged(QStringLiteral("5,,10,20"));
        typed.Txt_LOWCOMMENT.clear();
        typed.txt_comment = QStringLiteral("typed");
        Flagging::Flag(typed, true);
        QCOMPARE(typed.txt_comment, QStringLiteral("typed"));
    }

    // The part of the LIS identifier a sample id stands for (IDdigitsNo); the pregnancy state.
    void patientLookup()
    {
        const QDate today(2026, 12, 5);
        // clang-format off
        const QList<std::tuple<int, const char*, SqlEngine, const char*>> lookups{
            {13, "260114000123", SqlEngine::SqlServer, "SUBSTRING(patientid, 1, 12) =? "},
            {13, "260114000123", SqlEngine::Jet, "Mid(patientid, 1, 12) =? "},
            {10, "2601140007", SqlEngine::Sqlite, "substr(patientid, 3, 10) =? "},
            {4, "0042", SqlEngine::SqlServer, "SUBSTRING(patientid, 9, 4) =? and requestdate= ? "},
            {13, "26011400012", SqlEngine::SqlServer, ""}, {13, "2601140001230", SqlEngine::SqlServer, ""},
            {10, "260114000123", SqlEngine::SqlServer, ""}, {4, "00042", SqlEngine::SqlServer, ""},
            {12, "260114000123", SqlEngine::SqlServer, ""}, {13, "", SqlEngine::SqlServer, ""}};
        // clang-format on
        for (const auto& [mode, id, engine, where] : lookups) {
            const BoundQuery q = PatientMatch::patientQuery(mode, QString::fromLatin1(id), Dialect(engine), today);
            QCOMPARE(q.sql.section(QStringLiteral("FROM patientinfo WHERE "), 1), QString::fromLatin1(where));
            QCOMPARE(q.sql.startsWith(u"SELECT patientid,requestdate,"), mode == 4 && *where);
            const QVariantList values = !*where     ? QVariantList()
                                        : mode == 4 ? QVariantList{id, today}
                                                    : QVariantList{id};
            QCOMPARE(q.values, values);
        }
        const QList<std::pair<const char*, int>> states{{"0000000010", 1}, {"0000000011", 0}, {"0000000000", 0},
                                                        {"000000001", 1},  {"000000001x", 1}, {"0001", 0}};
        for (const auto& [moreinfo, state] : states)
            QCOMPARE(PatientMatch::pregnancyState(QString::fromLatin1(moreinfo)), state);
    }
};

QTEST_GUILESS_MAIN(tst_Evaluation)
#include "tst_Evaluation.moc"
