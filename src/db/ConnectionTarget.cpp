#include "db/ConnectionTarget.h"

#include "db/ConnectionStrings.h"

#include <QDir>

void ConnectionTarget::applyLoginTo(QSqlDatabase& db) const
{
    if (!isPostgres())
        return;
    db.setHostName(hostName);
    db.setPort(port);
    db.setUserName(userName);
    db.setPassword(password);
}

namespace ConnectionTargets {

namespace {

const QString sqliteDriver = QStringLiteral("QSQLITE");
const QString odbcDriver = QStringLiteral("QODBC");
const QString postgresDriver = QStringLiteral("QPSQL");
// Seconds an unreachable PostgreSQL server may keep the program waiting at each open.
const QString postgresOptions = QStringLiteral("connect_timeout=10");
// Seconds an unreachable server may keep the program waiting at each open.
const QString odbcOptions = QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=10;SQL_ATTR_CONNECTION_TIMEOUT=30");

enum class EngineSetting
{
    SqlServer,
    Sqlite,
    Postgres,
    Unknown
};

EngineSetting engineOf(const QString& setting)
{
    const QString name = setting.trimmed().toLower();
    if (name.isEmpty() || name == QLatin1String("sqlserver"))
        return EngineSetting::SqlServer;
    if (name == QLatin1String("sqlite"))
        return EngineSetting::Sqlite;
    if (name == QLatin1String("postgresql"))
        return EngineSetting::Postgres;
    return EngineSetting::Unknown;
}

QString unknownEngine(const QString& section, const QString& setting)
{
    return QStringLiteral("unknown database engine \"%1\" in [%2] engine (known: sqlserver, sqlite, postgresql)")
        .arg(setting.trimmed(), section);
}

ConnectionTarget sqliteTarget(const QString& installFolder, const QString& setting, const QString& fallback,
                              bool ownFile)
{
    ConnectionTarget t;
    t.driver = sqliteDriver;
    t.engine = SqlEngine::Sqlite;
    t.ownFile = ownFile;
    t.databaseName = sqliteFile(installFolder, setting, fallback, &t.error);
    t.label = QStringLiteral("SQLite file %1").arg(QDir::toNativeSeparators(t.databaseName));
    return t;
}

ConnectionTarget sqlServerTarget(const QString& connString, const QString& driverSetting, const QString& section)
{
    ConnectionTarget t;
    t.driver = odbcDriver;
    t.engine = SqlEngine::SqlServer;
    t.connectOptions = odbcOptions;
    const QString driver = driverSetting.isEmpty() ? ConnectionStrings::defaultSqlServerDriver() : driverSetting;
    t.label = QStringLiteral("SQL Server \"%1\", catalog %2 (ODBC driver %3)")
                  .arg(ConnectionStrings::value(connString, QStringLiteral("Data Source")),
                       ConnectionStrings::value(connString, QStringLiteral("Initial Catalog")), driver);
    if (connString.isEmpty()) {
        t.error =
            QStringLiteral("no connection settings: VIDASSETING.INI is missing or has no [%1] section").arg(section);
        return t;
    }
    t.databaseName = ConnectionStrings::odbcForSqlServer(connString, driver);
    return t;
}

struct ServerKeys
{
    qint16 authentication = 0;
    QString server;
    QString userId;
    QString password;
    QString database;
    QString port;
};

// A PostgreSQL server from the same keys a SQL Server install has, plus its port and database.
ConnectionTarget postgresTarget(const ServerKeys& keys, const QString& fallbackDatabase, const QString& section)
{
    ConnectionTarget t;
    t.driver = postgresDriver;
    t.engine = SqlEngine::Postgres;
    t.connectOptions = postgresOptions;
    t.hostName = keys.server.trimmed();
    t.databaseName = keys.database.trimmed().isEmpty() ? fallbackDatabase : keys.database.trimmed();
    t.port = defaultPostgresPort;
    if (!keys.port.trimmed().isEmpty()) {
        bool ok = false;
        const int port = keys.port.trimmed().toInt(&ok);
        if (!ok || port < 1 || port > 65535)
            t.error = QStringLiteral("[%1] port \"%2\" is no port number (1 to 65535)").arg(section, keys.port);
        t.port = port;
    }
    if (keys.authentication != 0) {
        t.userName = keys.userId.trimmed();
        t.password = keys.password;
    }
    t.label = QStringLiteral("PostgreSQL \"%1\" port %2, database %3%4")
                  .arg(t.hostName.isEmpty() ? QStringLiteral("localhost") : t.hostName)
                  .arg(t.port)
                  .arg(t.databaseName, t.userName.isEmpty() ? QStringLiteral(" (operating system login)")
                                                            : QStringLiteral(" as %1").arg(t.userName));
    if (t.isValid() && t.hostName.isEmpty())
        t.error = QStringLiteral("no server name in [%1] servername").arg(section);
    return t;
}

} // namespace

QString sqliteFile(const QString& installFolder, const QString& setting, const QString& fallback, QString* error)
{
    QString name = setting.trimmed();
    if (name.isEmpty())
        name = fallback;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QStringList parts = name.split(QLatin1Char('/'));
    if (parts.contains(QStringLiteral(".."))) {
        if (error)
            *error = QStringLiteral("the database file \"%1\" must not name a parent folder (\"..\")").arg(setting);
        return {};
    }
    if (name.endsWith(QLatin1Char('/')) || parts.last() == QLatin1String(".")) {
        if (error)
            *error = QStringLiteral("the database setting \"%1\" names a folder, not a file").arg(setting);
        return {};
    }
    return QDir::cleanPath(QDir(installFolder).absoluteFilePath(name));
}

ConnectionTarget interfaceTarget(const AppSettings& s, const QString& connString, const QString& installFolder)
{
    ConnectionTarget t;
    switch (engineOf(s.serverEngine)) {
    case EngineSetting::Sqlite:
        t = sqliteTarget(installFolder, s.serverDatabase, defaultInterfaceFile, true);
        // An empty string means the settings were never read: fail as a server install would.
        if (t.isValid() && connString.isEmpty())
            t.error = QStringLiteral("no connection settings: VIDASSETING.INI is missing");
        return t;
    case EngineSetting::SqlServer:
        return sqlServerTarget(connString, s.serverOdbcDriver, IniKeys::server);
    case EngineSetting::Postgres:
        return postgresTarget(
            {s.CRIauthentication, s.serverName, s.serverUserID, s.serverPassword, s.serverDatabase, s.serverPort},
            defaultInterfaceDatabase, IniKeys::server);
    case EngineSetting::Unknown:
        break;
    }
    t.error = unknownEngine(IniKeys::server, s.serverEngine);
    t.label = QStringLiteral("engine \"%1\"").arg(s.serverEngine);
    return t;
}

ConnectionTarget lisTarget(const AppSettings& s, const QString& connString, qint16 lisIsAccess,
                           const QString& installFolder)
{
    ConnectionTarget t;
    if (lisIsAccess != 0) {
        const QString file = ConnectionStrings::jetLisFile(installFolder);
        const QStringList drivers =
            s.lisOdbcDriver.isEmpty() ? ConnectionStrings::defaultJetDrivers() : QStringList{s.lisOdbcDriver};
        t.driver = odbcDriver;
        t.engine = SqlEngine::Jet;
        t.databaseName = ConnectionStrings::odbcForJet(file, drivers.first());
        for (qsizetype i = 1; i < drivers.size(); ++i)
            t.fallbackNames.append(ConnectionStrings::odbcForJet(file, drivers[i]));
        t.label = QStringLiteral("Jet file %1 (ODBC driver %2)")
                      .arg(QDir::toNativeSeparators(file), drivers.join(QStringLiteral(" or ")));
        return t;
    }
    switch (engineOf(s.lisEngine)) {
    case EngineSetting::Sqlite:
        t = sqliteTarget(installFolder, s.lisDatabase, defaultLisFile, false);
        if (t.isValid() && connString.isEmpty())
            t.error = QStringLiteral("no connection settings: VIDASSETING.INI is missing");
        return t;
    case EngineSetting::SqlServer:
        return sqlServerTarget(connString, s.lisOdbcDriver, IniKeys::corvanaserver);
    case EngineSetting::Postgres:
        return postgresTarget(
            {s.CRVauthentication, s.lisServerName, s.lisUserID, s.lisPassword, s.lisDatabase, s.lisPort},
            defaultLisDatabase, IniKeys::corvanaserver);
    case EngineSetting::Unknown:
        break;
    }
    t.error = unknownEngine(IniKeys::corvanaserver, s.lisEngine);
    t.label = QStringLiteral("engine \"%1\"").arg(s.lisEngine);
    return t;
}

ConnectionTarget localTarget(const QString& installFolder)
{
    return sqliteTarget(installFolder, QString(), localFile, true);
}

} // namespace ConnectionTargets
