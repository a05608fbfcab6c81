#include "app/ReceiverOnlyUi.h"
#include "app/Startup.h"

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
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        QStringLiteral("Save a PNG of the window before quitting."),
                                        QStringLiteral("FILE"));
    const QCommandLineOption quitAfter(QStringLiteral("quit-after"), QStringLiteral("Quit after MS milliseconds."),
                                       QStringLiteral("MS"));
    parser.addOptions({home, receiverOnly, showData, screenshot, quitAfter});
    parser.process(app);

    ReceiverOnlyOptions options;
    options.home = parser.value(home);
    options.screenshot = parser.value(screenshot);
    options.quitAfterMs = parser.value(quitAfter).toInt();
    options.showData = parser.isSet(showData);
    // Until the login window exists every start is the receive window alone.
    return runReceiverOnly(app, options);
}
