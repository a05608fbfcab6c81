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
#include <QSqlError>

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
    const auto usable = [](const QString& engine) {
        const QString name = engine.trimmed().toLower();
        return name == QLatin1String("sqlite") || name == QLatin1String("postgresql");
    };
    if (!usable(settings.serverEngine) || !usable(settings.lisEngine) || settings.CRVaccess != 0) {
        err << "corvana-vidas: the demo needs the SQLite or PostgreSQL engine for both databases ([server] "
               "engine=sqlite, [corvanaserver] engine=sqlite, CRVaccess=0)\n";
        return false;
    }
    return true;
}

// A demo database: the SQLite file (made when missing), or the PostgreSQL database as named.
bool openDemoDatabase(ScopedConnection& connection, const ConnectionTarget& target, QString* error)
{
    if (target.isSqlite())
        return connection.openSqlite(target.databaseName, error);
    connection.db().setConnectOptions(target.connectOptions);
    target.applyLoginTo(connection.db());
    connection.db().setDatabaseName(target.databaseName);
    if (connection.db().open())
        return true;
    *error = connection.db().lastError().text().trimmed();
    return false;
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
        // A server may hold a laboratory's real data: the demo writes only where it is told it may.
        if (target->isPostgres() && !target->databaseName.startsWith(QLatin1String("demo"))) {
            args.err << "corvana-vidas: " << target->label
                     << ": the demo writes only into PostgreSQL databases whose names begin with \"demo\"\n";
            return 1;
        }
    }

    QString error;
    const QDate today = SystemClock().today();
    {
        ScopedConnection connection(lis.driver);
        if (!openDemoDatabase(connection, lis, &error) || !LisStandIn::ensureOn(connection.db(), lis.engine, &error) ||
            !LisStandIn::addDemoRequests(connection.db(), today, &error)) {
            args.err << "corvana-vidas: LIS stand-in " << lis.label << ": " << error << '\n';
            return 1;
        }
    }
    args.out << "lis: " << lis.label << ": " << LisStandIn::demoPatientIds().size() << " demo requests for "
             << today.toString(Qt::ISODate) << '\n';

    ScopedConnection connection(iface.driver);
    if (!openDemoDatabase(connection, iface, &error)) {
        args.err << "corvana-vidas: interface database " << iface.label << ": " << error << '\n';
        return 1;
    }
    const Schema::Outcome schema = Schema::ensureInterface(connection.db(), iface.engine);
    if (!schema || !DemoData::installCatalogue(connection.db(), &error) ||
        !DemoData::installAdministrator(connection.db(), &error)) {
        args.err << "corvana-vidas: interface database " << iface.label << ": " << (schema ? error : schema.error)
                 << '\n';
        return 1;
    }
    args.out << "interface: " << iface.label << ": demo catalogue and administrator account ready\n";
    return 0;
}
