#include "config/AppSettings.h"
#include "config/Cp1256.h"
#include "config/IniFile.h"

#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

class TestIniFile : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString fileWith(const QByteArray& bytes, const QString& name = QStringLiteral("t.ini"))
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(bytes);
        return path;
    }
    static QByteArray bytesOf(const QString& path)
    {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }

private slots:
    void readingMatchesWindowsProfileRules()
    {
        const QString ini = fileWith("[Server]\r\nServerName =  SRV\\SQL 01  \r\nempty=\r\n"
                                     "[comsetup]\r\nport=2\r\n[SERVER]\r\nservername=second\r\n");
        QCOMPARE(ReadIni(ini, "server", "SERVERNAME"), QString("SRV\\SQL 01")); // case, trim, blanks kept inside
        QCOMPARE(ReadIni(ini, "server", "empty"), QString());
        QCOMPARE(ReadIni(ini, "server", "absent"), QString());
        QCOMPARE(ReadIni(ini, "nosection", "port"), QString());
        QCOMPARE(ReadIni(ini, "server", "port"), QString()); // key of another section
        QCOMPARE(ReadIni(m_dir.filePath("missing.ini"), "server", "x"), QString());
    }

    void longValuesAndNulsAreCut()
    {
        const QByteArray longValue(600, 'x');
        const QString ini = fileWith("[a]\nlong=" + longValue + "\nnul=ab" + QByteArray(1, '\0') + "cd\n", "cut.ini");
        QCOMPARE(ReadIni(ini, "a", "long").size(), 259);
        QCOMPARE(ReadIni(ini, "a", "nul"), QString("ab"));
    }

    void garbageNeverBreaksReading()
    {
        QByteArray junk;
        for (int i = 0; i < 5000; ++i)
            junk.append(static_cast<char>((i * 37) % 256));
        const QString ini = fileWith(junk + "\n[x]\nk=v\n", "junk.ini");
        QCOMPARE(ReadIni(ini, "x", "k"), QString("v"));
    }

    void cp1256FilesReadAndKeepTheirEncoding()
    {
        const QString arabic = QString::fromUtf8("تقرير المختبر");
        const QByteArray ansi = "[report]\r\nshowrpttitlettxt=" + Cp1256::encode(arabic) + "\r\nother=1\r\n";
        const QString ini = fileWith(ansi, "ansi.ini");
        QCOMPARE(ReadIni(ini, "report", "showrpttitlettxt"), arabic);

        const QString doctor = QString::fromUtf8("د. أحمد");
        QVERIFY(WriteIni(ini, "report", "showdoctorsig1", doctor));
        const QByteArray after = bytesOf(ini);
        QVERIFY(after.contains("showdoctorsig1=" + Cp1256::encode(doctor) + "\r\n"));
        QVERIFY(after.startsWith(ansi)); // everything that was there stays byte for byte
        QCOMPARE(ReadIni(ini, "report", "showdoctorsig1"), doctor);
    }

    void utf8FilesStayUtf8()
    {
        const QString ini =
            fileWith("[report]\nshowrpttitlettxt=" + QString::fromUtf8("نتائج").toUtf8() + "\n", "u8.ini");
        QVERIFY(WriteIni(ini, "report", "showdoctorsig2", QString::fromUtf8("توقيع")));
        QCOMPARE(bytesOf(ini), QByteArray("[report]\nshowrpttitlettxt=") + QString::fromUtf8("نتائج").toUtf8() +
                                   "\nshowdoctorsig2=" + QString::fromUtf8("توقيع").toUtf8() + "\n");
    }

    void writingChangesOnlyTheKey()
    {
        const QByteArray before =
            "; kept comment\r\n[Server]\r\nServerName=old\r\nUserID=sa\r\n\r\n[comsetup]\r\nport=1\r\n";
        const QString ini = fileWith(before, "w.ini");
        QVERIFY(WriteIni(ini, "server", "servername", "NEW"));
        QCOMPARE(bytesOf(ini), QByteArray("; kept comment\r\n[Server]\r\nServerName=NEW\r\nUserID=sa\r\n\r\n"
                                          "[comsetup]\r\nport=1\r\n"));
        // A new key goes to the end of its section, before the blank line.
        QVERIFY(WriteIni(ini, "SERVER", "Password", "p'w"));
        QCOMPARE(bytesOf(ini),
                 QByteArray("; kept comment\r\n[Server]\r\nServerName=NEW\r\nUserID=sa\r\nPassword=p'w\r\n\r\n"
                            "[comsetup]\r\nport=1\r\n"));
        // A new section is appended.
        QVERIFY(WriteIni(ini, "report", "IDdigitsNo", "13"));
        QVERIFY(bytesOf(ini).endsWith("port=1\r\n[report]\r\nIDdigitsNo=13\r\n"));
        QCOMPARE(ReadIni(ini, "report", "iddigitsno"), QString("13"));
    }

    void writingCreatesFileAndKeepsEmptyValues()
    {
        const QString ini = m_dir.filePath("new.ini");
        QVERIFY(WriteIni(ini, "server", "Remembers", "0"));
        QVERIFY(WriteIni(ini, "server", "NIDT", ""));
        QVERIFY(WriteIni(ini, "server", "NIDL", ""));
        QCOMPARE(bytesOf(ini), QByteArray("[server]\r\nRemembers=0\r\nNIDT=\r\nNIDL=\r\n"));
        // A line break in a value cannot smuggle in another key.
        QVERIFY(WriteIni(ini, "server", "NIDT", "a\r\nNIDL=x"));
        QCOMPARE(ReadIni(ini, "server", "NIDL"), QString());
    }

    void lastLineWithoutBreak()
    {
        const QString ini = fileWith("[a]\nk=1", "nobreak.ini");
        QVERIFY(WriteIni(ini, "a", "j", "2"));
        QCOMPARE(bytesOf(ini), QByteArray("[a]\nk=1\nj=2\n"));
    }

    void quotedValues_data()
    {
        QTest::addColumn<QByteArray>("written"); // what follows "key=" in the file
        QTest::addColumn<QString>("read");
        QTest::newRow("double quotes, blanks inside kept") << QByteArray("  \"  a b \"  ") << "  a b ";
        QTest::newRow("single quotes") << QByteArray("'SRV01'") << "SRV01";
        QTest::newRow("empty quotes") << QByteArray("\"\"") << "";
        QTest::newRow("only the outer pair") << QByteArray("\"'x'\"") << "'x'";
        QTest::newRow("quotes inside") << QByteArray("a \"b\"") << "a \"b\"";
        QTest::newRow("not matching") << QByteArray("\"abc'") << "\"abc'";
        QTest::newRow("a lone quote") << QByteArray("\"") << "\"";
        QTest::newRow("closed before a NUL") << QByteArray("'pw'\0junk", 10) << "pw";
        QTest::newRow("cut after the quotes go") << "\"" + QByteArray(300, 'y') + "\"" << QString(259, 'y');
    }

    void quotedValues()
    {
        QFETCH(QByteArray, written);
        QFETCH(QString, read);
        QCOMPARE(ReadIni(fileWith("[server]\r\nServerName=" + written + "\r\n", "q.ini"), "server", "servername"),
                 read);
    }

    void utf16FilesStayUtf16_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("read"); // the key's value before the write
        QTest::addColumn<QString>("after");
        const QString arabic = QString::fromUtf8("د. أحمد 😀");
        QTest::newRow("key replaced") << "; c\r\n[Report]\r\nSIG1 = \"" + arabic + "\"\r\nx=1\r\n"
                                      << "sig1" << arabic << "; c\r\n[Report]\r\nSIG1=new\r\nx=1\r\n";
        QTest::newRow("key added before the blank line, LF kept") << "[report]\nx=1\n\n[a]\nsig1=1\n"
                                                                  << "sig1"
                                                                  << ""
                                                                  << "[report]\nx=1\nsig1=new\n\n[a]\nsig1=1\n";
        QTest::newRow("section added") << "[a]\r\nk=1"
                                       << "sig1"
                                       << ""
                                       << "[a]\r\nk=1\r\n[report]\r\nsig1=new\r\n";
        QTest::newRow("only the mark") << ""
                                       << "sig1"
                                       << ""
                                       << "[report]\r\nsig1=new\r\n";
    }

    // Windows writes "Unicode" settings files as UTF-16 LE after a byte-order mark.
    void utf16FilesStayUtf16()
    {
        QFETCH(QString, before);
        QFETCH(QString, key);
        QFETCH(QString, read);
        QFETCH(QString, after);
        QStringEncoder utf16(QStringEncoder::Utf16LE);
        const QString ini = fileWith("\xFF\xFE" + QByteArray(utf16(before)), "u16.ini");
        QCOMPARE(ReadIni(ini, "REPORT", key), read);
        QVERIFY(WriteIni(ini, "report", key, "new"));
        QCOMPARE(bytesOf(ini), "\xFF\xFE" + QByteArray(utf16(after)));
    }

    void settingsReadAsNumbersAndTexts()
    {
        const QString ini = fileWith("[corvanaserver]\r\nCRVaccess=1\r\nservername=LIS\r\nactive=1\r\n"
                                     "[server]\r\nCRIauthentication=0\r\nUserID=sa\r\nPassword=x\r\nservername= S1 \r\n"
                                     "[comsetup]\r\nautsavecrv=1.9\r\nsoudorno=abc\r\n"
                                     "[report]\r\nreportstart=1134.5\r\nAbResBGShClr=16777215\r\nIDdigitsNo=70000\r\n",
                                     "settings.ini");
        const AppSettings s = AppSettings::load(ini);
        QVERIFY(s.settingsFileFound);
        QCOMPARE(s.CRVaccess, qint16(1));
        QCOMPARE(s.lisServerName, QString()); // the Jet file makes the LIS server keys irrelevant
        QCOMPARE(s.serverName, QString("S1"));
        QCOMPARE(s.serverUserID, QString()); // integrated login ignores the user keys
        QCOMPARE(s.lisActive, qint16(1));
        QCOMPARE(s.autsavecrv, qint16(1));
        QCOMPARE(s.soudorno, qint16(0));
        QCOMPARE(s.reportstart, 1134.5);
        QCOMPARE(s.AbResBGShClr, 16777215.0);
        QCOMPARE(s.IDdigitsNo, qint16(0)); // out of 16-bit range
        QVERIFY(!AppSettings::load(m_dir.filePath("none.ini")).settingsFileFound);
    }
};

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_IniFile.moc"
