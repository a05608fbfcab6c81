#include "TestInstall.h"
#include "app/Login.h"
#include "core/Grants.h"
#include "db/Databases.h"
#include "users/PasswordChange.h"
#include "users/UserAccounts.h"
#include "users/UserMessages.h"
#include "users/UserStore.h"

#include <QTest>

namespace {
UserAccount account(const QString& name, const QString& password, bool administrator = false)
{
    UserAccount a;
    a.name = name;
    a.password = password;
    a.administrator = administrator;
    a.ordinaryUser = !administrator;
    return a;
}

const QString longName = QString(300, QLatin1Char('x'));
} // namespace

class TestUserAccounts : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestInstall> m_install;
    AppContext* m_context = nullptr;

    UserStore store() { return UserStore(m_context->databases().OpenInterfaceDb()); }
    FakeDialogs& dialogs() { return m_install->dialogs; }

private slots:
    void init()
    {
        m_install = std::make_unique<TestInstall>();
        QVERIFY(m_install->createDatabases());
        m_context = &m_install->context();
        UserAccounts accounts(*m_context);
        UserAccount admin = account(QStringLiteral("admin"), QStringLiteral("secret"), true);
        QVERIFY(accounts.add(admin).done);
        UserAccount arabic = account(QStringLiteral("مدير المعمل"), QStringLiteral("كلمة سر"));
        arabic.grant4 = true;
        QVERIFY(accounts.add(arabic).done);
        QVERIFY(accounts.add(account(QStringLiteral("o'brien"), QStringLiteral("pa'ss%"))).done);
        QVERIFY(accounts.add(account(longName, longName)).done);
        dialogs().clear();
    }

    void cleanup()
    {
        m_context = nullptr;
        m_install.reset();
    }

    void addChecksInOrder_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("kind"); // 0 none, 1 administrator, 2 user
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("focus");
        const int name = int(UserAccounts::Field::Name);
        const int password = int(UserAccounts::Field::Password);
        const int kind = int(UserAccounts::Field::Kind);
        QTest::newRow("everything empty") << ""
                                          << "" << 0 << UserMessages::addNameEmpty << name;
        QTest::newRow("name empty") << ""
                                    << "pw" << 2 << UserMessages::addNameEmpty << name;
        QTest::newRow("password empty") << "new"
                                        << "" << 2 << UserMessages::addPasswordEmpty << password;
        QTest::newRow("no kind") << "new"
                                 << "pw" << 0 << UserMessages::kindMissing << kind;
        QTest::newRow("existing name") << "admin"
                                       << "pw" << 2 << UserMessages::addDuplicate << name;
        // The database's own comparison decides, as its unique index does.
        QTest::newRow("existing name, other case") << "ADMIN"
                                                   << "pw" << 1 << UserMessages::addDuplicate << name;
        QTest::newRow("existing arabic name") << "مدير المعمل"
                                              << "x" << 2 << UserMessages::addDuplicate << name;
        QTest::newRow("existing quoted name") << "o'brien"
                                              << "x" << 2 << UserMessages::addDuplicate << name;
    }

    void addChecksInOrder()
    {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(int, kind);
        QFETCH(QString, message);
        QFETCH(int, focus);
        UserAccount fields = account(name, password, kind == 1);
        fields.ordinaryUser = kind == 2;
        const QStringList before = store().names();
        const UserAccounts::Outcome outcome = UserAccounts(*m_context).add(fields);
        QVERIFY(!outcome.done);
        QCOMPARE(int(outcome.focus), focus);
        QCOMPARE(dialogs().shown.size(), 1);
        QCOMPARE(dialogs().last().title, UserMessages::errorTitle);
        QCOMPARE(dialogs().last().text, message);
        QCOMPARE(store().names(), before);
    }

    void addStoresEveryColumn()
    {
        UserAccount fields = account(QStringLiteral("nurse"), QStringLiteral("Pw 1"));
        fields.grant1 = true;
        fields.grant5 = true;
        fields.grant8 = true;
        const UserAccounts::Outcome outcome = UserAccounts(*m_context).add(fields);
        QVERIFY(outcome.done);
        QVERIFY(dialogs().shown.isEmpty());
        const std::optional<UserAccount> stored = store().findById(outcome.id);
        QVERIFY(stored);
        fields.id = outcome.id;
        QCOMPARE(*stored, fields);
        QVERIFY(store().names().contains(QStringLiteral("nurse")));
        QCOMPARE(store().count(), 5);
    }

    void editChecks_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message");
        QTest::newRow("name empty") << ""
                                    << "pw" << UserMessages::editNameEmpty;
        QTest::newRow("password empty") << "admin2"
                                        << "" << UserMessages::editPasswordEmpty;
        QTest::newRow("another account's name") << "o'brien"
                                                << "pw" << UserMessages::editDuplicate;
    }

    void editChecks()
    {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(QString, message);
        UserAccounts accounts(*m_context);
        UserAccount fields = *accounts.select(QStringLiteral("admin"));
        const UserAccount before = fields;
        fields.name = name;
        fields.password = password;
        QVERIFY(!accounts.saveChanges(fields).done);
        QCOMPARE(dialogs().last().text, message);
        QCOMPARE(*store().findById(before.id), before);
    }

    void editMayKeepItsOwnName()
    {
        UserAccounts accounts(*m_context);
        UserAccount fields = *accounts.select(QStringLiteral("o'brien"));
        fields.password = QStringLiteral("changed");
        fields.ordinaryUser = false;
        fields.administrator = true;
        QVERIFY(accounts.saveChanges(fields).done);
        QVERIFY(dialogs().shown.isEmpty());
        QCOMPARE(*store().findById(fields.id), fields);
    }

    void editNeedsASelectedUser()
    {
        UserAccounts accounts(*m_context);
        QVERIFY(!accounts.mayEdit(QString()));
        QCOMPARE(dialogs().last().text, UserMessages::selectUserFirst);
        QCOMPARE(dialogs().last().title, UserMessages::errorTitle);
        QVERIFY(accounts.mayEdit(QStringLiteral("admin")));
        QCOMPARE(dialogs().shown.size(), 1);
    }

    void deleteAsksFirst()
    {
        UserAccounts accounts(*m_context);
        const qint64 id = accounts.select(QStringLiteral("admin"))->id;
        QVERIFY(!accounts.remove(QString(), id));
        QCOMPARE(dialogs().last().text, UserMessages::selectUserFirst);

        dialogs().answers = {DialogAnswer::Cancel};
        QVERIFY(!accounts.remove(QStringLiteral("admin"), id));
        QCOMPARE(dialogs().last().title, UserMessages::deleteTitle);
        QCOMPARE(dialogs().last().text, UserMessages::deleteQuestion);
        QCOMPARE(int(dialogs().last().buttons), int(DialogButtons::OkCancel));
        QVERIFY(store().findById(id));

        dialogs().answers = {DialogAnswer::Ok};
        // The last administrator, even the one logged in, may go.
        QVERIFY(accounts.remove(QStringLiteral("admin"), id));
        QVERIFY(!store().findById(id));
        QVERIFY(!store().names().contains(QStringLiteral("admin")));
    }

    void loginIsExact_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("admitted");
        QTest::newRow("right") << "admin"
                               << "secret" << true;
        QTest::newRow("wrong password") << "admin"
                                        << "wrong" << false;
        QTest::newRow("password in other case") << "admin"
                                                << "SECRET" << false;
        QTest::newRow("name in other case") << "Admin"
                                            << "secret" << false;
        QTest::newRow("name with a blank after it") << "admin "
                                                    << "secret" << false;
        QTest::newRow("password with a blank after it") << "admin"
                                                        << "secret " << false;
        QTest::newRow("injection in the password") << "admin"
                                                   << "' or '1'='1" << false;
        QTest::newRow("injection in both") << "' or '1'='1"
                                           << "' or '1'='1" << false;
        QTest::newRow("comment trick") << "admin'--"
                                       << "x" << false;
        QTest::newRow("wildcards") << "%"
                                   << "%" << false;
        QTest::newRow("wildcard name") << "adm%"
                                       << "secret" << false;
        QTest::newRow("arabic") << "مدير المعمل"
                                << "كلمة سر" << true;
        QTest::newRow("arabic, wrong password") << "مدير المعمل"
                                                << "كلمة" << false;
        QTest::newRow("quotes") << "o'brien"
                                << "pa'ss%" << true;
        QTest::newRow("quotes, wildcard only") << "o'brien"
                                               << "%" << false;
        QTest::newRow("300 characters") << longName << longName << true;
        QTest::newRow("300 characters, one short") << longName << longName.left(299) << false;
        QTest::newRow("301 characters") << longName + QLatin1Char('x') << longName << false;
    }

    void loginIsExact()
    {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(bool, admitted);
        const Login::Outcome outcome = Login::logIn(*m_context, name, password, false);
        QCOMPARE(outcome.loggedIn, admitted);
        QCOMPARE(m_context->currentUser.name, admitted ? name : QString());
        if (!admitted) {
            QCOMPARE(dialogs().last().text, QStringLiteral("رجاء ادخل اسم المستخدم الصحيح وكلمة المرور الصحيحة"));
            QCOMPARE(int(dialogs().last().icon), int(DialogIcon::Error));
            QCOMPARE(int(outcome.focus), int(Login::Field::Password));
            QVERIFY(outcome.selectPassword);
        }
    }

    void grantsFromTheAccount()
    {
        CurrentUser user;
        UserAccount admin = account(QStringLiteral("a"), QStringLiteral("p"), true);
        Login::grantAccount(user, admin);
        QVERIFY(user.administrator);
        for (const Grant g :
             {Grant::Grant1, Grant::Grant2, Grant::Grant4, Grant::Grant5, Grant::Grant6, Grant::Grant7, Grant::Grant8})
            QVERIFY(hasGrant(user, g));

        CurrentUser clerk;
        UserAccount limited = account(QStringLiteral("c"), QStringLiteral("p"));
        limited.grant2 = true;
        limited.grant7 = true;
        Login::grantAccount(clerk, limited);
        QVERIFY(!clerk.administrator);
        QVERIFY(!hasGrant(clerk, Grant::Administrator));
        QVERIFY(hasGrant(clerk, Grant::Grant2));
        QVERIFY(hasGrant(clerk, Grant::Grant7));
        QVERIFY(!hasGrant(clerk, Grant::Grant1));
        QVERIFY(!hasGrant(clerk, Grant::Grant8));
        // The login only ever sets marks.
        Login::grantAccount(clerk, account(QStringLiteral("c"), QStringLiteral("p")));
        QVERIFY(hasGrant(clerk, Grant::Grant7));
    }

    void missingGrantIsRefused()
    {
        CurrentUser clerk;
        clerk.grant7 = true;
        QVERIFY(checkGrant(clerk, Grant::Grant7, dialogs()));
        QVERIFY(dialogs().shown.isEmpty());
        QVERIFY(!checkGrant(clerk, Grant::Grant8, dialogs()));
        QCOMPARE(dialogs().last().title, QStringLiteral("تنبية !!"));
        QCOMPARE(dialogs().last().text, QStringLiteral("انت لا تملك صلاحية لهذا العمل - يرجي مراجعة مدير النظام"));
        QVERIFY(!checkGrant(clerk, Grant::Administrator, dialogs()));
        QCOMPARE(dialogs().shown.size(), 2);
    }

    void passwordChangeRules_data()
    {
        QTest::addColumn<QString>("oldPassword");
        QTest::addColumn<QString>("newPassword");
        QTest::addColumn<QString>("repeat");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("focus");
        const int oldField = int(PasswordChange::Field::OldPassword);
        const int newField = int(PasswordChange::Field::NewPassword);
        const int repeatField = int(PasswordChange::Field::RepeatPassword);
        QTest::newRow("old empty") << ""
                                   << ""
                                   << "" << UserMessages::oldPasswordEmpty << oldField;
        QTest::newRow("new empty") << "secret"
                                   << ""
                                   << "n" << UserMessages::newPasswordEmpty << newField;
        QTest::newRow("repeat empty") << "secret"
                                      << "n"
                                      << "" << UserMessages::repeatEmpty << repeatField;
        QTest::newRow("repeat differs") << "secret"
                                        << "new1"
                                        << "new2" << UserMessages::repeatDiffers << newField;
        QTest::newRow("repeat differs in case") << "secret"
                                                << "NewPw"
                                                << "newpw" << UserMessages::repeatDiffers << newField;
        QTest::newRow("old wrong") << "Secret"
                                   << "new"
                                   << "new" << UserMessages::oldPasswordWrong << oldField;
        QTest::newRow("old injection") << "' or '1'='1"
                                       << "new"
                                       << "new" << UserMessages::oldPasswordWrong << oldField;
    }

    void passwordChangeRules()
    {
        QFETCH(QString, oldPassword);
        QFETCH(QString, newPassword);
        QFETCH(QString, repeat);
        QFETCH(QString, message);
        QFETCH(int, focus);
        const PasswordChange::Outcome outcome =
            PasswordChange::change(*m_context, QStringLiteral("admin"), oldPassword, newPassword, repeat);
        QVERIFY(!outcome.changed);
        QCOMPARE(int(outcome.focus), focus);
        QCOMPARE(dialogs().shown.size(), 1);
        QCOMPARE(dialogs().last().title, UserMessages::passwordTitle);
        QCOMPARE(int(dialogs().last().icon), int(DialogIcon::Warning));
        QCOMPARE(dialogs().last().text, message);
        QVERIFY(store().findLogin(QStringLiteral("admin"), QStringLiteral("secret")));
    }

    void passwordChangeWrites()
    {
        PasswordChange::Outcome outcome =
            PasswordChange::change(*m_context, QStringLiteral("admin"), QStringLiteral("secret"),
                                   QStringLiteral("Neu 2"), QStringLiteral("Neu 2"));
        QVERIFY(outcome.changed);
        QCOMPARE(dialogs().last().title, UserMessages::passwordSavedTitle);
        QCOMPARE(dialogs().last().text, UserMessages::passwordSaved);
        QCOMPARE(int(dialogs().last().icon), int(DialogIcon::Information));
        QVERIFY(!store().findLogin(QStringLiteral("admin"), QStringLiteral("secret")));
        QVERIFY(store().findLogin(QStringLiteral("admin"), QStringLiteral("Neu 2")));
        // Only this account changed.
        QVERIFY(store().findLogin(QStringLiteral("o'brien"), QStringLiteral("pa'ss%")));

        // The same password again is accepted.
        outcome = PasswordChange::change(*m_context, QStringLiteral("admin"), QStringLiteral("Neu 2"),
                                         QStringLiteral("Neu 2"), QStringLiteral("Neu 2"));
        QVERIFY(outcome.changed);
    }

    void firstAdministrator()
    {
        UserAccounts accounts(*m_context);
        QVERIFY(!accounts.isEmpty());
        // Never once an account exists.
        QVERIFY(
            !accounts.createFirstAdministrator(QStringLiteral("boss"), QStringLiteral("x"), QStringLiteral("x")).done);
        QVERIFY(!store().findByName(QStringLiteral("boss")));

        TestInstall fresh;
        QVERIFY(fresh.createDatabases());
        AppContext& context = fresh.context();
        UserAccounts empty(context);
        QVERIFY(empty.isEmpty());
        QVERIFY(
            !empty.createFirstAdministrator(QStringLiteral("boss"), QStringLiteral("Abc"), QStringLiteral("abc")).done);
        QCOMPARE(fresh.dialogs.last().text, UserMessages::repeatDiffers);
        QVERIFY(!empty.createFirstAdministrator(QString(), QStringLiteral("a"), QStringLiteral("a")).done);
        QCOMPARE(fresh.dialogs.last().text, UserMessages::addNameEmpty);
        QVERIFY(!empty.createFirstAdministrator(QStringLiteral("boss"), QString(), QString()).done);
        QCOMPARE(fresh.dialogs.last().text, UserMessages::addPasswordEmpty);
        QVERIFY(!empty.createFirstAdministrator(QStringLiteral("boss"), QStringLiteral("a"), QString()).done);
        QCOMPARE(fresh.dialogs.last().text, UserMessages::repeatEmpty);
        QVERIFY(empty.isEmpty());

        QVERIFY(
            empty.createFirstAdministrator(QStringLiteral("boss"), QStringLiteral("Abc"), QStringLiteral("Abc")).done);
        const std::optional<UserAccount> boss =
            UserStore(context.databases().OpenInterfaceDb()).findLogin(QStringLiteral("boss"), QStringLiteral("Abc"));
        QVERIFY(boss);
        QVERIFY(boss->administrator);
        QVERIFY(!empty.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestUserAccounts)
#include "tst_UserAccounts.moc"
