#pragma once

#include "link/Flagging.h"
#include "review/RowVersion.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

class AppContext;
struct CurrentUser;

// The result editor's work without the window: the edited row's fields under the editor's own
// names, loading them by AutoNum, the catalogue and range look-ups, the re-flagging (the receive
// chain's flag rules), the checks, the look-ups of past results and the save with its change
// history and its write into the LIS.
namespace ResultEdit {

struct Fields
{
    qint64 Txt_AUTOID = 0;
    QString LblSampID, LblPatID, Cmb_patientsefa, LblPatName, Cmb_sex, LblAgeN, Cmb_AgeU, Cmb_drsefa, LblDocName;
    QDate DTPicker_testdate;
    QString LblTestTime;
    bool Chk_pregsmok = false;
    QString Txt_TEST_C, Txt_shortAssay, Txt_CODE, Txt_CRVTESTCODE, Txt_REFRANGE, Txt_testabrev, Txt_subgroupname;
    QString Txt_TEST_R, Txt_TEST_U, Txt_TEST_F, Txt_TEST_N;
    QString Txt_TEST_min, Txt_TEST_max, Txt_TEST_minEX, Txt_TEST_maxEX;
    // What the last range look-up found.
    QString Txt_TESTUNIT, Txt_TESTNOTRMAL, Txt_LOWCOMMENT, Txt_HIGHCOMMENT;
    QString txt_comment;
    // Which analyser measured it (id and serial number); shown, never edited or saved.
    QString Txt_instrument;

    // The row as it was read: Save writes only over that very row.
    RowVersion::Version version;
    // The range comments of the test: a comment that is one of them was set by the flag, and
    // goes when the flag changes.
    QStringList autoComments;
};

enum class LoadOutcome
{
    Loaded,
    Gone, // no such row (deleted at another station)
    Failed,
};

// Reads the Result row `autoNum` into `fields` (only the columns that are not null).
LoadOutcome load(AppContext& context, qint64 autoNum, Fields& fields);

// A test name beginning with ">" marks an assay that matched several catalogue rows.
bool isAmbiguous(const QString& testName);
// The catalogue's test names of the short assay (Cmb_Assyname).
QStringList assayChoices(AppContext& context, const QString& shortAssay);
// Takes the catalogue row of the test name (Cmb_Assyname's choice); false when there is none.
bool takeCatalogueTest(AppContext& context, const QString& testName, Fields& fields);
// Takes the catalogue row of the LIS test code Txt_CRVTESTCODE (after a take-over).
bool takeCatalogueOfLisCode(AppContext& context, Fields& fields);

// The range look-up: empties the eight range fields and, with a sex, an age and an age unit,
// fills them from the first fitting `normalrange` row (the receive chain's query); then the shown
// range text and unit follow it. False when the statement failed.
bool lookUpRange(AppContext& context, Fields& fields);

// Re-flags the value Txt_TEST_R: sets Txt_TEST_F (and, with `autoComment`, txt_comment) and says
// how the value is shown. The editor's own first rules (no value or no limits: no flag; a text
// that is not a number: " *"), then the receive chain's. When the flag changes, a comment that the
// flag had set (one of the test's range comments) is renewed: it gives way to the new flag's
// comment, or to none; a comment the user wrote stays.
Flagging::Shade reflag(Fields& fields, bool autoComment);

// Whether the user may change what re-runs the range look-up (sex, age, age unit, Pregnant):
// those change the flag, so they need the result grant as well as the patient grant.
bool mayChangeRangeFields(const CurrentUser& user);
// Whether a change of those fields looks the range up again for this user.
bool mayLookUpRangeAgain(const CurrentUser& user);

// The pregnancy state of a LIS patient's `moreinfo`, by the receive chain's rule.
bool pregnantByLis(const QString& moreinfo);

// The age check of Save: false for age 0 with a unit, 30 or more days, 12 or more months, or
// 121 or more years.
bool ageAccepted(const QString& ageText, const QString& unit);

// The comment library's comments of the test code.
QStringList libraryComments(AppContext& context, const QString& testCode);

// Up to 25 past patient (or doctor) names beginning with `prefix`; none for a text that is only a
// blank, a quote or a question mark.
QStringList nameSuggestions(AppContext& context, const QString& prefix);
QStringList doctorSuggestions(AppContext& context, const QString& prefix);
// Fills the patient fields from the latest result of that name; false when there is none.
bool takePastPatient(AppContext& context, const QString& name, Fields& fields);
// Fills the doctor and the doctor's title from the last result of that doctor.
bool takePastDoctor(AppContext& context, const QString& name, Fields& fields);
// The number of results stored under exactly this patient name ("0" for an empty name).
int visits(AppContext& context, const QString& name);

enum class SaveState
{
    Saved,
    Gone,     // the row was deleted at another station: nothing was written
    Failed,   // the interface database refused (or stayed locked): nothing was written
    Conflict, // the row changed since it was read: nothing was written (see `changes`)
};

enum class LisState
{
    NotSent, // not to be written (settings, patient ID or test code)
    Queued,  // in the outbox: the program's sender writes it into the patient's request
};

struct SaveOutcome
{
    SaveState state = SaveState::Failed;
    QString error;
    int changedColumns = 0;
    LisState lis = LisState::NotSent;
    qint64 outboxId = 0;
    // What changed since the row was read (Conflict), with who and when.
    QList<RowVersion::Change> changes;
};

// How long Save waits for another program's lock on the embedded interface database before it
// gives up with nothing written (the window must not freeze on a lock).
inline constexpr int kSaveLockWaitMs = 80;

// Save: when the row is still as it was read, writes it (with the user as editedby), its change
// history and, when the result is to go to the LIS, its outbox entry with a "queued" history line,
// in one transaction. The LIS itself is not touched here: the program's outbox sender writes the
// entry. A result without LIS test code takes the catalogue's code of its test. `now` is the
// moment of the save.
SaveOutcome save(AppContext& context, const Fields& fields, const QDateTime& now);

// After a conflict: the row as it is now, with what the user typed over what had been read kept
// on top of it, and the new version, for a second, informed Save.
Fields mergeTyped(const Fields& loaded, const Fields& typed, const Fields& fresh);

} // namespace ResultEdit
