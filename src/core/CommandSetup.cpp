#include "core/CommandSetup.h"

#include "core/AppContext.h"
#include "db/Databases.h"

#include <QTextStream>

namespace CommandSetup {

bool loadInstall(AppContext& context, QTextStream& err)
{
    if (!context.installFolder().exists()) {
        err << "corvana-vidas: " << context.installFolder().path() << ": no such install folder\n";
        return false;
    }
    context.loadSettings();
    if (!context.settings.settingsFileFound) {
        err << "corvana-vidas: " << context.installFolder().settingsIni() << " is missing\n";
        return false;
    }
    context.buildConnectionStrings();
    return true;
}

QSqlDatabase openInterface(AppContext& context, int quietSlot, QTextStream& err)
{
    Databases& databases = context.databases();
    QSqlDatabase db = databases.OpenInterfaceDbQuiet(quietSlot);
    if (!db.isOpen()) {
        const auto slot = static_cast<DbSlot>(static_cast<int>(DbSlot::InterfaceQuiet1) + quietSlot - 1);
        err << "corvana-vidas: interface database: " << databases.lastError(slot) << '\n';
    }
    return db;
}

} // namespace CommandSetup
