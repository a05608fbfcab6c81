#pragma once

#include "FakeSoundPlayer.h"
#include "PtyPair.h"
#include "TestInstall.h"
#include "db/ScopedConnection.h"
#include "db/SqlRun.h"
#include "link/AnalyserCapture.h"
#include "link/ReceiveChain.h"
#include "link/ReceiveWindow.h"

#include <QLabel>
#include <QPointer>
#include <QProcess>

// Another program's write lock on a SQLite file, while it lives.
struct WriteLock
{
    explicit WriteLock(const QString& file) { held = c.openSqlite(file) && SqlRun::exec(c.db(), "BEGIN EXCLUSIVE"); }
    ~WriteLock() { SqlRun::exec(c.db(), QStringLiteral("ROLLBACK")); }
    ScopedConnection c{QStringLiteral("QSQLITE")};
    bool held = false;
};

// The receive chain's laboratory: a throw-away install with the demo catalogue and today's demo
// requests, results sent to the LIS ([comsetup] autsavecrv=1), the serial line on the
// pseudo-terminal `pty`; on it the chain itself or the receive window, with what they list and play.
class ReceiveLab
{
public:
    ReceiveLab();
    ~ReceiveLab() { delete m_window; }

    // A context on the settings as they stand now, playing into `sound`.
    AppContext& makeContext();
    // The chain on a context of its own.
    ReceiveChain& chain();
    // One session through the chain, received now, as if from `origin`.
    ReceiveChain::Result process(const QByteArray& bytes,
                                 ReceivedSession::Origin origin = ReceivedSession::Origin::Line, bool force = false);

    // The receive window on the context made last (or a new one), its port opened at once unless
    // `openNow` is false.
    ReceiveWindow& window(bool openNow = true);
    template <typename T> T* control(const char* name) const { return m_window->findChild<T*>(QLatin1String(name)); }
    // A label's text without the direction marks put before Latin values.
    QString shown(const char* label) const { return control<QLabel>(label)->text().remove(QChar(0x200E)); }
    QStringList listLines() const;
    // Hands `bytes` to the window as the line would (ENQ alone, then the rest) and waits until the
    // worker is done with the session.
    bool deliver(const QByteArray& bytes);
    // Plays the analyser on the line: the ENQ, and once it is answered the rest. How long the
    // answer took in ms; -1 when none came.
    double sendOverLine(const QByteArray& session);
    // Everything written to the line within `ms`.
    QByteArray lineOutput(int ms);
    // Whether `port` stays open after a passing read error while data waits on the line.
    bool keepsLineAfterReadError(QSerialPort& port);

    // Points the stable name `path` at `target` in one step, as udev re-points /dev/serial/by-id/...
    static bool pointTo(const QString& path, const QString& target);

    // A session of "sample|assay|value|reading" results, "+" between them.
    static QByteArray sessionOf(const QString& text);

    static AnalyserCapture::Result result(const QByteArray& sample, const QByteArray& assay, const QByteArray& value,
                                          const QByteArray& reading = {});

    TestInstall install;
    bool ready = false;
    AppContext* context = nullptr; // made last
    FakeSoundPlayer sound;
    std::unique_ptr<PtyPair> pty;
    QStringList lines; // what the chain listed

private:
    std::unique_ptr<ReceiveChain> m_chain;
    QPointer<ReceiveWindow> m_window;
};
