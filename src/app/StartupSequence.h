#pragma once

#include "app/Login.h"

#include <QObject>
#include <QString>

class AppContext;
class InstallFolder;
class QTimer;
class SingleInstance;

// What the login window shows when it asks for the login: the remembered name, and the token that
// stands for the password, when remember-me was on.
using RememberedLogin = Login::Remembered;

// The start-up of the login window as a sequence of numbered steps, one per timer tick: the
// window-load checks, then steps 1-8 up to the interface database, a stop for the login at step 9,
// and after the login steps 10-15 up to the main window. The window only shows what it is told.
class StartupSequence final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(StartupSequence)

public:
    static constexpr qint16 kLastStep = 15;
    // The steps run back to back, each in a turn of its own of the event loop: the progress picture
    // is drawn once per step, and the login boxes take the keyboard as soon as the steps are done.
    static constexpr int kDefaultIntervalMs = 0;

    StartupSequence(AppContext& context, SingleInstance& singleInstance, QObject* parent = nullptr);

    // The folder the program runs from (the executable's); checked against the install folder.
    void setProgramFolder(const QString& folder) { m_programFolder = folder; }

    // Window load: the install-folder and MEMORYVIDAS.ini checks. False when the program has to
    // end (endProgramRequested has been emitted).
    bool load();
    // Starts the step timer (after a successful load).
    void start();
    // One timer tick: advances the counter and runs the step of that number.
    void tick();

    qint16 step() const { return m_step; }
    QTimer& timer() const { return *m_timer; }
    bool waitingForLogin() const { return m_waitingForLogin; }

    // The login of the waiting sequence; on success the timer runs again (steps 10-15).
    Login::Outcome logIn(const QString& userName, const QString& password, bool remember, bool passwordIsToken = false);
    // After the first administrator account was made: ask for the normal login.
    void firstAccountCreated(const QString& userName);

    // On Windows the program must run from exactly this folder (letter case included).
    static bool isFixedInstallFolder(const QString& programFolder);
    // The install-folder rule of this platform: the fixed folder on Windows, elsewhere the
    // install folder (--home or $CORVANA_HOME) must exist.
    static bool installFolderAccepted(const QString& programFolder, const InstallFolder& folder);
    // Whether dates come out with English month names, as every statement's date text needs.
    static bool datesHaveEnglishMonths(const QDate& date);

signals:
    void progressed(int step);
    // Step 9: show the login boxes, filled from the remember-me keys.
    void loginRequested(const RememberedLogin& remembered);
    // Step 9 on a database without any account: ask for the first administrator first.
    void firstAdministratorRequested();
    // Step 15: show the main window and, when the serial link is on, load the receive window.
    void finished();
    // A database could not be reached: the settings window has been asked for; unload the window.
    void unloadRequested();
    // A fatal check failed and its message was shown: the program ends.
    void endProgramRequested(int exitCode);

private:
    void runStep(qint16 step);
    void readSettings();
    void checkSingleInstance();
    void probeDateFormat();
    void openInterfaceDatabase();
    void askForLogin();
    void checkLisDatabase();
    void end(int exitCode);

    AppContext& m_context;
    SingleInstance& m_singleInstance;
    QTimer* m_timer;
    QString m_programFolder;
    qint16 m_step = 0;
    bool m_waitingForLogin = false;
    bool m_stopped = false;
};
