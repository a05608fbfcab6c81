#include "app/CommandLine.h"

#include "db/DbCommands.h"
#include "link/LinkCommands.h"
#include "platform/InstallFolder.h"
#include "refdata/RefDataCommands.h"
#include "reports/ReportCommands.h"
#include "review/ReviewCommands.h"

#include <QMap>

namespace {
using Command = int (*)(const CommandArgs&);

const QMap<QString, Command>& commands()
{
    static const QMap<QString, Command> table{
        {QStringLiteral("parse"), &commandParse},          {QStringLiteral("check"), &commandCheck},
        {QStringLiteral("setup-demo"), &commandSetupDemo}, {QStringLiteral("replay"), &commandReplay},
        {QStringLiteral("receive"), &commandReceive},      {QStringLiteral("outbox"), &commandOutbox},
        {QStringLiteral("report"), &commandReport},        {QStringLiteral("ean13"), &commandEan13},
        {QStringLiteral("refdata"), &commandRefdata},      {QStringLiteral("history"), &commandHistory},
    };
    return table;
}

int usage(QTextStream& err)
{
    err << "usage: corvana-vidas [--home DIR] <command> ...\n"
           "commands:\n"
           "  parse FILE        print the result records of a capture as JSON lines\n"
           "  check [--create]  open the configured interface and LIS databases; --create makes a\n"
           "                    missing embedded (SQLite) interface database, new and empty\n"
           "  setup-demo        make the install folder a demo (SQLite databases, demo data)\n"
           "  replay FILE [--force]\n"
           "                    send a line capture through the receive chain into the databases;\n"
           "                    sessions already stored are skipped unless --force is given\n"
           "  receive           receive results on the configured serial port until stopped\n"
           "  outbox            list the results that wait to be written into the LIS\n"
           "  history AUTONUM   the change history of a stored result (who, when, old and new value)\n"
           "  report AUTONUM --pdf FILE [--png FILE] [--separate] [--layout NAME]\n"
           "                    the result report of a stored result as PDF and/or PNG\n"
           "  ean13 DIGITS      the barcode font text of an EAN-13 (12 to 18 digits, not 16)\n"
           "  refdata export FILE\n"
           "  refdata import FILE [--replace]\n"
           "                    the test catalogue, reference ranges and comments to or from a JSON\n"
           "                    file; an import checks the whole file first and changes nothing when\n"
           "                    any row is wrong\n";
    err.flush();
    return 2;
}
} // namespace

int runCommandLine(const QStringList& arguments)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    QString home = InstallFolder::platformDefault();
    QStringList words = arguments.mid(1);
    // --home DIR may stand anywhere among the words.
    for (qsizetype i = 0; i < words.size(); ++i) {
        if (words[i] == QLatin1String("--home")) {
            if (i + 1 >= words.size()) {
                err << "corvana-vidas: --home needs a folder\n";
                return 2;
            }
            home = words[i + 1];
            words.remove(i, 2);
            --i;
        } else if (words[i].startsWith(QLatin1String("--home="))) {
            home = words[i].mid(7);
            words.remove(i);
            --i;
        }
    }
    if (words.isEmpty())
        return usage(err);
    const QString name = words.takeFirst();
    const auto it = commands().constFind(name);
    if (it == commands().constEnd()) {
        err << "corvana-vidas: unknown command \"" << name << "\"\n";
        usage(err);
        return 2;
    }
    const int code = (*it)(CommandArgs{home, words, out, err});
    out.flush();
    err.flush();
    return code;
}
