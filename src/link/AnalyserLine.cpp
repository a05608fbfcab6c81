#include "link/AnalyserLine.h"

#include "platform/Clock.h"

#include <QTimer>

#ifdef Q_OS_UNIX
#include <poll.h>
#endif

namespace {

// A terminal whose far end has gone reads as end-of-file forever; only poll() tells it apart from
// a passing read error.
bool hungUp(QSerialPort& port)
{
#ifdef Q_OS_UNIX
    pollfd p{port.handle(), POLLIN, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
    Q_UNUSED(port);
    return false;
#endif
}

} // namespace

AnalyserLine::AnalyserLine(const Clock& clock, QObject* parent)
    : QObject(parent), m_clock(clock), m_port(new QSerialPort(this)), m_retry(new QTimer(this))
{
    m_retry->setObjectName(QStringLiteral("Tmr_reconnect"));
    m_retry->setSingleShot(true);
    connect(m_retry, &QTimer::timeout, this, &AnalyserLine::tryAgain);
    connect(m_port, &QSerialPort::readyRead, this, [this] { emit received(m_port->readAll()); });
    connect(m_port, &QSerialPort::errorOccurred, this, &AnalyserLine::onError);
}

AnalyserLine::~AnalyserLine() = default;

int AnalyserLine::retryDelayMs(int attempt)
{
    if (attempt <= 0)
        return 0;
    return std::min(1000 << std::min(attempt - 1, 5), kMaxRetryMs);
}

bool AnalyserLine::open(const QString& device, const LineSettings& settings, QString* error)
{
    m_retry->stop();
    m_device = device;
    m_settings = settings;
    m_attempt = 0;
    if (!openPort(error)) {
        setStatus(LineState::Stopped);
        return false;
    }
    emit opened();
    readWaiting();
    return true;
}

void AnalyserLine::stop()
{
    m_retry->stop();
    if (m_port->isOpen())
        m_port->close();
    setStatus(LineState::Stopped);
}

void AnalyserLine::write(const QByteArray& bytes)
{
    if (m_port->isOpen())
        m_port->write(bytes);
}

bool AnalyserLine::openPort(QString* error)
{
    if (m_port->isOpen())
        m_port->close();
    m_port->setPortName(m_device);
    m_port->setBaudRate(m_settings.baudRate);
    m_port->setParity(m_settings.parity);
    m_port->setDataBits(m_settings.dataBits);
    m_port->setStopBits(m_settings.stopBits);
    m_port->setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port->open(QIODevice::ReadWrite)) {
        *error = m_device + QStringLiteral(": ") + m_port->errorString();
        m_port->clearError();
        return false;
    }
    // Best effort: a line without modem controls (a pseudo-terminal) has no RTS to raise.
    if (!m_port->setRequestToSend(true))
        m_port->clearError();
    m_openedAt = m_clock.now();
    setStatus(LineState::Receiving);
    return true;
}

void AnalyserLine::readWaiting()
{
    // The port does not empty the driver's buffer when it opens: what waits there is the end of
    // a session nobody read. Taken now, it cannot arrive glued to the analyser's next ENQ.
    if (m_port->isOpen() && m_port->bytesAvailable() == 0 && !m_port->waitForReadyRead(0) && m_port->isOpen())
        m_port->clearError();
}

void AnalyserLine::onError(QSerialPort::SerialPortError error)
{
    if (!m_port->isOpen() || error == QSerialPort::NoError || error == QSerialPort::TimeoutError)
        return;
    // The port's own error text after a hang-up is whatever errno last held ("Inappropriate ioctl
    // for device", "File exists"): a hang-up is named as such.
    const bool gone = hungUp(*m_port);
    if (error == QSerialPort::ResourceError ||
        ((error == QSerialPort::ReadError || error == QSerialPort::WriteError) && gone)) {
        lose(
            m_device + QStringLiteral(": ") +
            (gone ? QStringLiteral("the line hung up (device removed or its far end closed)") : m_port->errorString()));
        return;
    }
    // A passing error on a line that is still there (a framing or parity error, a read that was
    // interrupted) changes nothing.
    m_port->clearError();
}

void AnalyserLine::lose(const QString& reason)
{
    m_port->close();
    m_attempt = 0;
    setStatus(LineState::Reconnecting, reason);
    emit lost(reason);
    const qint64 openFor = m_openedAt.isValid() ? m_openedAt.msecsTo(m_clock.now()) : kMinReopenMs;
    m_retry->start(static_cast<int>(std::clamp<qint64>(kMinReopenMs - openFor, 0, kMinReopenMs)));
}

void AnalyserLine::tryAgain()
{
    ++m_attempt;
    QString error;
    if (openPort(&error)) {
        m_retry->stop();
        emit opened();
        emit reconnected();
        readWaiting();
        return;
    }
    setStatus(LineState::Reconnecting, error);
    m_retry->start(retryDelayMs(m_attempt));
}

void AnalyserLine::setStatus(LineState state, const QString& lastError)
{
    LineStatus status = m_status;
    if (state != status.state)
        status.since = m_clock.now();
    status.state = state;
    status.device = m_device;
    status.lastError = lastError;
    if (status == m_status)
        return;
    m_status = status;
    emit statusChanged(m_status);
}
