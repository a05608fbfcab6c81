#include "link/LineReceiver.h"

#include "core/AppContext.h"

#include <QFileInfo>

LineReceiver::LineReceiver(AppContext& context, QObject* parent)
    : QObject(parent), m_context(context), m_line(new AnalyserLine(context.clock(), this)),
      m_intake(new LineIntake(context, this))
{
    connect(m_line, &AnalyserLine::received, this, &LineReceiver::receive);
    // A line (re)opened starts with empty buffers: an incomplete session stays in the archive only.
    connect(m_line, &AnalyserLine::opened, m_intake, &LineIntake::resetLine);
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
    if (!m_line->open(device, *line, error))
        return false;
    m_intake->start();
    return true;
}

QString LineReceiver::close()
{
    m_line->stop();
    return m_intake->stop();
}

void LineReceiver::receive(const QByteArray& bytes)
{
    const QByteArray reply = m_intake->receive(bytes);
    if (!reply.isEmpty())
        m_line->write(reply);
}
