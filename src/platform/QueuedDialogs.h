#pragma once

#include "platform/Dialogs.h"

#include <QObject>
#include <QPointer>
#include <QSet>

// Message boxes asked for by a thread that cannot show them (the receive worker): each is passed
// to the real dialogs on the thread of `home` and answered at once with No (Cancel where there is
// no No), as nobody waits for an answer there. The same message is passed once until `clearRepeats()`:
// a database out of reach must not raise a box at every retry.
class QueuedDialogs final : public Dialogs
{
public:
    QueuedDialogs(Dialogs& target, QObject* home) : m_target(target), m_home(home) {}
    DialogAnswer show(const DialogRequest& request) override;
    void clearRepeats() { m_shown.clear(); }

private:
    Dialogs& m_target;
    QPointer<QObject> m_home;
    QSet<QString> m_shown;
};
