#include "db/Dialect.h"

QString Dialect::name() const
{
    switch (m_engine) {
    case SqlEngine::SqlServer:
        return QStringLiteral("SQL Server");
    case SqlEngine::Jet:
        return QStringLiteral("Jet");
    case SqlEngine::Sqlite:
        return QStringLiteral("SQLite");
    case SqlEngine::Postgres:
        return QStringLiteral("PostgreSQL");
    }
    return {};
}

QString Dialect::top(int rows) const
{
    if (limitsAtEnd())
        return {};
    return QStringLiteral("TOP %1 ").arg(rows);
}

QString Dialect::limit(int rows) const
{
    if (!limitsAtEnd())
        return {};
    return QStringLiteral(" LIMIT %1").arg(rows);
}

QString Dialect::substring(const QString& column, int start, int length, const QString& separator) const
{
    QString function;
    switch (m_engine) {
    case SqlEngine::SqlServer:
        function = QStringLiteral("SUBSTRING");
        break;
    case SqlEngine::Jet:
        function = QStringLiteral("Mid");
        break;
    case SqlEngine::Sqlite:
    case SqlEngine::Postgres:
        function = QStringLiteral("substr");
        break;
    }
    return function + QLatin1Char('(') + column + separator + QString::number(start) + separator +
           QString::number(length) + QLatin1Char(')');
}

QString Dialect::toRealOrNull(const QString& expression) const
{
    switch (m_engine) {
    case SqlEngine::SqlServer:
        return QStringLiteral("TRY_CONVERT(float, %1)").arg(expression);
    case SqlEngine::Jet:
        return QStringLiteral("Val(%1)").arg(expression);
    case SqlEngine::Sqlite:
        return QStringLiteral("CAST(%1 AS REAL)").arg(expression);
    case SqlEngine::Postgres:
        // A plain cast of a text that is no number is an error there and would end the transaction.
        return QStringLiteral("corvana_real(%1)").arg(expression);
    }
    return expression;
}

QString Dialect::toReal(const QString& expression) const
{
    switch (m_engine) {
    case SqlEngine::SqlServer:
        return QStringLiteral("CONVERT(real , %1)").arg(expression);
    case SqlEngine::Jet:
        return QStringLiteral("CDbl(%1)").arg(expression);
    case SqlEngine::Sqlite:
        return QStringLiteral("CAST(%1 AS REAL)").arg(expression);
    case SqlEngine::Postgres:
        return QStringLiteral("corvana_real(%1)").arg(expression);
    }
    return expression;
}

QString Dialect::caselessLike(const QString& column) const
{
    if (m_engine == SqlEngine::Postgres)
        return QStringLiteral("lower(CAST(%1 AS text)) like lower(?) ESCAPE '\\'").arg(column);
    return QStringLiteral("%1 like ? ESCAPE '\\'").arg(column);
}

QString Dialect::boolLiteral(bool value) const
{
    if (m_engine == SqlEngine::Jet)
        return value ? QStringLiteral("True") : QStringLiteral("False");
    return value ? QStringLiteral("1") : QStringLiteral("0");
}
