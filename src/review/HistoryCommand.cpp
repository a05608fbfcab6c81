#include "core/AppContext.h"
#include "core/CommandSetup.h"
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
    if (!CommandSetup::loadInstall(context, args.err))
        return 1;
    const QSqlDatabase db = CommandSetup::openInterface(context, 2, args.err);
    if (!db.isOpen())
        return 1;
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
