#include "FakeSingleInstance.h"
#include "PtyPair.h"
#include "TestInstall.h"
#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "app/ProgramStartUi.h"
#include "app/ProgramUi.h"
#include "app/ReceiverOnlyUi.h"
#include "config/IniFile.h"
#include "core/Navigation.h"
#include "core/NavigationWidget.h"
#include "core/WindowCodes.h"
#include "db/Databases.h"
#include "users/PasswordWindow.h"
#include "users/UserAccounts.h"
#include "users/UserMessages.h"
#include "users/UserStore.h"
#include "users/UsersWindow.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cmath>

using namespace Qt::StringLiterals;

class TestProgram : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestInstall> m_install;
    FakeSingleInstance m_single;
    std::unique_ptr<ProgramUi> m_ui;
    std::unique_ptr<QSignalSpy> m_end;
    AppContext* m_context = nullptr; // the running program's

    template <typename T = QWidget> static T* child(QWidget* window, const char* name)
    {
        if (T* found = window ? window->findChild<T*>(QLatin1String(name)) : nullptr)
            return found;
        qFatal("no control %s", name);
    }
    static QLineEdit* box(QWidget* window, const char* name) { return child<QLineEdit>(window, name); }
    static void click(QWidget* window, const char* name) { child<QAbstractButton>(window, name)->click(); }
    static bool shown(QWidget* window, const char* name) { return child(window, name)->isVisible(); }
    // Per control: 'a' shows what is typed, '*' hides it; '+' ticked or shown, '-' not.
    static QString marks(QWidget* window, std::initializer_list<const char*> names)
    {
        QString m;
        for (const char* name : names) {
            auto* option = qobject_cast<QAbstractButton*>(child(window, name));
            if (auto* edit = qobject_cast<QLineEdit*>(child(window, name)))
                m += edit->echoMode() == QLineEdit::Password ? u'*' : u'a';
            else
                m += (option->isCheckable() ? option->isChecked() : option->isVisible()) ? u'+' : u'-';
        }
        return m;
    }
    // Ends a whole run of the program with `code` a while after `window` has shown (in 20 s at most).
    static void endWhenShown(const char* window, int code)
    {
        auto* poll = new QTimer(qApp);
        QObject::connect(poll, &QTimer::timeout, [poll, window, code] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                if (poll->isActive() && w->isVisible() && w->objectName() == QLatin1String(window)) {
                    poll->stop();
                    QTimer::singleShot(1200, poll, [poll, code] { QCoreApplication::exit(code), poll->deleteLater(); });
                }
            }
        });
        QTimer::singleShot(20000, poll, [poll] { QCoreApplication::exit(99), poll->deleteLater(); });
        poll->start(20);
    }

    // The contrast ratio of two colours (0x00BBGGRR) as WCAG 2 measures it.
    static double contrast(int a, int b)
    {
        const auto luminance = [](int c) {
            const double weights[] = {0.2126, 0.7152, 0.0722};
            double l = 0;
            for (int i = 0; i < 3; ++i) {
                const double v = ((c >> (8 * i)) & 0xFF) / 255.0;
                l += weights[i] * (v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4));
            }
            return l + 0.05;
        };
        return std::max(luminance(a), luminance(b)) / std::min(luminance(a), luminance(b));
    }

    FakeDialogs& dialogs() { return m_install->dialogs; }
    QString lastText() { return dialogs().shown.isEmpty() ? QString() : dialogs().last().text; }
    // The exit code the program was ended with, once; -1 when it was not, or more than once.
    int ended() { return m_end->size() == 1 ? m_end->first().first().toInt() : -1; }
    bool canLogIn(const QString& name, const QString& password)
    {
        return UserStore(m_context->databases().OpenInterfaceDb()).findLogin(name, password).has_value();
    }

    // A new install: the demo one (the administrator admin/admin), or one without any account.
    void install(bool demo)
    {
        m_ui.reset();
        m_install = std::make_unique<TestInstall>();
        QVERIFY(demo ? m_install->installDemoData() : m_install->createDatabases());
    }

    // A new start of the program on the install, with the start-up steps as fast as events allow.
    LoginWindow* startProgram()
    {
        m_ui.reset();
        dialogs().clear();
        m_context = &m_install->context();
        m_ui = std::make_unique<ProgramUi>(*m_context, m_single);
        m_end = std::make_unique<QSignalSpy>(m_ui.get(), &ProgramUi::endRequested);
        if (!m_ui->start(QString()))
            return nullptr;
        m_ui->loginWindow()->sequence().timer().setInterval(0);
        return m_ui->loginWindow();
    }

    MainWindow* logIn(const QString& name, const QString& password)
    {
        LoginWindow* login = m_ui->loginWindow();
        if (!QTest::qWaitFor([login] { return shown(login, "Txt_username"); }))
            return nullptr;
        box(login, "Txt_username")->setText(name);
        box(login, "Txt_password")->setText(password);
        QTest::keyClick(box(login, "Txt_password"), Qt::Key_Return);
        const bool in = QTest::qWaitFor([this] { return m_ui->mainWindow() || !m_end->isEmpty(); });
        return in && m_end->isEmpty() ? m_ui->mainWindow() : nullptr;
    }

