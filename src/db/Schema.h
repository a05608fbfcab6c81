#pragma once

#include "db/Dialect.h"

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// The interface database's tables, created and brought up to date by ordered migrations. The
// scripts live in db/schema/ (compiled into the program); the version is kept in `schemaversion`.
namespace Schema {

struct Migration
{
    int version = 0;
    QString sql; // statements separated by ";"
};

struct Outcome
{
    bool ok = false;
    int fromVersion = 0;
    int toVersion = 0;
    QString error;

    explicit operator bool() const { return ok; }
};

// A script compiled into the program, by file name ("interface-sqlite-001.sql"); empty if unknown.
QString script(const QString& fileName);

// The statements of a script: split at ";" outside quotes, comments dropped.
QStringList statements(const QString& script);

// The interface database's migrations for an engine (SQL Server or SQLite), oldest first.
QList<Migration> interfaceMigrations(SqlEngine engine);
int latestInterfaceVersion();

// Brings `db` to the last version of `steps` in one transaction: an empty database is created, one
// at an older version migrated, one at the last version left alone. A database made before
// versions were kept (it has a `markerTable` but no `schemaversion`) counts as version 1. Refused,
// with nothing written: a newer version than `steps` knows, a database holding other tables, any
// failing statement, and a database that lacks a table the steps create (named in the error).
Outcome migrate(QSqlDatabase& db, SqlEngine engine, const QList<Migration>& steps,
                const QString& markerTable = QStringLiteral("Result"));

// The interface database at the latest version.
Outcome ensureInterface(QSqlDatabase& db, SqlEngine engine);

// Runs every statement of a script in one transaction; nothing stays when one fails.
Outcome runScript(QSqlDatabase& db, SqlEngine engine, const QString& script);

} // namespace Schema
