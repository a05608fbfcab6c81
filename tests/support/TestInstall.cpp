#include "TestInstall.h"

#include "config/IniFile.h"
#include "db/DemoData.h"
#include "db/LisStandIn.h"
#include "db/Schema.h"
#include "db/ScopedConnection.h"

#include <QDir>
#include <QFile>
#include <QTest>

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
    const QString ini = settingsIni();
    WriteIni(ini, QStringLiteral("server"), QStringLiteral("engine"), QStringLiteral("sqlite"));
    WriteIni(ini, QStringLiteral("server"), QStringLiteral("database"), QStringLiteral("InterfaceVIDAS.db"));
    WriteIni(ini, QStringLiteral("server"), QStringLiteral("CRIauthentication"), QStringLiteral("0"));
    WriteIni(ini, QStringLiteral("corvanaserver"), QStringLiteral("engine"), QStringLiteral("sqlite"));
    WriteIni(ini, QStringLiteral("corvanaserver"), QStringLiteral("database"), QStringLiteral("Patients.db"));
    WriteIni(ini, QStringLiteral("corvanaserver"), QStringLiteral("CRVaccess"), QStringLiteral("0"));
    WriteIni(ini, QStringLiteral("corvanaserver"), QStringLiteral("active"), QStringLiteral("1"));
    WriteIni(ini, QStringLiteral("comsetup"), QStringLiteral("port"), QStringLiteral("1"));
    WriteIni(ini, QStringLiteral("comsetup"), QStringLiteral("Speed"), QStringLiteral("9600"));
    WriteIni(ini, QStringLiteral("comsetup"), QStringLiteral("Parity"), QStringLiteral("n"));
    WriteIni(ini, QStringLiteral("comsetup"), QStringLiteral("DataBits"), QStringLiteral("8"));
    WriteIni(ini, QStringLiteral("comsetup"), QStringLiteral("StopBits"), QStringLiteral("1"));
    WriteIni(ini, QStringLiteral("report"), QStringLiteral("IDdigitsNo"), QStringLiteral("13"));
    WriteIni(memoryIni(), QStringLiteral("reportdata"), QStringLiteral("colorTIT1"), QStringLiteral("0"));
    // An installed program has its interface database; the openers no longer create a missing one.
    createInterfaceDatabase(interfaceDbFile());
}

QString TestInstall::settingsIni() const
{
    return QDir(m_dir.path()).filePath(QStringLiteral("VIDASSETING.INI"));
}

QString TestInstall::memoryIni() const
{
    return QDir(m_dir.path()).filePath(QStringLiteral("MEMORYVIDAS.ini"));
}

void TestInstall::setSetting(const QString& section, const QString& key, const QString& value)
{
    WriteIni(settingsIni(), section, key, value);
}

AppContext& TestInstall::context()
{
    m_context = std::make_unique<AppContext>(InstallFolder(m_dir.path()), &dialogs, &clock);
    m_context->loadSettings();
    m_context->buildConnectionStrings();
    return *m_context;
}

QString TestInstall::interfaceDbFile() const
{
    return QDir(m_dir.path()).filePath(QStringLiteral("InterfaceVIDAS.db"));
}

QString TestInstall::lisDbFile() const
{
    return QDir(m_dir.path()).filePath(QStringLiteral("Patients.db"));
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

QByteArray sampleBytes(const QString& name)
{
    QFile file(QDir(QStringLiteral(CORVANA_SAMPLES_DIR)).filePath(name));
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning("sample %s is missing", qPrintable(file.fileName()));
        return {};
    }
    return file.readAll();
}
