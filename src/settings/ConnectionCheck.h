#pragma once

#include "config/AppSettings.h"
#include "platform/Dialogs.h"

#include <QObject>
#include <QString>
#include <optional>

// The settings window's connection tests (cmd_TestSql, cmd_sqlCRV): they use what is typed on the
// page, never what is saved, and change nothing. An embedded file that is missing is reported,
// never created; a server is asked on a thread of its own so the window stays responsive while an
// unreachable one keeps it waiting.
namespace ConnectionCheck {

enum class Server
{
    Interface,
    Lis
};

struct Message
{
    DialogIcon icon = DialogIcon::Information;
    QString title;
    QString text;
};

// What is said before any connection is tried: an empty server or login name, and the LIS's Jet
// file, which is only looked for. Nothing when a connection is to be tried.
std::optional<Message> beforeConnecting(Server server, const AppSettings& typed, const QString& installFolder);

// Opens and closes the typed database on the calling thread; the message to show. `reason` gets
// the driver's words on a failure (for the log, never shown raw).
Message connect(Server server, const AppSettings& typed, const QString& installFolder, QString* reason = nullptr);

// Runs `connect` on a worker thread and reports on the thread that started it.
class Runner final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Runner)

public:
    explicit Runner(QObject* parent = nullptr) : QObject(parent) {}
    bool busy() const { return m_busy; }
    void start(Server server, const AppSettings& typed, const QString& installFolder);

signals:
    void finished(const ConnectionCheck::Message& message, const QString& reason);

private:
    bool m_busy = false;
};

} // namespace ConnectionCheck
