#pragma once

#include "db/Dialect.h"
#include "link/ChainValues.h"
#include "link/CurrentResult.h"

#include <QDate>
#include <QSqlRecord>
#include <QString>

// Finding the LIS patient of a sample: which part of the LIS patient identifier the sample
// identifier stands for (the identifier mode `IDdigitsNo`), the patient's fields, and the
// pregnancy/smoking state. Pure functions; the database step runs the query.
namespace PatientMatch {

// The look-up for `sampleId` in identifier mode `mode`, written in the LIS's dialect; empty when
// the mode and the identifier's length do not fit (13: 12 characters, 10: 10, 4: 4 and today's
// requests only).
BoundQuery patientQuery(int mode, const QString& sampleId, const Dialect& lis, const QDate& today);

// Takes the patient from the first row found: the LIS patient identifier always, the other
// columns when they are not null.
void takePatientRow(const QSqlRecord& row, CurrentResult& record);

// 1 when the 9th character of `moreinfo` reads as 1 and the 10th as 0 (a missing one reads 0).
int pregnancyState(const QString& moreinfo);

} // namespace PatientMatch
