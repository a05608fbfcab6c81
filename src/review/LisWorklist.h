#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

class AppContext;

// The LIS worklist of a request date: one row per patient and requested active VIDAS test. The
// main window adds from it; the result editor takes a row's patient over. Every value is bound.
namespace LisWorklist {

// The active VIDAS tests of the catalogue: their LIS codes for the worklist filter
// (ActiveTestCodes, "0" when there is none) and their short names for a manual sample.
struct ActiveTests
{
    QString codes;
    QList<qint64> codeList;
    QStringList assays;
};

// A row of the LIS worklist (DGd_patientname), one per patient and requested active test.
struct WorklistRow
{
    QString patientId, patientName, sex, age, ageUnit, testName, referredBy;
    QDate requestDate;
    QString timeIn, patientSefa, referredBySefa;
    qint64 testCode = 0;
    QString moreInfo;

    // The grid's thirteen columns as shown.
    QStringList columns() const;
};

struct Worklist
{
    bool ok = false;
    QList<WorklistRow> rows;
};

// Builds context.ActiveTestCodes and returns the active tests.
ActiveTests loadActiveTests(AppContext& context);

// The LIS worklist of a request date for the active test codes; `ok` false when the LIS could not
// be opened or the statement failed (the opener has shown its message).
Worklist loadLisWorklist(AppContext& context, const QDate& requestDate, const QList<qint64>& activeCodes);

} // namespace LisWorklist
