#pragma once

#include "link/CurrentResult.h"
#include "link/RecordSteps.h"

#include <QByteArray>
#include <QObject>

class AppContext;

// Takes complete analyser messages and carries every result record in them through parsing and
// the steps after it. The receive window, the command line and the tests all use this one object.
class ReceiveChain final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ReceiveChain)

public:
    explicit ReceiveChain(AppContext& context, QObject* parent = nullptr);

    // Processes every record of the message area in order, then empties the area. Runs to the end
    // without yielding to the event loop, so a message is never parsed twice or out of order.
    void ParseMessages(QByteArray& messageArea);

    // The steps after reading (not owned; nullptr restores the ones that do nothing).
    void setSteps(RecordSteps* steps);

    // The record being (or last) processed.
    const CurrentResult& current() const { return m_current; }

signals:
    // A record was read and handed on; the window shows it.
    void recordParsed(const CurrentResult& record);

private:
    void processRecord();

    AppContext& m_context;
    RecordSteps m_noSteps;
    RecordSteps* m_steps = &m_noSteps;
    CurrentResult m_current;
};
