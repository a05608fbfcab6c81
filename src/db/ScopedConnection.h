#pragma once

#include <QSqlDatabase>
#include <QString>

// A private named connection for one job (creating a file, a test's own look at a database). It is
// closed and removed from Qt's connection list when it goes out of scope.
class ScopedConnection
{
public:
    // Registers a connection with `driver` under a name of its own; open it with `db()`.
    explicit ScopedConnection(const QString& driver);
    ~ScopedConnection();
    ScopedConnection(const ScopedConnection&) = delete;
    ScopedConnection& operator=(const ScopedConnection&) = delete;

    QSqlDatabase& db() { return m_db; }
    const QString& name() const { return m_name; }

    // A SQLite file opened with the program's settings (WAL, synchronous=FULL, busy timeout); a
    // missing file is created, private (see SqliteFile::createPrivate). False, with `error` set,
    // when it cannot be created, opened or read.
    bool openSqlite(const QString& file, QString* error = nullptr);

private:
    QString m_name;
    QSqlDatabase m_db;
};
