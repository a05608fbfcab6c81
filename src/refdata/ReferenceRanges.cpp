#include "refdata/ReferenceRanges.h"

#include "common/Numbers.h"
#include "refdata/RefDataMessages.h"
#include "refdata/RefDataRules.h"
#include "refdata/RefDataValues.h"

namespace {
ReferenceRanges::Field fieldFor(const QString& column)
{
    if (column == u"firstold")
        return ReferenceRanges::Field::Txt1;
    if (column == u"secondold")
        return ReferenceRanges::Field::Txt2;
    if (column == u"ageunit")
        return ReferenceRanges::Field::Comb3;
    if (column == u"lowlimit")
        return ReferenceRanges::Field::Txt4;
    if (column == u"highlimit")
        return ReferenceRanges::Field::Txt5;
    return ReferenceRanges::Field::None;
}

QVariant limit(const QString& field)
{
    const double n = Numbers::toNumber(field);
    return n == 0 ? SqlRun::nullNumber() : RefDataValues::number(n);
}
} // namespace

const QStringList& ReferenceRanges::units()
{
    static const QStringList list{
        QStringLiteral("%"),           QStringLiteral("µg/mL"),
        QStringLiteral("µm³"),         QStringLiteral("AU"),
        QStringLiteral("Au/ml"),       QStringLiteral("copies/ml"),
        QStringLiteral("Eu/ml"),       QStringLiteral("fmol/L"),
        QStringLiteral("g/dL"),        QStringLiteral("g/mL"),
        QStringLiteral("gm/day"),      QStringLiteral("gm/dL"),
        QStringLiteral("GPL U/ml"),    QStringLiteral("GPL/ml"),
        QStringLiteral("Index"),       QStringLiteral("IU"),
        QStringLiteral("IU/mL"),       QStringLiteral("K/µL"),
        QStringLiteral("m. Osmol/kg"), QStringLiteral("mcg/L"),
        QStringLiteral("mcg/mL"),      QStringLiteral("mEq/24h"),
        QStringLiteral("mEq/L"),       QStringLiteral("mg/24hrs"),
        QStringLiteral("mg/day"),      QStringLiteral("mg/dL"),
        QStringLiteral("mg/L"),        QStringLiteral("min"),
        QStringLiteral("mIU/mL"),      QStringLiteral("mL/day"),
        QStringLiteral("ml/min"),      QStringLiteral("mL/min/1.73*m²"),
        QStringLiteral("mlU/mL"),      QStringLiteral("mm"),
        QStringLiteral("Mm/L"),        QStringLiteral("mmol/24hr"),
        QStringLiteral("mmol/L"),      QStringLiteral("mms"),
        QStringLiteral("mOsm/kg"),     QStringLiteral("MPL U/ml"),
        QStringLiteral("MPL/mL"),      QStringLiteral("mU/100ul"),
        QStringLiteral("ng/dL"),       QStringLiteral("ng/L"),
        QStringLiteral("ng/mL"),       QStringLiteral("ng/mL/hr"),
        QStringLiteral("nmol/L"),      QStringLiteral("pg/dL"),
        QStringLiteral("pg/mL"),       QStringLiteral("pmoI/L"),
        QStringLiteral("Second"),      QStringLiteral("U/dL"),
        QStringLiteral("U/gm"),        QStringLiteral("U/gm HB."),
        QStringLiteral("U/L"),         QStringLiteral("U/mL"),
        QStringLiteral("UECA"),        QStringLiteral("ug/24hrs"),
        QStringLiteral("ug/day"),      QStringLiteral("ug/dL"),
        QStringLiteral("ug/L"),        QStringLiteral("ug/mL"),
        QStringLiteral("Ul/mL"),       QStringLiteral("ulU/mL"),
        QStringLiteral("umol/l"),      QStringLiteral("Unit"),
        QStringLiteral("Uu/ml"),       QStringLiteral("x 100³ Cells/µL"),
        QStringLiteral("x 10³/mm³"),
    };
    return list;
}

