#pragma once

#include "db/SqlRun.h"
#include "refdata/RangeKinds.h"
#include "refdata/RefDataDb.h"

#include <QString>
#include <QStringList>
#include <optional>

class AppContext;

// The fields of the range editor, as texts the way they are shown.
struct RangeFields
{
    QString normid;       // normalid; empty for a new range
    QString Comb1;        // testsimp
    QString Txt0;         // testcode
    bool option1 = false; // Male
    bool option2 = false; // Female
    QString Txt1;         // firstold
    QString Txt2;         // secondold
    QString Comb3;        // ageunit
    QString Txt3;         // normalrang
    QString Comb2;        // testunit
    QString Txt4;         // lowlimit
    QString Txt5;         // highlimit
    QString Comb4;        // nolowexe
    QString Comb5;        // nohighexe
    QString Txt6;         // lowcomment
    QString Txt7;         // highcomment
    bool Check1 = false;  // pregsmok
};

// The rules of the reference-range editor (Form2) over `normalrange`, for one test of the catalogue
// and the range kind the catalogue gives it.
class ReferenceRanges
{
public:
    enum class Field
    {
        None,
        Txt1,
        Txt2,
        Comb3,
        Txt4,
        Txt5
    };

    struct Outcome
    {
        bool done = false;
        Field focus = Field::None;
        qint64 normalid = 0; // the row saved
    };

    explicit ReferenceRanges(AppContext& context) : m_db(context, 2) {}

    // The lists of the unit, age-unit and flag boxes.
    static const QStringList& units();
    static const QStringList& ageUnits();
    static const QStringList& lowFlags();
    static const QStringList& highFlags();

    // The test's ranges by age unit, upper age and sex.
    SqlRun::Rows list(qint64 testcode);
    static QString countText(qsizetype rows);

    // A row chosen in the list, with what `kind` switches off cleared.
    std::optional<RangeFields> load(qint64 normalid, RangeKind kind);
    // Empties the fields the range kind does not use.
    static void clearUnused(RangeFields& fields, RangeKind kind);

    // cmd_edit and cmd_del need a loaded range.
    bool mayChange(const RangeFields& fields);
    Outcome save(const RangeFields& fields, RangeKind kind);
    // Asks first; true when the range was deleted.
    bool remove(const RangeFields& fields);

private:
    Outcome refuse(const QString& text, Field focus);

    RefDataDb m_db;
};
