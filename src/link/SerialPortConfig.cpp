#include "link/SerialPortConfig.h"

#include "common/Numbers.h"
#include "config/AppSettings.h"
#include "config/IniFile.h"

#include <QStringList>
#include <algorithm>
#include <cmath>

namespace {
void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}
} // namespace

std::optional<LineSettings> LineSettings::parse(const QString& text, QString* error)
{
    const QStringList parts = text.split(u',');
    if (parts.size() != 4) {
        setError(error, QStringLiteral("settings \"%1\" need speed,parity,data bits,stop bits").arg(text));
        return std::nullopt;
    }
    LineSettings s;

    bool ok = false;
    const int baud = parts[0].trimmed().toInt(&ok);
    if (!ok || baud <= 0) {
        setError(error, QStringLiteral("speed \"%1\" is not a usable baud rate").arg(parts[0]));
        return std::nullopt;
    }
    s.baudRate = baud;

    const QString parity = parts[1].trimmed().toLower();
    if (parity == u"n")
        s.parity = QSerialPort::NoParity;
    else if (parity == u"e")
        s.parity = QSerialPort::EvenParity;
    else if (parity == u"o")
        s.parity = QSerialPort::OddParity;
    else if (parity == u"m")
        s.parity = QSerialPort::MarkParity;
    else if (parity == u"s")
        s.parity = QSerialPort::SpaceParity;
    else {
        setError(error, QStringLiteral("parity \"%1\" is not one of e, m, n, o, s").arg(parts[1]));
        return std::nullopt;
    }

    const int bits = parts[2].trimmed().toInt(&ok);
    if (!ok || bits < 5 || bits > 8) {
        setError(error, QStringLiteral("data bits \"%1\" are not 5 to 8").arg(parts[2]));
        return std::nullopt;
    }
    s.dataBits = static_cast<QSerialPort::DataBits>(bits);

    const QString stop = parts[3].trimmed();
    if (stop == u"1")
        s.stopBits = QSerialPort::OneStop;
    else if (stop == u"1.5")
        s.stopBits = QSerialPort::OneAndHalfStop;
    else if (stop == u"2")
        s.stopBits = QSerialPort::TwoStop;
    else {
        setError(error, QStringLiteral("stop bits \"%1\" are not 1, 1.5 or 2").arg(parts[3]));
        return std::nullopt;
    }
    return s;
}

QString LineSettings::toText() const
{
    QChar parityLetter = u'n';
    switch (parity) {
    case QSerialPort::EvenParity:
        parityLetter = u'e';
        break;
    case QSerialPort::OddParity:
        parityLetter = u'o';
        break;
    case QSerialPort::MarkParity:
        parityLetter = u'm';
        break;
    case QSerialPort::SpaceParity:
        parityLetter = u's';
        break;
    default:
        break;
    }
    QString stop = QStringLiteral("1");
    if (stopBits == QSerialPort::OneAndHalfStop)
        stop = QStringLiteral("1.5");
    else if (stopBits == QSerialPort::TwoStop)
        stop = QStringLiteral("2");
    return QStringLiteral("%1,%2,%3,%4").arg(baudRate).arg(parityLetter).arg(static_cast<int>(dataBits)).arg(stop);
}

SerialPortConfig SerialPortConfig::read(const QString& settingsIni)
{
    const auto text = [&settingsIni](const char* key) {
        return ReadIni(settingsIni, IniKeys::comsetup, QString::fromLatin1(key));
    };
    SerialPortConfig c;
    // Kept far inside int so that an absurd value is refused as a port number, not overflowed.
    c.port = static_cast<int>(std::clamp(std::round(Numbers::toNumber(text("port"))), -1e6, 1e6));
    c.speed = Numbers::toNumber(text("Speed"));
    c.parity = text("Parity").trimmed();
    c.dataBits = Numbers::toNumber(text("DataBits"));
    c.stopBits = Numbers::toNumber(text("StopBits"));
    c.device = text("device").trimmed();
    return c;
}

QString SerialPortConfig::settingsText() const
{
    return Numbers::toText(speed) + u',' + parity + u',' + Numbers::toText(dataBits) + u',' + Numbers::toText(stopBits);
}

QString SerialPortConfig::statusLine(int port, const QString& settingsText)
{
    return QStringLiteral("OnCom: Com") + QString::number(port) + QStringLiteral(" - ") + settingsText;
}

QString SerialPortConfig::deviceName(QString* error) const
{
#ifndef Q_OS_WIN
    if (!device.isEmpty())
        return device;
#endif
    if (port < 1 || port > 255) {
        setError(error, QStringLiteral("port number %1 is not 1 to 255").arg(port));
        return {};
    }
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(port);
#else
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
#endif
}
