#include "FakeKeyboardLayout.h"
#include "FakeSingleInstance.h"
#include "FakeSoundPlayer.h"
#include "PgSandbox.h"
#include "TestInstall.h"
#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "app/ProgramUi.h"
#include "app/SettingsWindowsUi.h"
#include "common/Numbers.h"
#include "config/Cp1256.h"
#include "config/IniFile.h"
#include "core/Grants.h"
#include "core/NavigationWidget.h"
#include "db/DbMessages.h"
#include "link/ReceiveWindow.h"
#include "platform/Printers.h"
#include "platform/ProgramRestart.h"
#include "platform/StylePicker.h"
#include "settings/SettingsMessages.h"
#include "settings/SettingsWindow.h"
#include "settings/StationLists.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

class ListedPrinters final : public Printers
{
public:
    QStringList printerNames() const override { return names; }
    QString defaultPrinterEntry() const override { return {}; }
    bool printsToDefault() const override { return false; }
    bool setDefaultPrinter(const QString&) override { return false; }
    QStringList names{u"Lab Laser"_s, u"Reception"_s};
};

class ScriptedPicker final : public StylePicker
{
public:
    std::optional<Style> pickFont(const Style& current) override
    {
        asked << current.font.family();
        return font;
    }
    std::optional<QColor> pickColour(const QColor&) override { return colour; }
    std::optional<Style> font;
    std::optional<QColor> colour;
    QStringList asked;
};

class RecordedRestart final : public ProgramRestart
{
public:
    void requestRestart() override { ++requests; }
    bool restartRequested() const override { return requests > 0; }
    int requests = 0;
};

