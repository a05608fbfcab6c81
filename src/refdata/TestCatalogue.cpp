#include "refdata/TestCatalogue.h"

#include "common/Numbers.h"
#include "core/AppContext.h"
#include "refdata/RefDataMessages.h"
#include "refdata/RefDataRules.h"
#include "refdata/RefDataValues.h"

#include <QFileInfo>

namespace {
const QString kOrder = QStringLiteral("  order By arrangnum asc, testcode asc  ");

TestCatalogue::Field fieldFor(const QString& column)
{
    if (column == u"testsimp")
        return TestCatalogue::Field::Txt1;
    if (column == u"crvtestid")
        return TestCatalogue::Field::Txt_testcode;
    if (column == u"shortAssay")
        return TestCatalogue::Field::Txt_shortAssay;
    if (column == u"correctfactors")
        return TestCatalogue::Field::Txt_correctfactors;
    if (column == u"arrangnum")
        return TestCatalogue::Field::Txt9;
    return TestCatalogue::Field::None;
}
} // namespace

TestCatalogue::Outcome TestCatalogue::refuse(const QString& text, Field focus)
{
    m_db.dialogs().warning(RefDataMessages::title, text);
    return {false, focus, 0};
}

SqlRun::Rows TestCatalogue::list(const QString& name, const QString& subgroup)
{
    if (!QFileInfo::exists(m_db.context().installFolder().settingsIni()))
        return {};
    const QSqlDatabase db = m_db.open();
    if (!db.isOpen())
        return {};
    QString sql = QStringLiteral("Select * from testtable where testsimp <> '' ");
    QVariantList values;
    if (!name.isEmpty()) {
        sql += QStringLiteral(" and testsimp like ?") + RefDataValues::likeEscape;
        values << RefDataValues::likeAnywhere(name);
    }
    // A test without a subgroup stays in the list until a subgroup is typed.
    if (!subgroup.isEmpty()) {
        sql += QStringLiteral(" and subgroupname like ?") + RefDataValues::likeEscape;
        values << RefDataValues::likeAnywhere(subgroup);
    }
    return SqlRun::select(db, sql + kOrder, values);
}

SqlRun::Rows TestCatalogue::listByAssay(const QString& prefix)
{
    const QSqlDatabase db = m_db.open();
    if (!db.isOpen())
        return {};
    return SqlRun::select(db,
                          QStringLiteral("Select * from testtable where shortAssay like ?") +
                              RefDataValues::likeEscape + QStringLiteral("  order By shortAssay  "),
                          {RefDataValues::likePrefix(prefix)});
}

QString TestCatalogue::countText(qsizetype rows)
{
    return RefDataMessages::countTestsPrefix + QString::number(rows) + RefDataMessages::countTestsSuffix;
}

QStringList TestCatalogue::subgroups()
{
    const QSqlDatabase db = m_db.open();
    if (!db.isOpen())
        return {};
    QStringList names;
    const SqlRun::Rows rows = SqlRun::select(
        db,
        QStringLiteral("SELECT DISTINCT subgroupname FROM testtable where subgroupname <> '' order by subgroupname"));
    for (const QSqlRecord& r : rows.records)
        names << r.value(0).toString();
    return names;
}

std::optional<CatalogueFields> TestCatalogue::load(qint64 testcode)
{
    const QSqlDatabase db = m_db.open();
    if (!db.isOpen())
        return std::nullopt;
    const auto row = SqlRun::first(db, QStringLiteral("SELECT * FROM testtable where testcode=?"), {testcode});
    if (!row)
        return std::nullopt;
    using RefDataValues::text;
    CatalogueFields f;
    f.Txt0 = text(row->value(QStringLiteral("testcode")));
    f.Txt1 = text(row->value(QStringLiteral("testsimp")));
    f.Txt_testcode = text(row->value(QStringLiteral("crvtestid")));
    f.Txt_shortAssay = text(row->value(QStringLiteral("shortAssay")));
    f.Txt_correctfactors = text(row->value(QStringLiteral("correctfactors")), QStringLiteral("1"));
    f.Txt2 = text(row->value(QStringLiteral("testabrev")));
    f.CmbREFRANGE = RangeKinds::text(RangeKinds::fromStored(row->value(QStringLiteral("REFRANGE"))));
    f.Txt9 = text(row->value(QStringLiteral("arrangnum")), QStringLiteral("0"));
    f.Comb4 = text(row->value(QStringLiteral("subgroupname")));
    // "True" as the column's text, or a true Boolean as the embedded database keeps it.
    const QVariant active = row->value(QStringLiteral("active"));
    f.Check1 = active.toString().compare(QLatin1String("True"), Qt::CaseInsensitive) == 0 ||
               (!active.isNull() && Numbers::toNumber(active.toString()) != 0);
    return f;
}

bool TestCatalogue::mayEdit(const CatalogueFields& fields)
{
    if (!fields.Txt0.isEmpty())
        return true;
    m_db.dialogs().warning(RefDataMessages::title, RefDataMessages::chooseTestFirst);
    return false;
}

