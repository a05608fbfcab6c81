#pragma once

#include "FakeClock.h"
#include "FakeDialogs.h"
#include "core/AppContext.h"

#include <QTemporaryDir>
#include <memory>

class ScopedConnection;

// A throw-away install folder with both settings files, and an AppContext on fakes that uses it.
// The settings name SQLite engines for both databases, so nothing needs a server; with
// CORVANA_TEST_ENGINE=postgresql they name two fresh databases of the PostgreSQL sandbox instead.
class TestInstall
{
public:
    TestInstall();
    ~TestInstall();

    QString path() const { return m_dir.path(); }
    QString settingsIni() const { return file("VIDASSETING.INI"); }
    QString memoryIni() const { return file("MEMORYVIDAS.ini"); }
    void setSetting(const QString& section, const QString& key, const QString& value);
    // Several at once, each written "section/key=value".
    void setSettings(const QStringList& settings);

    // A fresh context reading the current settings files, with its connection strings built.
    AppContext& context();

    // Fresh SQLite databases in the folder: the LIS stand-in with its tables (no rows) and the
    // interface database with the current schema. False (with a test warning) when one fails.
    bool createDatabases();
    // The demo data on top: LIS requests for the fake clock's today, the demo catalogue with
    // ranges and comments, and the administrator "admin"/"admin". Creates the databases first.
    bool installDemoData();
    QString interfaceDbFile() const { return file("InterfaceVIDAS.db"); }
    // Whether both databases are on the PostgreSQL sandbox (the files above are then unused).
    bool onPostgres() const { return !m_pgInterface.isEmpty(); }
    QString lisDbFile() const { return file("Patients.db"); }
    // Takes the LIS database away (its file renamed, or its server database closed to every
    // connection) or brings it back.
    bool setLisAway(bool away);
    // Statements on either database through a connection of the test's own, kept open while the
    // install lives (in WAL mode its reads pass another connection's write lock). Errors warn.
    enum class Db
    {
        Interface,
        Lis
    };
    bool exec(Db db, const QString& sql, const QVariantList& values = {});
    // The rows, each with its columns joined by '|' (a null as "null"); the first row alone.
    QStringList texts(Db db, const QString& sql, const QVariantList& values = {});
    QString text(Db db, const QString& sql, const QVariantList& values = {}) { return texts(db, sql, values).value(0); }
    // Closes the test's own connections: the next statement opens the file now at the path (or the
    // server again, after it was restarted).
    void reconnect();

    FakeDialogs dialogs;
    FakeClock clock;

private:
    QString file(const char* name) const { return m_dir.path() + QLatin1Char('/') + QLatin1String(name); }
    ScopedConnection& own(Db db);
    bool openOwn(ScopedConnection& connection, Db db, QString* error);
    bool createInterface();

    QTemporaryDir m_dir;
    std::unique_ptr<AppContext> m_context;
    std::unique_ptr<ScopedConnection> m_own[2];
    QString m_pgSocket;
    QString m_pgInterface;
    QString m_pgLis;
};

// Bytes of a capture from the shared samples folder; fails the calling test when it is missing.
QByteArray sampleBytes(const QString& name);
