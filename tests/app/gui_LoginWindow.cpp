#include "FakeSingleInstance.h"
#include "PtyPair.h"
#include "TestInstall.h"
#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "app/ProgramUi.h"
#include "app/StartupMessages.h"
#include "core/Grants.h"
#include "core/NavigationWidget.h"
#include "db/DbMessages.h"
#include "link/ReceiveWindow.h"
#include "platform/SingleInstance.h"
#include "users/PasswordWindow.h"
#include "users/UserAccounts.h"
#include "users/UsersWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {
template <typename T> T* child(QWidget* window, const char* name)
{
    T* found = window ? window->findChild<T*>(QString::fromLatin1(name)) : nullptr;
    if (!found)
        qWarning("no control %s", name);
    return found;
}

void typeText(QWidget* box, const QString& text)
{
    // One character at a time: Arabic through keyClicks aborts.
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::KeyAction::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

void addAccount(AppContext& context, const QString& name, const QString& password, bool administrator,
                bool grant7 = false)
{
    UserAccount a;
    a.name = name;
    a.password = password;
    a.administrator = administrator;
    a.ordinaryUser = !administrator;
    a.grant7 = grant7;
    if (!UserAccounts(context).add(a).done)
        qFatal("account %s not added", qPrintable(name));
}
} // namespace

class TestLoginWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestInstall> m_install;
    FakeSingleInstance m_single;
    std::unique_ptr<ProgramUi> m_ui;
    std::unique_ptr<QSignalSpy> m_end;
    AppContext* m_context = nullptr; // the running program's

    AppContext& freshInstall()
    {
        m_ui.reset();
        m_install = std::make_unique<TestInstall>();
        if (!m_install->createDatabases())
            qFatal("no databases");
        AppContext& context = m_install->context();
        addAccount(context, QStringLiteral("admin"), QStringLiteral("admin"), true);
        addAccount(context, QStringLiteral("clerk"), QStringLiteral("Clerk-1"), false);
        m_install->dialogs.clear();
        return context;
    }

    // Starts the program on a new context of the install ("a new start") and waits for the login.
    LoginWindow* startProgram(bool waitForLogin = true)
    {
        m_ui.reset();
        m_context = &m_install->context();
        m_ui = std::make_unique<ProgramUi>(*m_context, m_single);
        m_end = std::make_unique<QSignalSpy>(m_ui.get(), &ProgramUi::endRequested);
        if (!m_ui->start(QString()))
            return nullptr;
        LoginWindow* login = m_ui->loginWindow();
        if (waitForLogin) {
            auto* name = child<QLineEdit>(login, "Txt_username");
            if (!QTest::qWaitFor([name] { return name->isVisible(); }, 10000))
                qWarning("the login boxes did not show");
        }
        return login;
    }

    bool logIn(LoginWindow* login, const QString& name, const QString& password)
    {
        auto* user = child<QLineEdit>(login, "Txt_username");
        auto* pass = child<QLineEdit>(login, "Txt_password");
        user->setText(name);
        pass->setText(password);
        QTest::keyClick(pass, Qt::Key_Return);
        return QTest::qWaitFor([this] { return m_ui->mainWindow() && m_ui->mainWindow()->isVisible(); }, 10000);
    }

