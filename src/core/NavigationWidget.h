#pragma once

#include "core/Navigation.h"

#include <QMap>
#include <QSet>
#include <QWidget>

class AppContext;
class QLabel;
class QPushButton;

// The strip every window carries: the navigation entries, the receiver indicator, and the name
// of the logged-in user with the login time. Which entries are shown is set by whoever opens the
// window (an entry whose window does not exist is not shown).
class NavigationWidget final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NavigationWidget)

public:
    // `windowCode` is the code of the window that carries the strip.
    NavigationWidget(AppContext& context, qint16 windowCode, QWidget* parent = nullptr);

    // The window has loaded: it becomes the active window and shows the receiver state, the user
    // name and the login time.
    void windowLoaded();

    void setEntryShown(NavEntry entry, bool shown);
    // The window carries out this entry itself (the catalogue's cmd_resultopt opens the ranges of
    // the test it shows): a click emits keptEntryActivated instead of entryActivated.
    void keepEntry(NavEntry entry) { m_kept.insert(entry); }
    QPushButton* button(NavEntry entry) const { return m_buttons.value(entry); }
    // Shows the receiver indicator ON or OFF; ON in amber while the receiver's line is lost.
    void showReceiver(bool on);

signals:
    void entryActivated(NavEntry entry);
    void keptEntryActivated(NavEntry entry);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    AppContext& m_context;
    qint16 m_windowCode;
    bool m_receiverShownOn = false;
    QMap<NavEntry, QPushButton*> m_buttons;
    QSet<NavEntry> m_kept;
    QLabel* m_lblUsername;
    QLabel* m_lblLogin;
};
