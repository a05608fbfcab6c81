#pragma once

#include "config/AppSettings.h"
#include "core/CurrentUser.h"
#include "core/Navigation.h"
#include "core/ResultSelection.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/InstallFolder.h"
#include "platform/KeyboardLayout.h"
#include "platform/SoundPlayer.h"

#include <QObject>
#include <QString>
#include <memory>

class Databases;

// The process-wide records and services. main() builds the real one; each test builds its own
// with fakes. Nothing else in the program is global.
class AppContext final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AppContext)

public:
    AppContext(InstallFolder folder, Dialogs* dialogs, Clock* clock, QObject* parent = nullptr);

    // Services (not owned).
    Dialogs& dialogs() const { return *m_dialogs; }
    Clock& clock() const { return *m_clock; }
    const InstallFolder& installFolder() const { return m_folder; }
    // The connection slots and their openers (owned, a child of this object).
    Databases& databases() const { return *m_databases; }
    // The keyboard-layout switch (SetKeyboardLayout); a system one unless another is set (not owned).
    KeyboardLayout& keyboardLayout() const { return m_keyboard ? *m_keyboard : m_systemKeyboard; }
    void setKeyboardLayout(KeyboardLayout* keyboard) { m_keyboard = keyboard; }
    // The notification sound's player: Qt Multimedia (made at first use) unless another is set
    // (not owned).
    SoundPlayer& soundPlayer() const;
    void setSoundPlayer(SoundPlayer* player) { m_soundPlayer = player; }

    // Shared records.
    AppSettings settings;
    CurrentUser currentUser;
    QString InterfaceConnString;
    QString LisConnString;
    qint16 LisIsAccess = 0;
    // The rows the main window's result grid shows (set by the patient list and the search).
    ResultSelection ResultCriteria;
    QString ActiveTestCodes;

    qint16 receiverOn() const { return m_receiverOn; }
    void setReceiverOn(qint16 on);
    qint16 receiveWindowOpen() const { return m_receiveWindowOpen; }
    void setReceiveWindowOpen(qint16 open) { m_receiveWindowOpen = open; }
    qint16 activeWindowCode() const { return m_activeWindowCode; }
    void setActiveWindowCode(qint16 code) { m_activeWindowCode = code; }
    // The analyser line of the receiver, for the indicator of the window in front.
    const LineStatus& lineStatus() const { return m_lineStatus; }
    void setLineStatus(const LineStatus& status);

    // Reads VIDASSETING.INI of the install folder into `settings`.
    void loadSettings();
    // Sets InterfaceConnString, LisConnString and LisIsAccess from `settings`; all stay empty (0)
    // when the settings file was not found, so that the first database open reports it.
    void buildConnectionStrings();

    // The one way to ask for the settings window in recovery mode on a page ("server",
    // "corvanaserver", "comsetup"): the openers, the start-up sequence and the receiver use it.
    void requestSettingsWindow(const QString& page) { emit settingsWindowRequested(page); }

signals:
    // The receiver indicator of the window in front should show ON (true) or OFF.
    void receiverIndicatorChanged(bool on);
    // A database or the serial port cannot be used: the settings window should open in recovery
    // mode on `page` (see requestSettingsWindow).
    void settingsWindowRequested(const QString& page);
    // The receiver's line changed state (lost, reopened, closed).
    void lineStatusChanged();

private:
    InstallFolder m_folder;
    Dialogs* m_dialogs;
    Clock* m_clock;
    Databases* m_databases;
    KeyboardLayout* m_keyboard = nullptr;
    mutable SystemKeyboardLayout m_systemKeyboard;
    SoundPlayer* m_soundPlayer = nullptr;
    mutable std::unique_ptr<SoundPlayer> m_mediaSoundPlayer;
    qint16 m_receiverOn = 0;
    qint16 m_receiveWindowOpen = 0;
    qint16 m_activeWindowCode = 0;
    LineStatus m_lineStatus;
};
