#include "FakeSingleInstance.h"
#include "ProgramRun.h"
#include "TestInstall.h"
#include "app/Login.h"
#include "app/StartupMessages.h"
#include "app/StartupSequence.h"
#include "common/PasswordHash.h"
#include "config/IniFile.h"
#include "core/Grants.h"
#include "db/ConnectionTarget.h"
#include "db/Databases.h"
#include "db/DbMessages.h"
#include "db/ScopedConnection.h"
#include "db/SqlRun.h"
#include "users/PasswordChange.h"
#include "users/UserAccounts.h"
#include "users/UserMessages.h"
#include "users/UserStore.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
namespace M = UserMessages;
using F = UserAccounts::Field;

namespace {
const QString wrongLogin = u"رجاء ادخل اسم المستخدم الصحيح وكلمة المرور الصحيحة"_s;
const QString longName(300, u'x');

// Set-up on the demo install (admin/admin), step stopped at (0: load refused; past 9: logged in).
struct Start
{
    QString setup = {};
    int stopsAt = 0;
    QString outcome = {};
    QStringList messages = {};
};

// What is typed, and the message shown (none when the action is done).
struct Case
{
    QString name = {}, password = {}, message = {};
    int focus = 0;
    int kind = 2; // 0 none, 1 administrator, 2 user (with grants 1, 5 and 8 when added)
};
} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestInstall> m_install;
    std::unique_ptr<AppContext> m_elsewhere;
    FakeSingleInstance m_single;
    AppContext* m_context = nullptr;
    bool m_accountsReady = false;
    QTemporaryDir m_copies;

    static QString msg(const QString& title, const QString& text) { return title + u": "_s + text; }
    QString shown()
    {
        QStringList texts;
        for (const DialogRequest& r : m_install->dialogs.shown)
            texts << msg(r.title, r.text);
        return texts.join(u'\n');
    }
    static UserAccount account(const QString& name, const QString& password, int kind, bool grants = false)
    {
        UserAccount a;
        a.name = name;
        a.password = password;
        a.administrator = kind == 1;
        a.ordinaryUser = kind == 2;
        a.grant1 = a.grant5 = a.grant8 = grants;
        return a;
    }
    template <typename T> static void setGrants(T& marks, int bits)
    {
        marks.grant1 = bits & 1, marks.grant2 = bits & 2, marks.grant4 = bits & 4, marks.grant5 = bits & 8;
        marks.grant6 = bits & 16, marks.grant7 = bits & 32, marks.grant8 = bits & 64;
    }
    UserStore store() { return UserStore(m_context->databases().OpenInterfaceDb()); }
    bool canLogIn(const QString& name, const QString& password)
    {
        return store().findLogin(name, password).has_value();
    }
    // Ticks as the window's timer would until it stops; then `more`, which a stopped sequence ignores.
    static void tickWhileTimed(StartupSequence& sequence, int more)
    {
        for (int i = 0; i < 30 && sequence.timer().isActive(); ++i)
            sequence.tick();
        for (int i = 0; i < more; ++i)
            sequence.tick();
    }

    AppContext& prepare(const QString& setup = {})
    {
        m_accountsReady = false;
        m_elsewhere.reset();
        m_install = std::make_unique<TestInstall>();
        TestInstall& in = *m_install;
        if (!(setup == u"no accounts"_s ? in.createDatabases() : in.installDemoData())) // admin/admin
            qFatal("no databases");
        for (const auto& [key, value] : {std::pair{"Remembers", "1"}, {"NIDT", "admin"}, {"NIDL", "pw'1"}})
            in.setSetting(u"server"_s, QString::fromLatin1(key), QString::fromLatin1(value));
        m_single.otherCopyRunning = setup == u"second copy"_s;
        if (setup == u"no memory file"_s)
            QFile::remove(in.memoryIni());
        if (setup == u"probe damaged"_s) {
            ScopedConnection local(u"QSQLITE"_s);
            local.openSqlite(QDir(in.path()).filePath(ConnectionTargets::localFile));
            QSqlQuery(local.db()).exec(u"CREATE TABLE history (other TEXT)"_s);
        }
        if (setup.startsWith(u"LIS"_s)) // its file is missing
            in.setSetting(u"corvanaserver"_s, u"database"_s, u"no.db"_s);
        if (setup == u"no settings file"_s)
            QFile::remove(in.settingsIni());
        if (setup.startsWith(u"no database"_s)) {
            QFile::remove(in.interfaceDbFile());
            in.dialogs.answers = {setup.endsWith(u"Yes"_s) ? DialogAnswer::Yes : DialogAnswer::No};
        }
        in.dialogs.clear();
        if (setup == u"elsewhere"_s)
            m_elsewhere = std::make_unique<AppContext>(InstallFolder(u"/nowhere"_s), &in.dialogs, &in.clock);
        m_context = m_elsewhere ? m_elsewhere.get() : &in.context();
        return *m_context;
    }
    // The demo install and o'brien; for logging in also an Arabic name, 300 characters, and passwords
    // of 1 and 500 characters. Hashing takes a while: the rows that log in share one install, the
    // others start from a copy of the first one's database.
    AppContext& accounts(bool forLogin = false)
    {
        if (forLogin && m_accountsReady) {
            m_context->currentUser = {};
            m_install->dialogs.clear();
            return *m_context;
        }
        const QString copy = m_copies.filePath(u"accounts.db"_s);
        if (!forLogin && QFile::exists(copy)) {
            AppContext& context = prepare(u"no accounts"_s);
            if (!QFile::remove(m_install->interfaceDbFile()) || !QFile::copy(copy, m_install->interfaceDbFile()))
                qFatal("no copy of the accounts");
            return context;
        }
        AppContext& context = prepare();
        QList<std::pair<QString, QString>> more{{u"o'brien"_s, u"pa'ss%"_s}};
        if (forLogin)
            more += {{u"مدير المعمل"_s, u"كلمة سر"_s},
                     {longName, longName},
                     {u"one"_s, u"x"_s},
                     {u"long"_s, QString(500, u'p')}};
        for (const auto& [name, password] : std::as_const(more)) {
            if (!UserAccounts(context).add(account(name, password, 2)).done)
                qFatal("account %s not added", qPrintable(name));
        }
        m_install->dialogs.clear();
        m_accountsReady = forLogin;
        if (!forLogin) {
            context.databases().closeAll();
            QFile::copy(m_install->interfaceDbFile(), copy);
        }
        return context;
    }

