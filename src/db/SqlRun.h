#pragma once

#include <QDate>
#include <QList>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlRecord>
#include <QString>
#include <QVariant>
#include <optional>
#include <utility>

// Small helpers to run one statement with bound values on a connection from `Databases`.
// Placeholders are "?" in the order of `values`. Bind a QDate for a date column (SQLite stores it
// as yyyy-MM-dd text, so ranges and ordering work), a bool for a Boolean column, and one of the
// typed nulls below for a null.
namespace SqlRun {

struct Outcome
{
    bool ok = false;
    QSqlError error;
    int rowsAffected = -1;
    QVariant lastInsertId; // when the driver reports it (SQLite, SQL Server)

    explicit operator bool() const { return ok; }
    QString errorText() const { return error.text(); }
};

struct Rows
{
    bool ok = false;
    QSqlError error;
    QList<QSqlRecord> records;

    explicit operator bool() const { return ok; }
    bool isEmpty() const { return records.isEmpty(); }
    QString errorText() const { return error.text(); }
};

// Runs a statement that returns no rows (DELETE, INSERT, UPDATE, DDL).
Outcome exec(const QSqlDatabase& db, const QString& sql, const QVariantList& values = {});

// Runs a query and reads every row before returning, so that no statement stays open on the
// connection (an open SQLite read would keep an old snapshot of the file).
Rows select(const QSqlDatabase& db, const QString& sql, const QVariantList& values = {});

// The first row of a query, or nothing (no row or an error; `error` tells which when given).
std::optional<QSqlRecord> first(const QSqlDatabase& db, const QString& sql, const QVariantList& values = {},
                                QSqlError* error = nullptr);

// Column name and value, in the order they are written.
using Columns = QList<std::pair<QString, QVariant>>;

// "INSERT INTO table (a,b) VALUES (?,?)": adds a row the way the program's record sets do.
Outcome insert(const QSqlDatabase& db, const QString& table, const Columns& columns);
// "UPDATE table SET a=?,b=? WHERE " + where, with the where values bound after the columns'.
Outcome update(const QSqlDatabase& db, const QString& table, const Columns& columns, const QString& where,
               const QVariantList& whereValues = {});

// Typed nulls (some ODBC drivers refuse a null without a type).
QVariant nullText();
QVariant nullNumber();
QVariant nullDate();
// Empty text is stored as a null, as everywhere in the program.
QVariant textOrNull(const QString& text);

// A date column's value read back: a QDate/QDateTime from a server, ISO text from SQLite.
QDate toDate(const QVariant& value);

} // namespace SqlRun