const QStringList& ReferenceRanges::ageUnits()
{
    return RefDataRules::ageUnits();
}

const QStringList& ReferenceRanges::lowFlags()
{
    static const QStringList list{QStringLiteral("L"), QStringLiteral("Low")};
    return list;
}

const QStringList& ReferenceRanges::highFlags()
{
    static const QStringList list{QStringLiteral("H"), QStringLiteral("High")};
    return list;
}

ReferenceRanges::Outcome ReferenceRanges::refuse(const QString& text, Field focus)
{
    m_db.dialogs().warning(RefDataMessages::title, text);
    return {false, focus, 0};
}

SqlRun::Rows ReferenceRanges::list(qint64 testcode)
{
    if (testcode == 0)
        return {};
    const QSqlDatabase db = m_db.open();
    if (!db.isOpen())
        return {};
    return SqlRun::select(
        db, QStringLiteral("Select * from normalrange where testcode= ? order By ageunit , secondold , sex asc "),
        {testcode});
}

QString ReferenceRanges::countText(qsizetype rows)
{
    return RefDataMessages::countRangesPrefix + QString::number(rows) + RefDataMessages::countRangesSuffix;
}

void ReferenceRanges::clearUnused(RangeFields& f, RangeKind kind)
{
    if (!RangeKinds::hasAge(kind)) {
        f.Txt1.clear();
        f.Txt2.clear();
        f.Comb3.clear();
    }
    if (!RangeKinds::hasSex(kind)) {
        f.option1 = false;
        f.option2 = false;
    }
}

std::optional<RangeFields> ReferenceRanges::load(qint64 normalid, RangeKind kind)
{
    const QSqlDatabase db = m_db.open();
    if (!db.isOpen())
        return std::nullopt;
    const auto row = SqlRun::first(db, QStringLiteral("SELECT * FROM normalrange where normalid=?"), {normalid});
    if (!row)
        return std::nullopt;
    const auto col = [&row](const char* name, const QString& ifNull = {}) {
        return RefDataValues::text(row->value(QLatin1String(name)), ifNull);
    };
    RangeFields f;
    f.normid = col("normalid");
    f.Comb1 = col("testsimp");
    f.Txt0 = col("testcode");
    const QString sex = col("sex");
    f.option1 = sex == QLatin1String("Male");
    f.option2 = sex == QLatin1String("Female");
    f.Txt1 = col("firstold", QStringLiteral("0"));
    f.Txt2 = col("secondold", QStringLiteral("0"));
    f.Comb3 = col("ageunit");
    f.Txt3 = col("normalrang");
    f.Comb2 = col("testunit");
    f.Txt4 = col("lowlimit");
    f.Txt5 = col("highlimit");
    f.Comb4 = col("nolowexe");
    f.Comb5 = col("nohighexe");
    f.Txt6 = col("lowcomment");
    f.Txt7 = col("highcomment");
    f.Check1 = Numbers::toNumber(col("pregsmok")) == 1;
    clearUnused(f, kind);
    return f;
}

bool ReferenceRanges::mayChange(const RangeFields& fields)
{
    if (!fields.normid.isEmpty())
        return true;
    m_db.dialogs().warning(RefDataMessages::title, RefDataMessages::chooseRangeFirst);
    return false;
}

