#pragma once

#include "db/SqlRun.h"
#include "refdata/RangeKinds.h"
#include "refdata/RefDataDb.h"

#include <QString>
#include <optional>

class AppContext;

// The fields of the catalogue window, as texts the way they are shown.
struct CatalogueFields
{
    QString Txt0;               // testcode; empty for a new test
    QString Txt1;               // testsimp
    QString Txt_testcode;       // crvtestid
    QString Txt_shortAssay;     // shortAssay
    QString Txt_correctfactors; // correctfactors
    QString Txt2;               // testabrev
    QString CmbREFRANGE;        // range kind text
    QString Txt9;               // arrangnum
    QString Comb4;              // subgroupname
    bool Check1 = false;        // Active
};

// What the range editor opens with: the catalogue's current test.
struct RangeOpening
{
    qint64 testcode = 0;
    QString testName;
    RangeKind kind = RangeKind::BySexAndAge;
};

// The rules of the catalogue window (Frm_correctfactors) over `testtable`: its lists and searches,
// loading a row, saving with its checks, deleting, and the way to the range editor.
class TestCatalogue
{
public:
    enum class Field
    {
        None,
        Txt1,
        Txt_testcode,
        Txt_shortAssay,
        Txt_correctfactors,
        Txt9
    };

    struct Outcome
    {
        bool done = false;
        Field focus = Field::None;
        qint64 testcode = 0; // the row saved
    };

    explicit TestCatalogue(AppContext& context) : m_db(context, 3) {}

    // The catalogue, without rows that have no name, by display order; `name` and `subgroup` (when
    // not empty) must stand anywhere in the name and the subgroup. Nothing without the settings file.
    SqlRun::Rows list(const QString& name = {}, const QString& subgroup = {});
    // Rows whose assay code starts with `prefix`, by assay code.
    SqlRun::Rows listByAssay(const QString& prefix);
    static QString countText(qsizetype rows);
    // The subgroups in use, for the subgroup box's list.
    QStringList subgroups();

    std::optional<CatalogueFields> load(qint64 testcode);

    // cmd_edit, cmd_resultopt and cmd_del need a loaded test.
    bool mayEdit(const CatalogueFields& fields);
    Outcome save(const CatalogueFields& fields);
    // Asks first; true when the test was deleted. Its reference ranges stay where they are: the
    // result editor still finds them for the results already stored under its code, and a new
    // test never gets the code again.
    bool remove(const CatalogueFields& fields);
    // cmd_resultopt: the test the range editor opens with.
    std::optional<RangeOpening> rangesFor(const CatalogueFields& fields);

private:
    Outcome refuse(const QString& text, Field focus);

    RefDataDb m_db;
};
