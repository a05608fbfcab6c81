#pragma once

#include "db/Dialect.h"

#include <QSqlDatabase>
#include <QSqlError>

// A transaction on one connection. SQLite takes the write lock at the start (BEGIN IMMEDIATE), so
// that a locked database is found before any work and two programs creating or changing the same
// file never both go ahead; the other engines use the driver's own transaction.
namespace SqlTransaction {

bool begin(const QSqlDatabase& db, SqlEngine engine, QSqlError* error = nullptr);
bool commit(const QSqlDatabase& db, SqlEngine engine, QSqlError* error = nullptr);
void rollback(const QSqlDatabase& db, SqlEngine engine);

} // namespace SqlTransaction
