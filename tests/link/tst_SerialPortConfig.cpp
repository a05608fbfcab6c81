#include "config/IniFile.h"
#include "link/SerialPortConfig.h"

#include <QTemporaryDir>
#include <QTest>

class TestSerialPortConfig : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString iniWith(const QStringList& keysAndValues)
    {
        static int n = 0;
        const QString ini = m_dir.filePath(QStringLiteral("v%1.ini").arg(++n));
        WriteIni(ini, QStringLiteral("server"), QStringLiteral("engine"), QStringLiteral("sqlite"));
        for (qsizetype i = 0; i + 1 < keysAndValues.size(); i += 2)
            WriteIni(ini, QStringLiteral("comsetup"), keysAndValues[i], keysAndValues[i + 1]);
        return ini;
    }

private slots:
    void settingsTextAndStatusLine_data()
    {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("status");

        QTest::newRow("usual") << QStringList{"port", "1",        "Speed", "9600",     "Parity",
                                              "n",    "DataBits", "8",     "StopBits", "1"}
                               << "9600,n,8,1"
                               << "OnCom: Com1 - 9600,n,8,1";
        QTest::newRow("1.5 stop bits stay 1.5, port 2")
            << QStringList{"port", "2", "Speed", "9600", "Parity", "e", "DataBits", "7", "StopBits", "1.5"}
            << "9600,e,7,1.5"
            << "OnCom: Com2 - 9600,e,7,1.5";
        QTest::newRow("numbers written back as their shortest text")
            << QStringList{"port", "2.6", "Speed", "19200.0", "Parity", "  O ", "DataBits", "08", "StopBits", "2.0"}
            << "19200,O,8,2"
            << "OnCom: Com3 - 19200,O,8,2";
        QTest::newRow("lenient numbers") << QStringList{"port", " 4 (back)", "Speed",  " 4800 baud", "Parity",
                                                        "n",    "DataBits",  "8 bits", "StopBits",   "1 stop"}
                                         << "4800,n,8,1"
                                         << "OnCom: Com4 - 4800,n,8,1";
        QTest::newRow("missing keys read as 0 and empty") << QStringList{} << "0,,0,0"
                                                          << "OnCom: Com0 - 0,,0,0";
    }

    void settingsTextAndStatusLine()
    {
        QFETCH(QStringList, keys);
        QFETCH(QString, settings);
        QFETCH(QString, status);
        const SerialPortConfig config = SerialPortConfig::read(iniWith(keys));
        QCOMPARE(config.settingsText(), settings);
        QCOMPARE(SerialPortConfig::statusLine(config.port, config.settingsText()), status);
    }

    void parsingSettingsText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("usable");
        QTest::addColumn<int>("baud");
        QTest::addColumn<int>("parity");
        QTest::addColumn<int>("dataBits");
        QTest::addColumn<int>("stopBits");
        QTest::addColumn<QString>("readBack");

        QTest::newRow("9600,n,8,1") << "9600,n,8,1" << true << 9600 << int(QSerialPort::NoParity) << 8
                                    << int(QSerialPort::OneStop) << "9600,n,8,1";
        QTest::newRow("upper-case parity") << "19200,E,7,2" << true << 19200 << int(QSerialPort::EvenParity) << 7
                                           << int(QSerialPort::TwoStop) << "19200,e,7,2";
        QTest::newRow("odd, 1.5") << "1200,o,8,1.5" << true << 1200 << int(QSerialPort::OddParity) << 8
                                  << int(QSerialPort::OneAndHalfStop) << "1200,o,8,1.5";
        QTest::newRow("mark, 5 bits") << "300,m,5,1" << true << 300 << int(QSerialPort::MarkParity) << 5
                                      << int(QSerialPort::OneStop) << "300,m,5,1";
        QTest::newRow("space, 6 bits") << "115200, s ,6,1" << true << 115200 << int(QSerialPort::SpaceParity) << 6
                                       << int(QSerialPort::OneStop) << "115200,s,6,1";
        for (const char* bad :
             {"0,n,8,1", "-9600,n,8,1", "9600.5,n,8,1", "fast,n,8,1", "9600,x,8,1", "9600,,8,1", "9600,no,8,1",
              "9600,n,9,1", "9600,n,4,1", "9600,n,8,3", "9600,n,8,0", "9600,n,8", "9600,n,8,1,1", "", "0,,0,0"})
            QTest::newRow(bad) << QString::fromLatin1(bad) << false << 0 << 0 << 0 << 0 << QString();
    }

    void parsingSettingsText()
    {
        QFETCH(QString, text);
        QFETCH(bool, usable);
        QString error;
        const std::optional<LineSettings> s = LineSettings::parse(text, &error);
        QCOMPARE(s.has_value(), usable);
        if (!usable) {
            QVERIFY(!error.isEmpty());
            return;
        }
        QVERIFY(error.isEmpty());
        QTEST(int(s->baudRate), "baud");
        QTEST(int(s->parity), "parity");
        QTEST(int(s->dataBits), "dataBits");
        QTEST(int(s->stopBits), "stopBits");
        QTEST(s->toText(), "readBack");
        QCOMPARE(LineSettings::parse(s->toText()), s); // what is read back parses to the same
    }

    void deviceName_data()
    {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<QString>("device");
#ifdef Q_OS_WIN
        QTest::newRow("port 1") << QStringList{"port", "1"} << "COM1";
        QTest::newRow("device key ignored") << QStringList{"port", "3", "device", "/dev/ttyUSB0"} << "COM3";
#else
        QTest::newRow("port 1") << QStringList{"port", "1"} << "/dev/ttyS0";
        QTest::newRow("port 3") << QStringList{"port", "3"} << "/dev/ttyS2";
        QTest::newRow("device key wins") << QStringList{"port", "3", "device", " /dev/ttyUSB0 "} << "/dev/ttyUSB0";
        QTest::newRow("device key, no port") << QStringList{"device", "/dev/pts/7"} << "/dev/pts/7";
#endif
        QTest::newRow("port 0") << QStringList{"port", "0"} << QString();
        QTest::newRow("no port") << QStringList{} << QString();
        QTest::newRow("port 300") << QStringList{"port", "300"} << QString();
        QTest::newRow("port far too large") << QStringList{"port", "1e300"} << QString();
        QTest::newRow("negative port") << QStringList{"port", "-2"} << QString();
    }

    void deviceName()
    {
        QFETCH(QStringList, keys);
        QFETCH(QString, device);
        QString error;
        QCOMPARE(SerialPortConfig::read(iniWith(keys)).deviceName(&error), device);
        QCOMPARE(error.isEmpty(), !device.isEmpty());
    }

    void missingSettingsFileReadsEmpty()
    {
        const SerialPortConfig config = SerialPortConfig::read(m_dir.filePath(QStringLiteral("absent.ini")));
        QCOMPARE(config.port, 0);
        QCOMPARE(config.settingsText(), QStringLiteral("0,,0,0"));
        QVERIFY(config.device.isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestSerialPortConfig)
#include "tst_SerialPortConfig.moc"
