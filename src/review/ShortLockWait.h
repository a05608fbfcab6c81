#pragma once

#include "db/Dialect.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

// For the life of this object a statement on an embedded (SQLite) database waits at most `waitMs`
// for another program's lock, then fails: a window's Save must not freeze on a lock. Other engines
// keep their own waits.
class ShortLockWait
{
public:
    ShortLockWait(const QSqlDatabase& db, SqlEngine engine, int waitMs) : m_db(db), m_on(engine == SqlEngine::Sqlite)
    {
        if (!m_on)
            return;
        QSqlQuery query(m_db);
        if (query.exec(QStringLiteral("PRAGMA busy_timeout")) && query.next())
            m_before = query.value(0).toInt();
        query.exec(QStringLiteral("PRAGMA busy_timeout=%1").arg(waitMs));
    }
    ~ShortLockWait()
    {
        if (m_on)
            QSqlQuery(m_db).exec(QStringLiteral("PRAGMA busy_timeout=%1").arg(m_before));
    }
    Q_DISABLE_COPY_MOVE(ShortLockWait)

private:
    QSqlDatabase m_db;
    bool m_on;
    int m_before = 0;
};
