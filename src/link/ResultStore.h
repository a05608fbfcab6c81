#pragma once

#include "db/Dialect.h"
#include "db/SqlRun.h"
#include "link/ChainValues.h"
#include "link/CurrentResult.h"

#include <QDateTime>

// The rules of storing a result in the interface table `Result`: which stored row a result
// replaces, and the columns it writes. Pure functions; the database step runs them.
namespace ResultStore {

// The stored row a result with a sample identifier replaces. With a 13-character patient
// identifier: today's row of the same sample number and assay (the sample identifier is compared
// as a number, so "0042" and "42" are one sample); otherwise today's row of the same patient
// identifier and assay.
BoundQuery duplicateQuery(const CurrentResult& record, const QDate& today, const Dialect& iface);

// The name a result without sample identifier is filed under: the assay, three blanks, the time.
QString noSampleName(const CurrentResult& record);
// The stored row such a result replaces: today's row of the same name, result text and assay.
BoundQuery duplicateQueryNoSample(const CurrentResult& record, const QDate& today);

// The columns of the row, in the order they are written; `now` is the moment of storage.
SqlRun::Columns resultColumns(const CurrentResult& record, const QDateTime& now);

// The instrument as shown: "id sn", either alone when the other is missing.
QString instrumentText(const QString& id, const QString& serialNo);

} // namespace ResultStore
