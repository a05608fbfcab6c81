#include "config/AppSettings.h"
#include "config/IniFile.h"
#include "db/ConnectionTarget.h"
#include "db/DbCommands.h"
#include "db/DemoData.h"
#include "db/LisStandIn.h"
#include "db/Schema.h"
#include "db/ScopedConnection.h"
#include "platform/Clock.h"
#include "platform/InstallFolder.h"

#include <QDir>
#include <QFileInfo>

namespace {

// A folder without database keys gets the embedded engines; a folder set up for servers is left
// alone, since the demo data must never reach a real database.
bool prepareSettings(const InstallFolder& folder, QTextStream& err)
{
    const QString ini = folder.settingsIni();
    using namespace IniKeys;
    if (ReadIni(ini, server, QStringLiteral("engine")).isEmpty() &&
        ReadIni(ini, corvanaserver, QStringLiteral("engine")).isEmpty()) {
        WriteIni(ini, server, QStringLiteral("engine"), QStringLiteral("sqlite"));
        WriteIni(ini, server, QStringLiteral("database"), ConnectionTargets::defaultInterfaceFile);
        WriteIni(ini, corvanaserver, QStringLiteral("engine"), QStringLiteral("sqlite"));
        WriteIni(ini, corvanaserver, QStringLiteral("database"), ConnectionTargets::defaultLisFile);
        WriteIni(ini, corvanaserver, QStringLiteral("CRVaccess"), QStringLiteral("0"));
        WriteIni(ini, corvanaserver, QStringLiteral("active"), QStringLiteral("1"));
    }
    const AppSettings settings = AppSettings::load(ini);
    const auto sqlite = [](const QString& engine) { return engine.trimmed().toLower() == QLatin1String("sqlite"); };
    if (!sqlite(settings.serverEngine) || !sqlite(settings.lisEngine) || settings.CRVaccess != 0) {
        err << "corvana-vidas: the demo needs the SQLite engines for both databases ([server] engine=sqlite, "
               "[corvanaserver] engine=sqlite, CRVaccess=0)\n";
        return false;
    }
    return true;
}

} // namespace

// setup-demo: makes the install folder a demo: SQLite databases, an LIS stand-in with today's demo
// requests, the demo catalogue with its ranges and an administrator account. Can be run again.
int commandSetupDemo(const CommandArgs& args)
{
    if (!args.words.isEmpty()) {
        args.err << "corvana-vidas: setup-demo takes no arguments: corvana-vidas [--home DIR] setup-demo\n";
        return 2;
    }
    if (!QDir().mkpath(args.home)) {
        args.err << "corvana-vidas: " << args.home << ": the folder cannot be created\n";
        return 1;
    }
    const InstallFolder folder(args.home);
    if (!prepareSettings(folder, args.err))
        return 1;
    const AppSettings settings = AppSettings::load(folder.settingsIni());
    const ConnectionTarget iface =
        ConnectionTargets::interfaceTarget(settings, QStringLiteral("embedded"), folder.path());
    const ConnectionTarget lis = ConnectionTargets::lisTarget(settings, QStringLiteral("embedded"), 0, folder.path());
    for (const ConnectionTarget* target : {&iface, &lis}) {
        if (!target->isValid()) {
            args.err << "corvana-vidas: " << target->error << '\n';
            return 1;
        }
    }

    QString error;
    if (!LisStandIn::ensure(lis.databaseName, &error)) {
        args.err << "corvana-vidas: LIS stand-in " << lis.databaseName << ": " << error << '\n';
        return 1;
    }
    const QDate today = SystemClock().today();
    {
        ScopedConnection connection(QStringLiteral("QSQLITE"));
        if (!connection.openSqlite(lis.databaseName, &error) ||
            !LisStandIn::addDemoRequests(connection.db(), today, &error)) {
            args.err << "corvana-vidas: LIS stand-in " << lis.databaseName << ": " << error << '\n';
            return 1;
        }
    }
    args.out << "lis: " << lis.label << ": " << LisStandIn::demoPatientIds().size() << " demo requests for "
             << today.toString(Qt::ISODate) << '\n';

    ScopedConnection connection(QStringLiteral("QSQLITE"));
    if (!connection.openSqlite(iface.databaseName, &error)) {
        args.err << "corvana-vidas: interface database " << iface.databaseName << ": " << error << '\n';
        return 1;
    }
    const Schema::Outcome schema = Schema::ensureInterface(connection.db(), SqlEngine::Sqlite);
    if (!schema || !DemoData::installCatalogue(connection.db(), &error) ||
        !DemoData::installAdministrator(connection.db(), &error)) {
        args.err << "corvana-vidas: interface database " << iface.databaseName << ": "
                 << (schema ? error : schema.error) << '\n';
        return 1;
    }
    args.out << "interface: " << iface.label << ": demo catalogue and administrator account ready\n";
    return 0;
}
