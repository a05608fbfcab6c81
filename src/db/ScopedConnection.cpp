#include "db/ScopedConnection.h"

#include "db/SqliteFile.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QSqlError>

namespace {
QAtomicInt serial;
}

ScopedConnection::ScopedConnection(const QString& driver)
    : m_name(QStringLiteral("scoped-%1").arg(serial.fetchAndAddRelaxed(1) + 1)),
      m_db(QSqlDatabase::addDatabase(driver, m_name))
{
}

ScopedConnection::~ScopedConnection()
{
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_name);
}

bool ScopedConnection::openSqlite(const QString& file, QString* error)
{
    if (!QFileInfo::exists(file) && !SqliteFile::createPrivate(file, error))
        return false;
    m_db.setDatabaseName(file);
    m_db.setConnectOptions(SqliteFile::connectOptions(SqliteFile::defaultBusyTimeoutMs));
    if (!m_db.open()) {
        if (error)
            *error = m_db.lastError().text();
        return false;
    }
    return SqliteFile::configure(m_db, error);
}
