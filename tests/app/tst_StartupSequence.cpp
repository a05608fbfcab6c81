#include "FakeSingleInstance.h"
#include "TestInstall.h"
#include "app/StartupMessages.h"
#include "app/StartupSequence.h"
#include "config/IniFile.h"
#include "db/ConnectionTarget.h"
#include "db/Databases.h"
#include "db/DbMessages.h"
#include "users/UserAccounts.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {
void tickUpTo(StartupSequence& sequence, int step)
{
    while (sequence.step() < step)
        sequence.tick();
}

QString iniText(const QString& file)
{
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}
} // namespace

class TestStartupSequence : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestInstall> m_install;
    FakeSingleInstance m_single;

    // An install whose interface database holds the administrator "admin"/"admin".
    AppContext& installWithAdministrator()
    {
        m_install = std::make_unique<TestInstall>();
        if (!m_install->createDatabases())
            qFatal("no databases");
        AppContext& context = m_install->context();
        UserAccount admin;
        admin.name = QStringLiteral("admin");
        admin.password = QStringLiteral("admin");
        admin.administrator = true;
        if (!UserAccounts(context).add(admin).done)
            qFatal("no administrator");
        m_install->dialogs.clear();
        return m_install->context();
    }

private slots:
    void init() { m_single = FakeSingleInstance(); }
    void cleanup() { m_install.reset(); }

    void fixedInstallFolder_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("exact") << "D:\\Corvana Interface" << true;
        QTest::newRow("forward slashes") << "D:/Corvana Interface" << true;
        QTest::newRow("trailing separator") << "D:\\Corvana Interface\\" << true;
        QTest::newRow("lower case") << "d:\\corvana interface" << false;
        QTest::newRow("one letter differs in case") << "D:\\Corvana interface" << false;
        QTest::newRow("drive letter lower case") << "d:\\Corvana Interface" << false;
        QTest::newRow("other drive") << "C:\\Corvana Interface" << false;
        QTest::newRow("sub-folder") << "D:\\Corvana Interface\\bin" << false;
        QTest::newRow("empty") << "" << false;
    }

    void fixedInstallFolder()
    {
        QFETCH(QString, folder);
        QFETCH(bool, accepted);
        QCOMPARE(StartupSequence::isFixedInstallFolder(folder), accepted);
    }

    void englishMonths()
    {
        for (int month = 1; month <= 12; ++month)
            QVERIFY(StartupSequence::datesHaveEnglishMonths(QDate(2026, month, 28)));
        QVERIFY(StartupSequence::datesHaveEnglishMonths(QDate(2000, 2, 29)));
        QVERIFY(!StartupSequence::datesHaveEnglishMonths(QDate()));
    }

    void missingInstallFolderEndsTheProgram()
    {
        FakeDialogs dialogs;
        FakeClock clock;
        AppContext context(InstallFolder(QStringLiteral("/nonexistent/corvana-home")), &dialogs, &clock);
        StartupSequence sequence(context, m_single);
        QSignalSpy end(&sequence, &StartupSequence::endProgramRequested);
        QVERIFY(!sequence.load());
        QCOMPARE(end.size(), 1);
        QCOMPARE(end.first().first().toInt(), 1);
        QCOMPARE(dialogs.shown.size(), 1);
        QCOMPARE(dialogs.last().title, QStringLiteral("Error"));
        QCOMPARE(dialogs.last().text, QStringLiteral("لا يمكن تشغيل هذا الملف بمفرده قم بنقله فى المسار التالي\n"
                                                     "D:\\Corvana Interface\\"));
        QCOMPARE(int(dialogs.last().icon), int(DialogIcon::Warning));
        sequence.tick();
        QCOMPARE(sequence.step(), 0);
    }

    void missingMemoryIniEndsTheProgram()
    {
        m_install = std::make_unique<TestInstall>();
        QVERIFY(QFile::remove(m_install->memoryIni()));
        StartupSequence sequence(m_install->context(), m_single);
        QSignalSpy end(&sequence, &StartupSequence::endProgramRequested);
        QVERIFY(!sequence.load());
        QCOMPARE(end.size(), 1);
        QCOMPARE(m_install->dialogs.last().title, QStringLiteral("تنبية"));
        QCOMPARE(m_install->dialogs.last().text, QStringLiteral("خطأ ... رجاء اعد تثبيت النظام"));
        QCOMPARE(m_single.checks, 0);
    }

    void stepsUpToTheLogin()
    {
        AppContext& context = installWithAdministrator();
        m_install->setSetting(QStringLiteral("server"), QStringLiteral("Remembers"), QStringLiteral("1"));
        m_install->setSetting(QStringLiteral("server"), QStringLiteral("NIDT"), QStringLiteral("admin"));
        m_install->setSetting(QStringLiteral("server"), QStringLiteral("NIDL"), QStringLiteral("pw'1"));
        StartupSequence sequence(context, m_single);
        QSignalSpy progress(&sequence, &StartupSequence::progressed);
        QSignalSpy login(&sequence, &StartupSequence::loginRequested);
        QSignalSpy first(&sequence, &StartupSequence::firstAdministratorRequested);
        QVERIFY(sequence.load());
        sequence.start();
        QVERIFY(sequence.timer().isActive());
        tickUpTo(sequence, 9);

        QCOMPARE(progress.size(), 9);
        for (int i = 0; i < 9; ++i)
            QCOMPARE(progress.at(i).first().toInt(), i + 1);
        QCOMPARE(m_single.checks, 1);
        QCOMPARE(first.size(), 0);
        QCOMPARE(login.size(), 1);
        const auto remembered = login.first().first().value<RememberedLogin>();
        QVERIFY(remembered.remember);
        QCOMPARE(remembered.userName, QStringLiteral("admin"));
        QCOMPARE(remembered.password, QStringLiteral("pw'1"));
        QVERIFY(!sequence.timer().isActive());
        QVERIFY(sequence.waitingForLogin());
        QVERIFY(m_install->dialogs.shown.isEmpty());
        // The local file of the date probe was made and read.
        QVERIFY(context.databases().isOpen(DbSlot::Local));
        QCOMPARE(context.InterfaceConnString.isEmpty(), false);
    }

    void rememberMeOffFillsNothing()
    {
        AppContext& context = installWithAdministrator();
        m_install->setSetting(QStringLiteral("server"), QStringLiteral("Remembers"), QStringLiteral("0"));
        m_install->setSetting(QStringLiteral("server"), QStringLiteral("NIDT"), QStringLiteral("admin"));
        StartupSequence sequence(context, m_single);
        QSignalSpy login(&sequence, &StartupSequence::loginRequested);
        QVERIFY(sequence.load());
        tickUpTo(sequence, 9);
        QCOMPARE(login.size(), 1);
        const auto remembered = login.first().first().value<RememberedLogin>();
        QVERIFY(!remembered.remember);
        QVERIFY(remembered.userName.isEmpty());
    }

    void secondCopyEndsAtStepTwo()
    {
        AppContext& context = installWithAdministrator();
        m_single.otherCopyRunning = true;
        StartupSequence sequence(context, m_single);
        QSignalSpy end(&sequence, &StartupSequence::endProgramRequested);
        QSignalSpy login(&sequence, &StartupSequence::loginRequested);
        QVERIFY(sequence.load());
        sequence.start();
        for (int i = 0; i < 20; ++i)
            sequence.tick();
        QCOMPARE(sequence.step(), 2);
        QCOMPARE(end.size(), 1);
        QCOMPARE(login.size(), 0);
        QVERIFY(!sequence.timer().isActive());
        QCOMPARE(m_install->dialogs.shown.size(), 1);
        QCOMPARE(m_install->dialogs.last().title, QStringLiteral("تنبية !!"));
        QCOMPARE(m_install->dialogs.last().text,
                 QStringLiteral("البرنامج يعمل بفعل - لا يمكنك تشغيل اكثر من نسخة من النظام"));
        // Nothing was opened by the refused copy.
        QVERIFY(!context.databases().isOpen(DbSlot::Local));
        QVERIFY(!context.databases().isOpen(DbSlot::Interface));
    }

    void dateProbeFailureEndsTheProgram()
    {
        AppContext& context = installWithAdministrator();
        // The probe's local file cannot be made where a folder of that name stands.
        QVERIFY(QDir(m_install->path()).mkdir(ConnectionTargets::localFile));
        StartupSequence sequence(context, m_single);
        QSignalSpy end(&sequence, &StartupSequence::endProgramRequested);
        QVERIFY(sequence.load());
        sequence.start();
        for (int i = 0; i < 20; ++i)
            sequence.tick();
        QCOMPARE(sequence.step(), 3);
        QCOMPARE(end.size(), 1);
        QVERIFY(!sequence.timer().isActive());
        QCOMPARE(m_install->dialogs.shown.size(), 2);
        QCOMPARE(m_install->dialogs.shown.first().text, DbMessages::localFailed);
        QCOMPARE(m_install->dialogs.last().title, QStringLiteral("تنبية !"));
        QCOMPARE(m_install->dialogs.last().text,
                 QStringLiteral("رجاء تحويل التاريخ الى اللغة الانجليزية ويفضل English (Canada) o"));
        QVERIFY(!context.databases().isOpen(DbSlot::Interface));
    }

    void unreachableInterfaceDatabaseHandsOver_data()
    {
        QTest::addColumn<bool>("withSettingsFile");
        QTest::newRow("bad database setting") << true;
        QTest::newRow("settings file missing") << false;
    }

    void unreachableInterfaceDatabaseHandsOver()
    {
        QFETCH(bool, withSettingsFile);
        m_install = std::make_unique<TestInstall>();
        if (withSettingsFile)
            m_install->setSetting(QStringLiteral("server"), QStringLiteral("database"), QStringLiteral("../x.db"));
        else
            QVERIFY(QFile::remove(m_install->settingsIni()));
        AppContext& context = m_install->context();
        StartupSequence sequence(context, m_single);
        QSignalSpy unload(&sequence, &StartupSequence::unloadRequested);
        QSignalSpy recovery(&context.databases(), &Databases::recoveryRequested);
        QSignalSpy login(&sequence, &StartupSequence::loginRequested);
        QVERIFY(sequence.load());
        sequence.start();
        for (int i = 0; i < 20; ++i)
            sequence.tick();
        QCOMPARE(sequence.step(), 8);
        QCOMPARE(unload.size(), 1);
        QCOMPARE(recovery.size(), 1);
        QCOMPARE(recovery.first().first().toString(), QStringLiteral("server"));
        QCOMPARE(login.size(), 0);
        QVERIFY(!sequence.timer().isActive());
        QCOMPARE(m_install->dialogs.last().text, DbMessages::interfaceFailed);
    }

    void missingInterfaceDatabaseIsMadeOnlyOnYes_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::newRow("yes: made, first administrator next") << true;
        QTest::newRow("no: fails as an unreachable database") << false;
    }

    void missingInterfaceDatabaseIsMadeOnlyOnYes()
    {
        QFETCH(bool, yes);
        m_install = std::make_unique<TestInstall>();
        QVERIFY(QFile::remove(m_install->interfaceDbFile()));
        m_install->dialogs.answers = {yes ? DialogAnswer::Yes : DialogAnswer::No};
        AppContext& context = m_install->context();
        StartupSequence sequence(context, m_single);
        QSignalSpy unload(&sequence, &StartupSequence::unloadRequested);
        QSignalSpy recovery(&context.databases(), &Databases::recoveryRequested);
        QSignalSpy first(&sequence, &StartupSequence::firstAdministratorRequested);
        QVERIFY(sequence.load());
        for (int i = 0; i < 9; ++i) // up to the login
            sequence.tick();

        const QList<DialogRequest>& shown = m_install->dialogs.shown;
        QCOMPARE(shown.size(), yes ? 1 : 2);
        QCOMPARE(int(shown.first().buttons), int(DialogButtons::YesNo));
        QCOMPARE(shown.first().title, QStringLiteral("قاعدة البيانات غير موجودة"));
        QVERIFY2(shown.first().text.contains(QDir::toNativeSeparators(m_install->interfaceDbFile())),
                 qPrintable(shown.first().text));
        QCOMPARE(QFile::exists(m_install->interfaceDbFile()), yes);
        QCOMPARE(first.size(), yes ? 1 : 0);
        QCOMPARE(unload.size(), yes ? 0 : 1);
        QCOMPARE(recovery.size(), yes ? 0 : 1);
        if (!yes)
            QCOMPARE(shown.last().text, DbMessages::interfaceFailed);
        // The answer covered that one open: a file that goes missing later is not made again.
        QVERIFY(!context.databases().mayCreateInterface());
    }

    void loginValidation_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("focus");
        QTest::newRow("both empty: the password first")
            << ""
            << "" << StartupMessages::passwordEmpty << int(Login::Field::Password);
        QTest::newRow("name empty") << ""
                                    << "x" << StartupMessages::userNameEmpty << int(Login::Field::UserName);
        QTest::newRow("password empty") << "admin"
                                        << "" << StartupMessages::passwordEmpty << int(Login::Field::Password);
    }

    void loginValidation()
    {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(QString, message);
        QFETCH(int, focus);
        AppContext& context = installWithAdministrator();
        StartupSequence sequence(context, m_single);
        QVERIFY(sequence.load());
        tickUpTo(sequence, 9);
        const Login::Outcome outcome = sequence.logIn(name, password, true);
        QVERIFY(!outcome.loggedIn);
        QCOMPARE(int(outcome.focus), focus);
        QCOMPARE(m_install->dialogs.last().title, QStringLiteral("خطأ .."));
        QCOMPARE(m_install->dialogs.last().text, message);
        QVERIFY(!sequence.timer().isActive());
        QVERIFY(sequence.waitingForLogin());
        // Nothing was remembered.
        QVERIFY(ReadIni(m_install->settingsIni(), QStringLiteral("server"), QStringLiteral("Remembers")).isEmpty());
    }

    void loginThenStepsToTheEnd_data()
    {
        QTest::addColumn<bool>("remember");
        QTest::newRow("remember me") << true;
        QTest::newRow("forget me") << false;
    }

    void loginThenStepsToTheEnd()
    {
        QFETCH(bool, remember);
        AppContext& context = installWithAdministrator();
        m_install->clock.set(QDateTime(QDate(2026, 3, 9), QTime(14, 7, 40)));
        m_install->setSetting(QStringLiteral("server"), QStringLiteral("NIDT"), QStringLiteral("old"));
        StartupSequence sequence(context, m_single);
        QSignalSpy finished(&sequence, &StartupSequence::finished);
        QVERIFY(sequence.load());
        tickUpTo(sequence, 9);
        // Read again at step 11, after the login.
        m_install->setSetting(QStringLiteral("comsetup"), QStringLiteral("EnLanguage"), QStringLiteral("1"));

        QVERIFY(!sequence.logIn(QStringLiteral("admin"), QStringLiteral("wrong"), remember).loggedIn);
        QVERIFY(context.currentUser.name.isEmpty());
        const Login::Outcome outcome = sequence.logIn(QStringLiteral("admin"), QStringLiteral("admin"), remember);
        QVERIFY(outcome.loggedIn);
        QVERIFY(sequence.timer().isActive());
        QCOMPARE(context.currentUser.name, QStringLiteral("admin"));
        QCOMPARE(context.currentUser.loginTime, QStringLiteral("Login time 09/03/2026 02:07 PM"));
        const QString ini = iniText(m_install->settingsIni());
        if (remember) {
            QVERIFY(ini.contains(QStringLiteral("Remembers=1")));
            QVERIFY(ini.contains(QStringLiteral("NIDT=admin")));
            QVERIFY(ini.contains(QStringLiteral("NIDL=admin")));
        } else {
            // Present and empty, not deleted.
            QVERIFY(ini.contains(QStringLiteral("Remembers=0")));
            QVERIFY(ini.contains(QRegularExpression(QStringLiteral("(^|\\n)NIDT=\\r?\\n"))));
            QVERIFY(ini.contains(QRegularExpression(QStringLiteral("(^|\\n)NIDL=\\r?(\\n|$)"))));
        }
        tickUpTo(sequence, 15);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(context.settings.EnLanguage, 1);
        QVERIFY(!sequence.timer().isActive());
        // The LIS link is on in the test install and its stand-in is there: checked and open.
        QVERIFY(context.databases().isOpen(DbSlot::Lis));
        sequence.tick();
        QCOMPARE(finished.size(), 1);
    }

    void lisCheck_data()
    {
        QTest::addColumn<QString>("active");
        QTest::addColumn<bool>("handsOver");
        QTest::newRow("LIS link off: not even tried") << "0" << false;
        QTest::newRow("LIS link on: recovery") << "1" << true;
    }

    void lisCheck()
    {
        QFETCH(QString, active);
        QFETCH(bool, handsOver);
        AppContext& startContext = installWithAdministrator();
        Q_UNUSED(startContext);
        // An LIS file that does not exist cannot be opened.
        m_install->setSetting(QStringLiteral("corvanaserver"), QStringLiteral("database"),
                              QStringLiteral("missing-lis.db"));
        m_install->setSetting(QStringLiteral("corvanaserver"), QStringLiteral("active"), active);
        AppContext& context = m_install->context();
        StartupSequence sequence(context, m_single);
        QSignalSpy finished(&sequence, &StartupSequence::finished);
        QSignalSpy unload(&sequence, &StartupSequence::unloadRequested);
        QSignalSpy recovery(&context.databases(), &Databases::recoveryRequested);
        QVERIFY(sequence.load());
        tickUpTo(sequence, 9);
        QVERIFY(sequence.logIn(QStringLiteral("admin"), QStringLiteral("admin"), false).loggedIn);
        m_install->dialogs.clear();
        for (int i = 0; i < 10; ++i)
            sequence.tick();
        if (handsOver) {
            QCOMPARE(sequence.step(), 12);
            QCOMPARE(finished.size(), 0);
            QCOMPARE(unload.size(), 1);
            QCOMPARE(recovery.size(), 1);
            QCOMPARE(recovery.first().first().toString(), QStringLiteral("corvanaserver"));
            QCOMPARE(m_install->dialogs.last().text, DbMessages::lisServerFailed);
        } else {
            QCOMPARE(finished.size(), 1);
            QCOMPARE(unload.size(), 0);
            QCOMPARE(recovery.size(), 0);
            QVERIFY(m_install->dialogs.shown.isEmpty());
            QVERIFY(!context.databases().isOpen(DbSlot::Lis));
        }
    }

    void emptyDatabaseAsksForTheFirstAdministrator()
    {
        m_install = std::make_unique<TestInstall>();
        AppContext& context = m_install->context();
        StartupSequence sequence(context, m_single);
        QSignalSpy first(&sequence, &StartupSequence::firstAdministratorRequested);
        QSignalSpy login(&sequence, &StartupSequence::loginRequested);
        QVERIFY(sequence.load());
        tickUpTo(sequence, 9);
        // The interface database was created empty on the way.
        QCOMPARE(first.size(), 1);
        QCOMPARE(login.size(), 0);
        QVERIFY(UserAccounts(context)
                    .createFirstAdministrator(QStringLiteral("boss"), QStringLiteral("pw"), QStringLiteral("pw"))
                    .done);
        sequence.firstAccountCreated(QStringLiteral("boss"));
        QCOMPARE(login.size(), 1);
        QCOMPARE(login.first().first().value<RememberedLogin>().userName, QStringLiteral("boss"));
        QVERIFY(sequence.logIn(QStringLiteral("boss"), QStringLiteral("pw"), false).loggedIn);
        QVERIFY(context.currentUser.administrator);
        QVERIFY(context.currentUser.grant8);
    }
};

QTEST_GUILESS_MAIN(TestStartupSequence)
#include "tst_StartupSequence.moc"