ReferenceRanges::Outcome ReferenceRanges::save(const RangeFields& typed, RangeKind kind)
{
    RangeFields f = typed;
    clearUnused(f, kind);
    const bool age = RangeKinds::hasAge(kind);
    if (age && !RefDataValues::isPlainNumber(f.Txt1, true))
        return refuse(RefDataMessages::notANumber, Field::Txt1);
    if (age && !RefDataValues::isPlainNumber(f.Txt2, true))
        return refuse(RefDataMessages::notANumber, Field::Txt2);
    if (!RefDataValues::isPlainNumber(f.Txt4, true))
        return refuse(RefDataMessages::notANumber, Field::Txt4);
    if (!RefDataValues::isPlainNumber(f.Txt5, true))
        return refuse(RefDataMessages::notANumber, Field::Txt5);
    const double testcode = Numbers::toNumber(f.Txt0);
    // "By sex" with neither sex ticked stores an empty text, not a null.
    QString sex(0, QChar());
    if (f.option1)
        sex = QStringLiteral("Male");
    else if (f.option2)
        sex = QStringLiteral("Female");
    else if (kind == RangeKind::ForAll || kind == RangeKind::ByAge)
        sex = QStringLiteral("All");
    const SqlRun::Columns columns{
        {QStringLiteral("testsimp"), SqlRun::textOrNull(f.Comb1)},
        {QStringLiteral("testcode"), RefDataValues::number(testcode)},
        {QStringLiteral("sex"), QVariant(sex)},
        {QStringLiteral("firstold"), RefDataValues::number(Numbers::toNumber(f.Txt1))},
        {QStringLiteral("secondold"), RefDataValues::number(Numbers::toNumber(f.Txt2))},
        {QStringLiteral("ageunit"), SqlRun::textOrNull(f.Comb3)},
        {QStringLiteral("normalrang"), SqlRun::textOrNull(f.Txt3)},
        {QStringLiteral("testunit"), SqlRun::textOrNull(f.Comb2)},
        {QStringLiteral("lowlimit"), limit(f.Txt4)},
        {QStringLiteral("highlimit"), limit(f.Txt5)},
        {QStringLiteral("nolowexe"), SqlRun::textOrNull(f.Comb4)},
        {QStringLiteral("nohighexe"), SqlRun::textOrNull(f.Comb5)},
        {QStringLiteral("lowcomment"), SqlRun::textOrNull(f.Txt6)},
        {QStringLiteral("highcomment"), SqlRun::textOrNull(f.Txt7)},
        {QStringLiteral("REFRANGE"), RangeKinds::stored(kind)},
        {QStringLiteral("pregsmok"), f.Check1 ? QStringLiteral("1") : QStringLiteral("0")},
    };
    if (const auto refused = RefDataRules::checkRange(columns))
        return refuse(refused->message, fieldFor(refused->column));

    const QSqlDatabase db = m_db.open();
    if (!db.isOpen())
        return {};
    const qint64 id = static_cast<qint64>(Numbers::toNumber(f.normid));
    QSqlError error;
    const bool exists =
        !f.normid.isEmpty() &&
        SqlRun::first(db, QStringLiteral("SELECT normalid FROM normalrange where normalid= ?"), {id}, &error)
            .has_value();
    if (error.isValid())
        return m_db.saveFailed(error), Outcome{};
    if (exists) {
        const SqlRun::Outcome done =
            SqlRun::update(db, QStringLiteral("normalrange"), columns, QStringLiteral("normalid= ?"), {id});
        if (!done)
            return m_db.saveFailed(done.error), Outcome{};
        return {true, Field::None, id};
    }
    const SqlRun::Outcome added = SqlRun::insert(db, QStringLiteral("normalrange"), columns);
    if (!added)
        return m_db.saveFailed(added.error), Outcome{};
    return {true, Field::None, added.lastInsertId.toLongLong()};
}

bool ReferenceRanges::remove(const RangeFields& fields)
{
    if (!mayChange(fields))
        return false;
    const DialogAnswer answer =
        m_db.dialogs().show({DialogIcon::Warning, DialogButtons::OkCancel, RefDataMessages::deleteTitle,
                             RefDataMessages::deleteRangeQuestion});
    if (answer != DialogAnswer::Ok)
        return false;
    const QSqlDatabase db = m_db.open();
    if (!db.isOpen())
        return false;
    const SqlRun::Outcome done = SqlRun::exec(db, QStringLiteral("DELETE FROM normalrange where normalid= ?"),
                                              {static_cast<qint64>(Numbers::toNumber(fields.normid))});
    if (!done)
        return m_db.deleteFailed(done.error);
    return true;
}
