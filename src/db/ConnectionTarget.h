#pragma once

#include "config/AppSettings.h"
#include "db/Dialect.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// What a connection slot opens: the Qt SQL driver and its database name, derived from the settings
// and the connection string. A target that cannot be derived carries the reason in `error`.
struct ConnectionTarget
{
    QString driver;            // "QSQLITE", "QODBC" or "QPSQL"
    QString databaseName;      // SQLite file, the ODBC connection string, or the PostgreSQL database
    QString hostName;          // PostgreSQL: host name or socket folder
    int port = -1;             // PostgreSQL
    QString userName;          // PostgreSQL: empty for the operating system's login
    QString password;          // PostgreSQL
    QStringList fallbackNames; // tried in order when `databaseName` cannot be opened (older driver names)
    QString connectOptions;    // Qt driver options
    SqlEngine engine = SqlEngine::SqlServer;
    bool ownFile = false; // a SQLite file of this program's own (never the LIS's), which it may create
    QString label;        // what it is, for messages and `check` (never the password)
    QString error;        // why nothing can be opened; empty when the target is usable

    bool isValid() const { return error.isEmpty(); }
    bool isSqlite() const { return driver == QLatin1String("QSQLITE"); }
    bool isPostgres() const { return driver == QLatin1String("QPSQL"); }
    bool operator==(const ConnectionTarget&) const = default;
    // Puts the server, port and login on a connection (nothing for a file or an ODBC string, which
    // carry them in the name).
    void applyLoginTo(QSqlDatabase& db) const;
};

namespace ConnectionTargets {

inline const QString defaultInterfaceFile = QStringLiteral("InterfaceVIDAS.db");
inline const QString defaultLisFile = QStringLiteral("Patients.db");
inline const QString defaultInterfaceDatabase = QStringLiteral("interfacevidas");
inline const QString defaultLisDatabase = QStringLiteral("patients");
inline constexpr int defaultPostgresPort = 5432;
// The start-up date probe's own file. The original kept a Jet file for it; an embedded SQLite file
// needs no driver, and the probe only has to read a date column back.
inline const QString localFile = QStringLiteral("LocalHistory.db");

// The interface database: [server] engine, database, odbcdriver and InterfaceConnString.
ConnectionTarget interfaceTarget(const AppSettings& settings, const QString& interfaceConnString,
                                 const QString& installFolder);
// The LIS database: the Jet file when `lisIsAccess` is nonzero, else [corvanaserver] engine etc.
ConnectionTarget lisTarget(const AppSettings& settings, const QString& lisConnString, qint16 lisIsAccess,
                           const QString& installFolder);
// The local file of the start-up date probe.
ConnectionTarget localTarget(const QString& installFolder);

// A SQLite file named in the settings: relative to the install folder (absolute paths are taken as
// they are, "\" counts as a separator), `fallback` when empty. A ".." part is refused, so that a
// setting cannot reach outside the folder by accident. Returns empty text and sets `error` then.
QString sqliteFile(const QString& installFolder, const QString& setting, const QString& fallback, QString* error);

} // namespace ConnectionTargets
