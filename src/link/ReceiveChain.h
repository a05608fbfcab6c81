#pragma once

#include "link/CurrentResult.h"

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

    // Processes every record of the message area in order, then empties the area.
    void ParseMessages(QByteArray& messageArea);

    // The record being (or last) processed.
    const CurrentResult& current() const { return m_current; }

signals:
    // A record was read and handed on; the window shows it.
    void recordParsed(const CurrentResult& record);

private:
    void processRecord(const QString& record);

    AppContext& m_context;
    CurrentResult m_current;
};
