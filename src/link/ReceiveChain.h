#pragma once

#include "link/CurrentResult.h"
#include "link/RecordSteps.h"

#include <QByteArray>
#include <QObject>
#include <memory>

class AppContext;
class Notification;
class QTimer;
class ReceiveSteps;
class SoundPlayer;

// Takes complete analyser messages and carries every result record in them through parsing and
// the steps after it: evaluation, flag, storage, notification sound and LIS export. The receive
// window, the command line and the tests all use this one object.
class ReceiveChain final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ReceiveChain)

public:
    // The steps run on the context's databases and settings.
    explicit ReceiveChain(AppContext& context, QObject* parent = nullptr);
    ~ReceiveChain() override;

    // Processes every record of the message area in order, then empties the area. Runs to the end
    // without yielding to the event loop, so a message is never parsed twice or out of order.
    void ParseMessages(QByteArray& messageArea);

    // Other steps after reading (not owned), for tests; nullptr restores the real ones.
    void setSteps(RecordSteps* steps);
    // The real steps (for the tests that call one step alone).
    ReceiveSteps& realSteps() const { return *m_realSteps; }

    // Plays the notification sound of stored results through `player`, cut by `timersx` (neither
    // owned). Without it no sound is played, as on the command line.
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
    // A stored result's line for Lst_NotSentID: its key text and its export status.
    void listLineAdded(const QString& line);

private:
    void processRecord();

    AppContext& m_context;
    std::unique_ptr<ReceiveSteps> m_realSteps;
    std::unique_ptr<Notification> m_notification;
    RecordSteps* m_steps;
    CurrentResult m_current;
};
