#pragma once

#include "link/ChainValues.h"
#include "link/RecordSteps.h"

#include <QDateTime>
#include <functional>

class AppContext;
class Notification;

// The steps of the receive chain on the real databases: evaluation (catalogue, factor, patient,
// range), the flag, storage in `Result`, the notification sound and the write into the LIS. The
// rules live in Evaluation, Flagging, PatientMatch, ResultStore and LisExport; this class runs
// their statements on the receive chain's connections (the fourth quiet interface slot and the
// receiver's LIS slot).
//
// Database errors do not stop a result: a look-up that fails leaves its fields empty, and storage
// goes on past a failing step (the row may be missing while the count advances), as the capture
// archive keeps every received message for a replay.
class ReceiveSteps final : public RecordSteps
{
public:
    explicit ReceiveSteps(AppContext& context);

    void Evaluate(CurrentResult& record) override;
    void Flag(CurrentResult& record) override;
    void StoreResult(CurrentResult& record) override;
    void StoreResultNoSample(CurrentResult& record) override;

    // The LIS patient of the sample, by the identifier mode.
    void FindPatient(CurrentResult& record);
    // Writes the result into its LIS request when automatic sending is on; sets Txt_listinfo2.
    void SendToLis(CurrentResult& record);
    // The sound of the settings' `soundname` in the PROC folder, when a sound output is set.
    void PlayNotification();

    // Where sounds go (not owned); without one, as on the command line, no sound is played.
    void setNotification(Notification* notification) { m_notification = notification; }

    // What the receive window shows: one more stored result (Lbl_samplenum), and a line of
    // Lst_NotSentID (key text and export status).
    std::function<void()> counted;
    std::function<void(const QString&)> listed;

private:
    void writeResult(const BoundQuery& duplicate, const CurrentResult& record, const QDateTime& now);
    void addListLine(const CurrentResult& record);

    AppContext& m_context;
    Notification* m_notification = nullptr;
};
