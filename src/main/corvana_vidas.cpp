#include "app/CommandLine.h"

#include <QCoreApplication>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

int main(int argc, char* argv[])
{
#ifdef Q_OS_UNIX
    // Databases, captures and their journals hold patients' results: owner and group only.
    ::umask(007);
#endif
    QCoreApplication app(argc, argv);
    return runCommandLine(app.arguments());
}
