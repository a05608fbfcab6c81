#pragma once

#include "link/AnalyserLine.h"
#include "link/LineIntake.h"

#include <QObject>

class AppContext;

// The receiver without a window: the analyser line on the configured port, answered and cut as
// the receive window does it, every byte kept in the capture archive, every complete session
// carried through the receive chain on the worker's thread. A line that goes away is opened again
// by itself (AnalyserLine). For `corvana-vidas receive`.
class LineReceiver final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LineReceiver)

public:
    explicit LineReceiver(AppContext& context, QObject* parent = nullptr);
    ~LineReceiver() override;

    // Opens the port from the [comsetup] settings and starts the worker. False, with the reason,
    // when the port cannot be opened.
    bool open(QString* error);
    // Closes the port, writes what the archive still holds and stops the worker. What was done with
    // bytes the archive could not take (LineIntake::stop), or empty.
    QString close();

    LineIntake& intake() const { return *m_intake; }
    AnalyserLine& line() const { return *m_line; }
    // "OnCom: Com1 - 9600,n,8,1" and the device, once open.
    QString statusLine() const { return m_status; }
    QString device() const { return m_line->device(); }

    // One arrival from the line (the port calls it; tests may too).
    void receive(const QByteArray& bytes);

private:
    AppContext& m_context;
    AnalyserLine* m_line;
    LineIntake* m_intake;
    QString m_status;
};
