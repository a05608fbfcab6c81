#include "TestInstall.h"

#include "PgSandbox.h"
#include "config/IniFile.h"
#include "db/DemoData.h"
#include "db/LisStandIn.h"
#include "db/Schema.h"
#include "db/ScopedConnection.h"
#include "db/SqlRun.h"

#include <QDir>
#include <QFile>
#include <QSqlError>

TestInstall::TestInstall()
{
    QDir(m_dir.path()).mkpath(QStringLiteral("PROC"));
    setSettings({"server/engine=sqlite", "server/database=InterfaceVIDAS.db", "server/CRIauthentication=0",
                 "corvanaserver/engine=sqlite", "corvanaserver/database=Patients.db", "corvanaserver/CRVaccess=0",
                 "corvanaserver/active=1", "comsetup/port=1", "comsetup/Speed=9600", "comsetup/Parity=n",
                 "comsetup/DataBits=8", "comsetup/StopBits=1", "report/IDdigitsNo=13"});
    WriteIni(memoryIni(), QStringLiteral("reportdata"), QStringLiteral("colorTIT1"), QStringLiteral("0"));
    if (PgSandbox::inUse()) {
        QString error;
        m_pgSocket = PgSandbox::socketFolder(&error);
        if (!m_pgSocket.isEmpty())
            m_pgInterface = PgSandbox::createDatabase(&error);
        if (!m_pgInterface.isEmpty())
            m_pgLis = PgSandbox::createDatabase(&error);
        if (m_pgLis.isEmpty())
            qFatal("PostgreSQL for the tests: %s", qPrintable(error));
        for (const char* section : {"server", "corvanaserver"}) {
            const QString name = QLatin1String(section);
            setSetting(name, QStringLiteral("engine"), QStringLiteral("postgresql"));
            setSetting(name, QStringLiteral("servername"), m_pgSocket);
            setSetting(name, QStringLiteral("UserID"), PgSandbox::role);
            setSetting(name, QStringLiteral("database"), name == QLatin1String("server") ? m_pgInterface : m_pgLis);
        }
        setSettings({"server/CRIauthentication=1", "corvanaserver/CRVauthentication=1"});
    }
    // An installed program has its interface database; the openers no longer create a missing one.
    createInterface();
}

TestInstall::~TestInstall()
{
    m_context.reset();
    m_own[0].reset();
    m_own[1].reset();
    PgSandbox::dropDatabase(m_pgInterface);
    PgSandbox::dropDatabase(m_pgLis);
}

bool TestInstall::openOwn(ScopedConnection& connection, Db db, QString* error)
{
    if (!onPostgres())
        return connection.openSqlite(db == Db::Lis ? lisDbFile() : interfaceDbFile(), error);
    connection.db().setHostName(m_pgSocket);
    connection.db().setUserName(PgSandbox::role);
    connection.db().setDatabaseName(db == Db::Lis ? m_pgLis : m_pgInterface);
    if (connection.db().open())
        return true;
    if (error)
        *error = connection.db().lastError().text();
    return false;
}