QByteArray readAll(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestSettingsWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestInstall> m_install;
    ListedPrinters m_printers;
    ScriptedPicker m_picker;
    FakeSoundPlayer m_sound;
    FakeKeyboardLayout m_keyboard;
    QPointer<SettingsWindow> m_window;

    template <typename T = QWidget> T* child(const char* name) const
    {
        // The page buttons before the strip: both have a cmd_resultopt.
        QWidget* pages = m_window->findChild<QWidget*>(u"Pct_pagebuttons"_s);
        if (T* found = pages->findChild<T*>(QLatin1String(name)))
            return found;
        if (T* found = m_window->findChild<T*>(QLatin1String(name)))
            return found;
        qFatal("no control %s", name);
    }
    QString ini(const QString& section, const QString& key) const
    {
        return ReadIni(m_install->settingsIni(), section, key);
    }
    FakeDialogs& dialogs() { return m_install->dialogs; }
    QString said() { return dialogs().shown.isEmpty() ? QString() : dialogs().last().text; }

    // The window on the current install, loaded.
    SettingsWindow* open()
    {
        delete m_window.data();
        AppContext& context = m_install->context();
        context.setSoundPlayer(&m_sound);
        context.setKeyboardLayout(&m_keyboard);
        m_window = new SettingsWindow(context);
        m_window->setPrinters(&m_printers);
        m_window->setStylePicker(&m_picker);
        m_window->show();
        if (!QTest::qWaitFor([this] { return m_window && m_window->isLoaded(); }, 5000))
            return nullptr;
        return m_window;
    }

    // "text:VALUE", "check", "uncheck", "choose" (an option), "index:N" (a list).
    void act(const char* name, const QString& action)
    {
        QWidget* w = child(name);
        if (action.startsWith("text:"))
            static_cast<QLineEdit*>(w)->setText(action.mid(5));
        else if (action == "check" || action == "uncheck")
            static_cast<QCheckBox*>(w)->setChecked(action == "check");
        else if (action == "choose")
            static_cast<QRadioButton*>(w)->setChecked(true);
        else if (action.startsWith("index:"))
            static_cast<QComboBox*>(w)->setCurrentIndex(action.mid(6).toInt());
        else if (action.startsWith("pick:"))
            static_cast<QComboBox*>(w)->setCurrentText(action.mid(5));
    }

private slots:
    void init()
    {
        m_install = std::make_unique<TestInstall>();
        QVERIFY(m_install->createDatabases());
        m_printers.names = {u"Lab Laser"_s, u"Reception"_s};
        m_picker.font.reset();
        m_picker.colour.reset();
        m_sound.calls.clear();
    }
    void cleanup() { delete m_window.data(); }

    // What the files hold shows on every page: Arabic in code page 1256, margins in centimetres,
    // the parity letter, the device that is gone, the sound in a sub-folder, styles and colours.
    void loadShowsTheFiles()
    {
        // As an Arabic Windows station writes it: code page 1256, CR LF.
        QFile f(m_install->settingsIni());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[server]\r\nengine=sqlite\r\nservername=LABSRV\r\nCRIauthentication=1\r\nUserID=sa\r\n"
                "[corvanaserver]\r\nengine=sqlite\r\nactive=1\r\n"
                "[report]\r\nIDdigitsNo=13\r\nshowrpttitlettxt=" +
                Cp1256::encode(u"تقرير المناعة") +
                "\r\nleftvalue=4536\r\nreportstart=283.5\r\nspacevalue=567\r\nAbResBGShClr=255\r\n"
                "reportprinter=Old Printer\r\nBarcodes_T=1\r\n[comsetup]\r\nport=3\r\nParity=o\r\nSpeed=19200\r\n"
                "device=/dev/ttyUSB9\r\nsoudorno=1\r\nsoundname=bells/ding.mp3\r\nactive=1\r\n");
        f.close();
        QVERIFY(QDir(m_install->path()).mkpath("PROC/bells"));
        QFile sound(m_install->path() + "/PROC/bells/ding.mp3");
        QVERIFY(sound.open(QIODevice::WriteOnly));
        sound.close();
        WriteIni(m_install->memoryIni(), "reportdata", "colorTIT3", "255");
        WriteIni(m_install->memoryIni(), "reportdata", "colorTIT3fb", "1");
        WriteIni(m_install->memoryIni(), "reportdata", "colorTIT3fs", "15");
        QVERIFY(open());

        QCOMPARE(child<QLineEdit>("Txt_showrpttitlettxt")->text(), u"تقرير المناعة"_s);
        QCOMPARE(child<QLineEdit>("Txtleft")->text(), u"8"_s);
        QCOMPARE(child<QLineEdit>("Txt_spacfirst")->text(), u"0.5"_s);
        QCOMPARE(child<QLineEdit>("Txtspace")->text(), u"1"_s);
        QCOMPARE(child<QComboBox>("cboPort")->currentText(), u"COM3"_s);
        QCOMPARE(child<QComboBox>("cboParity")->currentText(), u"odd"_s);
        QCOMPARE(child<QComboBox>("cboSpeed")->currentText(), u"19200"_s);
        QVERIFY(child<QComboBox>("Cmb_device")->currentText().contains(u"/dev/ttyUSB9"_s));
        QVERIFY(child<QComboBox>("Cmb_device")->currentText().contains(u"غير متصل"_s));
        QCOMPARE(child<QComboBox>("Cmb_sounds")->currentText(), u"bells/ding.mp3"_s);
        QVERIFY(child<QComboBox>("Cmb_sounds")->isEnabled());
        QCOMPARE(child<QComboBox>("cboPrinters")->currentText(), u"Old Printer"_s);
        QCOMPARE(child<QComboBox>("cboPrinters")->count(), 3);
        QVERIFY(child<QCheckBox>("Chk_Barcode")->isChecked() && !child<QCheckBox>("Chk_usepic")->isChecked());
        QVERIFY(child<QRadioButton>("Opt_CRISQLauth")->isChecked() && child<QRadioButton>("Opt_Act_com")->isChecked());
        QVERIFY(child<QRadioButton>("Opt_full_id")->isChecked());
        QCOMPARE(child<QLabel>("Lbl_BGSHADOW")->property("colourRef").toInt(), 255);
        QLabel* title3 = child<QLabel>("Lbl_titel3");
        QVERIFY(title3->font().bold() && !child<QLabel>("Lbl_titel2")->font().bold());
        QCOMPARE(title3->font().pointSizeF(), 15.0);
        QCOMPARE(title3->palette().color(QPalette::WindowText), QColor(Qt::red));
        QVERIFY(dialogs().shown.isEmpty());

        // Untouched, a save changes no byte; the server boxes switch to English on focus.
        const QByteArray before = readAll(m_install->settingsIni());
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window));
        child<QLineEdit>("Txt_database")->setFocus();
        QCOMPARE(m_keyboard.requests.value(0), KeyboardLayouts::englishUs);
        child<QPushButton>("cmdOK")->click();
        QVERIFY2(dialogs().shown.isEmpty(), qPrintable(said()));
        QCOMPARE(readAll(m_install->settingsIni()), before);
    }

    // Each page's controls go to their own key on Save, and the shared settings follow at once.
    void saveWritesEachKey_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::newRow("server name") << "Txt_server"
                                     << "text:LAB-SRV"
                                     << "server/servername"
                                     << "LAB-SRV";
        QTest::newRow("server login kind") << "Opt_CRISQLauth"
                                           << "choose"
                                           << "server/CRIauthentication"
                                           << "1";
        QTest::newRow("server on") << "Opt_Act_sql"
                                   << "choose"
                                   << "server/active"
                                   << "1";
        QTest::newRow("server password") << "Txt_password"
                                         << "text:p'%;x"
                                         << "server/Password"
                                         << "p'%;x";
        QTest::newRow("server engine") << "Cmb_engine"
                                       << "index:0"
                                       << "server/engine"
                                       << "sqlserver";
        QTest::newRow("server file") << "Txt_database"
                                     << "text:data/Iface.db"
                                     << "server/database"
                                     << "data/Iface.db";
        QTest::newRow("lis jet") << "Opt_corvanasystemAccess"
                                 << "choose"
                                 << "corvanaserver/CRVaccess"
                                 << "1";
        QTest::newRow("lis off") << "Opt_deAct_corvana"
                                 << "choose"
                                 << "corvanaserver/active"
                                 << "0";
        QTest::newRow("lis login") << "Txt_userCRV"
                                   << "text:lab"
                                   << "corvanaserver/UserID"
                                   << "lab";
        QTest::newRow("lis sql login") << "Opt_CRVSQLauth"
                                       << "choose"
                                       << "corvanaserver/CRVauthentication"
                                       << "1";
        QTest::newRow("port") << "cboPort"
                              << "index:6"
                              << "comsetup/port"
                              << "7";
        QTest::newRow("parity") << "cboParity"
                                << "index:0"
                                << "comsetup/Parity"
                                << "e";
        QTest::newRow("date order") << "Cmb_DateOrder"
                                    << "index:2"
                                    << "comsetup/DateOrder"
                                    << "YMD";
        QTest::newRow("frame answers") << "Chk_FrameAck"
                                       << "check"
                                       << "comsetup/FrameAck"
                                       << "1";
        QTest::newRow("stop bits") << "cboStopBits"
                                   << "index:1"
                                   << "comsetup/StopBits"
                                   << "1.5";
        QTest::newRow("serial off") << "Opt_deAct_com"
                                    << "choose"
                                    << "comsetup/active"
                                    << "0";
        QTest::newRow("id mode 4") << "Opt_4digit_id"
                                   << "choose"
                                   << "report/IDdigitsNo"
                                   << "4";
        QTest::newRow("id mode 10") << "Opt_10digit_id"
                                    << "choose"
                                    << "report/IDdigitsNo"
                                    << "10";
        QTest::newRow("pc date") << "Chk_PCdate"
                                 << "check"
                                 << "comsetup/PCdateYN"
                                 << "1";
        QTest::newRow("english names") << "Chk_EnLanguage"
                                       << "check"
                                       << "comsetup/EnLanguage"
                                       << "1";
        QTest::newRow("auto comment") << "Chk_autoComment"
                                      << "check"
                                      << "comsetup/autoComment"
                                      << "1";
        QTest::newRow("send at once") << "Chk_autsavecrv"
                                      << "check"
                                      << "comsetup/autsavecrv"
                                      << "1";
        QTest::newRow("sound on") << "Chk_sound"
                                  << "check"
                                  << "comsetup/soudorno"
                                  << "1";
        QTest::newRow("layout A5") << "Cmb_reportlayout"
                                   << "index:1"
                                   << "report/reportlayout"
                                   << "A5 small paper";
        QTest::newRow("printer") << "cboPrinters"
                                 << "index:1"
                                 << "report/reportprinter"
                                 << "Reception";
        QTest::newRow("signature switch") << "Chk_showdoctorsig"
                                          << "check"
                                          << "report/showdoctorsigYN"
                                          << "1";
        QTest::newRow("abnormal shade") << "Chk_result_bg"
                                        << "check"
                                        << "report/AbResBGSh_T"
                                        << "1";
        QTest::newRow("abnormal text colour") << "Chk_fontclr"
                                              << "check"
                                              << "report/AbResFonC_T"
                                              << "1";
        QTest::newRow("column caption 4") << "txt_showtestditals4"
                                          << "text:Normal range"
                                          << "report/showtestditals4"
                                          << "Normal range";
        QTest::newRow("signature 2") << "txt_showdoctorsig2"
                                     << "text:د. O'Brien"
                                     << "report/showdoctorsig2"
                                     << "د. O'Brien";
        QTest::newRow("top margin 8") << "Txt_spacfirst"
                                      << "text:8"
                                      << "report/reportstart"
                                      << "4536";
        QTest::newRow("left margin") << "Txtleft"
                                     << "text:1.5"
                                     << "report/leftvalue"
                                     << "850.5";
        QTest::newRow("spacing 2, whole twips") << "Txtspace"
                                                << "text:1.999"
                                                << "report/spacevalue"
                                                << "1133";
    }
    void saveWritesEachKey()
    {
        QFETCH(QString, control);
        QFETCH(QString, action);
        QFETCH(QString, key);
        QFETCH(QString, stored);
        m_install->setSettings({"server/servername=SRV", "server/UserID=sa", "comsetup/active=1"});
        QVERIFY(open());
        act(qPrintable(control), action);
        child<QPushButton>("cmdOK")->click();
        QVERIFY2(dialogs().shown.isEmpty(), qPrintable(said()));
        QCOMPARE(ini(key.section('/', 0, 0), key.section('/', 1)), stored);
        // The rest stays as it was, and the window with it.
        QCOMPARE(ini("server", "servername"), control == "Txt_server" ? u"LAB-SRV"_s : u"SRV"_s);
        QVERIFY(m_window->isVisible());
        const AppSettings now = AppSettings::load(m_install->settingsIni());
        QCOMPARE(now.IDdigitsNo, Numbers::toInt16(ini("report", "IDdigitsNo")));
    }

    // Save's checks in their order; a refusal writes nothing at all.
    void saveRefusals_data()
    {
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QString>("message");
        using namespace SettingsMessages;
        QTest::newRow("server name first")
            << QStringList{"Cmb_engine=index:0", "Txtleft=text:9"} << interfaceServerEmpty;
        QTest::newRow("login name, Windows login too")
            << QStringList{"Cmb_engine=index:0", "Txt_server=text:SRV", "Opt_CRIWINauth=choose"} << interfaceLoginEmpty;
        QTest::newRow("left 8.1") << QStringList{"Txtleft=text:8.1", "Txt_spacfirst=text:9"} << leftMarginTooLarge;
        QTest::newRow("top 8.1") << QStringList{"Txt_spacfirst=text:8.1", "Txtspace=text:3"} << topMarginTooLarge;
        QTest::newRow("spacing 2.1") << QStringList{"Txtspace=text:2.1"} << spacingTooLarge;
    }
    void saveRefusals()
    {
        QFETCH(QStringList, typed);
        QFETCH(QString, message);
        QVERIFY(open());
        const QByteArray before = readAll(m_install->settingsIni());
        const QByteArray memoryBefore = readAll(m_install->memoryIni());
        act("Chk_usepic", "check");
        for (const QString& t : typed)
            act(qPrintable(t.section('=', 0, 0)), t.section('=', 1));
        child<QPushButton>("cmdOK")->click();
        QCOMPARE(said(), message);
        QCOMPARE(dialogs().last().title, SettingsMessages::warningTitle);
        QCOMPARE(readAll(m_install->settingsIni()), before);
        QCOMPARE(readAll(m_install->memoryIni()), memoryBefore);
        QVERIFY(child("cmd_fontcolor")->isEnabled());
        // Letters never reach a margin box.
        QLineEdit* left = child<QLineEdit>("Txtleft");
        left->clear();
        QTest::keyClicks(left, "1a2,b");
        QCOMPARE(left->text(), u"12"_s);
    }

    // A read-only settings file is refused whole; a missing one ends the program after the message.
    void filesThatCannotBeWritten()
    {
        QVERIFY(open());
        act("Chk_usepic", "check");
        m_picker.font = StylePicker::Style{QFont(u"DejaVu Serif"_s, 20), Qt::blue};
        QTest::mouseClick(child("Lbl_titel1"), Qt::LeftButton);
        QTRY_COMPARE(m_picker.asked.size(), 1);
        const QByteArray memoryBefore = readAll(m_install->memoryIni());
        QFile::setPermissions(m_install->settingsIni(), QFile::ReadOwner);
        const QByteArray before = readAll(m_install->settingsIni());
        child<QPushButton>("cmdOK")->click();
        QFile::setPermissions(m_install->settingsIni(), QFile::ReadOwner | QFile::WriteOwner);
        // Read-only, not missing: the message says so and names the file.
        QCOMPARE(said(), SettingsMessages::fileReadOnly + QDir::toNativeSeparators(m_install->settingsIni()));
        QCOMPARE(readAll(m_install->settingsIni()), before);
        QCOMPARE(readAll(m_install->memoryIni()), memoryBefore); // neither file
        // The same when only the styles' file is read-only.
        QFile::setPermissions(m_install->memoryIni(), QFile::ReadOwner);
        dialogs().clear();
        child<QPushButton>("cmdOK")->click();
        QFile::setPermissions(m_install->memoryIni(), QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(said(), SettingsMessages::fileReadOnly + QDir::toNativeSeparators(m_install->memoryIni()));
        QCOMPARE(readAll(m_install->settingsIni()), before);
        // Once writable, both are written: the style as six keys of its element.
        child<QPushButton>("cmdOK")->click();
        QCOMPARE(ini("report", "usepicture"), u"1"_s);
        QCOMPARE(ReadIni(m_install->memoryIni(), "reportdata", "colorTIT1fn"), u"DejaVu Serif"_s);
        QCOMPARE(ReadIni(m_install->memoryIni(), "reportdata", "colorTIT1fs"), u"20"_s);
        QCOMPARE(ReadIni(m_install->memoryIni(), "reportdata", "colorTIT1"), QString::number(0xFF0000));

        dialogs().clear();
        QVERIFY(QFile::remove(m_install->memoryIni()));
        AppContext& context = m_install->context();
        auto* window = new SettingsWindow(context);
        window->setPrinters(&m_printers);
        QSignalSpy end(window, &SettingsWindow::programEndRequested);
        QVERIFY(end.wait(2000));
        QCOMPARE(said(), SettingsMessages::filesMissing);
        QCOMPARE(dialogs().last().title, u"تنبية .."_s);
        delete window;
    }

    // The connection tests use what is typed, saved or not, and the window stays usable meanwhile.
    void connectionTests_data()
    {
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("message");
        QTest::newRow("embedded file present") << QStringList{} << "cmd_TestSql" << SettingsMessages::databaseConnected;
        QTest::newRow("typed file absent")
            << QStringList{"Txt_database=text:other.db"} << "cmd_TestSql" << DbMessages::interfaceFailed;
        QTest::newRow("server through ODBC, unreachable")
            << QStringList{"Cmb_engine=index:0", "Txt_server=text:NOWHERE", "Txt_user=text:sa",
                           "Txt_odbcdriver=text:No Such Driver"}
            << "cmd_TestSql" << DbMessages::interfaceFailed;
        QTest::newRow("server without a name")
            << QStringList{"Cmb_engine=index:0"} << "cmd_TestSql" << SettingsMessages::interfaceServerEmpty;
        const QString pg = PgSandbox::socketFolder(nullptr);
        const QStringList pgServer{"Cmb_engine=index:2", "Txt_server=text:" + pg, "Opt_CRISQLauth=choose",
                                   "Txt_user=text:" + PgSandbox::role};
        QTest::newRow("PostgreSQL server reached") << pgServer + QStringList{"Txt_database=text:postgres"}
                                                   << "cmd_TestSql" << SettingsMessages::serverConnected;
        QTest::newRow("PostgreSQL database absent")
            << pgServer + QStringList{"Txt_database=text:no_such_db"} << "cmd_TestSql" << DbMessages::interfaceFailed;
        QTest::newRow("PostgreSQL port refused")
            << pgServer + QStringList{"Txt_dbport=text:99999"} << "cmd_TestSql" << DbMessages::interfaceFailed;
        QTest::newRow("LIS file present") << QStringList{} << "cmd_sqlCRV" << SettingsMessages::databaseConnected;
        QTest::newRow("LIS Jet without its file")
            << QStringList{"Opt_corvanasystemAccess=choose", "Txt_serverCRV=text:S", "Txt_userCRV=text:u"}
            << "cmd_sqlCRV" << SettingsMessages::databaseNotFound;
    }
    void connectionTests()
    {
        QFETCH(QStringList, typed);
        QFETCH(QString, button);
        QFETCH(QString, message);
        QVERIFY(open());
        const QByteArray before = readAll(m_install->settingsIni());
        for (const QString& t : typed)
            act(qPrintable(t.section('=', 0, 0)), t.section('=', 1));
        child<QPushButton>(qPrintable(button))->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dialogs().shown.isEmpty(), 15000);
        QCOMPARE(said(), message);
        QVERIFY(child("cmd_TestSql")->isEnabled() && child("cmd_sqlCRV")->isEnabled());
        QCOMPARE(readAll(m_install->settingsIni()), before);
        QVERIFY(!QFile::exists(m_install->path() + "/other.db"));
    }

    // The sound test's refusals in order, then the file played through the sound layer.
    void soundTest()
    {
        QVERIFY(QDir(m_install->path()).mkpath("PROC/sub"));
        for (const char* name : {"PROC/sub/ding.mp3", "PROC/a.mp3"}) {
            QFile f(m_install->path() + "/" + name);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        m_install->setSetting("comsetup", "soundname", "gone.mp3");
        QVERIFY(open());
        QComboBox* sounds = child<QComboBox>("Cmb_sounds");
        QVERIFY(!sounds->isEnabled());
        child<QPushButton>("cmd_soundplay")->click();
        QCOMPARE(said(), SettingsMessages::soundSwitchedOff);
        act("Chk_sound", "check");
        QVERIFY(sounds->isEnabled());
        child<QPushButton>("cmd_soundplay")->click();
        QCOMPARE(said(), SettingsMessages::soundFileMissing);
        sounds->setCurrentIndex(-1);
        child<QPushButton>("cmd_soundplay")->click();
        QCOMPARE(said(), SettingsMessages::noSoundChosen);
        QCOMPARE(sounds->count(), 3);
        sounds->setCurrentText("sub/ding.mp3");
        dialogs().clear();
        child<QPushButton>("cmd_soundplay")->click();
        QVERIFY(dialogs().shown.isEmpty());
        QCOMPARE(m_sound.calls, (QStringList{"close", "open " + m_install->path() + "/PROC/sub/ding.mp3", "play"}));
        delete m_window.data();
        QCOMPARE(m_sound.calls.last(), u"close"_s);
        // Closed once when its time is up, and not again when the window goes.
        QVERIFY(open());
        act("Chk_sound", "check");
        child<QComboBox>("Cmb_sounds")->setCurrentText("a.mp3");
        m_sound.calls.clear();
        child<QPushButton>("cmd_soundplay")->click();
        QVERIFY(QMetaObject::invokeMethod(m_window->findChild<QTimer*>(u"Tmr_soundstop"_s), "timeout"));
        delete m_window.data();
        QCOMPARE(m_sound.calls, (QStringList{"close", "open " + m_install->path() + "/PROC/a.mp3", "play", "close"}));
    }

    // A device the system lists is chosen as itself; one that has gone is kept, marked.
    void serialDevices()
    {
        const QList<StationLists::SerialDevice> devices = StationLists::serialDevices();
        if (devices.isEmpty())
            QSKIP("this machine lists no serial device");
        m_install->setSetting("comsetup", "device", devices.first().device);
        QVERIFY(open());
        QComboBox* list = child<QComboBox>("Cmb_device");
        QCOMPARE(list->currentData().toString(), devices.first().device);
        QCOMPARE(list->count(), devices.size() + 1); // and "by port number"
        for (int i = 0; i < list->count(); ++i)
            QVERIFY(!list->itemText(i).contains(u"غير متصل"_s));
    }

    // Printers from the printers layer; none at all is said once.
    void printersList()
    {
        m_printers.names.clear();
        QVERIFY(open());
        QCOMPARE(said(), SettingsMessages::noPrinter);
        QCOMPARE(child<QComboBox>("cboPrinters")->count(), 0);
        // A colour sample takes the colour chosen, and it is saved.
        m_picker.colour = QColor(0x11, 0x22, 0x33);
        QTest::mouseClick(child("Lbl_RFontC2"), Qt::LeftButton);
        QTRY_COMPARE(child<QLabel>("Lbl_RFontC2")->property("colourRef").toInt(), 0x332211);
        child<QPushButton>("cmdOK")->click();
        QCOMPARE(ini("report", "AbResFonClr2"), QString::number(0x332211));
    }
};

QTEST_MAIN(TestSettingsWindow)
#include "gui_SettingsWindow.moc"
