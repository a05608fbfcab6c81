#pragma once

#include "link/CaptureArchive.h"
#include "link/SerialSession.h"

#include <QObject>
#include <QSerialPort>

class AppContext;
class ReceiveChain;

// The receiver without a window: the analyser line on the configured port, answered and cut as
// the receive window does it, every byte kept in the capture archive, every complete message
// carried through the receive chain. For `corvana-vidas receive`.
class LineReceiver final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LineReceiver)

public:
    explicit LineReceiver(AppContext& context, QObject* parent = nullptr);
    ~LineReceiver() override;

    // Opens the port from the [comsetup] settings. False, with the reason, when it cannot.
    bool open(QString* error);
    // Closes the port and writes what the archive still holds.
    void close();

    ReceiveChain& chain() const { return *m_chain; }
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
    ReceiveChain* m_chain;
    SerialSession m_session;
    CaptureArchive m_archive;
    QString m_status;
};
