#include "app/CommandLine.h"

#include <QTextStream>

namespace {
int usage(QTextStream& err)
{
    err << "usage: corvana-vidas [--home DIR] <command> ...\n"
           "commands:\n"
           "  parse FILE     print the result records of a capture as JSON lines\n";
    return 2;
}
} // namespace

int runCommandLine(const QStringList& arguments)
{
    QTextStream err(stderr);
    if (arguments.size() < 2)
        return usage(err);
    return usage(err);
}
