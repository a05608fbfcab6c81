#include "app/CommandLine.h"

#include "reports/ReportCommands.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <memory>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

int main(int argc, char* argv[])
{
#ifdef Q_OS_UNIX
    // Databases, captures and their journals hold patients' results: owner and group only.
    ::umask(007);
#endif
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // Reports lay out text, which takes the font database of a GUI application; a station without
    // a screen draws offscreen.
    std::unique_ptr<QCoreApplication> app;
    if (reportCommandDraws(arguments)) {
#ifdef Q_OS_UNIX
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
            qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    return runCommandLine(QCoreApplication::arguments());
}