private slots:
    void firstAdministratorsDay()
    {
        install(false);
        LoginWindow* login = startProgram();
        QVERIFY(login && !shown(login, "Txt_username")); // not while the steps run
        QTRY_VERIFY(shown(login, "Frm_firstadmin"));
        QVERIFY(!shown(login, "Txt_username") && child<QLabel>(login, "Lbl_firstadmin")->font().bold());
        QCOMPARE(marks(login, {"Txt_adminname", "Txt_adminpassword", "Txt_adminpassword2", "Txt_password"}) +
                     QString::number(login->layoutDirection()),
                 u"a***1"_s);
        QTest::keyClick(box(login, "Txt_adminpassword2"), Qt::Key_Return);
        QCOMPARE(lastText() + login->focusWidget()->objectName(), UserMessages::addNameEmpty + u"Txt_adminname"_s);
        // Enter moves down the boxes and makes the account at the last one.
        for (const QString& typed : {u"boss"_s, u"Pw-1"_s, u"pw-1"_s}) {
            QTest::keyClicks(login->focusWidget(), typed);
            QTest::keyClick(login->focusWidget(), Qt::Key_Return);
        }
        QCOMPARE(lastText(), u"رجاء التأكد من تظابق كلمة المرور الجديدة المدخلة"_s);
        QCOMPARE(box(login, "Txt_adminname")->text() + login->focusWidget()->objectName(), u"bossTxt_adminpassword"_s);
        box(login, "Txt_adminpassword2")->setText(u"Pw-1"_s);
        click(login, "cmd_createadmin");

        // The login boxes, with the new name: the password is next.
        QLineEdit* pass = box(login, "Txt_password");
        QVERIFY(!shown(login, "Frm_firstadmin"));
        QCOMPARE(box(login, "Txt_username")->text() + login->focusWidget()->objectName(), u"bossTxt_password"_s);
        QTest::keyClicks(pass, u"' or '1'='1"_s);
        QTest::keyClick(pass, Qt::Key_Return);
        QCOMPARE(lastText() + pass->selectedText(), u"رجاء ادخل اسم المستخدم الصحيح وكلمة المرور الصحيحة' or '1'='1"_s);
        QTest::keyClicks(pass, u"Pw-1"_s); // replaces the selected wrong password
        QTest::keyClick(pass, Qt::Key_Return);
        QVERIFY(!pass->isVisible());
        QTRY_VERIFY(m_ui->mainWindow() && m_ui->mainWindow()->isVisible() && !m_ui->loginWindow());

        // The main window: a first administrator holds every grant; the serial link is off.
        MainWindow* main = m_ui->mainWindow();
        auto* user = child<QLabel>(main, "Lbl_username");
        QCOMPARE(user->text() + u' ' + child<QLabel>(main, "Lbl_login")->text(),
                 u"boss Login time 05/12/2026 02:07 PM"_s);
        QVERIFY(user->font().bold() && child<QLabel>(main, "LblPatName")->font().bold());
        QCOMPARE(main->grab().toImage().pixelColor(child(main, "PictureCmd")->mapTo(main, QPoint(2, 2))),
                 QColor(215, 230, 232));
        QCOMPARE(
            marks(main, {"Opt_patient", "Opt_receivedata", "Opt_setting", "Opt_ranges", "cmd_FACTORSS", "cmd_comments",
                         "cmd_resultopt", "cmd_users", "cmd_passwordModi", "opt_aboutus", "Opt_exit", "Cmd_mini"}),
            u"++-----++-++"_s);
        // The indicator keeps its colours on a background that makes them readable (4.5:1 at least).
        auto* indicator = child<QPushButton>(main, "Opt_receivedata");
        QVERIFY(indicator->text() == u"Data receiver/OFF"_s &&
                indicator->styleSheet().contains(u"color: #15530d; background-color: #ffffff"_s));
        for (bool on : {false, true})
            QVERIFY(contrast(Navigation::receiverColour(on), Navigation::receiverBackground(on)) >= 4.5);
        click(main, "Cmd_mini");
        QVERIFY(main->isMinimized() && !m_ui->receiveWindow());

        click(main, "cmd_users");
        UsersWindow* users = m_ui->usersWindow();
        QTRY_VERIFY(users && users->isVisible() && !m_ui->mainWindow());
        click(users, "cmd_users"); // its own entry: it stays
        QVERIFY(users->isVisible() && m_context->activeWindowCode() == WindowCode::Users);
        QVERIFY(!box(users, "Txt_username")->isEnabled() && child(users, "List1")->isEnabled());
        QCOMPARE(child<QLabel>(users, "Lbl_count")->text(), u"عدد المستخدمين: 1"_s);
        // Add after viewing an administrator starts blank and least privileged; the name is trimmed.
        auto* list = child<QListWidget>(users, "List1");
        list->setCurrentRow(0);
        QCOMPARE(marks(users, {"Optx", "Opty", "Txt_password"}) + box(users, "Txt_password")->text(), u"+-*********"_s);
        click(users, "cmd_add");
        QCOMPARE(box(users, "Txt_username")->text() + box(users, "Txt_password")->text() +
                     marks(users, {"Optx", "Opty", "Check1", "Check7", "Check8"}),
                 u"-+---"_s);
        box(users, "Txt_username")->setText(u" nurse "_s);
        box(users, "Txt_password")->setText(u"N-1"_s);
        click(users, "cmd_save");
        QCOMPARE(list->currentItem()->text() + u'|' + box(users, "Txt_username")->text(), u"nurse|nurse"_s);
        // Add then Cancel shows again the account Edit acts on; Edit keeps the password unless typed.
        click(users, "cmd_add");
        click(users, "cmd_Cancel");
        QCOMPARE(box(users, "Txt_username")->text(), u"nurse"_s);
        click(users, "cmd_edit");
        click(users, "Check7");
        click(users, "cmd_save2");
        QVERIFY(canLogIn(u"nurse"_s, u"N-1"_s) &&
                UserStore(m_context->databases().OpenInterfaceDb()).findByName(u"nurse"_s)->grant7);
        // The password window: what is typed stays in its box, Enter and Down move on, Up moves back.
        click(users, "cmd_passwordModi");
        PasswordWindow* pw = m_ui->passwordWindow();
        QTRY_VERIFY(pw && pw->isVisible() && !m_ui->usersWindow());
        QCOMPARE(box(pw, "Text1")->text() + marks(pw, {"Text1", "Text2", "Text3", "Text4"}) +
                     QString::number(m_context->activeWindowCode()),
                 u"bossa***8"_s);
        const std::pair<QString, Qt::Key> keys[] = {{u"Pw-1"_s, Qt::Key_Up},    {{}, Qt::Key_Return},
                                                    {u"Neu-1"_s, Qt::Key_Down}, {u"neu-1"_s, Qt::Key_Up},
                                                    {{}, Qt::Key_Up},           {{}, Qt::Key_Down}};
        QString path;
        for (const auto& [text, key] : keys) {
            QTest::keyClicks(pw->focusWidget(), text);
            QTest::keyClick(pw->focusWidget(), key);
            path += pw->focusWidget()->objectName().back();
        }
        QCOMPARE(path + box(pw, "Text2")->text() + box(pw, "Text3")->text() + box(pw, "Text4")->text(),
                 u"234323Pw-1Neu-1neu-1"_s);
        // A refusal says what is missing or wrong and puts the focus there; the last one is saved.
        namespace M = UserMessages;
        const struct
        {
            QString old, next, repeat, message, focus;
        } attempts[] = {{{}, {}, {}, M::oldPasswordEmpty, u"Text2"_s},
                        {u"x"_s, {}, u"n"_s, M::newPasswordEmpty, u"Text3"_s},
                        {u"x"_s, u"n"_s, {}, M::repeatEmpty, u"Text4"_s},
                        {u"Pw-1"_s, u"A"_s, u"a"_s, M::repeatDiffers, u"Text3"_s},
                        {u"pw-1"_s, u"Neu-1"_s, u"Neu-1"_s, M::oldPasswordWrong, u"Text2"_s},
                        {u"Pw-1"_s, u"Neu-1"_s, u"Neu-1"_s, M::passwordSaved, u"Text2"_s}};
        for (const auto& [old, next, repeat, message, focus] : attempts) {
            box(pw, "Text2")->setText(old);
            box(pw, "Text3")->setText(next);
            box(pw, "Text4")->setText(repeat);
            click(pw, "cmd_ok");
            QCOMPARE(lastText() + pw->focusWidget()->objectName(), message + focus);
        }
        QVERIFY(dialogs().last().title == M::passwordSavedTitle && canLogIn(u"boss"_s, u"Neu-1"_s));
        // A window that comes later shows its entry from then on; its own strip works like any other.
        QPointer<QWidget> later;
        m_ui->registerWindow(NavEntry::Comments, [this, &later](NavigationWidget** navigation) -> QWidget* {
            later = new QWidget(nullptr, Qt::Window);
            *navigation = new NavigationWidget(*m_context, WindowCode::Comments, later);
            return later;
        });
        click(pw, "cmd_comments");
        QTRY_VERIFY(later && later->isVisible() && !m_ui->passwordWindow());
        QCOMPARE(child<QPushButton>(later, "Opt_receivedata")->text(), u"Data receiver/OFF"_s);
        click(later, "Opt_patient");
        QTRY_VERIFY(m_ui->mainWindow() && m_ui->mainWindow()->isVisible() && !later);

        // Exit asks, and ends the program once.
        dialogs().answers = {DialogAnswer::No, DialogAnswer::Yes, DialogAnswer::Yes};
        click(m_ui->mainWindow(), "Opt_exit");
        QCOMPARE(dialogs().last().title + u'|' + lastText(),
                 u"تأكيد خروج !|هل انت متأكد انك تريد الخروج من نظام كورفانا انترفيس"_s);
        QVERIFY(dialogs().last().buttons == DialogButtons::YesNo && m_end->isEmpty());
        click(m_ui->mainWindow(), "Opt_exit");
        click(m_ui->mainWindow(), "Opt_exit");
        QCOMPARE(ended(), 0);
    }

    void clerkRememberedAndRefused()
    {
        install(true);
        UserAccount clerk;
        clerk.name = u"clerk"_s;
        clerk.password = u"Clerk-1"_s;
        clerk.ordinaryUser = true;
        QVERIFY(UserAccounts(m_install->context()).add(clerk).done);
        LoginWindow* login = startProgram();
        QLineEdit* user = box(login, "Txt_username");
        QLineEdit* pass = box(login, "Txt_password");
        QTRY_VERIFY(user->isVisible());
        QCOMPARE(marks(login, {"Chk_rememberMe", "Txt_username"}) + user->text() + pass->text(), u"-a"_s);
        // Down, Up, Enter with both boxes empty, Enter on a name without password.
        QString path = login->focusWidget()->objectName();
        for (const auto& [from, key] : {std::pair{user, Qt::Key_Down}, {pass, Qt::Key_Up}, {user, Qt::Key_Return}}) {
            QTest::keyClick(from, key);
            path += u' ' + login->focusWidget()->objectName();
        }
        QCOMPARE(path + lastText(),
                 u"Txt_username Txt_password Txt_username Txt_password"_s + u"ادخل كلمة المرور أولاً"_s);
        QTest::keyClicks(user, u"clerk"_s);
        QTest::keyClick(user, Qt::Key_Return);
        QCOMPARE(user->text() + login->focusWidget()->objectName(), u"clerkTxt_password"_s);
        QTest::keyClick(pass, Qt::Key_Return);
        QCOMPARE(dialogs().shown.size(), 2);
        click(login, "Chk_rememberMe");
        MainWindow* main = logIn(u"clerk"_s, u"Clerk-1"_s);
        QVERIFY(main);

        // Without the administrator mark the users window is refused.
        click(main, "cmd_users");
        QCOMPARE(dialogs().last().title + u'|' + lastText(),
                 u"تنبية !!|انت لا تملك صلاحية لهذا العمل - يرجي مراجعة مدير النظام"_s);
        QVERIFY(!m_ui->usersWindow() && main->isVisible());

        click(main, "cmd_passwordModi");
        click(m_ui->passwordWindow(), "cmd_users");
        QVERIFY(dialogs().shown.size() == 4 && !m_ui->usersWindow());

        // The next start fills the boxes in; Escape there ends the program, once.
        login = startProgram();
        QTRY_VERIFY(shown(login, "Txt_username"));
        // The password box holds the remembered token, never the password.
        QCOMPARE(marks(login, {"Chk_rememberMe"}) + box(login, "Txt_username")->text() +
                     login->focusWidget()->objectName(),
                 u"+clerkTxt_username"_s);
        QCOMPARE(box(login, "Txt_password")->text(), ReadIni(m_install->settingsIni(), u"server"_s, u"NIDL"_s));
        QCOMPARE(box(login, "Txt_password")->text().size(), 43);
        QTest::keyClick(box(login, "Txt_username"), Qt::Key_Escape);
        QTest::keyClick(box(login, "Txt_username"), Qt::Key_Escape);
        QCOMPARE(ended(), 0);
        // A start refused at the window load.
        QVERIFY(QFile::remove(m_install->memoryIni()) && !startProgram());
        QCOMPARE(ended(), 1);
    }

    void wholeProgramRuns()
    {
        install(true);
        PtyPair pty;
        m_install->setSetting(u"comsetup"_s, u"active"_s, u"1"_s);
        m_install->setSetting(u"comsetup"_s, u"device"_s, pty.slavePath());
        QTemporaryDir shots;
        const auto shot = [&shots](const QString& name) { return shots.filePath(name + u".png"_s); };
        // The demo logs in, walks through the windows with a screenshot of each, and runs until ended.
        ProgramOptions demo;
        demo.home = m_install->path();
        demo.screenshot = shot(u"demo"_s);
        demo.demoLogin = u"admin:admin"_s;
        demo.demoWalk = true;
        endWhenShown("Frm_recivedata", 7);
        QCOMPARE(runProgram(*qApp, demo), 7);
        for (const char* window : {"Frm_start", "Form1", "Frm_users", "Frm_userspw", "Frm_recivedata"})
            QVERIFY2(QFile::exists(shot(u"demo-"_s + QLatin1String(window))), window);
        // Quitting after a while saves the window in front; a screenshot that cannot be saved fails.
        ProgramOptions timed;
        timed.home = m_install->path();
        timed.screenshot = shot(u"front"_s);
        timed.quitAfterMs = 300;
        QCOMPARE(runProgram(*qApp, timed), 0);
        QVERIFY(QFile::exists(timed.screenshot));
        timed.screenshot = shots.filePath(u"none/front.png"_s);
        QCOMPARE(runProgram(*qApp, timed), 1);

        // The receive window alone: until it is ended, or for the time given, with its screenshot.
        ReceiverOnlyOptions alone;
        alone.home = m_install->path();
        endWhenShown("Frm_recivedata", 5);
        QCOMPARE(runReceiverOnly(*qApp, alone), 5);
        alone.screenshot = shot(u"alone"_s);
        alone.quitAfterMs = 300;
        QCOMPARE(runReceiverOnly(*qApp, alone), 0);
        QVERIFY(QFile::exists(alone.screenshot));
        alone.home = shots.filePath(u"nowhere"_s);
        QCOMPARE(runReceiverOnly(*qApp, alone), 1);
    }
};

QTEST_MAIN(TestProgram)
#include "gui_Program.moc"
