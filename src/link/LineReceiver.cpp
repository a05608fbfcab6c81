#include "link/LineReceiver.h"

#include "core/AppContext.h"
#include "link/SerialPortConfig.h"

#include <QFileInfo>
#include <utility>

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

LineReceiver::LineReceiver(AppContext& context, QObject* parent)
    : QObject(parent), m_context(context), m_port(new QSerialPort(this)), m_intake(new LineIntake(context, this))
{
    connect(m_port, &QSerialPort::readyRead, this, [this] { receive(m_port->readAll()); });
    connect(m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
        if (!m_port->isOpen())
            return;
        if (error == QSerialPort::ResourceError || (error == QSerialPort::ReadError && hungUp(*m_port))) {
            const QString reason = m_port->portName() + QStringLiteral(": ") + m_port->errorString();
            close();
            emit lineLost(reason);
        }
    });
}

LineReceiver::~LineReceiver()
{
    close();
}

bool LineReceiver::open(QString* error)
{
    const QString ini = m_context.installFolder().settingsIni();
    if (!QFileInfo(ini).isFile()) {
        *error = QStringLiteral("%1 is missing").arg(ini);
        return false;
    }
    const SerialPortConfig config = SerialPortConfig::read(ini);
    const std::optional<LineSettings> line = LineSettings::parse(config.settingsText(), error);
    if (!line)
        return false;
    const QString device = config.deviceName(error);
    if (device.isEmpty())
        return false;
    m_status = SerialPortConfig::statusLine(config.port, line->toText());
    m_port->setPortName(device);
    m_port->setBaudRate(line->baudRate);
    m_port->setParity(line->parity);
    m_port->setDataBits(line->dataBits);
    m_port->setStopBits(line->stopBits);
    m_port->setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port->open(QIODevice::ReadWrite)) {
        *error = device + QStringLiteral(": ") + m_port->errorString();
        return false;
    }
    // A line without modem controls (a pseudo-terminal) has no RTS to raise.
    if (!m_port->setRequestToSend(true))
        m_port->clearError();
    m_intake->resetLine();
    m_intake->start();
    return true;
}

void LineReceiver::close()
{
    if (m_port->isOpen())
        m_port->close();
    m_intake->stop();
}

void LineReceiver::receive(const QByteArray& bytes)
{
    const QByteArray reply = m_intake->receive(bytes);
    if (!reply.isEmpty() && m_port->isOpen())
        m_port->write(reply);
}
