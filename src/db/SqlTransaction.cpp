#include "db/SqlTransaction.h"

#include "db/DbErrors.h"

#include <QSqlQuery>

namespace SqlTransaction {

namespace {

bool run(const QSqlDatabase& db, SqlEngine engine, const char* sqliteStatement, bool (QSqlDatabase::*driver)(),
         QSqlError* error)
{
    if (engine == SqlEngine::Sqlite) {
        QSqlQuery query(db);
        if (query.exec(QString::fromLatin1(sqliteStatement)))
            return true;
        if (error)
            *error = DbErrors::ofStatement(db, query.lastError());
        return false;
    }
    QSqlDatabase handle = db;
    if ((handle.*driver)())
        return true;
    if (error)
        *error = handle.lastError();
    return false;
}

} // namespace

bool begin(const QSqlDatabase& db, SqlEngine engine, QSqlError* error)
{
    return run(db, engine, "BEGIN IMMEDIATE", &QSqlDatabase::transaction, error);
}

bool commit(const QSqlDatabase& db, SqlEngine engine, QSqlError* error)
{
    return run(db, engine, "COMMIT", &QSqlDatabase::commit, error);
}

void rollback(const QSqlDatabase& db, SqlEngine engine)
{
    if (db.isOpen())
        run(db, engine, "ROLLBACK", &QSqlDatabase::rollback, nullptr);
}

} // namespace SqlTransaction
