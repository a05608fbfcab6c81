#pragma once

#include <QSqlDatabase>
#include <QSqlError>

// Tells a database error that goes away by itself (a lock held by another program, a server or
// file that cannot be reached right now) from one that a retry will not mend (a statement the
// database refuses). The receive chain retries the first kind for as long as it takes.
namespace DbErrors {

bool isTransient(const QSqlError& error);

// A statement the database refuses for its values, whatever the moment: a constraint (unique,
// not null, check, foreign key), a value too big or of the wrong kind. Sent again, the same record
// is refused again; any other error (a table away or renamed, a lock, a protocol error) may pass.
bool isRefusal(const QSqlError& error);

// The error of a statement run on `db`. Qt's SQLite driver reports every statement that fails
// while it steps (a constraint, a type mismatch, a lock) as a connection error; on a connection
// that is open it is the statement's, and its result code tells a lock from a refusal.
QSqlError ofStatement(const QSqlDatabase& db, const QSqlError& error);

} // namespace DbErrors
