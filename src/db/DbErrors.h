#pragma once

#include <QSqlError>

// Tells a database error that goes away by itself (a lock held by another program, a server or
// file that cannot be reached right now) from one that a retry will not mend (a statement the
// database refuses). The receive chain retries the first kind for as long as it takes.
namespace DbErrors {

bool isTransient(const QSqlError& error);

} // namespace DbErrors
