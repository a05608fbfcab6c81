#pragma once

#include "FakeClock.h"
#include "FakeDialogs.h"
#include "core/AppContext.h"

#include <QTemporaryDir>
#include <memory>

// A throw-away install folder with both settings files, and an AppContext on fakes that uses it.
// The settings name SQLite engines for both databases, so nothing needs a server.
class TestInstall
{
public:
    TestInstall();

    QString path() const { return m_dir.path(); }
    QString settingsIni() const;
    QString memoryIni() const;
    void setSetting(const QString& section, const QString& key, const QString& value);

    // A fresh context reading the current settings files, with its connection strings built.
    AppContext& context();

    // Fresh SQLite databases in the folder: the LIS stand-in with its tables (no rows) and the
    // interface database with the current schema. False (with a test warning) when one fails.
    bool createDatabases();
    // The demo data on top: LIS requests for the fake clock's today, the demo catalogue with
    // ranges and comments, and the administrator "admin"/"admin". Creates the databases first.
    bool installDemoData();
    QString interfaceDbFile() const;
    QString lisDbFile() const;

    FakeDialogs dialogs;
    FakeClock clock;

private:
    QTemporaryDir m_dir;
    std::unique_ptr<AppContext> m_context;
};

// Bytes of a capture from the shared samples folder; fails the calling test when it is missing.
QByteArray sampleBytes(const QString& name);
