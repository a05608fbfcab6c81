#pragma once

#include "link/LineIntake.h"

#include <QObject>
#include <QSerialPort>

class AppContext;

// The receiver without a window: the analyser line on the configured port, answered and cut as
// the receive window does it, every byte kept in the capture archive, every complete session
// carried through the receive chain on the worker's thread. For `corvana-vidas receive`.
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
    // Closes the port, writes what the archive still holds and stops the worker.
    void close();

    LineIntake& intake() const { return *m_intake; }
    // "OnCom: Com1 - 9600,n,8,1" and the device, once open.
    QString statusLine() const { return m_status; }
    QString device() const { return m_port->portName(); }

    // One arrival from the line (the port calls it; tests may too).
    void receive(const QByteArray& bytes);

signals:
    // The line went away (adapter unplugged, far end closed); the port is closed.
    void lineLost(const QString& reason);

private:
    AppContext& m_context;
    QSerialPort* m_port;
    LineIntake* m_intake;
    QString m_status;
};