TestCatalogue::Outcome TestCatalogue::save(const CatalogueFields& typed)
{
    const QString name = typed.Txt1.trimmed();
    // An assay code is matched exactly as the analyser sends it: blanks around it never match.
    const QString assay = typed.Txt_shortAssay.trimmed();
    if (name.isEmpty())
        return refuse(RefDataMessages::testNameEmpty, Field::Txt1);
    if (!RefDataValues::isPlainNumber(typed.Txt_testcode, false))
        return refuse(RefDataMessages::notANumber, Field::Txt_testcode);
    if (!RefDataValues::isPlainNumber(typed.Txt_correctfactors, true))
        return refuse(RefDataMessages::notANumber, Field::Txt_correctfactors);
    if (!RefDataValues::isPlainNumber(typed.Txt9, false))
        return refuse(RefDataMessages::notANumber, Field::Txt9);

    const qint64 code = static_cast<qint64>(Numbers::toNumber(typed.Txt0));
    const double lisCode = Numbers::toNumber(typed.Txt_testcode);
    const SqlRun::Columns columns{
        {QStringLiteral("testsimp"), name},
        {QStringLiteral("crvtestid"), lisCode == 0 ? SqlRun::nullNumber() : RefDataValues::number(lisCode)},
        {QStringLiteral("shortAssay"), SqlRun::textOrNull(assay)},
        {QStringLiteral("correctfactors"), typed.Txt_correctfactors.isEmpty()
                                               ? SqlRun::nullNumber()
                                               : RefDataValues::number(Numbers::toNumber(typed.Txt_correctfactors))},
        {QStringLiteral("testabrev"), SqlRun::textOrNull(typed.Txt2)},
        {QStringLiteral("REFRANGE"), RangeKinds::stored(RangeKinds::fromText(typed.CmbREFRANGE))},
        {QStringLiteral("arrangnum"),
         typed.Txt9.isEmpty() ? QVariant(9999) : RefDataValues::number(Numbers::toNumber(typed.Txt9))},
        {QStringLiteral("subgroupname"), SqlRun::textOrNull(typed.Comb4)},
        {QStringLiteral("active"), typed.Check1},
    };

    const QSqlDatabase db = m_db.open();
    if (!db.isOpen())
        return {};
    QSqlError lookup;
    SqlRun::Columns checked = columns;
    checked.append({QStringLiteral("testcode"), code});
    const auto refused =
        RefDataRules::checkTest(checked, [&db, &lookup](const QString& other, qint64 own) -> std::optional<QString> {
            const auto row =
                SqlRun::first(db, QStringLiteral("SELECT testsimp FROM testtable where shortAssay=? and testcode<>?"),
                              {other, own}, &lookup);
            return row ? std::optional<QString>(row->value(0).toString()) : std::nullopt;
        });
    if (lookup.isValid())
        return m_db.saveFailed(lookup), Outcome{};
    if (refused)
        return refuse(refused->message, fieldFor(refused->column));

    QSqlError error;
    const bool exists =
        !typed.Txt0.isEmpty() &&
        SqlRun::first(db, QStringLiteral("SELECT testcode FROM testtable where testcode= ?"), {code}, &error)
            .has_value();
    if (error.isValid())
        return m_db.saveFailed(error), Outcome{};
    if (exists) {
        const SqlRun::Outcome done =
            SqlRun::update(db, QStringLiteral("testtable"), columns, QStringLiteral("testcode= ?"), {code});
        if (!done)
            return m_db.saveFailed(done.error), Outcome{};
        return {true, Field::None, code};
    }
    // A new test, or one deleted meanwhile at another station: it is added, so nothing typed is lost.
    const SqlRun::Outcome added = SqlRun::insert(db, QStringLiteral("testtable"), columns);
    if (!added)
        return m_db.saveFailed(added.error), Outcome{};
    return {true, Field::None, added.lastInsertId.toLongLong()};
}

bool TestCatalogue::remove(const CatalogueFields& fields)
{
    if (!mayEdit(fields))
        return false;
    const DialogAnswer answer =
        m_db.dialogs().show({DialogIcon::Warning, DialogButtons::OkCancel, RefDataMessages::deleteTitle,
                             RefDataMessages::deleteTestQuestion});
    if (answer != DialogAnswer::Ok)
        return false;
    const QSqlDatabase db = m_db.open();
    if (!db.isOpen())
        return false;
    const SqlRun::Outcome done = SqlRun::exec(db, QStringLiteral("DELETE FROM testtable where testcode= ?"),
                                              {static_cast<qint64>(Numbers::toNumber(fields.Txt0))});
    if (!done)
        return m_db.deleteFailed(done.error);
    return true;
}

std::optional<RangeOpening> TestCatalogue::rangesFor(const CatalogueFields& fields)
{
    if (!mayEdit(fields))
        return std::nullopt;
    return RangeOpening{static_cast<qint64>(Numbers::toNumber(fields.Txt0)), fields.Txt1,
                        RangeKinds::fromText(fields.CmbREFRANGE)};
}