bool TestInstall::createInterface()
{
    QString error;
    ScopedConnection iface(onPostgres() ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"));
    if (!openOwn(iface, Db::Interface, &error)) {
        qWarning("interface database: %s", qPrintable(error));
        return false;
    }
    const Schema::Outcome schema =
        Schema::ensureInterface(iface.db(), onPostgres() ? SqlEngine::Postgres : SqlEngine::Sqlite);
    if (!schema)
        qWarning("interface database: %s", qPrintable(schema.error));
    return schema.ok;
}

void TestInstall::setSetting(const QString& section, const QString& key, const QString& value)
{
    WriteIni(settingsIni(), section, key, value);
}

void TestInstall::setSettings(const QStringList& settings)
{
    for (const QString& s : settings)
        setSetting(s.section(u'/', 0, 0), s.section(u'/', 1).section(u'=', 0, 0), s.section(u'=', 1));
}

AppContext& TestInstall::context()
{
    m_context = std::make_unique<AppContext>(InstallFolder(m_dir.path()), &dialogs, &clock);
    m_context->loadSettings();
    m_context->buildConnectionStrings();
    return *m_context;
}

bool TestInstall::createDatabases()
{
    QString error;
    if (onPostgres()) {
        ScopedConnection lis(QStringLiteral("QPSQL"));
        if (!openOwn(lis, Db::Lis, &error) || !LisStandIn::ensureOn(lis.db(), SqlEngine::Postgres, &error)) {
            qWarning("LIS stand-in: %s", qPrintable(error));
            return false;
        }
        return createInterface();
    }
    if (!LisStandIn::ensure(lisDbFile(), &error)) {
        qWarning("LIS stand-in: %s", qPrintable(error));
        return false;
    }
    return createInterface();
}

bool TestInstall::installDemoData()
{
    if (!createDatabases())
        return false;
    QString error;
    const QString driver = onPostgres() ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE");
    ScopedConnection lis(driver);
    ScopedConnection iface(driver);
    const bool ok = openOwn(lis, Db::Lis, &error) && LisStandIn::addDemoRequests(lis.db(), clock.today(), &error) &&
                    openOwn(iface, Db::Interface, &error) && DemoData::installCatalogue(iface.db(), &error) &&
                    DemoData::installAdministrator(iface.db(), &error);
    if (!ok)
        qWarning("demo data: %s", qPrintable(error));
    return ok;
}

bool TestInstall::setLisAway(bool away)
{
    m_own[1].reset();
    if (!onPostgres())
        return away ? QFile::rename(lisDbFile(), lisDbFile() + ".away")
                    : QFile::rename(lisDbFile() + ".away", lisDbFile());
    QString error;
    const bool ok =
        PgSandbox::admin(QStringLiteral("ALTER DATABASE %1 ALLOW_CONNECTIONS %2").arg(m_pgLis, away ? "false" : "true"),
                         &error) &&
        (!away || PgSandbox::admin(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                                  "WHERE datname='%1'")
                                       .arg(m_pgLis),
                                   &error));
    if (!ok)
        qWarning("LIS away: %s", qPrintable(error));
    return ok;
}

ScopedConnection& TestInstall::own(Db db)
{
    std::unique_ptr<ScopedConnection>& c = m_own[db == Db::Lis ? 1 : 0];
    if (!c) {
        c = std::make_unique<ScopedConnection>(onPostgres() ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"));
        QString error;
        if (!openOwn(*c, db, &error))
            qWarning("test connection: %s", qPrintable(error));
    }
    return *c;
}

void TestInstall::reconnect()
{
    m_own[0].reset();
    m_own[1].reset();
}

QStringList TestInstall::texts(Db db, const QString& sql, const QVariantList& values)
{
    const SqlRun::Rows rows = SqlRun::select(own(db).db(), sql, values);
    if (!rows)
        qWarning("%s: %s", qPrintable(sql), qPrintable(rows.errorText()));
    QStringList out;
    for (const QSqlRecord& row : rows.records) {
        QStringList columns;
        for (int i = 0; i < row.count(); ++i)
            columns << (row.isNull(i) ? QStringLiteral("null") : row.value(i).toString());
        out << columns.join(QLatin1Char('|'));
    }
    return out;
}

bool TestInstall::exec(Db db, const QString& sql, const QVariantList& values)
{
    const SqlRun::Outcome done = SqlRun::exec(own(db).db(), sql, values);
    if (!done)
        qWarning("%s: %s", qPrintable(sql), qPrintable(done.errorText()));
    return done.ok;
}

QByteArray sampleBytes(const QString& name)
{
    QFile file(QDir(QStringLiteral(CORVANA_SAMPLES_DIR)).filePath(name));
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning("sample %s is missing", qPrintable(file.fileName()));
        return {};
    }
    return file.readAll();
}
