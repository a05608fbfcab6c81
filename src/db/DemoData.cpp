#include "db/DemoData.h"

#include "common/PasswordHash.h"

#include "db/SqlRun.h"

#include <optional>

namespace DemoData {

namespace {

struct Range
{
    const char* sex;
    const char* ageunit; // nullptr: no age band
    double firstold;
    double secondold;
    const char* pregsmok;
    std::optional<double> low;
    std::optional<double> high;
    const char* normalrang;
};

struct Assay
{
    const char* shortAssay;
    const char* testsimp;
    const char* testabrev;
    const char* subgroup;
    int crvtestid;
    const char* refrange;
    const char* unit;
    QList<Range> ranges;
    QList<const char*> comments;
};

const QList<Assay>& assays()
{
    static const QList<Assay> list{
        {"TSH",
         "TSH",
         "TSH",
         "Thyroid",
         501,
         "1",
         "uUI/ml",
         {{"All", nullptr, 0, 0, "0", 0.25, 5.0, "0.25 - 5.00"}, {"All", nullptr, 0, 0, "1", 0.1, 2.5, "0.10 - 2.50"}},
         {"يرجى إعادة التحليل بعد ستة أسابيع", "Thyroid function within normal limits"}},
        {"FT4",
         "Free T4",
         "FT4",
         "Thyroid",
         502,
         "1",
         "pmol/l",
         {{"All", nullptr, 0, 0, "0", 9.0, 19.0, "9 - 19"}},
         {}},
        {"PRL",
         "Prolactin",
         "PRL",
         "Hormones",
         503,
         "3",
         "ng/ml",
         {{"Male", nullptr, 0, 0, "0", 2.1, 17.7, "2.1 - 17.7"},
          {"Female", nullptr, 0, 0, "0", 2.8, 29.2, "2.8 - 29.2"},
          {"Female", nullptr, 0, 0, "1", 9.7, 208.5, "9.7 - 208.5"}},
         {}},
        {"CRP",
         "C-Reactive Protein",
         "CRP",
         "Inflammation",
         504,
         "1",
         "mg/l",
         {{"All", nullptr, 0, 0, "0", std::nullopt, 6.0, "< 6"}},
         {"Sample slightly haemolysed"}},
        {"FER",
         "Ferritin",
         "FER",
         "Anaemia",
         505,
         "0",
         "ng/ml",
         {{"Male", "Years", 18, 120, "0", 30.0, 400.0, "30 - 400"},
          {"Female", "Years", 18, 120, "0", 13.0, 150.0, "13 - 150"}},
         {}},
        {"VITD",
         "25 OH Vitamin D Total",
         "VITD",
         "Vitamins",
         506,
         "2",
         "ng/ml",
         {{"All", "Years", 0, 17, "0", 20.0, 100.0, "20 - 100"},
          {"All", "Years", 18, 120, "0", 30.0, 100.0, "30 - 100"}},
         {"نقص فيتامين د - يفضل استشارة الطبيب"}},
        {"HIV5",
         "HIV DUO Ultra",
         "HIV",
         "Serology",
         507,
         "1",
         "",
         {{"All", nullptr, 0, 0, "0", {}, {}, "Negative"}},
         {}},
        {"HBS",
         "HBs Ag Ultra",
         "HBsAg",
         "Serology",
         508,
         "1",
         "",
         {{"All", nullptr, 0, 0, "0", {}, {}, "Negative"}},
         {}},
        {"ATPO",
         "Anti-TPO",
         "ATPO",
         "Thyroid",
         509,
         "1",
         "IU/ml",
         {{"All", nullptr, 0, 0, "0", std::nullopt, 34.0, "< 34"}},
         {}},
    };
    return list;
}

QVariant text(const char* value)
{
    return value ? SqlRun::textOrNull(QString::fromUtf8(value)) : SqlRun::nullText();
}

QVariant number(const std::optional<double>& value)
{
    return value ? QVariant(*value) : SqlRun::nullNumber();
}

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

} // namespace

bool installCatalogue(const QSqlDatabase& iface, QString* error)
{
    const SqlRun::Rows existing = SqlRun::select(iface, QStringLiteral("SELECT testcode FROM testtable"));
    if (!existing) {
        setError(error, existing.errorText());
        return false;
    }
    if (!existing.isEmpty())
        return true;

    QSqlDatabase db = iface;
    if (!db.transaction()) {
        setError(error, QStringLiteral("cannot start a transaction"));
        return false;
    }
    const auto fail = [&](const SqlRun::Outcome& outcome) {
        db.rollback();
        setError(error, outcome.errorText());
        return false;
    };
    const QString lowComment = QStringLiteral("النتيجة أقل من المعدل الطبيعي");
    const QString highComment = QStringLiteral("النتيجة أعلى من المعدل الطبيعي");
    int order = 0;
    for (const Assay& a : assays()) {
        const auto test = SqlRun::insert(db, QStringLiteral("testtable"),
                                         {{QStringLiteral("shortAssay"), text(a.shortAssay)},
                                          {QStringLiteral("testsimp"), text(a.testsimp)},
                                          {QStringLiteral("testabrev"), text(a.testabrev)},
                                          {QStringLiteral("subgroupname"), text(a.subgroup)},
                                          {QStringLiteral("crvtestid"), a.crvtestid},
                                          {QStringLiteral("active"), true},
                                          {QStringLiteral("correctfactors"), 1.0},
                                          {QStringLiteral("REFRANGE"), text(a.refrange)},
                                          {QStringLiteral("arrangnum"), ++order},
                                          {QStringLiteral("otherlabprice"), 0.0}});
        if (!test)
            return fail(test);
        const QVariant testcode = test.lastInsertId;
        for (const Range& r : a.ranges) {
            const bool limited = r.low || r.high;
            const auto range = SqlRun::insert(
                db, QStringLiteral("normalrange"),
                {{QStringLiteral("testcode"), testcode},
                 {QStringLiteral("testsimp"), text(a.testsimp)},
                 {QStringLiteral("sex"), text(r.sex)},
                 {QStringLiteral("ageunit"), text(r.ageunit)},
                 {QStringLiteral("firstold"), r.firstold},
                 {QStringLiteral("secondold"), r.secondold},
                 {QStringLiteral("pregsmok"), text(r.pregsmok)},
                 {QStringLiteral("lowlimit"), number(r.low)},
                 {QStringLiteral("highlimit"), number(r.high)},
                 {QStringLiteral("nolowexe"), limited ? QVariant(QStringLiteral("L")) : SqlRun::nullText()},
                 {QStringLiteral("nohighexe"), limited ? QVariant(QStringLiteral("H")) : SqlRun::nullText()},
                 {QStringLiteral("lowcomment"), limited ? QVariant(lowComment) : SqlRun::nullText()},
                 {QStringLiteral("highcomment"), limited ? QVariant(highComment) : SqlRun::nullText()},
                 {QStringLiteral("normalrang"), text(r.normalrang)},
                 {QStringLiteral("testunit"), text(a.unit)},
                 {QStringLiteral("REFRANGE"), text(a.refrange)}});
            if (!range)
                return fail(range);
        }
        for (const char* comment : a.comments) {
            const auto added = SqlRun::insert(db, QStringLiteral("comments"),
                                              {{QStringLiteral("testcode"), testcode},
                                               {QStringLiteral("testsimp"), text(a.testsimp)},
                                               {QStringLiteral("Comments"), text(comment)}});
            if (!added)
                return fail(added);
        }
    }
    if (!db.commit()) {
        db.rollback();
        setError(error, QStringLiteral("cannot commit the demo catalogue"));
        return false;
    }
    return true;
}

bool installAdministrator(const QSqlDatabase& iface, QString* error)
{
    const SqlRun::Rows existing = SqlRun::select(iface, QStringLiteral("SELECT patientusid FROM users"));
    if (!existing) {
        setError(error, existing.errorText());
        return false;
    }
    if (!existing.isEmpty())
        return true;
    SqlRun::Columns columns{{QStringLiteral("patientusname"), QStringLiteral("admin")},
                            {QStringLiteral("patientword"), PasswordHash::make(QStringLiteral("admin"))},
                            {QStringLiteral("patientad"), true},
                            {QStringLiteral("patientus"), false}};
    for (const char* grant : {"grant1", "grant2", "grant4", "grant5", "grant6", "grant7", "grant8"})
        columns.append({QString::fromLatin1(grant), true});
    const auto added = SqlRun::insert(iface, QStringLiteral("users"), columns);
    if (!added)
        setError(error, added.errorText());
    return added.ok;
}

} // namespace DemoData
