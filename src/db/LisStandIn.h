#pragma once

#include "db/Dialect.h"

#include <QDate>
#include <QSqlDatabase>
#include <QString>

// The LIS database's stand-in on SQLite, for the demo and the tests only. The program proper never
// creates or changes LIS tables; only the demo set-up and the test fixture call this.
namespace LisStandIn {

// Makes `file` a stand-in: creates the file and the patientinfo/patienttest tables when they are
// missing, leaves an existing stand-in as it is, and refuses a database that holds other tables.
bool ensure(const QString& file, QString* error = nullptr);
// The same on an open database of `engine` (SQLite or PostgreSQL).
bool ensureOn(QSqlDatabase& db, SqlEngine engine, QString* error = nullptr);

// Puts the demo requests into an open stand-in: four patients requested on `today` with VIDAS
// tests whose LIS codes match the demo catalogue. Earlier demo rows are replaced, results cleared.
bool addDemoRequests(const QSqlDatabase& lis, const QDate& today, QString* error = nullptr);

// The demo patients' identifiers: the first twelve characters are the sample identifiers of the
// analyser captures in tests/data/samples.
QStringList demoPatientIds();

} // namespace LisStandIn
