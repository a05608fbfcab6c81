#include "FakeSingleInstance.h"
#include "TestInstall.h"
#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "app/ProgramUi.h"
#include "app/SettingsWindowsUi.h"
#include "app/StartupSequence.h"
#include "config/IniFile.h"
#include "core/Grants.h"
#include "core/NavigationWidget.h"
#include "core/WindowCodes.h"
#include "db/DbMessages.h"
#include "platform/ProgramRestart.h"
#include "settings/SettingsWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

class RecordedRestart final : public ProgramRestart
{
public:
    void requestRestart() override { ++requests; }
    bool restartRequested() const override { return requests > 0; }
    int requests = 0;
};

QWidget* shownWindow(const QString& name)
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && w->objectName() == name)
            return w;
    }
    return nullptr;
}

} // namespace

// The settings and About windows in the running program: the recovery path from a database or a
// port that cannot be used to the restart, grant 8, and the About window from both its buttons.
class TestSettingsProgram : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestInstall> m_install;
    FakeSingleInstance m_single;
    RecordedRestart m_restart;
    std::unique_ptr<ProgramUi> m_ui;
    std::unique_ptr<QSignalSpy> m_end;
    AppContext* m_context = nullptr;

    FakeDialogs& dialogs() { return m_install->dialogs; }

    bool start()
    {
        m_ui.reset();
        dialogs().clear();
        AppContext& context = m_install->context();
        m_context = &context;
        m_ui = std::make_unique<ProgramUi>(context, m_single);
        registerSettingsWindows(*m_ui, context, m_restart);
        m_end = std::make_unique<QSignalSpy>(m_ui.get(), &ProgramUi::endRequested);
        if (!m_ui->start(QString()))
            return false;
        m_ui->loginWindow()->sequence().timer().setInterval(0);
        return true;
    }

    // Types the demo account in; with `main`, waits for the main window.
    MainWindow* logIn(bool main = true)
    {
        LoginWindow* login = m_ui->loginWindow();
        if (!QTest::qWaitFor([login] { return login->findChild<QLineEdit*>(u"Txt_username"_s)->isVisible(); }))
            return nullptr;
        login->findChild<QLineEdit*>(u"Txt_username"_s)->setText(u"admin"_s);
        login->findChild<QLineEdit*>(u"Txt_password"_s)->setText(u"admin"_s);
        QTest::keyClick(login->findChild<QLineEdit*>(u"Txt_password"_s), Qt::Key_Return);
        if (!main)
            return nullptr;
        return QTest::qWaitFor([this] { return m_ui->mainWindow() != nullptr; }) ? m_ui->mainWindow() : nullptr;
    }

    static QWidget* pageControl(QWidget* window, const char* name)
    {
        QWidget* pages = window->findChild<QWidget*>(u"Pct_pagebuttons"_s);
        QWidget* found = pages->findChild<QWidget*>(QLatin1String(name));
        return found ? found : window->findChild<QWidget*>(QLatin1String(name));
    }

