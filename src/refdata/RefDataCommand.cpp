#include "core/AppContext.h"
#include "core/CommandSetup.h"
#include "db/Databases.h"
#include "platform/StreamDialogs.h"
#include "refdata/RefDataArchive.h"
#include "refdata/RefDataCommands.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace {

int usage(const CommandArgs& args)
{
    args.err << "usage: corvana-vidas [--home DIR] refdata export FILE\n"
                "       corvana-vidas [--home DIR] refdata import FILE [--replace]\n";
    return 2;
}

QString summary(const RefDataArchive::Outcome& outcome)
{
    return QStringLiteral("%1 tests, %2 ranges, %3 comments")
        .arg(outcome.tests)
        .arg(outcome.ranges)
        .arg(outcome.comments);
}

} // namespace

// refdata: the catalogue, reference ranges and comments of the install's interface database to a
// file, or from one (see RefDataArchive for the document).
int commandRefdata(const CommandArgs& args)
{
    QStringList words = args.words;
    const bool replace = words.removeAll(QStringLiteral("--replace")) > 0;
    if (words.size() != 2 || (words[0] != QLatin1String("export") && words[0] != QLatin1String("import")))
        return usage(args);
    const bool exporting = words[0] == QLatin1String("export");
    if (exporting && replace)
        return usage(args);
    const QString path = words[1];

    StreamDialogs dialogs(args.err);
    SystemClock clock;
    AppContext context(InstallFolder(args.home), &dialogs, &clock);
    if (!CommandSetup::loadInstall(context, args.err))
        return 1;
    const QSqlDatabase db = CommandSetup::openInterface(context, 3, args.err);
    if (!db.isOpen())
        return 1;

    if (exporting) {
        QByteArray document;
        const RefDataArchive::Outcome outcome = RefDataArchive::exportTables(db, document);
        if (!outcome) {
            args.err << "corvana-vidas: refdata export: " << outcome.error << '\n';
            return 1;
        }
        // Written whole or not at all: an older file of the same name stays until the new one is complete.
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(document) != document.size() || !file.commit()) {
            args.err << "corvana-vidas: " << path << ": cannot be written (" << file.errorString() << ")\n";
            return 1;
        }
        args.out << "exported " << summary(outcome) << " to " << path << '\n';
        return 0;
    }

    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly)) {
        args.err << "corvana-vidas: " << path << ": cannot be read"
                 << (QFileInfo::exists(path) ? QString() : QStringLiteral(" (no such file)")) << '\n';
        return 1;
    }
    const RefDataArchive::Outcome outcome = RefDataArchive::importTables(
        db, context.databases().dialect(DbSlot::InterfaceQuiet3).engine(), file.readAll(), replace);
    if (!outcome) {
        args.err << "corvana-vidas: " << path << ": " << outcome.error << "; nothing was changed\n";
        return 1;
    }
    args.out << "imported " << summary(outcome) << " from " << path << '\n';
    return 0;
}