private slots:
    void init() { m_single = FakeSingleInstance(); }
    void cleanup()
    {
        m_ui.reset();
        m_end.reset();
        m_install.reset();
    }

    void wrongThenRightPassword()
    {
        AppContext& context = freshInstall();
        Q_UNUSED(context);
        LoginWindow* login = startProgram();
        QVERIFY(login);
        QCOMPARE(login->objectName(), QStringLiteral("Frm_start"));
        QCOMPARE(login->layoutDirection(), Qt::RightToLeft);
        QVERIFY(QTest::qWaitForWindowActive(login));
        auto* user = child<QLineEdit>(login, "Txt_username");
        auto* pass = child<QLineEdit>(login, "Txt_password");
        QCOMPARE(login->focusWidget(), user);
        QVERIFY(!login->sequence().timer().isActive());

        QTest::keyClicks(user, QStringLiteral("admin"));
        // Enter with a name and no password: on to the password.
        QTest::keyClick(user, Qt::Key_Return);
        QCOMPARE(login->focusWidget(), pass);
        QVERIFY(m_install->dialogs.shown.isEmpty());
        // Enter on an empty password: the message, and the focus stays.
        QTest::keyClick(pass, Qt::Key_Return);
        QCOMPARE(m_install->dialogs.shown.size(), 1);
        QCOMPARE(m_install->dialogs.last().title, StartupMessages::loginTitle);
        QCOMPARE(m_install->dialogs.last().text, QStringLiteral("ادخل كلمة المرور أولاً"));
        QCOMPARE(login->focusWidget(), pass);

        QTest::keyClicks(pass, QStringLiteral("' or '1'='1"));
        QTest::keyClick(pass, Qt::Key_Return);
        QCOMPARE(m_install->dialogs.shown.size(), 2);
        QCOMPARE(m_install->dialogs.last().text, QStringLiteral("رجاء ادخل اسم المستخدم الصحيح وكلمة المرور الصحيحة"));
        QCOMPARE(login->focusWidget(), pass);
        QCOMPARE(pass->selectedText(), QStringLiteral("' or '1'='1"));
        QVERIFY(!m_ui->mainWindow());
        QVERIFY(m_ui->loginWindow());

        // Typing replaces the selected wrong password.
        QTest::keyClicks(pass, QStringLiteral("admin"));
        QCOMPARE(pass->text(), QStringLiteral("admin"));
        QTest::keyClick(pass, Qt::Key_Return);
        QTRY_VERIFY_WITH_TIMEOUT(m_ui->mainWindow() && m_ui->mainWindow()->isVisible(), 10000);
        QTRY_VERIFY(!m_ui->loginWindow());
        MainWindow* main = m_ui->mainWindow();
        QCOMPARE(main->objectName(), QStringLiteral("Form1"));
        QCOMPARE(child<QLabel>(main, "Lbl_username")->text(), QStringLiteral("admin"));
        QCOMPARE(child<QLabel>(main, "Lbl_login")->text(), QStringLiteral("Login time 05/12/2026 02:07 PM"));
        QCOMPARE(m_context->activeWindowCode(), qint16(1));
        QCOMPARE(m_end->size(), 0);
        QCOMPARE(m_install->dialogs.shown.size(), 2);
    }

    void keysOfTheLoginWindow()
    {
        freshInstall();
        LoginWindow* login = startProgram();
        QVERIFY(QTest::qWaitForWindowActive(login));
        auto* user = child<QLineEdit>(login, "Txt_username");
        auto* pass = child<QLineEdit>(login, "Txt_password");
        QTest::keyClick(user, Qt::Key_Down);
        QCOMPARE(login->focusWidget(), pass);
        QTest::keyClick(pass, Qt::Key_Up);
        QCOMPARE(login->focusWidget(), user);
        // Enter with both boxes empty logs in, which asks for the password first.
        QTest::keyClick(user, Qt::Key_Return);
        QCOMPARE(m_install->dialogs.last().text, StartupMessages::passwordEmpty);
        QCOMPARE(login->focusWidget(), pass);
        // A name and no password from the password box: the name is asked for.
        pass->setText(QStringLiteral("x"));
        user->clear();
        QTest::keyClick(pass, Qt::Key_Return);
        QCOMPARE(m_install->dialogs.last().text, StartupMessages::userNameEmpty);
        QCOMPARE(login->focusWidget(), user);
        QCOMPARE(m_end->size(), 0);
        QTest::keyClick(user, Qt::Key_Escape);
        QCOMPARE(m_end->size(), 1);
        QCOMPARE(m_end->first().first().toInt(), 0);
    }

    void arabicNameAndLongPassword()
    {
        AppContext& context = freshInstall();
        const QString longPassword = QString(300, QLatin1Char('p'));
        addAccount(context, QStringLiteral("مدير"), longPassword, false);
        LoginWindow* login = startProgram();
        auto* user = child<QLineEdit>(login, "Txt_username");
        auto* pass = child<QLineEdit>(login, "Txt_password");
        user->setFocus();
        typeText(user, QStringLiteral("مدير"));
        QCOMPARE(user->text(), QStringLiteral("مدير"));
        pass->setText(longPassword.left(299) + QLatin1Char('P'));
        QTest::keyClick(pass, Qt::Key_Return);
        QCOMPARE(m_install->dialogs.last().text, QStringLiteral("رجاء ادخل اسم المستخدم الصحيح وكلمة المرور الصحيحة"));
        QVERIFY(logIn(login, QStringLiteral("مدير"), longPassword));
        QCOMPARE(m_context->currentUser.name, QStringLiteral("مدير"));
        QVERIFY(!m_context->currentUser.administrator);
    }

    void rememberMeThroughARestart()
    {
        freshInstall();
        LoginWindow* login = startProgram();
        auto* remember = child<QCheckBox>(login, "Chk_rememberMe");
        QVERIFY(!remember->isChecked());
        QVERIFY(child<QLineEdit>(login, "Txt_username")->text().isEmpty());
        remember->click();
        QVERIFY(remember->isChecked());
        QVERIFY(logIn(login, QStringLiteral("clerk"), QStringLiteral("Clerk-1")));

        login = startProgram();
        QVERIFY(login);
        QVERIFY(child<QCheckBox>(login, "Chk_rememberMe")->isChecked());
        QCOMPARE(child<QLineEdit>(login, "Txt_username")->text(), QStringLiteral("clerk"));
        QCOMPARE(child<QLineEdit>(login, "Txt_password")->text(), QStringLiteral("Clerk-1"));
        // Logging in without the box forgets it again.
        child<QCheckBox>(login, "Chk_rememberMe")->setChecked(false);
        QVERIFY(logIn(login, QStringLiteral("clerk"), QStringLiteral("Clerk-1")));

        login = startProgram();
        QVERIFY(!child<QCheckBox>(login, "Chk_rememberMe")->isChecked());
        QVERIFY(child<QLineEdit>(login, "Txt_username")->text().isEmpty());
        QVERIFY(child<QLineEdit>(login, "Txt_password")->text().isEmpty());
    }

    void administratorWithoutGrantColumnsGetsEveryGrant()
    {
        AppContext& context = freshInstall();
        // "admin" was stored with every grant column false.
        Q_UNUSED(context);
        QVERIFY(logIn(startProgram(), QStringLiteral("admin"), QStringLiteral("admin")));
        const CurrentUser& user = m_context->currentUser;
        QVERIFY(user.administrator);
        QVERIFY(user.grant1 && user.grant2 && user.grant4 && user.grant5 && user.grant6 && user.grant7 && user.grant8);
        // The users window opens without a refusal.
        QPushButton* users = child<QPushButton>(m_ui->mainWindow(), "cmd_users");
        QVERIFY(users->isVisible());
        users->click();
        QVERIFY(m_ui->usersWindow());
        QVERIFY(m_ui->usersWindow()->isVisible());
        QVERIFY(m_install->dialogs.shown.isEmpty());
        QTRY_VERIFY(!m_ui->mainWindow());
        QCOMPARE(m_context->activeWindowCode(), qint16(7));
    }

    void missingGrantIsRefused()
    {
        freshInstall();
        QVERIFY(logIn(startProgram(), QStringLiteral("clerk"), QStringLiteral("Clerk-1")));
        MainWindow* main = m_ui->mainWindow();
        child<QPushButton>(main, "cmd_users")->click();
        QCOMPARE(m_install->dialogs.shown.size(), 1);
        QCOMPARE(m_install->dialogs.last().title, GrantMessages::refusalTitle);
        QCOMPARE(m_install->dialogs.last().text,
                 QStringLiteral("انت لا تملك صلاحية لهذا العمل - يرجي مراجعة مدير النظام"));
        QVERIFY(!m_ui->usersWindow());
        QVERIFY(m_ui->mainWindow());
        QVERIFY(main->isVisible());
        // The password window needs no grant; from there the users window is refused too.
        child<QPushButton>(main, "cmd_passwordModi")->click();
        QVERIFY(m_ui->passwordWindow());
        child<QPushButton>(m_ui->passwordWindow(), "cmd_users")->click();
        QCOMPARE(m_install->dialogs.shown.size(), 2);
        QCOMPARE(m_install->dialogs.last().text, GrantMessages::refusalText);
        QVERIFY(!m_ui->usersWindow());
    }

    void entriesOfWindowsNotBuiltAreHidden()
    {
        freshInstall();
        QVERIFY(logIn(startProgram(), QStringLiteral("admin"), QStringLiteral("admin")));
        MainWindow* main = m_ui->mainWindow();
        for (const char* shown :
             {"Opt_patient", "Opt_receivedata", "cmd_users", "cmd_passwordModi", "Opt_exit", "Cmd_mini"})
            QVERIFY2(child<QPushButton>(main, shown)->isVisible(), shown);
        for (const char* hidden :
             {"Opt_setting", "Opt_ranges", "cmd_FACTORSS", "cmd_comments", "cmd_resultopt", "opt_aboutus"})
            QVERIFY2(!child<QPushButton>(main, hidden)->isVisible(), hidden);

        // A window that comes later shows its entry from then on.
        int made = 0;
        m_ui->registerWindow(NavEntry::Comments, [&made](NavigationWidget** navigation) -> QWidget* {
            ++made;
            *navigation = nullptr;
            auto* w = new QWidget(nullptr, Qt::Window);
            w->setObjectName(QStringLiteral("Frm_comments"));
            return w;
        });
        child<QPushButton>(main, "cmd_passwordModi")->click();
        QWidget* password = m_ui->passwordWindow();
        QVERIFY(child<QPushButton>(password, "cmd_comments")->isVisible());
        child<QPushButton>(password, "cmd_comments")->click();
        QCOMPARE(made, 1);
        QTRY_VERIFY(!m_ui->passwordWindow());
    }

    void exitAsksFirst()
    {
        freshInstall();
        QVERIFY(logIn(startProgram(), QStringLiteral("admin"), QStringLiteral("admin")));
        m_install->dialogs.answers = {DialogAnswer::No, DialogAnswer::Yes};
        QPushButton* exit = child<QPushButton>(m_ui->mainWindow(), "Opt_exit");
        exit->click();
        QCOMPARE(m_install->dialogs.last().title, QStringLiteral("تأكيد خروج !"));
        QCOMPARE(m_install->dialogs.last().text,
                 QStringLiteral("هل انت متأكد انك تريد الخروج من نظام كورفانا انترفيس"));
        QCOMPARE(int(m_install->dialogs.last().buttons), int(DialogButtons::YesNo));
        QCOMPARE(m_end->size(), 0);
        exit->click();
        QCOMPARE(m_end->size(), 1);
        QCOMPARE(m_end->first().first().toInt(), 0);
    }

    void lisLinkOffSkipsItsCheck()
    {
        freshInstall();
        m_install->setSetting(QStringLiteral("corvanaserver"), QStringLiteral("database"), QStringLiteral("gone.db"));
        m_install->setSetting(QStringLiteral("corvanaserver"), QStringLiteral("active"), QStringLiteral("0"));
        QVERIFY(logIn(startProgram(), QStringLiteral("admin"), QStringLiteral("admin")));
        QVERIFY(m_install->dialogs.shown.isEmpty());
        QCOMPARE(m_end->size(), 0);
    }

    void unreachableLisEndsWithoutASettingsWindow()
    {
        freshInstall();
        m_install->setSetting(QStringLiteral("corvanaserver"), QStringLiteral("database"), QStringLiteral("gone.db"));
        LoginWindow* login = startProgram();
        auto* user = child<QLineEdit>(login, "Txt_username");
        auto* pass = child<QLineEdit>(login, "Txt_password");
        user->setText(QStringLiteral("admin"));
        pass->setText(QStringLiteral("admin"));
        QTest::keyClick(pass, Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(m_end->size(), 1, 10000);
        QCOMPARE(m_end->first().first().toInt(), 1);
        QCOMPARE(m_install->dialogs.last().text, DbMessages::lisServerFailed);
        QTRY_VERIFY(!m_ui->loginWindow());
        QVERIFY(!m_ui->mainWindow());
    }

    void secondCopyIsRefusedAndTheFirstGoesOn()
    {
        freshInstall();
        QTemporaryDir locks;
        SystemSingleInstance firstGuard(QStringLiteral("Corvana interface VIDAS"), locks.path());
        ProgramUi first(m_install->context(), firstGuard);
        // Mind: the first copy runs on this context; the install's context() is not called again.
        QVERIFY(first.start(QString()));
        auto* firstName = child<QLineEdit>(first.loginWindow(), "Txt_username");
        QTRY_VERIFY_WITH_TIMEOUT(firstName->isVisible(), 10000);
        firstName->setText(QStringLiteral("typed in the first copy"));

        FakeDialogs secondDialogs;
        FakeClock clock;
        AppContext secondContext(InstallFolder(m_install->path()), &secondDialogs, &clock);
        SystemSingleInstance secondGuard(QStringLiteral("Corvana interface VIDAS"), locks.path());
        ProgramUi second(secondContext, secondGuard);
        QSignalSpy secondEnd(&second, &ProgramUi::endRequested);
        QVERIFY(second.start(QString()));
        QTRY_COMPARE_WITH_TIMEOUT(secondEnd.size(), 1, 10000);
        QCOMPARE(secondEnd.first().first().toInt(), 1);
        QCOMPARE(secondDialogs.shown.size(), 1);
        QCOMPARE(secondDialogs.last().title, QStringLiteral("تنبية !!"));
        QCOMPARE(secondDialogs.last().text,
                 QStringLiteral("البرنامج يعمل بفعل - لا يمكنك تشغيل اكثر من نسخة من النظام"));
        QVERIFY(!child<QLineEdit>(second.loginWindow(), "Txt_username")->isVisible());

        // The first copy: untouched, still waiting for its login, still holding the guard.
        QVERIFY(m_install->dialogs.shown.isEmpty());
        QVERIFY(first.loginWindow());
        QVERIFY(firstName->isVisible());
        QCOMPARE(firstName->text(), QStringLiteral("typed in the first copy"));
        SystemSingleInstance third(QStringLiteral("Corvana interface VIDAS"), locks.path());
        QVERIFY(third.anotherCopyRuns());
    }

    void firstAdministratorOnAnEmptyDatabase()
    {
        m_install = std::make_unique<TestInstall>();
        QVERIFY(m_install->createDatabases());
        LoginWindow* login = startProgram(false);
        auto* adminPanel = child<QWidget>(login, "Frm_firstadmin");
        QTRY_VERIFY_WITH_TIMEOUT(adminPanel->isVisible(), 10000);
        QVERIFY(!child<QLineEdit>(login, "Txt_username")->isVisible());
        auto* name = child<QLineEdit>(login, "Txt_adminname");
        auto* password = child<QLineEdit>(login, "Txt_adminpassword");
        auto* repeat = child<QLineEdit>(login, "Txt_adminpassword2");
        QTest::keyClicks(name, QStringLiteral("boss"));
        QTest::keyClick(name, Qt::Key_Return);
        QTest::keyClicks(password, QStringLiteral("Pw-1"));
        QTest::keyClick(password, Qt::Key_Return);
        QTest::keyClicks(repeat, QStringLiteral("pw-1"));
        QTest::keyClick(repeat, Qt::Key_Return);
        QCOMPARE(m_install->dialogs.last().text, QStringLiteral("رجاء التأكد من تظابق كلمة المرور الجديدة المدخلة"));
        QVERIFY(adminPanel->isVisible());
        repeat->setText(QStringLiteral("Pw-1"));
        child<QPushButton>(login, "cmd_createadmin")->click();
        QVERIFY(!adminPanel->isVisible());
        auto* user = child<QLineEdit>(login, "Txt_username");
        QVERIFY(user->isVisible());
        QCOMPARE(user->text(), QStringLiteral("boss"));
        QCOMPARE(login->focusWidget(), child<QLineEdit>(login, "Txt_password"));
        QVERIFY(logIn(login, QStringLiteral("boss"), QStringLiteral("Pw-1")));
        QVERIFY(m_context->currentUser.administrator);
    }

    void receiveWindowLoadsHiddenWithTheSerialLinkOn()
    {
        freshInstall();
        PtyPair pty;
        QVERIFY(pty.isOpen());
        m_install->setSetting(QStringLiteral("comsetup"), QStringLiteral("active"), QStringLiteral("1"));
        m_install->setSetting(QStringLiteral("comsetup"), QStringLiteral("device"), pty.slavePath());
        QVERIFY(logIn(startProgram(), QStringLiteral("admin"), QStringLiteral("admin")));
        AppContext& context = *m_context;
        ReceiveWindow* receiver = m_ui->receiveWindow();
        QVERIFY(receiver);
        QVERIFY(!receiver->isVisible());
        QTRY_COMPARE(context.receiverOn(), qint16(1));
        QVERIFY(receiver->portIsOpen());
        // A lone ENQ is answered although nobody looks at the window.
        QVERIFY(pty.write(QByteArray(1, '\x05')));
        QByteArray answer;
        QVERIFY(QTest::qWaitFor([&] {
            answer += pty.readAvailable();
            return !answer.isEmpty();
        }));
        QCOMPARE(answer, QByteArray(1, '\x06'));

        MainWindow* main = m_ui->mainWindow();
        auto* indicator = child<QPushButton>(main, "Opt_receivedata");
        QCOMPARE(indicator->text(), QStringLiteral("Data receiver/ON"));
        QCOMPARE(indicator->palette().color(QPalette::ButtonText), QColor(55, 217, 32));
        indicator->click();
        QVERIFY(receiver->isVisible());
        indicator->click();
        QVERIFY(!receiver->isVisible());
        indicator->click();
        QVERIFY(receiver->isVisible());
        // Minimising the main window hides the receiver with it.
        child<QPushButton>(main, "Cmd_mini")->click();
        QVERIFY(!receiver->isVisible());
        QVERIFY(receiver->portIsOpen());

        // Switching the receiver OFF turns the indicator of the window in front.
        receiver->receiverOff();
        QTRY_VERIFY(!m_ui->receiveWindow());
        QCOMPARE(indicator->text(), QStringLiteral("Data receiver/OFF"));
        QCOMPARE(indicator->palette().color(QPalette::ButtonText), QColor(21, 83, 13));
    }

    void serialLinkOffLoadsNoReceiver()
    {
        freshInstall();
        QVERIFY(logIn(startProgram(), QStringLiteral("admin"), QStringLiteral("admin")));
        QVERIFY(!m_ui->receiveWindow());
        auto* indicator = child<QPushButton>(m_ui->mainWindow(), "Opt_receivedata");
        QCOMPARE(indicator->text(), QStringLiteral("Data receiver/OFF"));
        QCOMPARE(indicator->palette().color(QPalette::ButtonText), QColor(21, 83, 13));
    }
};

QTEST_MAIN(TestLoginWindow)
#include "gui_LoginWindow.moc"
