#pragma once

#include <QSerialPort>
#include <QString>
#include <optional>

// Baud rate, parity, data bits and stop bits as a settings text such as "9600,n,8,1" names them.
struct LineSettings
{
    qint32 baudRate = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;

    // Reads "speed,parity,data bits,stop bits": a whole positive speed, a parity letter
    // (e, m, n, o, s in either case), 5 to 8 data bits and 1, 1.5 or 2 stop bits. Anything else
    // gives no settings and a reason in *error.
    static std::optional<LineSettings> parse(const QString& text, QString* error = nullptr);

    // The settings text read back: "9600,n,8,1", parity in lower case.
    QString toText() const;

    bool operator==(const LineSettings&) const = default;
};

// The [comsetup] keys that configure the port, read each time the port opens.
struct SerialPortConfig
{
    int port = 0;        // `port`, rounded to a whole number
    double speed = 0;    // `Speed`
    QString parity;      // `Parity`, trimmed
    double dataBits = 0; // `DataBits`
    double stopBits = 0; // `StopBits` (1.5 stays 1.5)
    QString device;      // `device`: an explicit serial device that overrides the port number

    // Missing keys read as empty text, whose number is 0.
    static SerialPortConfig read(const QString& settingsIni);

    // Speed + "," + Parity + "," + DataBits + "," + StopBits, numbers as their shortest text.
    QString settingsText() const;

    // What the receive window shows: "OnCom: Com1 - 9600,n,8,1".
    static QString statusLine(int port, const QString& settingsText);

    // The device to open: COM<n> on Windows; elsewhere `device` when set, else /dev/ttyS<n-1>.
    // Empty, with the reason in *error, when the port number cannot name a device.
    QString deviceName(QString* error = nullptr) const;
};
