#include "config/AppSettings.h"
#include "db/ConnectionStrings.h"
#include "db/Databases.h"
#include "db/DbCommands.h"
#include "db/SqlRun.h"
#include "platform/Dialogs.h"
#include "platform/InstallFolder.h"

#include <QFileInfo>

namespace {

// Without a window the openers' messages go to standard error, one line each.
class StreamDialogs final : public Dialogs
{
public:
    explicit StreamDialogs(QTextStream& err) : m_err(err) {}
    DialogAnswer show(const DialogRequest& request) override
    {
        QString text = request.text;
        text.replace(QLatin1Char('\n'), QLatin1Char(' '));
        m_err << request.title << ": " << text << '\n';
        m_err.flush();
        return request.buttons == DialogButtons::YesNo || request.buttons == DialogButtons::YesNoCancel
                   ? DialogAnswer::No
                   : DialogAnswer::Cancel;
    }

private:
    QTextStream& m_err;
};

QString interfaceLine(Databases& databases, const QSqlDatabase& db)
{
    const ConnectionTarget target = databases.target(DbSlot::Interface);
    const QString& label = target.label;
    if (!db.isOpen()) {
        QString line =
            QStringLiteral("interface: %1: cannot be opened: %2").arg(label, databases.lastError(DbSlot::Interface));
        if (target.isValid() &&
            ((target.isSqlite() && !QFileInfo::exists(target.databaseName)) ||
             (target.isPostgres() && databases.lastError(DbSlot::Interface).contains(QLatin1String("does not exist")))))
            line += QStringLiteral(" (\"check --create\" makes a new, empty one)");
        return line;
    }
    const auto version = SqlRun::first(db, QStringLiteral("SELECT version FROM schemaversion"));
    return QStringLiteral("interface: %1: ok, schema version %2")
        .arg(label, version ? version->value(0).toString() : QStringLiteral("?"));
}

QString lisLine(Databases& databases, const QSqlDatabase& db)
{
    const QString label = databases.target(DbSlot::Lis).label;
    if (!db.isOpen())
        return QStringLiteral("lis: %1: cannot be opened: %2").arg(label, databases.lastError(DbSlot::Lis));
    return QStringLiteral("lis: %1: ok").arg(label);
}

} // namespace

// check: opens the interface and LIS databases of the install folder, one line each; fails when
// either cannot be opened. A missing embedded interface database is created with --create only.
int commandCheck(const CommandArgs& args)
{
    const bool create = args.words == QStringList{QStringLiteral("--create")};
    if (!args.words.isEmpty() && !create) {
        args.err << "corvana-vidas: check takes no arguments but --create: corvana-vidas [--home DIR] check "
                    "[--create]\n";
        return 2;
    }
    const InstallFolder folder(args.home);
    if (!folder.exists()) {
        args.err << "corvana-vidas: " << args.home << ": no such install folder\n";
        return 1;
    }
    if (!QFileInfo(folder.settingsIni()).isFile()) {
        args.err << "corvana-vidas: " << folder.settingsIni() << ": the settings file is missing\n";
        return 1;
    }

    StreamDialogs dialogs(args.err);
    const AppSettings settings = AppSettings::load(folder.settingsIni());
    const QString interfaceConnString = ConnectionStrings::InterfaceConnString(settings);
    const QString lisConnString = ConnectionStrings::LisConnString(settings);
    const qint16 lisIsAccess = settings.CRVaccess;
    Databases databases({folder, settings, interfaceConnString, lisConnString, lisIsAccess, dialogs, {}});
    databases.setMayCreateInterface(create);

    bool ok = true;
    const QSqlDatabase iface = databases.OpenInterfaceDb();
    ok = ok && iface.isOpen();
    args.out << interfaceLine(databases, iface) << '\n';

    if (settings.lisActive != 1) {
        args.out << "lis: " << databases.target(DbSlot::Lis).label
                 << ": not checked, the LIS link is switched off ([corvanaserver] active)\n";
    } else {
        const QSqlDatabase lis = databases.OpenLisDb();
        ok = ok && lis.isOpen();
        args.out << lisLine(databases, lis) << '\n';
    }
    databases.closeAll();
    return ok ? 0 : 1;
}
