#pragma once

#include <QString>

// The PostgreSQL server the tests run on when CORVANA_TEST_ENGINE=postgresql: the one the test
// command started (its socket folder in CORVANA_PG_SOCKET), or else a sandbox this process starts
// with scripts/pg-sandbox.sh and stops when it ends. Every test gets databases of its own.
namespace PgSandbox {

// Whether this run's tests use PostgreSQL instead of SQLite files.
bool inUse();

// The socket folder of a running server; empty, with the reason, when none can be had (no
// PostgreSQL binaries installed, the sandbox did not start).
QString socketFolder(QString* error);

// The owner role of the sandbox's databases (no password over the socket).
inline const QString role = QStringLiteral("corvana");

// A new, empty database with a name of its own; empty, with the reason, on failure.
QString createDatabase(QString* error);
// Runs one statement on the server's maintenance database (as the owner role).
bool admin(const QString& sql, QString* error = nullptr);
// Drops a database made above; nothing when it is gone.
void dropDatabase(const QString& name);

} // namespace PgSandbox
