#include "common/DateFormats.h"
#include "common/Numbers.h"
#include "config/AppSettings.h"
#include "config/Cp1256.h"
#include "config/IniFile.h"
#include "link/SerialPortConfig.h"

#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

// Settings files as Windows reads and writes them, what is read from them, numbers and dates.

namespace {

QByteArray encoded(const QString& encoding, const QString& text)
{
    if (encoding == u"utf16")
        return "\xFF\xFE" + QByteArray(QStringEncoder(QStringEncoder::Utf16LE).encode(text));
    return encoding == u"utf8"  ? text.toUtf8()
           : encoding == u"bom" ? "\xEF\xBB\xBF" + text.toUtf8()
                                : Cp1256::encode(text);
}

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString fileWith(const QTemporaryDir& dir, const QByteArray& bytes)
{
    static int count = 0;
    QFile file(dir.filePath(QStringLiteral("f%1.ini").arg(++count)));
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return file.fileName();
}

} // namespace

class tst_Settings : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void numbers()
    {
        // The leading number, blanks skipped, the rest ignored; no number, or one too large, is 0.
        const QList<std::pair<const char*, double>> numbers{
            {"2.35", 2.35}, {" 1 2.5 ", 12.5}, {"\t1\r\n2", 12}, {"3.4 mg/l", 3.4}, {"< 8.1", 0},   {"-0.5", -0.5},
            {"+5", 5},      {".5", 0.5},       {"1.2.3", 1.2},   {"1.5e3x", 1500},  {"2E2", 200},   {"2d2", 200},
            {"2D-1", 0.2},  {"5e+3", 5000},    {"1e2-3", 100},   {"1e2e3", 100},    {"1e2.5", 100}, {"12e", 12},
            {"2ex", 2},     {"1e400", 0},      {"abc", 0},       {"", 0},           {"-", 0},       {"\u0663", 0}};
        for (const auto& [text, value] : numbers)
            QCOMPARE(Numbers::toNumber(QString::fromUtf8(text)), value);
    }

    void numberTexts()
    {
        // The shortest plain text: no exponent, no binary noise, no "-0".
        const QList<std::pair<double, const char*>> texts{
            {12.0, "12"},         {0.1 + 0.2, "0.3"},       {-0.0, "0"},
            {0.00001, "0.00001"}, {-3.5e-7, "-0.00000035"}, {1e20, "100000000000000000000"},
            {-1.5e3, "-1500"}};
        for (const auto& [value, text] : texts)
            QCOMPARE(Numbers::toText(value), QString::fromLatin1(text));
        // Settings read as whole 16-bit numbers, truncated; anything beyond is 0.
        const QList<std::pair<const char*, qint16>> int16s{{"7.9", 7},   {"-7.9", -7},       {"32767", 32767},
                                                           {"32768", 0}, {"-32768", -32768}, {"-32769", 0}};
        for (const auto& [text, value] : int16s)
            QCOMPARE(Numbers::toInt16(QString::fromLatin1(text)), value);
        // English dates and times whatever the locale.
        QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
        const QDate date(2026, 12, 5);
        QCOMPARE(QStringList({DateFormats::dayMonthYear(date), DateFormats::longDate(date),
                              DateFormats::slashDate(date), DateFormats::timeAmPm(QTime(12, 0))}),
                 QStringList({"05-Dec-2026", "Saturday, 05 Dec 2026", "05/12/2026", "12:00 PM"}));
        QLocale::setDefault(QLocale::c());
    }

    void reading()
    {
        // A blank first line, Windows line ends, a comment, names in other cases, a repeated section.
        const QString ini = fileWith(m_dir, "\n; comment\r\n[Server]\r\nServerName =  SRV\\SQL 01  \r\nempty=\r\n"
                                            "noequals\r\n[comsetup]\r\nport=2\r\n[SERVER]\r\nlater=1\r\n[ report ]\r\n"
                                            "plain=x\r\nq1=  \"  a b \"  \r\nq2='SRV01'\r\nq3=\"\"\r\nq4=\"'x'\"\r\n"
                                            "q5=a \"b\"\r\nq6=\"abc'\r\nq7=\"\r\nq8='pw'" +
                                                QByteArray(1, '\0') + "junk\r\nq9=\"" + QByteArray(300, 'y') +
                                                "\"\r\nlong=" + QByteArray(600, 'x') + "\r\n");
        // Trimmed, cut at NUL, one pair of quotes off (blanks inside kept), 259 characters; first section.
        // clang-format off
        const QList<std::tuple<const char*, const char*, QString>> values{
            {"server", "SERVERNAME", "SRV\\SQL 01"}, {"server", "empty", ""}, {"server", "absent", ""},
            {"server", "noequals", ""}, {"nosection", "port", ""}, {"server", "port", ""}, {"server", "later", ""},
            {"report", "plain", "x"}, {"report", "q1", "  a b "}, {"report", "q2", "SRV01"}, {"report", "q3", ""},
            {"report", "q4", "'x'"}, {"report", "q5", "a \"b\""}, {"report", "q6", "\"abc'"}, {"report", "q7", "\""},
            {"report", "q8", "pw"}, {"report", "q9", QString(259, u'y')}, {"report", "long", QString(259, u'x')}};
        // clang-format on
        for (const auto& [section, key, value] : values)
            QCOMPARE(ReadIni(ini, section, key), value);
        QCOMPARE(ReadIni(m_dir.filePath(QStringLiteral("missing.ini")), "server", "servername"), QString());
    }

    // A write sets the key's line, or adds it to its section or a new one; all else, line ends and encoding stay.
    void writing_data()
    {
        QTest::addColumn<QString>("encoding");
        QTest::addColumn<QString>("before"); // null: no file
        QTest::addColumn<QString>("key");    // in [report]
        QTest::addColumn<QString>("old");    // read before the write
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("after");
        const QString arabic = QString::fromUtf8("تقرير المختبر");
        const QString doctor = QString::fromUtf8("د. أحمد 😀");
        const QString crlf = "; c\r\n[Report]\r\nSIG1 = \"" + doctor + "\"\r\nx=1\r\n\r\n[server]\r\nport=1\r\n";
        const auto add = [](const char* name, const char* encoding, const QString& before, const char* key,
                            const QString& old, const QString& value, const QString& after) {
            QTest::newRow(name) << QString::fromLatin1(encoding) << before << QString::fromLatin1(key) << old << value
                                << after;
        };
        add("no file", "cp1256", {}, "NIDT", "", "", "[report]\r\nNIDT=\r\n");
        add("key replaced, code page 1256", "cp1256", "[report]\r\nsig1=" + arabic + "\r\nx=1\r\n", "SIG1", arabic,
            "د. أحمد", "[report]\r\nsig1=د. أحمد\r\nx=1\r\n");
        add("key added before the blank line", "cp1256", "[report]\r\nx=1\r\n\r\n[a]\r\nk=1\r\n", "Password", "", "p'w",
            "[report]\r\nx=1\r\nPassword=p'w\r\n\r\n[a]\r\nk=1\r\n");
        add("section added", "cp1256", "; c\r\n[a]\r\nk=1\r\n", "IDdigitsNo", "", "13",
            "; c\r\n[a]\r\nk=1\r\n[report]\r\nIDdigitsNo=13\r\n");
        add("last line without a break, LF", "cp1256", "[report]\nk=1", "j", "", "2", "[report]\nk=1\nj=2\n");
        add("a line break stays in its value", "cp1256", "[report]\r\nNIDT=\r\nNIDL=\r\n", "NIDT", "", "a\r\nNIDL=x",
            "[report]\r\nNIDT=a  NIDL=x\r\nNIDL=\r\n");
        add("a remember-me token", "cp1256", "[report]\r\nNIDL=\r\n", "nidl", "", "t0k", "[report]\r\nNIDL=t0k\r\n");
        add("UTF-8 stays UTF-8", "utf8", "[report]\nt=نتائج\n", "sig2", "", "توقيع", "[report]\nt=نتائج\nsig2=توقيع\n");
        add("ASCII file, Arabic value: code page 1256", "cp1256", "[report]\r\n", "s", "", "توقيع",
            "[report]\r\ns=توقيع\r\n");
        add("ASCII, no line break, other letters: UTF-8", "utf8", "[report]", "s", "", "😀", "[report]\r\ns=😀\r\n");
        add("UTF-8 mark kept", "bom", "[report]\r\nk=1\r\n", "k", "1", "توقيع", "[report]\r\nk=توقيع\r\n");
        // Windows writes "Unicode" settings files as UTF-16 LE after a byte-order mark.
        add("UTF-16, key replaced", "utf16", crlf, "sig1", doctor, "new",
            "; c\r\n[Report]\r\nSIG1=new\r\nx=1\r\n\r\n[server]\r\nport=1\r\n");
        add("UTF-16, key added, LF kept", "utf16", "[report]\nx=1\n\n[a]\nsig1=1\n", "sig1", "", "new",
            "[report]\nx=1\nsig1=new\n\n[a]\nsig1=1\n");
    }

    void writing()
    {
        QFETCH(QString, encoding);
        QFETCH(QString, before);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QString, after);
        const QString ini =
            before.isNull() ? m_dir.filePath(QStringLiteral("new.ini")) : fileWith(m_dir, encoded(encoding, before));
        QTEST(ReadIni(ini, QStringLiteral("REPORT"), key), "old");
        QVERIFY(WriteIni(ini, QStringLiteral("report"), key, value));
        QCOMPARE(bytesOf(ini), encoded(encoding, after));
        QCOMPARE(ReadIni(ini, QStringLiteral("report"), key), QString(value).replace(u'\r', u' ').replace(u'\n', u' '));
        // A password or a token written makes the file private; other keys leave its mode alone.
        const bool secret = !value.isEmpty() && (key == "Password" || key == "nidl");
        const auto others = QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther;
        QCOMPARE(QFile::permissions(ini) & others ? "shared" : "private", secret ? "private" : "shared");
    }

    void programSettings()
    {
        const AppSettings s = AppSettings::load(fileWith(
            m_dir, "[corvanaserver]\r\nCRVaccess=1\r\nservername=LIS\r\nactive=1\r\n[server]\r\nCRIauthentication=0\r\n"
                   "UserID=sa\r\nPassword=x\r\nservername= S1 \r\n[comsetup]\r\nautsavecrv=1.9\r\nsoudorno=abc\r\n"
                   "[report]\r\nreportstart=1134.5\r\nAbResBGShClr=16777215\r\nIDdigitsNo=70000\r\n"));
        QVERIFY(s.settingsFileFound);
        // The Jet file makes the LIS server keys irrelevant; integrated login ignores the user keys.
        QCOMPARE(s.lisServerName + u'|' + s.serverName + u'|' + s.serverUserID, QStringLiteral("|S1|"));
        QCOMPARE(QList<qint16>({s.CRVaccess, s.lisActive, s.autsavecrv, s.soudorno, s.IDdigitsNo}),
                 QList<qint16>({1, 1, 1, 0, 0}));
        QCOMPARE(s.reportstart + s.AbResBGShClr, 1134.5 + 16777215);
        QVERIFY(!AppSettings::load(m_dir.filePath(QStringLiteral("none.ini"))).settingsFileFound);
        QVERIFY(!WriteIni(m_dir.filePath(QStringLiteral("no/such/folder.ini")), "server", "x", "1"));
    }

    // The [comsetup] keys of the serial port: the status line with the port's settings, the device.
    void serialPort()
    {
#ifdef Q_OS_WIN
        QSKIP("the devices named here are those of Linux");
#endif
        const QList<std::tuple<const char*, const char*, const char*>> ports{
            {"port=1;Speed=9600;Parity=n;DataBits=8;StopBits=1", "Com1 - 9600,n,8,1", "/dev/ttyS0"},
            {"port=2;Speed=9600;Parity=e;DataBits=7;StopBits=1.5", "Com2 - 9600,e,7,1.5", "/dev/ttyS1"},
            {"port=2.6;Speed=19200.0;Parity=  O ;DataBits=08;StopBits=2.0", "Com3 - 19200,O,8,2", "/dev/ttyS2"},
            {"port= 4 (back);Speed= 4800 baud;Parity=n;DataBits=8 bits;StopBits=1 stop", "Com4 - 4800,n,8,1",
             "/dev/ttyS3"},
            {"port=3;device= /dev/ttyUSB0 ", "Com3 - 0,,0,0", "/dev/ttyUSB0"},
            {"", "Com0 - 0,,0,0", ""}, // no settings file
            {"port=255", "Com255 - 0,,0,0", "/dev/ttyS254"},
            {"port=256", "Com256 - 0,,0,0", ""},
            {"port=1e300", "Com1000000 - 0,,0,0", ""},
            {"port=-2", "Com-2 - 0,,0,0", ""}};
        for (const auto& [keys, status, device] : ports) {
            QString ini = m_dir.filePath(QStringLiteral("absent.ini"));
            if (*keys) {
                ini = fileWith(m_dir, "[server]\r\nengine=sqlite\r\n");
                for (const QString& key : QString::fromLatin1(keys).split(u';'))
                    WriteIni(ini, QStringLiteral("comsetup"), key.section(u'=', 0, 0), key.section(u'=', 1));
            }
            const SerialPortConfig config = SerialPortConfig::read(ini);
            QCOMPARE(SerialPortConfig::statusLine(config.port, config.settingsText()),
                     "OnCom: " + QString::fromLatin1(status));
            QString error;
            QCOMPARE(config.deviceName(&error), QString::fromLatin1(device));
            QCOMPARE(error.isEmpty(), *device != 0);
        }
    }

    void lineSettings()
    {
        // Speed, parity e, m, n, o or s, 5 to 8 data bits, 1, 1.5 or 2 stop bits; nothing else opens the port.
        // clang-format off
        const QList<std::pair<const char*, const char*>> texts{
            {"9600,n,8,1", "9600,n,8,1"}, {"19200,E,7,2", "19200,e,7,2"}, {"1200,o,8,1.5", "1200,o,8,1.5"},
            {"300,m,5,1", "300,m,5,1"}, {"115200, s ,6,1", "115200,s,6,1"}, {"0,n,8,1", ""}, {"-9600,n,8,1", ""},
            {"9600.5,n,8,1", ""}, {"fast,n,8,1", ""}, {"9600,x,8,1", ""}, {"9600,,8,1", ""}, {"9600,no,8,1", ""},
            {"9600,n,9,1", ""}, {"9600,n,4,1", ""}, {"9600,n,8,3", ""}, {"9600,n,8,0", ""}, {"9600,n,8", ""},
            {"9600,n,8,1,1", ""}, {"", ""}, {"0,,0,0", ""}};
        // clang-format on
        for (const auto& [text, readBack] : texts) {
            QString error;
            const std::optional<LineSettings> settings = LineSettings::parse(QString::fromLatin1(text), &error);
            QCOMPARE(settings ? settings->toText() : QString(), QString::fromLatin1(readBack));
            QCOMPARE(error.isEmpty(), settings.has_value());
        }
        QCOMPARE(LineSettings::parse(QStringLiteral("300,M,5,1.5"))->stopBits, QSerialPort::OneAndHalfStop);
    }
};

QTEST_GUILESS_MAIN(tst_Settings)
#include "tst_Settings.moc"
