#include "app/ProgramStartUi.h"

#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "app/ProgramUi.h"
#include "app/ReferenceWindowsUi.h"
#include "app/SettingsWindowsUi.h"
#include "app/StartupSequence.h"
#include "core/AppContext.h"
#include "core/NavigationWidget.h"
#include "platform/KeyboardLayout.h"
#include "platform/MessageBoxDialogsUi.h"
#include "platform/ProgramRestart.h"
#include "platform/SingleInstance.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <memory>

namespace {
const QString kProgramTitle = QStringLiteral("Corvana interface VIDAS");

QString shotPath(const QString& screenshot, const QString& objectName)
{
    const QFileInfo info(screenshot);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral("-") + objectName + QStringLiteral(".png"));
}

// The window as the user sees it, with a title bar of its own drawn above: the virtual display of
// the demo has no window manager to draw one, and the title is part of what is checked.
QImage framed(QWidget* window)
{
    const QPixmap contents = window->grab();
    const int bar = 30;
    QImage image(contents.width(), contents.height() + bar, QImage::Format_RGB32);
    image.fill(QColor(0xdd, 0xe3, 0xea));
    QPainter painter(&image);
    painter.drawPixmap(0, bar, contents);
    QFont font = window->font();
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(0x20, 0x20, 0x20));
    painter.drawText(QRect(10, 0, image.width() - 20, bar), Qt::AlignRight | Qt::AlignVCenter, window->windowTitle());
    return image;
}

bool saveShot(QWidget* window, const QString& file)
{
    if (!window || !framed(window).save(file, "PNG")) {
        std::fprintf(stderr, "corvana: could not save the screenshot %s\n", qUtf8Printable(file));
        return false;
    }
    std::printf("screenshot: %s\n", qUtf8Printable(file));
    std::fflush(stdout);
    return true;
}

void pressEnter(QWidget* widget)
{
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &press);
}

// The demo's walk through the windows: each step clicks a button or box of the window in front,
// or picks the first row of a grid and saves a screenshot of the window. A message box a click
// brought up is handed to `shot` (as "message") and closed first.
void walk(ProgramUi& ui, const QStringList& entries, int index,
          const std::function<void(QWidget*, const QString&)>& shot)
{
    if (index >= entries.size())
        return;
    QTimer::singleShot(900, &ui, [&ui, entries, index, shot] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            shot(box, QStringLiteral("message"));
            box->close();
        }
        // The next step is due even while this click waits in a message box.
        walk(ui, entries, index + 1, shot);
        // "Box=text" types into a box; "Grid:text" picks the first row that shows the text (else
        // the first row).
        const QString step = entries.at(index);
        const QString name = step.section(QRegularExpression(QStringLiteral("[=:]")), 0, 0);
        const QString text = step.mid(name.size() + 1);
        const auto shootLater = [shot](QWidget* window, const QString& suffix) {
            QPointer<QWidget> shown = window;
            QTimer::singleShot(300, window, [shown, shot, suffix] {
                if (shown)
                    shot(shown, shown->objectName() + suffix);
            });
        };
        for (QWidget* window : ui.windows()) {
            if (!window->isVisible() || window->objectName() == QLatin1String("Frm_recivedata"))
                continue;
            // The settings window's page buttons first: its strip has a cmd_resultopt of its own.
            QWidget* pages = window->findChild<QWidget*>(QStringLiteral("Pct_pagebuttons"));
            if (auto* page = pages ? pages->findChild<QAbstractButton*>(name) : nullptr) {
                page->click();
                shootLater(window, QStringLiteral("-") + name);
                break;
            }
            if (auto* button = window->findChild<QAbstractButton*>(name)) {
                button->click();
                break;
            }
            if (auto* box = window->findChild<QLineEdit*>(name); box && step.contains(QLatin1Char('='))) {
                box->setText(text);
                emit box->textEdited(text);
                shootLater(window, QStringLiteral("-typed"));
                break;
            }
            if (auto* grid = window->findChild<QTableWidget*>(name); grid && grid->rowCount() > 0) {
                const QList<QTableWidgetItem*> found =
                    text.isEmpty() ? QList<QTableWidgetItem*>{} : grid->findItems(text, Qt::MatchContains);
                const int row = found.isEmpty() ? 0 : found.first()->row();
                grid->setCurrentCell(row, 0);
                emit grid->cellClicked(row, 0);
                shootLater(window, QStringLiteral("-selected"));
                break;
            }
        }
    });
}
} // namespace

