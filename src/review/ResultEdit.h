#pragma once

#include "link/Flagging.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

class AppContext;

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
// that is not a number: " *"), then the receive chain's.
Flagging::Shade reflag(Fields& fields, bool autoComment);

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
    Gone,   // the row was deleted at another station: nothing was written
    Failed, // the interface database refused: nothing was written
};

enum class LisState
{
    NotSent,   // not to be written (settings, patient ID or test code)
    Written,   // written into the patient's request
    NoRequest, // the LIS has no request of that patient and test
    Queued,    // the LIS could not be reached or was locked: the sender writes it later
};

struct SaveOutcome
{
    SaveState state = SaveState::Failed;
    QString error;
    int changedColumns = 0;
    LisState lis = LisState::NotSent;
    QString lisReason;
};

// Save: writes the row (with the user as editedby), its change history and, when the result is to
// go to the LIS, its outbox entry in one transaction; then delivers that entry at once on the
// editor's own connections. `now` is the moment of the save.
SaveOutcome save(AppContext& context, const Fields& fields, const QDateTime& now);

} // namespace ResultEdit
