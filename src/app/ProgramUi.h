#pragma once

#include "core/Navigation.h"
#include "link/LisOutbox.h"

#include <QMap>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class AppContext;
class LoginWindow;
class MainWindow;
class NavigationWidget;
class PasswordWindow;
class SearchWindow;
class QWidget;
class ReceiveWindow;
class SingleInstance;
class UsersWindow;

// The program's windows: starts with the login window, opens the main window and the receive
// window at the end of the start-up, and carries out what the navigation strip of any window asks
// for (with the grant checks). A window is loaded when it is opened and unloaded when the user
// moves on to another one; the receive window stays loaded, hidden or shown, until the receiver is
// switched OFF.
class ProgramUi final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProgramUi)

public:
    ProgramUi(AppContext& context, SingleInstance& singleInstance, QObject* parent = nullptr);
    ~ProgramUi() override;

    // Shows the login window and starts the start-up steps. False when a load check failed (the
    // message was shown and endRequested emitted).
    bool start(const QString& programFolder);

    LoginWindow* loginWindow() const;
    MainWindow* mainWindow() const;
    ReceiveWindow* receiveWindow() const;
    UsersWindow* usersWindow() const;
    PasswordWindow* passwordWindow() const;
    // Every loaded window, shown or not.
    QList<QWidget*> windows() const;

    // Windows that come with later work register here; until then their entries are not shown.
    // The factory makes the window (not shown) and hands back its navigation strip.
    using WindowFactory = std::function<QWidget*(NavigationWidget** navigation)>;
    void registerWindow(NavEntry entry, WindowFactory factory);
    bool isAvailable(NavEntry entry) const;
    // Puts the settings window (the one registered for Opt_setting, made if need be) into recovery
    // mode on a page ("server", "corvanaserver", "comsetup"); the window is then shown and every
    // other window but the receiver is unloaded. Without a handler the program ends, as there is
    // nothing to recover with.
    using RecoveryHandler = std::function<void(QWidget* settingsWindow, const QString& page)>;
    void setRecoveryHandler(RecoveryHandler handler) { m_recovery = std::move(handler); }
    // Ends the program (after a save that restarts it).
    void endProgram(int exitCode) { end(exitCode); }

    // What a navigation entry of `from` does.
    void activate(NavEntry entry, QWidget* from);
    // A window that `from` opens for what it shows (the reference ranges of the catalogue's test):
    // it carries the navigation and takes the place of `from`, like an entry's window.
    void openFrom(QWidget* from, QWidget* window, NavigationWidget* navigation);

signals:
    // The program ends with this exit code.
    void endRequested(int exitCode);
    // A window has been loaded and shown (for the demo's screenshots).
    void windowShown(QWidget* window);

private:
    void attach(QWidget* window, NavigationWidget* navigation);
    void startupFinished();
    void settingsRequested(const QString& page);
    QWidget* openMain();
    void openSearch();
    void backToMainWhenClosed(QWidget* window);
    void openEditor(qint64 autoNum);
    QWidget* openUsers();
    QWidget* openPassword();
    QWidget* openRegistered(NavEntry entry);
    void toggleReceiver();
    void present(QWidget* window);
    void moveOn(QWidget* target, QWidget* from);
    void end(int exitCode);

    AppContext& m_context;
    SingleInstance& m_singleInstance;
    QPointer<LoginWindow> m_login;
    QPointer<MainWindow> m_main;
    QPointer<ReceiveWindow> m_receive;
    QPointer<UsersWindow> m_users;
    QPointer<PasswordWindow> m_password;
    QPointer<SearchWindow> m_search;
    QMap<NavEntry, WindowFactory> m_factories;
    QMap<NavEntry, QPointer<QWidget>> m_registered;
    QList<QPointer<QWidget>> m_opened; // by openFrom
    RecoveryHandler m_recovery;
    // Delivers the LIS outbox while the program runs (from the end of the start-up).
    std::unique_ptr<LisOutbox::Sender> m_outbox;
    bool m_ending = false;
};