private slots:
    void startUp_data()
    {
        QTest::addColumn<Start>("c");
        const QString unreachable = msg(DbMessages::connectionTitle, DbMessages::interfaceFailed);
        const QString question = msg(StartupMessages::noDatabaseTitle, StartupMessages::noDatabaseText);
        const QString date = msg(u"تنبية !"_s, u"رجاء تحويل التاريخ الى اللغة الانجليزية ويفضل English (Canada) o"_s);
        const QString folder = u"لا يمكن تشغيل هذا الملف بمفرده قم بنقله فى المسار التالي\nD:\\Corvana Interface\\"_s;
        const QString copy = u"البرنامج يعمل بفعل - لا يمكنك تشغيل اكثر من نسخة من النظام"_s;
        QTest::newRow("to the end, remember me") << Start{{}, 15, u"finished"_s, {}};
        QTest::newRow("LIS unreachable") << Start{
            u"LIS gone"_s, 12, u"unload"_s, {msg(DbMessages::connectionTitle, DbMessages::lisServerFailed)}};
        QTest::newRow("no install folder") << Start{u"elsewhere"_s, 0, u"end"_s, {msg(u"Error"_s, folder)}};
        QTest::newRow("no MEMORYVIDAS.ini")
            << Start{u"no memory file"_s, 0, u"end"_s, {msg(u"تنبية"_s, u"خطأ ... رجاء اعد تثبيت النظام"_s)}};
        QTest::newRow("second copy") << Start{u"second copy"_s, 2, u"end"_s, {msg(u"تنبية !!"_s, copy)}};
        QTest::newRow("date probe: damaged table") << Start{u"probe damaged"_s, 3, u"end"_s, {date}};
        QTest::newRow("no settings file") << Start{u"no settings file"_s, 8, u"unload"_s, {unreachable}};
        QTest::newRow("database missing, No") << Start{u"no database, No"_s, 8, u"unload"_s, {question, unreachable}};
        QTest::newRow("database missing, Yes: made") << Start{u"no database, Yes"_s, 9, u"first"_s, {question}};
        QTest::newRow("no accounts: the first administrator") << Start{u"no accounts"_s, 9, u"first"_s, {}};
    }

    void startUp()
    {
        QFETCH(Start, c);
        AppContext& context = prepare(c.setup);
        const bool missing = !QFile::exists(m_install->interfaceDbFile());
        StartupSequence sequence(context, m_single);
        QSignalSpy progress(&sequence, &StartupSequence::progressed);
        QSignalSpy login(&sequence, &StartupSequence::loginRequested);
        QSignalSpy first(&sequence, &StartupSequence::firstAdministratorRequested);
        QSignalSpy finished(&sequence, &StartupSequence::finished);
        QSignalSpy end(&sequence, &StartupSequence::endProgramRequested);
        QSignalSpy unload(&sequence, &StartupSequence::unloadRequested);
        QSignalSpy recovery(&context, &AppContext::settingsWindowRequested);

        QCOMPARE(sequence.load(), c.stopsAt > 0);
        QVERIFY(!sequence.waitingForLogin());
        if (c.stopsAt > 0)
            sequence.start();
        tickWhileTimed(sequence, c.stopsAt < 9 ? 3 : 0);
        QCOMPARE(sequence.waitingForLogin(), c.stopsAt >= 9);
        const bool remember = c.setup.isEmpty();
        if (!login.isEmpty()) {
            // A password an older version left in the file is no token: gone, and the box stays empty.
            const auto remembered = login.first().first().value<RememberedLogin>();
            QCOMPARE(remembered.remember, true);
            QCOMPARE(remembered.userName + u'/' + remembered.token, u"admin/"_s);
            QCOMPARE(ReadIni(m_install->settingsIni(), u"server"_s, u"NIDL"_s), QString());
            m_install->setSetting(u"comsetup"_s, u"EnLanguage"_s, u"1"_s); // read again at step 11
            QVERIFY(sequence.logIn(u"admin"_s, u"admin"_s, remember).loggedIn);
            QVERIFY(!sequence.waitingForLogin());
            QStringList keys;
            for (const char* key : {"Remembers", "NIDT", "NIDL"})
                keys << ReadIni(m_install->settingsIni(), u"server"_s, QString::fromLatin1(key));
            const QString token = keys.last();
            QCOMPARE(keys.join(u'|'), remember ? u"1|admin|"_s + token : u"0||"_s);
            QVERIFY(!remember || (token.size() == 43 && Login::remembered(context).token == token));
            tickWhileTimed(sequence, 3);
            QCOMPARE(context.settings.EnLanguage, 1);
        }
        if (c.outcome != u"finished"_s)
            QCOMPARE(sequence.step(), c.stopsAt);
        QCOMPARE(progress.size(), c.stopsAt);
        QCOMPARE(login.size(), c.stopsAt > 9 ? 1 : 0);
        QCOMPARE(first.size(), c.outcome == u"first"_s ? 1 : 0);
        QCOMPARE(finished.size(), c.outcome == u"finished"_s ? 1 : 0);
        QCOMPARE(end.size() == 1 && end.first().first() == 1, c.outcome == u"end"_s);
        QCOMPARE(unload.size(), c.outcome == u"unload"_s ? 1 : 0);
        const QString page = c.stopsAt == 8 ? u"server"_s : u"corvanaserver"_s;
        QCOMPARE(recovery.size() == 1 && recovery.first().first() == page, c.outcome == u"unload"_s);
        const QString path = QDir::toNativeSeparators(m_install->interfaceDbFile()); // the question shows it
        QCOMPARE(shown().replace(path, u"%1"_s), c.messages.join(u'\n'));
        QCOMPARE(context.databases().isOpen(DbSlot::Lis), remember);
        if (missing) {
            QCOMPARE(QFile::exists(m_install->interfaceDbFile()), c.outcome == u"first"_s);
            // The answer covered that one open: a file that goes missing later is not made again.
            QVERIFY(!context.databases().mayCreateInterface());
        }
    }

    // The steps follow one another without a pause, yet the event loop turns between two of them,
    // so that the window draws each step's progress.
    void stepsRunBackToBack()
    {
        AppContext& context = prepare(QString());
        StartupSequence sequence(context, m_single);
        QSignalSpy login(&sequence, &StartupSequence::loginRequested);
        class Marker final : public QObject
        {
        public:
            bool event(QEvent* e) override
            {
                if (e->type() != QEvent::User)
                    return QObject::event(e);
                ++delivered;
                return true;
            }
            int delivered = 0;
        } marker;
        QList<int> deliveredBefore;
        connect(&sequence, &StartupSequence::progressed, &marker, [&] {
            deliveredBefore << marker.delivered;
            QCoreApplication::postEvent(&marker, new QEvent(QEvent::User));
        });
        QVERIFY(sequence.load());
        sequence.start();
        // Turns of the loop without waiting: no step may wait for the clock.
        for (int turns = 0; turns < 500 && login.isEmpty(); ++turns)
            QCoreApplication::processEvents();
        QCOMPARE(login.size(), 1);
        QCOMPARE(deliveredBefore, (QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    }

    void installFolderAndDates()
    {
        // On Windows the program runs from exactly this folder, letter case included.
        for (const QString& folder :
             {u"D:\\Corvana Interface"_s, u"D:/Corvana Interface"_s, u"D:\\Corvana Interface\\"_s})
            QVERIFY(StartupSequence::isFixedInstallFolder(folder));
        for (const QString& other :
             {u"D:\\Corvana interface"_s, u"C:\\Corvana Interface"_s, u"D:\\Corvana Interface\\bin"_s, u""_s})
            QVERIFY(!StartupSequence::isFixedInstallFolder(other));
        for (int month = 1; month <= 12; ++month)
            QVERIFY(StartupSequence::datesHaveEnglishMonths(QDate(2026, month, 28)));
        QVERIFY(!StartupSequence::datesHaveEnglishMonths(QDate()));
    }

    void commandLineRefusals()
    {
        const std::pair<QStringList, QString> runs[] = {{{}, u"usage: corvana-vidas [--home DIR] <command> ...\n"_s},
                                                        {{u"frobnicate"_s}, u"unknown command \"frobnicate\""_s},
                                                        {{u"outbox"_s, u"--home"_s}, u"--home needs a folder"_s}};
        for (const auto& [arguments, error] : runs) {
            const ProgramRun run = runCorvanaVidas(arguments);
            QVERIFY2(run.exitCode == 2 && run.out.isEmpty() && run.err.contains(error), qPrintable(run.err));
        }
    }

    void rules_data()
    {
        QTest::addColumn<QString>("action"); // editing: o'brien's account
        QTest::addColumn<Case>("c");
        const int name = int(F::Name), password = int(F::Password);
        QTest::newRow("add: everything empty") << u"add"_s << Case{{}, {}, M::addNameEmpty, name, 0};
        QTest::newRow("add: password empty") << u"add"_s << Case{u"new"_s, {}, M::addPasswordEmpty, password};
        QTest::newRow("add: no kind") << u"add"_s << Case{u"new"_s, u"pw"_s, M::kindMissing, int(F::Kind), 0};
        QTest::newRow("add: existing name") << u"add"_s << Case{u"admin"_s, u"pw"_s, M::addDuplicate, name};
        QTest::newRow("add: blanks around it") << u"add"_s << Case{u" admin  "_s, u"pw"_s, M::addDuplicate, name};
        QTest::newRow("add: only blanks") << u"add"_s << Case{u"   "_s, u"pw"_s, M::addNameEmpty, name};
        // The database's own comparison decides, as its unique index does.
        QTest::newRow("add: other case") << u"add"_s << Case{u"ADMIN"_s, u"pw"_s, M::addDuplicate, name, 1};
        QTest::newRow("add: user") << u"add"_s << Case{u"nurse"_s, u"Pw 1"_s};
        QTest::newRow("add: administrator") << u"add"_s << Case{u"chief"_s, u"a'b%c"_s, {}, 0, 1};
        QTest::newRow("edit: name empty") << u"edit"_s << Case{{}, u"pw"_s, M::editNameEmpty, name};
        QTest::newRow("edit: password empty") << u"edit"_s << Case{u"x"_s, {}, M::editPasswordEmpty, password};
        QTest::newRow("edit: another's name") << u"edit"_s << Case{u"admin"_s, u"pw"_s, M::editDuplicate, name};
        QTest::newRow("edit: another's, blanks") << u"edit"_s << Case{u"admin "_s, u"pw"_s, M::editDuplicate, name};
        QTest::newRow("edit: its own name") << u"edit"_s << Case{u"o'brien"_s, u"changed"_s};
        QTest::newRow("edit: renamed administrator") << u"edit"_s << Case{u"obrien"_s, u"changed"_s, {}, 0, 1};
        QTest::newRow("edit: deleted meanwhile") << u"edit"_s << Case{u"gone"_s, u"changed"_s, M::selectUserFirst};
        // Focus 1: the name box, 2: the password box. The names and passwords are compared exactly.
        QTest::newRow("login: both empty") << u"login"_s << Case{{}, {}, u"ادخل كلمة المرور أولاً"_s, 2};
        QTest::newRow("login: name empty") << u"login"_s << Case{{}, u"x"_s, StartupMessages::userNameEmpty, 1};
        QTest::newRow("login: right") << u"login"_s << Case{u"admin"_s, u"admin"_s};
        QTest::newRow("login: password in other case") << u"login"_s << Case{u"admin"_s, u"ADMIN"_s, wrongLogin, 2};
        QTest::newRow("login: name in other case") << u"login"_s << Case{u"Admin"_s, u"admin"_s, wrongLogin, 2};
        QTest::newRow("login: injection") << u"login"_s << Case{u"admin"_s, u"' or '1'='1"_s, wrongLogin, 2};
        QTest::newRow("login: arabic") << u"login"_s << Case{u"مدير المعمل"_s, u"كلمة سر"_s};
        QTest::newRow("login: 1 character") << u"login"_s << Case{u"one"_s, u"x"_s};
        QTest::newRow("login: 500 characters") << u"login"_s << Case{u"long"_s, QString(500, u'p')};
        QTest::newRow("login: 500, one more") << u"login"_s << Case{u"long"_s, QString(501, u'p'), wrongLogin, 2};
        QTest::newRow("login: the stored hash") << u"login"_s << Case{u"one"_s, u"hash"_s, wrongLogin, 2};
        QTest::newRow("login: 300 characters, one short")
            << u"login"_s << Case{longName, longName.left(299), wrongLogin, 2};
    }

    void rules()
    {
        QFETCH(QString, action);
        QFETCH(Case, c);
        AppContext& context = accounts(action == u"login"_s); // logging in changes no account
        const bool gone = c.name == u"gone"_s;
        const bool done = c.message.isEmpty() && !gone;
        if (action == u"login"_s) {
            const QString hash = store().findByName(u"one"_s)->password;
            QVERIFY(hash.startsWith(u"$argon2id$"_s)); // never the password
            if (c.password == u"hash"_s)
                c.password = hash;
            const Login::Outcome outcome = Login::logIn(context, c.name, c.password, false);
            QCOMPARE(outcome.loggedIn, done);
            QCOMPARE(int(outcome.focus), c.focus);
            QCOMPARE(outcome.selectPassword, c.message == wrongLogin);
            QCOMPARE(context.currentUser.name, done ? c.name : QString());
            QCOMPARE(shown(), done ? QString() : u"خطأ ..: "_s + c.message);
            return;
        }
        UserAccounts users(context);
        const bool editing = action == u"edit"_s;
        UserAccount fields = account(c.name, c.password, c.kind, !editing && c.kind == 2);
        fields.id = editing ? users.select(u"o'brien"_s).value_or(UserAccount()).id : 0;
        if (gone)
            QVERIFY(store().remove(fields.id));
        const UserAccounts::Outcome outcome = editing ? users.saveChanges(fields, true) : users.add(fields);
        QCOMPARE(outcome.done, done);
        QCOMPARE(int(outcome.focus), c.focus);
        QCOMPARE(shown(), c.message.isEmpty() ? QString() : M::errorTitle + u": "_s + c.message);
        QCOMPARE(users.names().size(), 2 + (done && !editing ? 1 : 0) - (gone ? 1 : 0));
        QCOMPARE(canLogIn(c.name, c.password), done);
        QCOMPARE(canLogIn(u"o'brien"_s, u"pa'ss%"_s), !editing || (!done && !gone));
        if (done) {
            UserAccount stored = store().findById(outcome.id).value_or(UserAccount());
            stored.password = fields.password; // checked by logging in
            fields.id = outcome.id;
            QCOMPARE(stored, fields);
        }
        // The first administrator is made only while there is no account: no back door for a second.
        QVERIFY(!users.createFirstAdministrator(u"boss"_s, u"x"_s, u"x"_s).done);
    }

    // No password is kept anywhere: rows from before hashing are hashed at login or save, and
    // remember-me keeps a token that a new password, an unticked box or a newer token ends.
    void secretsKept()
    {
        AppContext& context = prepare(); // admin/admin, hashed by the demo set-up
        QSqlDatabase db = context.databases().OpenInterfaceDb();
        for (const auto& [name, word] : {std::pair{u"legacy"_s, u"old'pw"_s},
                                         {u"keep"_s, u"k1"_s},
                                         {u"broken"_s, u"$argon2id$v=19$m=65536,t=2,p=1$edited"_s}})
            QVERIFY(SqlRun::insert(db, u"users"_s, {{u"patientusname"_s, name}, {u"patientword"_s, word}}).ok);
        QVERIFY(Login::logIn(context, u"legacy"_s, u"old'pw"_s, false).loggedIn);
        QVERIFY(!Login::logIn(context, u"broken"_s, u"$argon2id$v=19$m=65536,t=2,p=1$edited"_s, false).loggedIn);
        // A stored hash is only ever matched by its password; a forged or overlong one by nothing.
        const QString hash = PasswordHash::make(u"s3cret"_s);
        QVERIFY(PasswordHash::verify(hash, u"s3cret"_s) && !PasswordHash::verify(hash, u"s3creT"_s));
        QVERIFY(!PasswordHash::verify(hash + QString(200, u'A'), u"s3cret"_s));
        QVERIFY(!PasswordHash::verify(hash.left(hash.size() - 4), u"s3cret"_s));
        QVERIFY(!PasswordHash::verify(QString(), QString()));
        UserAccounts users(context);
        UserAccount kept = account(u"keep"_s, u"********"_s, 2);
        kept.id = store().findByName(u"keep"_s)->id;
        QVERIFY(users.saveChanges(kept, false).done);
        // An account cannot be added while its table cannot be read.
        QVERIFY(SqlRun::exec(db, u"ALTER TABLE users RENAME TO users_away"_s));
        const bool added = users.add(account(u"new"_s, u"n1"_s, 2)).done;
        QVERIFY(SqlRun::exec(db, u"ALTER TABLE users_away RENAME TO users"_s));
        QVERIFY(!added && !canLogIn(u"new"_s, u"n1"_s));
        QVERIFY(canLogIn(u"legacy"_s, u"old'pw"_s) && canLogIn(u"keep"_s, u"k1"_s));

        const QString ini = m_install->settingsIni();
        const auto token = [&ini] { return ReadIni(ini, u"server"_s, u"NIDL"_s); };
        QVERIFY(Login::logIn(context, u"admin"_s, u"admin"_s, true).loggedIn);
        const QString first = token();
        QCOMPARE(Login::remembered(context).token, first);
        QVERIFY(!Login::logIn(context, u"admin"_s, first, true).loggedIn);        // no password
        QVERIFY(!Login::logIn(context, u"legacy"_s, first, true, true).loggedIn); // another's
        QVERIFY(Login::logIn(context, u"admin"_s, first, true, true).loggedIn);   // the box as filled
        QVERIFY(token() != first && !Login::logIn(context, u"admin"_s, first, true, true).loggedIn);
        // A password that cannot be written is not reported as changed.
        QVERIFY(SqlRun::exec(
            db, u"CREATE TRIGGER locked BEFORE UPDATE ON users BEGIN SELECT RAISE(FAIL, 'locked'); END"_s));
        QVERIFY(!PasswordChange::change(context, u"admin"_s, u"admin"_s, u"Neu'1"_s, u"Neu'1"_s).changed);
        QVERIFY(SqlRun::exec(db, u"DROP TRIGGER locked"_s) && canLogIn(u"admin"_s, u"admin"_s));
        QVERIFY(PasswordChange::change(context, u"admin"_s, u"admin"_s, u"Neu'1"_s, u"Neu'1"_s).changed);
        QCOMPARE(Login::remembered(context).token, QString());
        QCOMPARE(token(), QString()); // the file forgets it too
        QVERIFY(Login::logIn(context, u"admin"_s, u"Neu'1"_s, true).loggedIn && !token().isEmpty());
        QVERIFY(Login::logIn(context, u"admin"_s, u"Neu'1"_s, false).loggedIn && token().isEmpty());

        QFile file(ini);
        QVERIFY(file.open(QIODevice::ReadOnly) && !file.readAll().contains("Neu'1"));
        const SqlRun::Rows rows = SqlRun::select(db, u"SELECT patientword FROM users"_s);
        int plain = 0;
        for (const QSqlRecord& r : rows.records)
            plain += PasswordHash::isHash(r.value(0).toString()) ? 0 : 1;
        QCOMPARE(plain, 0);
        QVERIFY(SqlRun::select(db, u"SELECT * FROM rememberedlogin"_s).records.isEmpty());
    }

    void selectAndDelete()
    {
        UserAccounts accounts(this->accounts());
        const qint64 id = accounts.select(u"admin"_s)->id;
        QVERIFY(accounts.mayEdit(id) && !accounts.mayEdit(0) && !accounts.remove(0));
        m_install->dialogs.answers = {DialogAnswer::Cancel};
        QVERIFY(!accounts.remove(id) && store().findById(id));
        const QString select = msg(M::errorTitle, M::selectUserFirst);
        QCOMPARE(shown(), QStringList({select, select, msg(M::deleteTitle, M::deleteQuestion)}).join(u'\n'));
        QVERIFY(m_install->dialogs.last().buttons == DialogButtons::OkCancel);
        // The last administrator, even the one logged in, may go.
        QVERIFY(accounts.remove(id) && !store().findById(id));
    }

    void grantsOfTheAccount()
    {
        // Account's administrator mark and grant columns, marks held before and after (bits 0-6: grants 1-8).
        const int cases[][4] = {{1, 0, 0, 0x7F}, {0, 0x7F, 0, 0x7F}, {0, 0x22, 0, 0x22}, {0, 0x01, 0x20, 0x21}};
        const Grant grants[] = {Grant::Grant1, Grant::Grant2, Grant::Grant4, Grant::Grant5,
                                Grant::Grant6, Grant::Grant7, Grant::Grant8, Grant::Administrator};
        for (const auto& [administrator, columns, before, after] : cases) {
            CurrentUser user;
            UserAccount account;
            account.administrator = administrator;
            setGrants(user, before);
            setGrants(account, columns);
            Login::grantAccount(user, account);
            FakeDialogs dialogs;
            int held = 0;
            for (int i = 0; i < 8; ++i)
                held |= checkGrant(user, grants[i], dialogs) ? 1 << i : 0;
            QCOMPARE(held, after | administrator << 7);
            QCOMPARE(dialogs.shown.size(), 8 - qPopulationCount(quint32(held)));
        }
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "tst_Startup.moc"
