#include "TestInstall.h"
#include "config/Cp1256.h"
#include "config/IniFile.h"
#include "db/DbMessages.h"
#include "settings/ConnectionCheck.h"
#include "settings/ReportStyles.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsMessages.h"
#include "settings/SettingsRules.h"
#include "settings/StationLists.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray readAll(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeAll(const QString& file, const QByteArray& bytes)
{
    QFile f(file);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace

class TestSettingsRules : public QObject
{
    Q_OBJECT

private slots:
    // How stored values show in the window and go back into the file.
    void storedAndShown_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("storedBack");
        QTest::newRow("port") << "port"
                              << "3"
                              << "COM3"
                              << "3";
        QTest::newRow("port rounded") << "port"
                                      << "2.6"
                                      << "COM3"
                                      << "3";
        QTest::newRow("port missing") << "port"
                                      << ""
                                      << "COM0"
                                      << "0";
        QTest::newRow("margin 8 cm") << "margin"
                                     << "4536"
                                     << "8"
                                     << "4536";
        QTest::newRow("margin 2.5 cm") << "margin"
                                       << "1417.5"
                                       << "2.5"
                                       << "1417.5";
        QTest::newRow("margin to a hundredth") << "margin"
                                               << "150"
                                               << "0.26"
                                               << "147.42";
        QTest::newRow("margin letters") << "margin"
                                        << "x"
                                        << "0"
                                        << "0";
        QTest::newRow("spacing whole twips") << "spacing"
                                             << "100"
                                             << "0.18"
                                             << "102";
        QTest::newRow("spacing 1 cm") << "spacing"
                                      << "567"
                                      << "1"
                                      << "567";
        QTest::newRow("parity none") << "parity"
                                     << "n"
                                     << "2"
                                     << "n";
        QTest::newRow("parity upper, blanks") << "parity"
                                              << " E "
                                              << "0"
                                              << "e";
        QTest::newRow("parity space") << "parity"
                                      << "s"
                                      << "4"
                                      << "s";
        QTest::newRow("parity unknown") << "parity"
                                        << "x"
                                        << "-1"
                                        << "";
    }
    void storedAndShown()
    {
        QFETCH(QString, kind);
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        QFETCH(QString, storedBack);
        using namespace SettingsRules;
        if (kind == "port") {
            QCOMPARE(portEntry(stored), shown);
            QCOMPARE(portValue(shown), storedBack);
        } else if (kind == "parity") {
            const int index = parityIndex(stored);
            QCOMPARE(QString::number(index), shown);
            QCOMPARE(parityLetters().value(index), storedBack);
        } else {
            QCOMPARE(marginShown(stored), shown);
            QCOMPARE(kind == "spacing" ? spacingStored(shown) : marginStored(shown), storedBack);
        }
    }

    // Save's refusals in their order: server, login, left, top, spacing; 8 and 2 are accepted.
    void refusals_data()
    {
        QTest::addColumn<bool>("sqlite");
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("left");
        QTest::addColumn<QString>("top");
        QTest::addColumn<QString>("spacing");
        QTest::addColumn<QString>("refusal");
        using namespace SettingsMessages;
        QTest::newRow("all well at the limits") << false << "SRV"
                                                << "sa"
                                                << "8"
                                                << "8"
                                                << "2"
                                                << "";
        QTest::newRow("no server first") << false << " "
                                         << ""
                                         << "9"
                                         << "9"
                                         << "9" << interfaceServerEmpty;
        QTest::newRow("no login") << false << "SRV"
                                  << ""
                                  << "9"
                                  << "9"
                                  << "9" << interfaceLoginEmpty;
        QTest::newRow("left before top") << false << "SRV"
                                         << "sa"
                                         << "8.1"
                                         << "9"
                                         << "3" << leftMarginTooLarge;
        QTest::newRow("top") << false << "SRV"
                             << "sa"
                             << "0"
                             << "8.01"
                             << "3" << topMarginTooLarge;
        QTest::newRow("spacing") << false << "SRV"
                                 << "sa"
                                 << ""
                                 << ""
                                 << "2.1" << spacingTooLarge;
        QTest::newRow("embedded file needs no server") << true << ""
                                                       << ""
                                                       << "1"
                                                       << "1"
                                                       << "1"
                                                       << "";
        QTest::newRow("embedded file, margins still checked") << true << ""
                                                              << ""
                                                              << "12"
                                                              << ""
                                                              << "" << leftMarginTooLarge;
    }
    void refusals()
    {
        QFETCH(bool, sqlite);
        QFETCH(QString, server);
        QFETCH(QString, user);
        QFETCH(QString, left);
        QFETCH(QString, top);
        QFETCH(QString, spacing);
        QFETCH(QString, refusal);
        const SettingsRules::SaveCheck check{sqlite, server, user, left, top, spacing};
        QCOMPARE(SettingsRules::refusal(check).value_or(QString()), refusal);
    }

    // A settings file written on Arabic Windows keeps every byte that was not edited; a file that
    // cannot be written is left whole, and so is one whose values did not change.
    void settingsFileWrites()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath("VIDASSETING.INI");
        const QByteArray original =
            "; station 3\r\n[report]\r\nshowrpttitlettxt = " + Cp1256::encode(u"تقرير المختبر 'O'Brien' 100%") +
            "\r\nreportstart=150\r\n[comsetup]\r\nport=1\r\n";
        QVERIFY(writeAll(file, original));

        QCOMPARE(SettingsFile::write(file, {{"report", "showrpttitlettxt", u"تقرير المختبر 'O'Brien' 100%"_s},
                                            {"comsetup", "port", "1"}}),
                 SettingsFile::Outcome::Written);
        QCOMPARE(readAll(file), original); // unchanged values: not a byte touched

        QCOMPARE(SettingsFile::write(file, {{"comsetup", "port", "4"},
                                            {"comsetup", "device", "/dev/ttyUSB0"},
                                            {"server", "engine", "sqlite"}}),
                 SettingsFile::Outcome::Written);
        QByteArray expected = original;
        expected.replace("port=1\r\n", "port=4\r\ndevice=/dev/ttyUSB0\r\n");
        expected += "[server]\r\nengine=sqlite\r\n";
        QCOMPARE(readAll(file), expected);
        QCOMPARE(ReadIni(file, "report", "showrpttitlettxt"), u"تقرير المختبر 'O'Brien' 100%"_s);

        QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup);
        QCOMPARE(SettingsFile::write(file, {{"comsetup", "port", "5"}}), SettingsFile::Outcome::ReadOnly);
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(readAll(file), expected);
        QCOMPARE(SettingsFile::write(dir.filePath("missing.ini"), {{"comsetup", "port", "5"}}),
                 SettingsFile::Outcome::Missing);
        QVERIFY(!QFile::exists(dir.filePath("missing.ini")));
    }

    // A title style goes to its keys and comes back; element 04 keeps only colour and size.
    void reportStylesRoundTrip()
    {
        QTemporaryDir dir;
        const QString memory = dir.filePath("MEMORYVIDAS.ini");
        QVERIFY(writeAll(memory, "[reportdata]\r\ncolorTIT1=0\r\n"));
        const ReportStyles::Style style{0x0000FF, u"DejaVu Sans"_s, 13.5, true, false, true};
        QList<SettingsFile::Edit> edits = ReportStyles::edits("01", style) + ReportStyles::edits("04", style);
        QCOMPARE(edits.size(), 8);
        QCOMPARE(SettingsFile::write(memory, edits), SettingsFile::Outcome::Written);
        const ReportStyles::Style back = ReportStyles::read(memory, "01");
        QCOMPARE(back.colour, 255);
        QCOMPARE(back.fontName, u"DejaVu Sans"_s);
        QCOMPARE(back.size, 13.5);
        QVERIFY(back.bold && !back.underline && back.italic);
        QCOMPARE(ReadIni(memory, "reportdata", "colorTIT04fs"), u"13.5"_s);
        QCOMPARE(ReadIni(memory, "reportdata", "colorTIT04fn"), QString());
        QCOMPARE(ReadIni(memory, "reportdata", "colorTIT04fb"), QString());
        // Every sample of the window has its element, once.
        QStringList ids;
        for (const ReportStyles::Element& e : ReportStyles::elements())
            ids << e.id;
        QCOMPARE(ids.size(), 27);
        QCOMPARE(QSet<QString>(ids.begin(), ids.end()).size(), 27);
    }

    // The sounds: every *.mp3 under PROC, sub-folders included, whatever the case of its ending.
    void soundFiles()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("PROC/bells/old"));
        for (const char* name :
             {"PROC/ding.mp3", "PROC/bells/Gong.MP3", "PROC/bells/old/a b.mp3", "PROC/note.wav", "PROC/bells/mp3"})
            QVERIFY(writeAll(dir.filePath(name), "x"));
        QCOMPARE(StationLists::soundFiles(dir.filePath("PROC")),
                 (QStringList{"bells/Gong.MP3", "bells/old/a b.mp3", "ding.mp3"}));
        QCOMPARE(StationLists::soundFiles(dir.filePath("none")), QStringList());
    }

    // The connection tests use what is typed: refusals and the Jet file before connecting, then
    // the connection itself; a missing embedded file is reported, never made.
    void connectionChecks_data()
    {
        QTest::addColumn<int>("server"); // 0 interface, 1 LIS
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("result");
        using namespace SettingsMessages;
        const QStringList sqliteIface{"serverEngine=sqlite", "serverDatabase=InterfaceVIDAS.db"};
        QTest::newRow("iface no server") << 0 << QStringList{} << interfaceServerEmpty << "";
        QTest::newRow("iface no login, windows login")
            << 0 << QStringList{"serverName=SRV"} << interfaceLoginEmpty << "";
        QTest::newRow("iface sqlite present") << 0 << sqliteIface << "" << databaseConnected;
        QTest::newRow("iface sqlite absent")
            << 0 << QStringList{"serverEngine=sqlite", "serverDatabase=gone.db"} << "" << DbMessages::interfaceFailed;
        QTest::newRow("iface odbc unreachable")
            << 0 << QStringList{"serverName=SRV", "serverUserID=sa", "serverOdbcDriver=No Such Driver"} << ""
            << DbMessages::interfaceFailed;
        QTest::newRow("lis no login") << 1 << QStringList{"lisServerName=SRV"} << lisLoginEmpty << "";
        QTest::newRow("lis jet: names first") << 1 << QStringList{"CRVaccess=1"} << lisServerEmpty << "";
        QTest::newRow("lis jet file absent")
            << 1 << QStringList{"CRVaccess=1", "lisServerName=S", "lisUserID=u"} << databaseNotFound << "";
        QTest::newRow("lis jet file present")
            << 1 << QStringList{"CRVaccess=1", "lisServerName=S", "lisUserID=u", "@jet"} << databaseConnected << "";
        QTest::newRow("lis sqlite present")
            << 1 << QStringList{"lisEngine=sqlite", "lisDatabase=Patients.db"} << "" << databaseConnected;
        QTest::newRow("lis sqlite without LIS tables")
            << 1 << QStringList{"lisEngine=sqlite", "lisDatabase=InterfaceVIDAS.db"} << ""
            << DbMessages::lisServerFailed;
        QTest::newRow("lis odbc unreachable")
            << 1 << QStringList{"lisServerName=S", "lisUserID=u", "lisOdbcDriver=No Such Driver"} << ""
            << DbMessages::lisServerFailed;
    }
    void connectionChecks()
    {
        QFETCH(int, server);
        QFETCH(QStringList, typed);
        QFETCH(QString, before);
        QFETCH(QString, result);
        TestInstall install;
        QVERIFY(install.createDatabases());
        AppSettings s;
        s.settingsFileFound = true;
        for (const QString& t : typed) {
            const QString key = t.section('=', 0, 0);
            const QString value = t.section('=', 1);
            if (key == "@jet") {
                QVERIFY(QDir(install.path()).mkpath("corvana system/bin"));
                QVERIFY(writeAll(install.path() + "/corvana system/bin/Patients.mdb", "jet"));
            } else if (key == "CRVaccess") {
                s.CRVaccess = value.toShort();
            } else {
                QString* field = key == "serverEngine"       ? &s.serverEngine
                                 : key == "serverDatabase"   ? &s.serverDatabase
                                 : key == "serverName"       ? &s.serverName
                                 : key == "serverUserID"     ? &s.serverUserID
                                 : key == "serverOdbcDriver" ? &s.serverOdbcDriver
                                 : key == "lisServerName"    ? &s.lisServerName
                                 : key == "lisUserID"        ? &s.lisUserID
                                 : key == "lisEngine"        ? &s.lisEngine
                                 : key == "lisDatabase"      ? &s.lisDatabase
                                                             : &s.lisOdbcDriver;
                *field = value;
            }
        }
        const auto which = server == 0 ? ConnectionCheck::Server::Interface : ConnectionCheck::Server::Lis;
        const QStringList filesBefore = QDir(install.path()).entryList(QDir::Files);
        const auto said = ConnectionCheck::beforeConnecting(which, s, install.path());
        QCOMPARE(said ? said->text : QString(), before);
        if (said)
            return;
        ConnectionCheck::Runner runner;
        QSignalSpy finished(&runner, &ConnectionCheck::Runner::finished);
        runner.start(which, s, install.path());
        QVERIFY(runner.busy());
        QVERIFY(finished.wait(15000));
        QVERIFY(!runner.busy());
        const auto message = finished.first().first().value<ConnectionCheck::Message>();
        QCOMPARE(message.text, result);
        QCOMPARE(message.icon,
                 result == SettingsMessages::databaseConnected ? DialogIcon::Information : DialogIcon::Error);
        QCOMPARE(QDir(install.path()).entryList(QDir::Files), filesBefore); // nothing made
    }
};

QTEST_GUILESS_MAIN(TestSettingsRules)
#include "tst_SettingsRules.moc"
