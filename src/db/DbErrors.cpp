#include "db/DbErrors.h"

namespace DbErrors {

bool isTransient(const QSqlError& error)
{
    if (error.type() == QSqlError::ConnectionError)
        return true;
    const QString code = error.nativeErrorCode();
    // SQLite: SQLITE_BUSY (5), SQLITE_LOCKED (6), and their extended codes; SQLITE_IOERR (10),
    // SQLITE_FULL (13) and SQLITE_CANTOPEN (14) pass when the disk or the file is back.
    // (Their codes have at most four digits; five characters are an SQL state, as from a server.)
    bool numeric = false;
    const int sqlite = code.toInt(&numeric);
    if (numeric && code.size() < 5) {
        const int primary = sqlite & 0xff;
        if (primary == 5 || primary == 6 || primary == 10 || primary == 13 || primary == 14)
            return true;
    }
    // ODBC states: connection exceptions (08...), time-outs (HYT00, HYT01), deadlock victim (40001).
    if (code.startsWith(QLatin1String("08")) || code == QLatin1String("HYT00") || code == QLatin1String("HYT01") ||
        code == QLatin1String("40001"))
        return true;
    // PostgreSQL states: a server going down or starting (57P01-57P03), lock time-outs (55P03), a
    // deadlock (40P01), too many connections or no resources left (53...).
    if (code == QLatin1String("40P01") || code == QLatin1String("55P03") || code.startsWith(QLatin1String("57P")) ||
        code.startsWith(QLatin1String("53")))
        return true;
    const QString text = error.text();
    return text.contains(QLatin1String("database is locked"), Qt::CaseInsensitive) ||
           text.contains(QLatin1String("is not open"), Qt::CaseInsensitive);
}

bool isRefusal(const QSqlError& error)
{
    if (error.type() == QSqlError::ConnectionError)
        return false;
    const QString code = error.nativeErrorCode();
    // SQL states (five characters): integrity constraint violations (23...), data exceptions (22...).
    if (code.size() == 5)
        return code.startsWith(QLatin1String("23")) || code.startsWith(QLatin1String("22"));
    // SQLite: SQLITE_TOOBIG (18), SQLITE_CONSTRAINT (19) and its extended codes, SQLITE_MISMATCH (20).
    bool numeric = false;
    const int primary = code.toInt(&numeric) & 0xff;
    return numeric && (primary == 18 || primary == 19 || primary == 20);
}

QSqlError ofStatement(const QSqlDatabase& db, const QSqlError& error)
{
    if (error.type() != QSqlError::ConnectionError || !db.isOpen() || db.driverName() != QLatin1String("QSQLITE"))
        return error;
    return QSqlError(error.driverText(), error.databaseText(), QSqlError::StatementError, error.nativeErrorCode());
}

} // namespace DbErrors
