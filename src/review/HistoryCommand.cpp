#include "core/AppContext.h"
#include "db/Databases.h"
#include "link/ResultHistory.h"
#include "platform/StreamDialogs.h"
#include "review/ReviewCommands.h"

// history AUTONUM: every recorded change of the stored result, oldest first, one tab-separated
// line each (time, who, column, old value, new value).
int commandHistory(const CommandArgs& args)
{
    bool number = false;
    const qint64 autoNum = args.words.size() == 1 ? args.words[0].toLongLong(&number) : 0;
    if (!number || autoNum <= 0) {
        args.err << "usage: corvana-vidas [--home DIR] history AUTONUM\n";
        return 2;
    }
    StreamDialogs dialogs(args.err);
    SystemClock clock;
    AppContext context(InstallFolder(args.home), &dialogs, &clock);
    if (!context.installFolder().exists()) {
        args.err << "corvana-vidas: " << args.home << ": no such install folder\n";
        return 1;
    }
    context.loadSettings();
    if (!context.settings.settingsFileFound) {
        args.err << "corvana-vidas: " << context.installFolder().settingsIni() << " is missing\n";
        return 1;
    }
    context.buildConnectionStrings();
    Databases& databases = context.databases();
    const QSqlDatabase db = databases.OpenInterfaceDbQuiet(2);
    if (!db.isOpen()) {
        args.err << "corvana-vidas: interface database: " << databases.lastError(DbSlot::InterfaceQuiet2) << '\n';
        return 1;
    }
    QSqlError error;
    const auto row = SqlRun::first(db, QStringLiteral("SELECT AutoNum FROM Result WHERE AutoNum=?"), {autoNum}, &error);
    const auto entries = ResultHistory::of(db, autoNum, &error);
    if (!entries) {
        args.err << "corvana-vidas: interface database: " << error.text() << '\n';
        return 1;
    }
    if (!row && entries->isEmpty()) {
        args.err << "corvana-vidas: no result " << autoNum << " and no history of it\n";
        return 1;
    }
    if (!row)
        args.err << "corvana-vidas: result " << autoNum << " is no longer stored; its history:\n";
    args.out << ResultHistory::lines(*entries);
    return 0;
}
