#include "app/ProgramStartUi.h"
#include "app/ReceiverOnlyUi.h"
#include "app/Startup.h"
#include "platform/Translations.h"

#include <QApplication>
#include <QCommandLineParser>

int runCorvana(QApplication& app)
{
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption home(QStringLiteral("home"), QStringLiteral("Install folder."), QStringLiteral("DIR"));
    const QCommandLineOption receiverOnly(QStringLiteral("receiver-only"),
                                          QStringLiteral("Start the receive window alone."));
    const QCommandLineOption showData(QStringLiteral("show-data"), QStringLiteral("Open with the raw view shown."));
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("Save a PNG of the window before quitting (and of each window shown, beside it)."),
        QStringLiteral("FILE"));
    const QCommandLineOption quitAfter(QStringLiteral("quit-after"), QStringLiteral("Quit after MS milliseconds."),
                                       QStringLiteral("MS"));
    const QCommandLineOption demoLogin(QStringLiteral("demo-login"),
                                       QStringLiteral("Demo: log in with this name and password."),
                                       QStringLiteral("NAME:PASSWORD"));
    const QCommandLineOption demoWalk(QStringLiteral("demo-walk"),
                                      QStringLiteral("Demo: after the login, open the users, password and receive "
                                                     "windows one after the other."));
    parser.addOptions({home, receiverOnly, showData, screenshot, quitAfter, demoLogin, demoWalk});
    parser.process(app);
    installArabicQtTexts(app);

    if (parser.isSet(receiverOnly)) {
        ReceiverOnlyOptions options;
        options.home = parser.value(home);
        options.screenshot = parser.value(screenshot);
        options.quitAfterMs = parser.value(quitAfter).toInt();
        options.showData = parser.isSet(showData);
        return runReceiverOnly(app, options);
    }
    ProgramOptions options;
    options.home = parser.value(home);
    options.screenshot = parser.value(screenshot);
    options.quitAfterMs = parser.value(quitAfter).toInt();
    options.demoLogin = parser.value(demoLogin);
    options.demoWalk = parser.isSet(demoWalk);
    options.showData = parser.isSet(showData);
    return runProgram(app, options);
}
