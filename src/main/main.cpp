#include "app/Startup.h"

#include <QApplication>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

int main(int argc, char* argv[])
{
#ifdef Q_OS_UNIX
    // Databases, captures and their journals hold patients' results: owner and group only.
    ::umask(007);
#endif
    QApplication app(argc, argv);
    return runCorvana(app);
}