private slots:
    void init()
    {
        m_install = std::make_unique<TestInstall>();
        QVERIFY(m_install->installDemoData());
        m_restart.requests = 0;
    }
    void cleanup()
    {
        m_ui.reset();
        m_install.reset();
    }

    // A database or the port that cannot be used: its message, then the settings window alone on
    // the failing page; the fixed value is saved and the program asks to start again.
    void recoveryToRestart_data()
    {
        QTest::addColumn<QStringList>("broken");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("fix");   // control=text
        QTest::addColumn<QString>("fixed"); // section/key=value
        QTest::newRow("interface server")
            << QStringList{"server/engine=sqlserver", "server/servername=NOWHERE", "server/odbcdriver=No Such Driver"}
            << DbMessages::interfaceFailed << "Pct_serverset"
            << "cmd_serverset"
            << "Cmb_engine=ملف SQLite مدمج"
            << "server/engine=sqlite";
        QTest::newRow("LIS database at start-up")
            << QStringList{"corvanaserver/database=Gone.db"} << DbMessages::lisServerFailed << "Pct_corvanaSet"
            << "cmd_servercorvana"
            << "Txt_databaseCRV=Patients.db"
            << "corvanaserver/database=Patients.db";
        QTest::newRow("serial port")
            << QStringList{"comsetup/active=1", "comsetup/device=/dev/no-such-line"}
            << u"خطأ فى منفذ الاتصال التسلسي الخاص بالكمبيوتر\r\nهل تريد التأكد من اعدادات منفذ الاتصال او تغيره"_s
            << "Pct_comSettings"
            << "cmd_settingcom"
            << "cboStopBits=2"
            << "comsetup/StopBits=2";
    }
    void recoveryToRestart()
    {
        QFETCH(QStringList, broken);
        QFETCH(QString, message);
        QFETCH(QString, page);
        QFETCH(QString, button);
        QFETCH(QString, fix);
        QFETCH(QString, fixed);
        m_install->setSettings(broken);
        if (page == "Pct_comSettings")
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^receiver: "));
        QVERIFY(start());
        if (page != "Pct_serverset")
            logIn(page == "Pct_comSettings");
        QVERIFY(QTest::qWaitFor([] { return shownWindow(u"com_setting_frm"_s) != nullptr; }, 5000));
        QWidget* settings = shownWindow(u"com_setting_frm"_s);
        QCOMPARE(dialogs().shown.first().text, message);
        // Alone, on the failing page; only that page's button and the way out can be used.
        QTRY_VERIFY(!m_ui->loginWindow() && !m_ui->mainWindow() && !m_ui->receiveWindow());
        QVERIFY(settings->findChild<QWidget*>(page)->isVisible());
        for (const char* b : {"cmd_serverset", "cmd_servercorvana", "cmd_settingcom", "cmd_resultopt", "cmd_systemopt",
                              "cmd_fontcolor"})
            QCOMPARE(pageControl(settings, b)->isEnabled(), button == QLatin1String(b));
        QCOMPARE(settings->findChild<QLabel*>(u"Lbl_settingsddrees"_s)->text(),
                 static_cast<QPushButton*>(pageControl(settings, qPrintable(button)))->text());
        QVERIFY(!pageControl(settings, "cmdOK")->isVisible() && pageControl(settings, "cmdOKexit")->isVisible());
        QVERIFY(!settings->findChild<QWidget*>(u"Opt_patient"_s)->isEnabled());
        QVERIFY(settings->findChild<QWidget*>(u"Opt_exit"_s)->isEnabled());

        QTRY_VERIFY(static_cast<SettingsWindow*>(settings)->isLoaded());
        const QString control = fix.section('=', 0, 0);
        if (auto* edit = settings->findChild<QLineEdit*>(control))
            edit->setText(fix.section('=', 1));
        else
            settings->findChild<QComboBox*>(control)->setCurrentText(fix.section('=', 1));
        QVERIFY(m_end->isEmpty() && m_restart.requests == 0);
        static_cast<QPushButton*>(pageControl(settings, "cmdOKexit"))->click();
        QCOMPARE(m_restart.requests, 1);
        QCOMPARE(m_end->size(), 1);
        QCOMPARE(m_end->first().first().toInt(), 0);
        const QString key = fixed.section('=', 0, 0);
        QCOMPARE(ReadIni(m_install->settingsIni(), key.section('/', 0, 0), key.section('/', 1)), fixed.section('=', 1));
    }

    // Opt_setting needs grant 8: refused with the common message without it, opened with it.
    void grant8()
    {
        QVERIFY(start());
        MainWindow* main = logIn();
        QVERIFY(main);
        CurrentUser& user = m_context->currentUser;
        user.administrator = false;
        user.grant8 = false;
        dialogs().clear();
        main->findChild<QPushButton*>(u"Opt_setting"_s)->click();
        QCOMPARE(dialogs().shown.size(), 1);
        QCOMPARE(dialogs().last().title, GrantMessages::refusalTitle);
        QCOMPARE(dialogs().last().text, GrantMessages::refusalText);
        QVERIFY(!shownWindow(u"com_setting_frm"_s));
        user.grant8 = true;
        main->findChild<QPushButton*>(u"Opt_setting"_s)->click();
        QWidget* settings = shownWindow(u"com_setting_frm"_s);
        QVERIFY(settings);
        QVERIFY(!m_ui->mainWindow() || !m_ui->mainWindow()->isVisible());
        QVERIFY(pageControl(settings, "cmdOK")->isVisible() && pageControl(settings, "cmd_fontcolor")->isEnabled());
        QCOMPARE(m_context->activeWindowCode(), WindowCode::Settings);
    }

    // The About window from the strip and from the main window's button: modal, right to left,
    // the install folder and the databases in use; Escape closes it.
    void aboutWindow()
    {
        QVERIFY(start());
        MainWindow* main = logIn();
        QVERIFY(main);
        for (const char* from : {"opt_aboutus", "cmd_reportview"}) {
            main->findChild<QPushButton*>(QLatin1String(from))->click();
            QWidget* about = shownWindow(u"frmAbout"_s);
            QVERIFY2(about, from);
            QVERIFY(about->isModal());
            QCOMPARE(about->layoutDirection(), Qt::RightToLeft);
            QVERIFY(about->findChild<QLabel*>(u"Lbl_installfolder"_s)
                        ->text()
                        .contains(QDir::toNativeSeparators(m_install->path())));
            QVERIFY(about->findChild<QLabel*>(u"Lbl_interfacedb"_s)->text().contains(u"InterfaceVIDAS.db"_s));
            QVERIFY(about->findChild<QLabel*>(u"Lbl_qtversion"_s)->text().contains(QLatin1String(qVersion())));
            QPointer<QWidget> gone = about;
            QTest::keyClick(about, Qt::Key_Escape);
            QTRY_VERIFY(gone.isNull());
            QVERIFY(main->isVisible());
        }
    }

    // The strip with every entry fits a 1024-pixel-wide screen, no caption cut.
    void navigationFits1024()
    {
        AppContext& context = m_install->context();
        context.currentUser.name = u"مدير المختبر"_s;
        context.currentUser.loginTime = u"Login time 06/12/2026 10:45 AM"_s;
        NavigationWidget strip(context, WindowCode::Main);
        for (const NavEntry entry : allNavEntries)
            strip.setEntryShown(entry, true);
        strip.windowLoaded();
        strip.showReceiver(true);
        strip.resize(1024, strip.sizeHint().height());
        strip.show();
        strip.layout()->activate();
        QVERIFY2(strip.minimumSizeHint().width() <= 1024, qPrintable(QString::number(strip.minimumSizeHint().width())));
        for (const NavEntry entry : allNavEntries) {
            QPushButton* b = strip.button(entry);
            QVERIFY2(b->width() >= b->fontMetrics().horizontalAdvance(b->text()) + 8, qPrintable(b->text()));
        }
    }
};

QTEST_MAIN(TestSettingsProgram)
#include "gui_SettingsProgram.moc"
