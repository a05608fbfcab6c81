#pragma once

#include "core/Navigation.h"
#include "link/SerialPortConfig.h"

#include <QDateTime>
#include <QObject>
#include <QSerialPort>

class Clock;
class QTimer;

// The serial line to the analyser, for the receive window and `corvana-vidas receive` alike: the
// port opened on the configured device, every arrival handed on, and a line that goes away
// (adapter unplugged or reset, PC asleep, far end closed) opened again by itself.
//
// A lost line is closed at once and tried again on the same device: at once, then after 1, 2, 4,
// 8 and 16 s and every 30 s after that, for as long as it takes. The port is never opened twice
// within a second, so that a line that flaps (or a device that hangs up as soon as it is opened)
// costs one try a second at most. Each time the port opens, whatever was already waiting
// on it (what the analyser sent while nobody listened) is read as an arrival of its own, so that
// the analyser's next ENQ reaches the receiver alone and is answered.
class AnalyserLine final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AnalyserLine)

public:
    explicit AnalyserLine(const Clock& clock, QObject* parent = nullptr);
    ~AnalyserLine() override;

    // Opens `device` (closing what was open). False, with the reason, when it cannot: nothing is
    // retried then, as a person has just asked for this port and is told.
    bool open(const QString& device, const LineSettings& settings, QString* error);
    // Closes the line and stops trying to reopen it.
    void stop();

    bool isOpen() const { return m_port->isOpen(); }
    const LineStatus& status() const { return m_status; }
    QString device() const { return m_device; }
    void write(const QByteArray& bytes);

    // The pause before try number `attempt` (0 the first) to reopen a lost line.
    static int retryDelayMs(int attempt);
    static constexpr int kMaxRetryMs = 30000;
    static constexpr int kMinReopenMs = 1000;

signals:
    // The port has just opened (at open() or on its own after a loss), before anything is read.
    void opened();
    // One arrival from the line.
    void received(const QByteArray& bytes);
    // The line was lost (with the reason) and is being reopened; then it is back.
    void lost(const QString& reason);
    void reconnected();
    void statusChanged(const LineStatus& status);

private:
    bool openPort(QString* error);
    void onError(QSerialPort::SerialPortError error);
    void lose(const QString& reason);
    void tryAgain();
    void setStatus(LineState state, const QString& lastError = {});
    void readWaiting();

    const Clock& m_clock;
    QSerialPort* m_port;
    QTimer* m_retry;
    QString m_device;
    LineSettings m_settings;
    LineStatus m_status;
    QDateTime m_openedAt;
    int m_attempt = 0;
};