int runProgram(QApplication& app, const ProgramOptions& options)
{
    const InstallFolder folder(options.home.isEmpty() ? InstallFolder::platformDefault() : options.home);
    app.setLayoutDirection(Qt::RightToLeft);
    // No application display name: the platform would append it to every title, and the windows'
    // and messages' titles are exactly their own.
    MessageBoxDialogs dialogs;
    SystemClock clock;
    AppContext context(folder, &dialogs, &clock);
    SystemKeyboardLayout keyboard;
    context.setKeyboardLayout(&keyboard);
    // Beside the settings where there is an install folder, so that two install folders on one
    // machine do not keep each other from running; the named mutex on Windows is per machine.
    auto singleInstance =
        std::make_unique<SystemSingleInstance>(kProgramTitle, folder.exists() ? folder.path() : QString());
    ProcessRestart restart = ProcessRestart::ofThisProgram();

    int code = 0;
    auto* ui = new ProgramUi(context, *singleInstance);
    registerReferenceWindows(*ui, context);
    registerSettingsWindows(*ui, context, restart);
    QObject::connect(
        ui, &ProgramUi::endRequested, &app, [](int exitCode) { QCoreApplication::exit(exitCode); },
        Qt::QueuedConnection);

    if (!options.screenshot.isEmpty()) {
        // Each window as it is shown; the login window once its boxes are filled in.
        QObject::connect(ui, &ProgramUi::windowShown, &app, [&options, &code](QWidget* window) {
            QPointer<QWidget> shown = window;
            QTimer::singleShot(400, window, [shown, &options, &code] {
                if (shown && shown->isVisible() && !saveShot(shown, shotPath(options.screenshot, shown->objectName())))
                    code = 1;
            });
        });
    }

    const int separator = options.demoLogin.indexOf(QLatin1Char(':'));
    if (separator > 0) {
        const QString name = options.demoLogin.left(separator);
        const QString password = options.demoLogin.mid(separator + 1);
        QObject::connect(ui, &ProgramUi::windowShown, &app, [ui, name, password](QWidget* window) {
            if (window != static_cast<QWidget*>(ui->loginWindow()))
                return;
            auto* user = window->findChild<QLineEdit*>(QStringLiteral("Txt_username"));
            auto* pass = window->findChild<QLineEdit*>(QStringLiteral("Txt_password"));
            if (!user || !pass || !user->isVisible())
                return; // the first administrator is asked for: nothing to type in for the demo
            user->setText(name);
            pass->setText(password);
            QPointer<QLineEdit> box = pass;
            QTimer::singleShot(900, pass, [box] {
                if (box)
                    pressEnter(box);
            });
        });
    }
    if (options.demoWalk) {
        auto walked = std::make_shared<bool>(false);
        QObject::connect(ui, &ProgramUi::windowShown, &app, [ui, walked, &options](QWidget* window) {
            if (window == static_cast<QWidget*>(ui->mainWindow()) && !*walked) {
                *walked = true;
                // Edit with no account chosen in the users window shows a message box; then the
                // search for today's results, each settings page, and the About window.
                walk(*ui, {QStringLiteral("cmd_users"),        QStringLiteral("cmd_edit"),
                           QStringLiteral("cmd_passwordModi"), QStringLiteral("cmd_FACTORSS"),
                           QStringLiteral("cmd_resultopt"),    QStringLiteral("cmd_comments"),
                           QStringLiteral("Opt_patient"),      QStringLiteral("MSFG_Patient:2601140001230"),
                           QStringLiteral("cmd_edit"),         QStringLiteral("Txt_TEST_R=7.9"),
                           QStringLiteral("cmd_CRVdata"),      QStringLiteral("DGd_patientname"),
                           QStringLiteral("cmd_cancelcrvget"), QStringLiteral("cmd_Cancel"),
                           QStringLiteral("Opt_receivedata"),  QStringLiteral("cmd_search"),
                           QStringLiteral("Chk_testdate"),     QStringLiteral("cmd_search"),
                           QStringLiteral("Opt_setting"),      QStringLiteral("cmd_servercorvana"),
                           QStringLiteral("cmd_settingcom"),   QStringLiteral("cmd_resultopt"),
                           QStringLiteral("cmd_systemopt"),    QStringLiteral("cmd_fontcolor"),
                           QStringLiteral("cmd_serverset"),    QStringLiteral("opt_aboutus")},
                     0, [&options](QWidget* window, const QString& name) {
                         if (!options.screenshot.isEmpty())
                             saveShot(window, shotPath(options.screenshot, name));
                     });
            }
        });
    }
    if (options.showData) {
        QObject::connect(ui, &ProgramUi::windowShown, &app, [](QWidget* window) {
            auto* buffer = window->findChild<QWidget*>(QStringLiteral("Txt_buffer"));
            auto* toggle = window->findChild<QPushButton*>(QStringLiteral("cmd_showdata"));
            if (buffer && toggle && buffer->isHidden())
                toggle->click();
        });
    }
    if (options.quitAfterMs > 0) {
        QTimer::singleShot(options.quitAfterMs, &app, [ui, &options, &code] {
            if (!options.screenshot.isEmpty()) {
                QWidget* front = ui->mainWindow();
                if (!front || !front->isVisible())
                    front = QApplication::activeWindow();
                for (QWidget* window : ui->windows()) {
                    if (window->isVisible() && !saveShot(window, shotPath(options.screenshot, window->objectName())))
                        code = 1;
                }
                if (!front || !saveShot(front, options.screenshot))
                    code = 1;
            }
            QCoreApplication::exit(code);
        });
    }

    const bool started = ui->start(QCoreApplication::applicationDirPath());
    const int loop = app.exec();
    delete ui; // before the context its windows use
    // The next copy starts once this one no longer holds the single-copy guard.
    singleInstance.reset();
    if (!restart.startIfRequested())
        return 1;
    if (!started)
        return loop != 0 ? loop : 1;
    return code != 0 ? code : loop;
}
