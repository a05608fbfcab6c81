#pragma once

#include "app/StartupSequence.h"

#include <QWidget>

class AppContext;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class SingleInstance;

// Frm_start: runs the start-up steps with a progress display, asks for the user's name and
// password, and on a database without accounts first for the administrator's account. It is
// unloaded at the end of the start-up.
class LoginWindow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LoginWindow)

public:
    LoginWindow(AppContext& context, SingleInstance& singleInstance, QWidget* parent = nullptr);

    StartupSequence& sequence() const { return *m_sequence; }

    // Window load: shows itself, lets it paint, runs the load checks and starts the steps. False
    // when a check failed (the program is to end).
    bool start(const QString& programFolder);

    // The login of Enter in either box (also for the demo start).
    void logIn();

signals:
    // Escape in a box: the program ends.
    void endRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void showLogin(const RememberedLogin& remembered);
    void showFirstAdministrator();
    void createFirstAdministrator();
    void setLoginVisible(bool visible);

    AppContext& m_context;
    StartupSequence* m_sequence;
    QProgressBar* m_progress = nullptr;
    QLabel* m_lblStep = nullptr;
    QWidget* m_loginPanel = nullptr;
    QLabel* m_lblUsername = nullptr;
    QLabel* m_lblPassword = nullptr;
    QLineEdit* m_txtUsername = nullptr;
    QLineEdit* m_txtPassword = nullptr;
    QCheckBox* m_chkRememberMe = nullptr;
    QString m_rememberedToken;
    QLineEdit* m_txt = nullptr;
    QWidget* m_adminPanel = nullptr;
    QLineEdit* m_txtAdminName = nullptr;
    QLineEdit* m_txtAdminPassword = nullptr;
    QLineEdit* m_txtAdminRepeat = nullptr;
    QPushButton* m_cmdCreateAdmin = nullptr;
};
