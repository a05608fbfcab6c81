#include "TestInstall.h"

#include "config/IniFile.h"
#include "db/DemoData.h"
#include "db/LisStandIn.h"
#include "db/Schema.h"
#include "db/ScopedConnection.h"
#include "db/SqlRun.h"

#include <QDir>
#include <QFile>

namespace {

bool createInterfaceDatabase(const QString& file)
{
    QString error;
    ScopedConnection iface(QStringLiteral("QSQLITE"));
    if (!iface.openSqlite(file, &error)) {
        qWarning("interface database: %s", qPrintable(error));
        return false;
    }
    const Schema::Outcome schema = Schema::ensureInterface(iface.db(), SqlEngine::Sqlite);
    if (!schema)
        qWarning("interface database: %s", qPrintable(schema.error));
    return schema.ok;
}

} // namespace

TestInstall::TestInstall()
{
    QDir(m_dir.path()).mkpath(QStringLiteral("PROC"));
    setSettings({"server/engine=sqlite", "server/database=InterfaceVIDAS.db", "server/CRIauthentication=0",
                 "corvanaserver/engine=sqlite", "corvanaserver/database=Patients.db", "corvanaserver/CRVaccess=0",
                 "corvanaserver/active=1", "comsetup/port=1", "comsetup/Speed=9600", "comsetup/Parity=n",
                 "comsetup/DataBits=8", "comsetup/StopBits=1", "report/IDdigitsNo=13"});
    WriteIni(memoryIni(), QStringLiteral("reportdata"), QStringLiteral("colorTIT1"), QStringLiteral("0"));
    // An installed program has its interface database; the openers no longer create a missing one.
    createInterfaceDatabase(interfaceDbFile());
}

TestInstall::~TestInstall() = default;

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
    if (!LisStandIn::ensure(lisDbFile(), &error)) {
        qWarning("LIS stand-in: %s", qPrintable(error));
        return false;
    }
    return createInterfaceDatabase(interfaceDbFile());
}

bool TestInstall::installDemoData()
{
    if (!createDatabases())
        return false;
    QString error;
    ScopedConnection lis(QStringLiteral("QSQLITE"));
    ScopedConnection iface(QStringLiteral("QSQLITE"));
    const bool ok = lis.openSqlite(lisDbFile(), &error) &&
                    LisStandIn::addDemoRequests(lis.db(), clock.today(), &error) &&
                    iface.openSqlite(interfaceDbFile(), &error) && DemoData::installCatalogue(iface.db(), &error) &&
                    DemoData::installAdministrator(iface.db(), &error);
    if (!ok)
        qWarning("demo data: %s", qPrintable(error));
    return ok;
}

ScopedConnection& TestInstall::own(Db db)
{
    std::unique_ptr<ScopedConnection>& c = m_own[db == Db::Lis ? 1 : 0];
    if (!c) {
        c = std::make_unique<ScopedConnection>(QStringLiteral("QSQLITE"));
        QString error;
        if (!c->openSqlite(db == Db::Lis ? lisDbFile() : interfaceDbFile(), &error))
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
