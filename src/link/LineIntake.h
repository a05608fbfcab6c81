#pragma once

#include "link/CaptureArchive.h"
#include "link/SerialSession.h"

#include <QObject>
#include <QPointer>

class AppContext;
class QThread;
class QTimer;
class ReceiveWorker;
struct CurrentResult;

// What happens on the line's side, for the receive window and `corvana-vidas receive` alike: a
// lone ENQ is answered at once, the bytes are cut into sessions at EOT, every byte goes to the
// capture archive, and a session made durable there is handed to the receive worker, whose
// database work runs on its own thread. Nothing here waits for a database.
//
// A second complete session already in the buffer is cut on the next turn of the event loop. Bytes
// go to the archive as they arrive: at once at every ETX and EOT, within half a second otherwise. An
// archive that cannot be written (disk full) keeps its bytes and sessions and is tried again every
// two seconds; the alarm says so until it goes through.
class LineIntake final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LineIntake)

public:
    // The worker gets a copy of the context's settings and connection strings.
    explicit LineIntake(AppContext& context, QObject* parent = nullptr);
    // Writes what the archive holds and lets the worker finish what it can.
    ~LineIntake() override;

    // Starts the worker: first what the archive holds unprocessed, then the line's sessions.
    void start();
    // Stops the worker after the sessions it can store now; what remains is in the archive. Bytes
    // the archive cannot take are tried for a while, then spilled to a second place: what was done
    // with them, or empty when all is in the archive.
    QString stop();
    // How long stop() keeps trying the archive before it spills.
    void setStopPatience(int ms) { m_stopPatienceMs = ms; }

    // One arrival; returns what to write back to the line (ACK, NAK with frame answers, or nothing).
    QByteArray receive(const QByteArray& bytes);
    // The port was (re)opened: the buffers start empty; the archive keeps everything.
    void resetLine();
    // Hands what the message area holds to the worker now (the receive window's parse button).
    void parseNow();
    // Writes the archive's pending bytes now.
    bool flushArchive();

    const SerialSession& session() const { return m_session; }
    const CaptureArchive& archive() const { return m_archive; }
    // Empty, or why received data is at risk (the archive cannot be written).
    QString alarm() const { return m_alarm; }

    static constexpr int kArchiveRetryMs = 2000;
    // What arrives without ending a frame is on disk within this.
    static constexpr int kFlushMs = 500;
    static constexpr int kStopPatienceMs = 10000;

signals:
    void recordParsed(const CurrentResult& record);
    void resultCounted();
    void listLineAdded(const QString& line, qint64 outboxId, int kind);
    void listLineChanged(qint64 outboxId, const QString& status);
    void soundRequested();
    void outboxChanged(int waiting, const QString& reason);
    void backlogChanged(int waiting, const QString& reason);
    void sessionProcessed();
    void alarmChanged(const QString& alarm);
    // A session is on disk and goes to the worker now.
    void sessionDispatched(const QByteArray& bytes);
    // The buffer or the message area changed (the raw view).
    void buffersChanged();

private:
    void cut(qint64 cutEnd, const QDateTime& at, const QByteArray& message);
    void cutPending();
    void cutNext();
    void writeArchive();
    void dispatch();
    void setAlarm(const QString& alarm);

    AppContext& m_context;
    SerialSession m_session;
    CaptureArchive m_archive;
    QThread* m_thread = nullptr;
    QPointer<ReceiveWorker> m_worker;
    QTimer* m_archiveRetry;
    QTimer* m_flush;
    int m_stopPatienceMs = kStopPatienceMs;
    bool m_started = false;
    QList<ReceivedSession> m_undelivered; // durable before the worker started
    QString m_alarm;
    bool m_cutScheduled = false;
    struct PendingCut
    {
        qint64 end;
        QDateTime at;
        QByteArray message;
    };
    QList<PendingCut> m_pendingCuts; // cut from the line, not yet given to the archive
};
