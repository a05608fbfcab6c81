#pragma once

#include "link/ReceivedSession.h"

#include <QList>
#include <QObject>
#include <memory>

class AppContext;
class QueuedDialogs;
class QTimer;
class ReceiveChain;
struct CurrentResult;

// The receive chain's database work, on a thread of its own so that the line never waits for a
// database: sessions come in from the line in order and are processed in order, each exactly
// once. A session that meets any database error (a lock, a database out of reach, a table
// renamed or away for a while) stays first in line and is tried again with growing pauses (up to
// 30 s) until it goes through, never given up; the line goes on being answered
// meanwhile. At start the worker first takes up what the capture archive holds that the journal
// does not (a crash between reception and storage), then drains the LIS outbox.
//
// The worker has its own context (a copy of the settings and connection strings, its own
// connections) and passes message boxes to the main thread's dialogs.
class ReceiveWorker final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ReceiveWorker)

public:
    // Made on the main thread from `context`, then moved to the worker's thread.
    explicit ReceiveWorker(const AppContext& context);
    ~ReceiveWorker() override;

    // Run on the worker's thread (queued calls).
    void start();
    void take(const ReceivedSession& session);
    // Processes what is queued while the databases answer, then stops the timers.
    void finish();

    static constexpr int kMaxRetryMs = 30000;
    static constexpr int kMaxOutboxRetryMs = 60000;

signals:
    void recordParsed(const CurrentResult& record);
    void resultCounted();
    void listLineAdded(const QString& line, qint64 outboxId, int kind);
    void listLineChanged(qint64 outboxId, const QString& status);
    void soundRequested();
    void outboxChanged(int waiting, const QString& reason);
    // Sessions received and not yet stored, and why they wait (empty when they do not).
    void backlogChanged(int waiting, const QString& reason);
    // A session was stored (or found already stored).
    void sessionProcessed();

private:
    void processQueue();
    void sendOutbox();
    void scheduleRetry(const QString& reason);

    std::unique_ptr<QueuedDialogs> m_dialogs;
    AppContext* m_context;
    ReceiveChain* m_chain;
    QTimer* m_retry;
    QTimer* m_outboxRetry;
    QList<ReceivedSession> m_queue;
    int m_retryMs = 0;
    int m_outboxRetryMs = 0;
    bool m_recovered = false;
};
