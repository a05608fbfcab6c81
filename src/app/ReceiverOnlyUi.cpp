#include "app/ReceiverOnlyUi.h"

#include "core/AppContext.h"
#include "link/LisOutbox.h"
#include "link/ReceiveWindow.h"
#include "platform/MessageBoxDialogsUi.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

namespace {
class CloseSwitchesOff final : public QObject
{
public:
    explicit CloseSwitchesOff(ReceiveWindow* window) : QObject(window), m_window(window) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_window && event->type() == QEvent::Close && event->spontaneous()) {
            event->ignore();
            QTimer::singleShot(0, m_window, &ReceiveWindow::receiverOff);
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    ReceiveWindow* m_window;
};
} // namespace

int runReceiverOnly(QApplication& app, const ReceiverOnlyOptions& options)
{
    const InstallFolder folder(options.home.isEmpty() ? InstallFolder::platformDefault() : options.home);
    if (!folder.exists()) {
        std::fprintf(stderr, "corvana: install folder %s does not exist\n", qUtf8Printable(folder.path()));
        return 1;
    }
    app.setLayoutDirection(Qt::RightToLeft);
    MessageBoxDialogs dialogs;
    SystemClock clock;
    AppContext context(folder, &dialogs, &clock);
    context.loadSettings();
    // The receive chain stores and exports every result it reads.
    context.buildConnectionStrings();
    QObject::connect(&context, &AppContext::settingsWindowRequested, &app, [](const QString& page) {
        std::fprintf(stderr, "corvana: the settings window (%s) is not available in this start\n",
                     qUtf8Printable(page));
    });

    QPointer<ReceiveWindow> window = new ReceiveWindow(context);
    // Alone on screen, the receive window is the program: switching the receiver OFF ends it, and
    // with no other window to bring it back from, Cmd_mini minimises instead of hiding and the
    // title bar's close button switches the receiver OFF.
    QObject::connect(window, &QObject::destroyed, &app, &QCoreApplication::quit);
    auto* mini = window->findChild<QPushButton*>(QStringLiteral("Cmd_mini"));
    QObject::disconnect(mini, &QPushButton::clicked, window, nullptr);
    QObject::connect(mini, &QPushButton::clicked, window, &QWidget::showMinimized);
    // What waits for the LIS is delivered on its own timer, and its count is the outbox table's.
    LisOutbox::Sender outbox(context);
    QObject::connect(&outbox, &LisOutbox::Sender::waitingChanged, window.data(), &ReceiveWindow::showOutboxWaiting);
    auto* closing = new CloseSwitchesOff(window);
    window->installEventFilter(closing);
    window->show();
    if (options.showData)
        window->findChild<QPushButton*>(QStringLiteral("cmd_showdata"))->click();

    int code = 0;
    if (options.quitAfterMs > 0) {
        QTimer::singleShot(options.quitAfterMs, &app, [&] {
            if (!options.screenshot.isEmpty()) {
                if (window && window->grab().save(options.screenshot, "PNG")) {
                    std::printf("screenshot: %s\n", qUtf8Printable(options.screenshot));
                    std::fflush(stdout);
                } else {
                    std::fprintf(stderr, "corvana: could not save the screenshot %s\n",
                                 qUtf8Printable(options.screenshot));
                    code = 1;
                }
            }
            app.quit();
        });
    }
    const int loop = app.exec();
    delete window; // before the context it uses
    return code != 0 ? code : loop;
}
