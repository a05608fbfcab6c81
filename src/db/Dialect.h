#pragma once

#include <QString>

// The SQL engines the program talks to. The interface database is SQL Server, PostgreSQL (several
// stations on one server) or the embedded SQLite file; the LIS database is SQL Server, PostgreSQL,
// the LIS's Jet file, or (demo and tests) SQLite.
enum class SqlEngine
{
    SqlServer,
    Jet,
    Sqlite,
    Postgres
};

// The few statement fragments that differ between the engines. Values never go through here: they
// are bound. Everything else in a statement is written the same for all engines.
class Dialect
{
public:
    explicit Dialect(SqlEngine engine = SqlEngine::SqlServer) : m_engine(engine) {}

    SqlEngine engine() const { return m_engine; }
    bool limitsAtEnd() const { return m_engine == SqlEngine::Sqlite || m_engine == SqlEngine::Postgres; }
    QString name() const;

    // Row limit. Write "SELECT " + top(n) + "... " + limit(n): SQL Server and Jet say "TOP n " after
    // SELECT, SQLite and PostgreSQL say " LIMIT n" at the end; each engine gets an empty text for the
    // other one.
    QString top(int rows) const;
    QString limit(int rows) const;

    // Part of a text column, 1-based: SUBSTRING / Mid / substr. `separator` keeps the spacing of the
    // statement the call stands in (some write "col, 1, 12", others "col,10,3").
    QString substring(const QString& column, int start, int length,
                      const QString& separator = QStringLiteral(", ")) const;

    // A text expression read as a number: "CONVERT(real , x)", "CDbl(x)", "CAST(x AS REAL)".
    QString toReal(const QString& expression) const;
    // The same for a column that may hold letters: never an error, a text that is no number gives
    // null (SQL Server, PostgreSQL) or 0 (SQLite, Jet): "TRY_CONVERT(float, x)", "Val(x)",
    // "CAST(x AS REAL)", and on PostgreSQL the schema's own function "corvana_real(x)".
    QString toRealOrNull(const QString& expression) const;

    // "column like ? ESCAPE '\'" in any letter case: the column's own collation does it everywhere
    // but on PostgreSQL, whose indexes serve a pattern only on the lower-case text.
    QString caselessLike(const QString& column) const;

    // Boolean constants as the engine writes them in a statement (Jet's True is -1).
    QString boolLiteral(bool value) const;

private:
    SqlEngine m_engine;
};
