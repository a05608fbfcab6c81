#pragma once

#include "link/CurrentResult.h"
#include "link/LisOutbox.h"
#include "link/ReceivedSession.h"
#include "link/RecordSteps.h"
#include "link/SessionFrames.h"

#include "db/Dialect.h"

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QSqlDatabase>
#include <memory>

class AppContext;
class Notification;
class QTimer;
class ReceiveSteps;
class SoundPlayer;

// Takes complete analyser sessions and carries every result record in them through parsing and
// the steps after it: evaluation, flag, storage, notification sound and LIS export. The receive
// worker, the command line and the tests all use this one object.
//
// A session is one transaction of the interface database: its Result rows, its journal entry,
// its held frames and its LIS outbox entries are committed together or not at all. Frames whose
// checksum fails are held, never evaluated or stored. What the window shows (records, counts,
// list lines, sounds) is announced only after the commit, so a session that is tried again is
// never shown twice.
class ReceiveChain final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ReceiveChain)

public:
    // The kinds of line in the receive window's list (Lst_NotSentID).
    enum LineKind : int
    {
        StoredLine = 0,
        HeldLine = 1,   // a frame that cannot be verified, a record of neither layout, a session cut short
        FailedLine = 2, // no longer listed: a session is never given up
        KeptLine = 3,   // a replayed result left alone because a person edited the stored one
    };

    enum class Result
    {
        Done,    // processed and committed
        Skipped, // already recorded in the journal
        Retry,   // a database error: nothing was kept, try again later
        Refused, // (inside the chain only) a record the database can never take
    };
    struct Outcome
    {
        Result result = Result::Done;
        QString reason;
    };

    // The steps run on the context's databases and settings.
    explicit ReceiveChain(AppContext& context, QObject* parent = nullptr);
    ~ReceiveChain() override;

    Outcome processSession(const ReceivedSession& session);

    // Processes the message area as a session received now, then empties it.
    void ParseMessages(QByteArray& messageArea);

    // Delivers what waits in the LIS outbox; lines already listed change to their final status.
    LisOutbox::SendOutcome deliverOutbox();
    // After each committed session, try the outbox at once (the default). The worker turns it off
    // while the LIS is out of reach, so that sessions are not slowed by a LIS that cannot answer.
    void setDeliverAtOnce(bool atOnce) { m_deliverAtOnce = atOnce; }

    // Other steps after reading (not owned), for tests; nullptr restores the real ones.
    void setSteps(RecordSteps* steps);
    // The real steps (for the tests that call one step alone).
    ReceiveSteps& realSteps() const { return *m_realSteps; }

    // Plays the notification sound of stored results through `player`, cut by `timersx` (neither
    // owned). Without it the chain asks for the sound with soundRequested().
    void setSound(SoundPlayer* player, QTimer* timersx);
    // Closes the sound device (the window's unloading).
    void closeSound();

    // The record being (or last) processed.
    const CurrentResult& current() const { return m_current; }

signals:
    // A record was read and handed on; the window shows it.
    void recordParsed(const CurrentResult& record);
    // A result was counted as stored (Lbl_samplenum).
    void resultCounted();
    // A line for Lst_NotSentID: key text and status; `outboxId` names the LIS write it waits for.
    void listLineAdded(const QString& line, qint64 outboxId, int kind);
    // A queued LIS write was made (or found no request): the line's new text.
    void listLineChanged(qint64 outboxId, const QString& line);
    // A stored result to announce, when no sound player is set.
    void soundRequested();
    // How many LIS writes wait, and why (empty when nothing holds them up).
    void outboxChanged(int waiting, const QString& reason);

private:
    struct Event;
    void processRecords(const QStringList& records);
    void processRecord();
    void hold(const SessionFrames::Held& held);
    Outcome store(const QSqlDatabase& db, SqlEngine engine, const ReceivedSession& session,
                  const SessionFrames::Sorted& sorted, bool byHand);
    void announce(const QList<LisOutbox::Delivery>& delivered);

    AppContext& m_context;
    std::unique_ptr<ReceiveSteps> m_realSteps;
    std::unique_ptr<Notification> m_notification;
    RecordSteps* m_steps;
    CurrentResult m_current;
    QList<Event> m_events;
    QString m_holdError;
    qint64 m_sessionId = 0;
    QDateTime m_sessionNow;
    int m_results = 0;
    int m_held = 0;
    QHash<qsizetype, QString> m_refused; // records of this session the database refused, with why
    qsizetype m_refusedAt = -1;          // the record whose step failed last
    bool m_deliverAtOnce = true;
};
