#pragma once

#include "link/ChainValues.h"
#include "link/RecordSteps.h"

#include <QDateTime>
#include <QSqlError>
#include <functional>
#include <optional>

class AppContext;
class Notification;

// The steps of the receive chain on the real databases: evaluation (catalogue, factor, patient,
// range), the flag, storage in `Result`, the notification sound and the queueing of the write into
// the LIS. The rules live in Evaluation, Flagging, PatientMatch, ResultStore, LisExport and
// LisOutbox; this class runs their statements on the receive chain's connections (the fourth quiet
// interface slot and the receiver's LIS slot).
//
// All interface writes of a session happen inside the chain's transaction. A database error
// stops the steps: the first one is kept (`error()`), the chain undoes the session and, when the
// error may pass (a lock, a database out of reach), tries it again later. A result is never stored
// half-evaluated.
class ReceiveSteps final : public RecordSteps
{
public:
    explicit ReceiveSteps(AppContext& context);

    void Evaluate(CurrentResult& record) override;
    void Flag(CurrentResult& record) override;
    void StoreResult(CurrentResult& record) override;
    void StoreResultNoSample(CurrentResult& record) override;
    Error error() const override { return m_error; }

    // The LIS patient of the sample, by the identifier mode.
    void FindPatient(CurrentResult& record);
    // Queues the write of the stored result `autoNum` into its LIS request when automatic sending
    // is on; sets Txt_listinfo2.
    void SendToLis(CurrentResult& record, qint64 autoNum);
    // The sound of the settings' `soundname` in the PROC folder, when a sound output is set.
    void PlayNotification();

    // Where sounds go (not owned); without one, as on the command line, no sound is played.
    void setNotification(Notification* notification) { m_notification = notification; }
    bool hasNotification() const { return m_notification != nullptr; }

    // A new session: its journal row, its moment of storage, and whether a row a person edited
    // must be kept as it is (replays and recovery).
    void beginSession(qint64 sessionId, const QDateTime& now, bool keepEditedRows);

    // What happens once the session is committed: a result counted (Lbl_samplenum), a line of
    // Lst_NotSentID (key, status, the outbox entry when queued), a sound, the LIS-off message.
    std::function<void()> counted;
    std::function<void(const QString& key, const QString& status, qint64 outboxId, bool kept)> listed;
    std::function<void()> sound;
    std::function<void()> lisOff;

private:
    enum class Written
    {
        Stored,
        Kept, // the row was edited by a person and is left as it is
        Failed,
    };
    QDateTime now() const;
    void fail(const char* step, const QSqlError& error);
    void failOpen(const char* step, const QString& why);
    Written writeResult(const BoundQuery& duplicate, const CurrentResult& record, qint64* autoNum);
    void addListLine(const CurrentResult& record, qint64 outboxId, bool kept = false);

    AppContext& m_context;
    Notification* m_notification = nullptr;
    Error m_error;
    qint64 m_sessionId = 0;
    QDateTime m_now;
    bool m_keepEditedRows = false;
    qint64 m_outboxId = 0;
};
