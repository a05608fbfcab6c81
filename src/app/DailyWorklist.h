#pragma once

#include "core/ResultSelection.h"
#include "review/LisWorklist.h"
#include "review/RowVersion.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

class AppContext;

// The main window's work without the window: the day's patients, the result view of the rows
// that ResultCriteria selects, the LIS worklist of a request date, adding a worklist test or
// patient or a blank sample, and deleting a result. Every value is bound.
namespace DailyWorklist {

// A row of the patient list (MSFG_Patient).
struct DayPatient
{
    QString patientId;
    QString name;
    QDate testDate;
};

// The patient header above the result grid, from the first selected row.
struct ResultHeader
{
    QString sampleId, patientId, patientSefa, patientName, drSefa, docName, sex, ageN, ageU;
    QString testDate; // "dd-MMM-yyyy"
    QString testTime; // "hh:nn AM/PM"
    bool pregnant = false;
};

// A row of the result grid (MSFlexGrid1).
struct ResultLine
{
    QString test, value, unit, flag, range;
    qint64 autoNum = 0;
    QString sampleId;
    RowVersion::Version version; // the row as shown, for Delete
};

struct ResultView
{
    bool ok = false;
    ResultHeader header;
    QList<ResultLine> lines;
};

// The LIS worklist query lives with the result editor, which shows the same worklist.
using LisWorklist::ActiveTests;
using LisWorklist::loadActiveTests;
using LisWorklist::loadLisWorklist;
using LisWorklist::Worklist;
using LisWorklist::WorklistRow;

enum class AddOutcome
{
    Added,
    AlreadyAdded,
    Failed,
};

enum class DeleteOutcome
{
    Deleted,
    Gone,    // no such row any more (deleted elsewhere since it was shown)
    Changed, // the row changed since it was shown: nothing was deleted
    Failed,
};

// The patients with Result rows on `day`, newest first.
QList<DayPatient> patientsOfDay(AppContext& context, const QDate& day, bool* ok = nullptr);

// LoadResultView's reading: the rows context.ResultCriteria selects, in the order they were stored.
ResultView loadResultView(AppContext& context);

// Adds the row's test for its patient (refused when the patient already has that test).
AddOutcome addTest(AppContext& context, const WorklistRow& row);
// Adds the row's patient without a test (refused when the patient has any row).
AddOutcome addPatient(AppContext& context, const WorklistRow& row);
// Adds a blank sample named "NEW" for today, with the chosen assay's catalogue data when
// `assay` is not empty. Returns the new row's AutoNum, or 0 on failure.
qint64 newSample(AppContext& context, const QString& assay);

// Deletes the row `autoNum` when it is still as `shown` (an empty version deletes it as it is);
// otherwise says what changed, who and when, in `changes`.
DeleteOutcome deleteResult(AppContext& context, qint64 autoNum, const RowVersion::Version& shown = {},
                           QList<RowVersion::Change>* changes = nullptr);

// The value cell's text colour (24-bit, red in the low byte): dark red when flagged against a
// range, green when unflagged inside a range (the window's own text colour, neutralColour, when
// that value is not a number), blue otherwise.
inline constexpr int neutralColour = -1;
int valueColour(const QString& value, const QString& flag, const QString& range);

// A mark that changes whenever a result is stored or added (the receiver's journal and the
// Result table), read on the main window's open connection only; nothing when that is closed.
QVariant changeMark(AppContext& context);

} // namespace DailyWorklist
