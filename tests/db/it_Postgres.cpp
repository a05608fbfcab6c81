#include "DbSettings.h"
#include "PgSandbox.h"
#include "ProgramRun.h"

#include "db/ConnectionStrings.h"
#include "db/ConnectionTarget.h"
#include "db/Databases.h"
#include "db/DbErrors.h"
#include "db/DbMessages.h"
#include "db/LisStandIn.h"
#include "db/Schema.h"
#include "db/SqlRun.h"

#include <QElapsedTimer>
#include <QSqlRecord>
#include <QTest>
#include <QUuid>

// The server engine on a real PostgreSQL server (the test command's sandbox, or one of this
// test's own): what the settings name, making the database, statements and values, a dropped link.
class it_Postgres : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void targets_data();
    void targets();
    void createsAndChecks();
    void statementsAndValues();
    void droppedConnectionReopens();
    void wrongServerFailsInTime();
    void demoAndCheckCommands();

private:
    QString m_socket;
};

namespace {

QString scalar(const QSqlDatabase& db, const QString& sql, const QVariantList& values = {})
{
    const auto row = SqlRun::first(db, sql, values);
    return row ? row->value(0).toString() : QStringLiteral("(none)");
}

AppSettings settingsOf(const QStringList& keys)
{
    AppSettings s;
    for (const QString& k : keys) {
        const QString key = k.section('=', 0, 0);
        const QString value = k.section('=', 1);
        if (key == "engine")
            s.serverEngine = s.lisEngine = value;
        else if (key == "servername")
            s.serverName = s.lisServerName = value;
        else if (key == "auth")
            s.CRIauthentication = s.CRVauthentication = static_cast<qint16>(value.toInt());
        else if (key == "UserID")
            s.serverUserID = s.lisUserID = value;
        else if (key == "Password")
            s.serverPassword = s.lisPassword = value;
        else if (key == "database")
            s.serverDatabase = s.lisDatabase = value;
        else if (key == "port")
            s.serverPort = s.lisPort = value;
    }
    return s;
}

} // namespace

void it_Postgres::initTestCase()
{
    QString error;
    m_socket = PgSandbox::socketFolder(&error);
    QVERIFY2(!m_socket.isEmpty(), qPrintable(error));
}

void it_Postgres::targets_data()
{
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("interfaceDb");
    QTest::addColumn<QString>("lisDb");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("error"); // part of the reason; empty: usable
    QTest::addColumn<QString>("label"); // part of the label

    QTest::newRow("defaults, server login")
        << QStringList{"engine=postgresql", "servername=db1", "auth=1", "UserID=lab", "Password=s;e\"cret"} << "db1"
        << 5432 << "interfacevidas"
        << "patients"
        << "lab"
        << ""
        << "PostgreSQL \"db1\" port 5432, database ";
    QTest::newRow("operating system login leaves user and password out")
        << QStringList{"engine=PostgreSQL", "servername=/run/pg", "auth=0",   "UserID=lab",
                       "Password=x",        "database=lab2",      "port=6543"}
        << "/run/pg" << 6543 << "lab2"
        << "lab2"
        << ""
        << ""
        << "(operating system login)";
    QTest::newRow("port not a number") << QStringList{"engine=postgresql", "servername=db1", "port=54x"} << "db1" << 0
                                       << "interfacevidas"
                                       << "patients"
                                       << ""
                                       << "no port number"
                                       << "db1";
    QTest::newRow("port out of range") << QStringList{"engine=postgresql", "servername=db1", "port=70000"} << "db1"
                                       << 70000 << "interfacevidas"
                                       << "patients"
                                       << ""
                                       << "no port number"
                                       << "db1";
    QTest::newRow("no server") << QStringList{"engine=postgresql"} << "" << 5432 << "interfacevidas"
                               << "patients"
                               << ""
                               << "no server name"
                               << "localhost";
    QTest::newRow("unknown engine names the known ones") << QStringList{"engine=postgres"} << "" << -1 << ""
                                                         << ""
                                                         << ""
                                                         << "sqlite, postgresql"
                                                         << "postgres";
}

void it_Postgres::targets()
{
    QFETCH(QStringList, keys);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QString, interfaceDb);
    QFETCH(QString, lisDb);
    QFETCH(QString, user);
    QFETCH(QString, error);
    QFETCH(QString, label);
    const AppSettings s = settingsOf(keys);
    const ConnectionTarget iface = ConnectionTargets::interfaceTarget(s, "-", "/tmp");
    const ConnectionTarget lis = ConnectionTargets::lisTarget(s, "-", 0, "/tmp");
    for (const ConnectionTarget& t : {iface, lis}) {
        QVERIFY2(error.isEmpty() ? t.isValid() : t.error.contains(error), qPrintable(t.error));
        QVERIFY2(t.label.contains(label), qPrintable(t.label));
        QVERIFY2(!t.label.contains("s;e") && !t.label.contains("Password"), "the label never shows the password");
        if (port < 0)
            continue;
        QCOMPARE(t.driver, "QPSQL");
        QCOMPARE(t.engine, SqlEngine::Postgres);
        QCOMPARE(t.hostName, host);
        QCOMPARE(t.port, port);
        QCOMPARE(t.userName, user);
        QCOMPARE(t.password.isEmpty(), user.isEmpty());
        QVERIFY(t.connectOptions.contains("connect_timeout=10"));
    }
    if (port >= 0) {
        QCOMPARE(iface.databaseName, interfaceDb);
        QCOMPARE(lis.databaseName, lisDb);
    }
}

void it_Postgres::createsAndChecks()
{
    QString error;
    const QString name = PgSandbox::createDatabase(&error);
    QVERIFY2(!name.isEmpty(), qPrintable(error));
    PgSandbox::dropDatabase(name); // a name the server does not have (yet)
    TestInstall install;
    applySettings(install, {"server/engine=postgresql", "server/servername=" + m_socket, "server/CRIauthentication=1",
                            "server/UserID=" + PgSandbox::role, "server/database=" + name});
    {
        AppContext& context = install.context();
        QSqlDatabase db = context.databases().OpenInterfaceDb();
        QVERIFY(!db.isOpen());
        QCOMPARE(install.dialogs.last().text, DbMessages::interfaceFailed);
        QVERIFY2(context.databases().lastError(DbSlot::Interface).contains("does not exist"),
                 qPrintable(context.databases().lastError(DbSlot::Interface)));
    }
    {
        // Asked for, the database is made on the server with the current schema, once.
        AppContext& context = install.context();
        context.databases().setMayCreateInterface(true);
        QSqlDatabase db = context.databases().OpenInterfaceDb();
        QVERIFY2(db.isOpen(), qPrintable(context.databases().lastError(DbSlot::Interface)));
        QCOMPARE(scalar(db, "SELECT version FROM schemaversion").toInt(), Schema::latestInterfaceVersion());
        QCOMPARE(scalar(db, "SELECT count(*) FROM receivedsession WHERE origin='baseline'"), "1");
        context.databases().closeAll();
    }
    {
        AppContext& context = install.context();
        QSqlDatabase db = context.databases().OpenInterfaceDb();
        QVERIFY(db.isOpen());
        QCOMPARE(scalar(db, "SELECT count(*) FROM receivedsession"), "1");
        context.databases().closeAll();
    }
    PgSandbox::dropDatabase(name);
}

void it_Postgres::statementsAndValues()
{
    if (!PgSandbox::inUse())
        qputenv("CORVANA_TEST_ENGINE", "postgresql");
    TestInstall install;
    qunsetenv("CORVANA_TEST_ENGINE");
    QVERIFY(install.onPostgres());
    QVERIFY(install.installDemoData());
    AppContext& context = install.context();
    QSqlDatabase db = context.databases().OpenInterfaceDb();
    QVERIFY2(db.isOpen(), qPrintable(context.databases().lastError(DbSlot::Interface)));
    const Dialect dialect = context.databases().dialect(DbSlot::Interface);
    QCOMPARE(dialect.engine(), SqlEngine::Postgres);

    // Awkward texts and every kind of value go in and come back as they were.
    const QString name = QStringLiteral("أحمد 'الحلبي' \"أبو علي\"; DROP TABLE Result; --");
    const QString long500 = QString(500, u'ب');
    const QList<std::pair<QString, QDate>> rows{
        {name, QDate(2026, 12, 5)}, {"O'Brien 100%_", QDate(2026, 11, 30)}, {long500, QDate(2027, 1, 2)}};
    QList<qint64> keys;
    for (const auto& [patient, date] : rows) {
        const auto added = SqlRun::insert(db, "Result",
                                          {{"Patientname", patient},
                                           {"Testdate", date},
                                           {"sending", true},
                                           {"ageN", 32.5},
                                           {"SampleID", "0042"},
                                           {"lowlimit", SqlRun::nullNumber()},
                                           {"comment", SqlRun::nullText()}});
        QVERIFY2(added, qPrintable(added.errorText()));
        keys << added.lastInsertId.toLongLong();
    }
    QVERIFY2(keys[0] > 0 && keys[1] == keys[0] + 1 && keys[2] == keys[1] + 1, "the new rows' keys are given back");
    const auto row = SqlRun::first(db, "SELECT * FROM Result WHERE AutoNum=?", {keys[0]});
    QVERIFY(row);
    QCOMPARE(row->value("Patientname").toString(), name);
    QCOMPARE(SqlRun::toDate(row->value("Testdate")), QDate(2026, 12, 5));
    QCOMPARE(row->value("sending").toInt(), 1);
    QVERIFY(row->value("lowlimit").isNull() && row->value("comment").isNull());
    QCOMPARE(scalar(db, "SELECT Patientname FROM Result WHERE AutoNum=?", {keys[2]}), long500);
    // Names compare in any letter case, and a bound pattern's own % and _ are escaped as everywhere.
    QCOMPARE(scalar(db, "SELECT count(*) FROM Result WHERE Patientname=?", {"o'brien 100%_"}), "1");
    QCOMPARE(scalar(db, "SELECT count(*) FROM Result WHERE Patientname LIKE ? ESCAPE '\\'", {"O'BRIEN 100\\%\\_%"}),
             "1");
    QCOMPARE(scalar(db, "SELECT count(*) FROM Result WHERE Patientname LIKE ?", {"أحمد%"}), "1");
    QCOMPARE(scalar(db, "SELECT count(*) FROM Result WHERE Testdate >= ? AND Testdate <= ?" + dialect.limit(5),
                    {QDate(2026, 11, 30), QDate(2026, 12, 31)}),
             "2");
    // A text that is no number is null, never an error that would end the unit of work.
    const QString real = "SELECT " + dialect.toRealOrNull("?");
    QCOMPARE(scalar(db, real + " IS NULL", {"Positive"}), "true");
    QCOMPARE(scalar(db, real, {" 0042 "}).toDouble(), 42.0);
    QCOMPARE(scalar(db, real, {"-1.5e2"}).toDouble(), -150.0);
    QCOMPARE(scalar(db, "SELECT count(*) FROM Result WHERE " + dialect.toRealOrNull("SampleID") + "=?", {42.0}), "3");
    QCOMPARE(scalar(db, "SELECT " + dialect.substring("?", 3, 4), {"2601140001254"}), "0114");
    // A refused statement is reported, and is no reason to try again.
    const auto refused = SqlRun::exec(db, "INSERT INTO Result (AutoNum) VALUES (?)", {keys[0]});
    QVERIFY(!refused && !DbErrors::isTransient(refused.error));
    // The demo catalogue and the LIS stand-in are there, and the LIS's row is found by its place.
    QVERIFY(scalar(db, "SELECT count(*) FROM testtable").toInt() > 0);
    QSqlDatabase lis = context.databases().OpenLisDb();
    QVERIFY2(lis.isOpen(), qPrintable(context.databases().lastError(DbSlot::Lis)));
    QVERIFY(scalar(lis, "SELECT count(*) FROM patienttest WHERE requestdate=?", {install.clock.today()}).toInt() > 0);
    context.databases().closeAll();
}

void it_Postgres::droppedConnectionReopens()
{
    qputenv("CORVANA_TEST_ENGINE", "postgresql");
    TestInstall install;
    qunsetenv("CORVANA_TEST_ENGINE");
    AppContext& context = install.context();
    QSqlDatabase db = context.databases().OpenInterfaceDb();
    QVERIFY(db.isOpen());
    const QString pid = scalar(db, "SELECT pg_backend_pid()");
    QCOMPARE(scalar(db, "SELECT count(*) FROM Result"), "0");
    // The server ends this connection (a restart, an administrator): the next unit of work gets a new one.
    QVERIFY(install.exec(TestInstall::Db::Interface, "SELECT pg_terminate_backend(CAST(? AS integer))", {pid}));
    db = context.databases().OpenInterfaceDb();
    QVERIFY(db.isOpen());
    QVERIFY(scalar(db, "SELECT pg_backend_pid()") != pid);
    QCOMPARE(scalar(db, "SELECT count(*) FROM Result"), "0");
    QVERIFY(install.dialogs.shown.isEmpty());
    context.databases().closeAll();
}

void it_Postgres::wrongServerFailsInTime()
{
    TestInstall install;
    // A socket folder where no server listens, and a login the server does not know.
    for (const QStringList& keys : {QStringList{"server/servername=/tmp/no-such-pg-folder"},
                                    QStringList{"server/servername=" + m_socket, "server/UserID=nobody"}}) {
        applySettings(install, {"server/engine=postgresql", "server/CRIauthentication=1", "server/UserID=corvana"});
        applySettings(install, keys);
        install.dialogs.shown.clear();
        AppContext& context = install.context();
        QElapsedTimer timer;
        timer.start();
        QVERIFY(!context.databases().OpenInterfaceDb().isOpen());
        QVERIFY(timer.elapsed() < 15000);
        QCOMPARE(install.dialogs.last().text, DbMessages::interfaceFailed);
        QVERIFY(!context.databases().lastError(DbSlot::Interface).isEmpty());
    }
}

// The command line on a server: check says what is missing and --create makes it; the demo fills
// databases named for it.
void it_Postgres::demoAndCheckCommands()
{
    QString error;
    const QString id = QUuid::createUuid().toString(QUuid::Id128).left(16);
    const QString iface = "demo_i" + id;
    const QString lis = "demo_l" + id;
    QVERIFY2(PgSandbox::admin("CREATE DATABASE " + lis, &error), qPrintable(error));
    TestInstall install;
    applySettings(install, {"server/engine=postgresql", "server/servername=" + m_socket, "server/CRIauthentication=1",
                            "server/UserID=corvana", "server/database=" + iface, "corvanaserver/engine=postgresql",
                            "corvanaserver/servername=" + m_socket, "corvanaserver/CRVauthentication=1",
                            "corvanaserver/UserID=corvana", "corvanaserver/database=" + lis});
    const QString label =
        QStringLiteral("interface: PostgreSQL \"%1\" port 5432, database %2 as corvana: ").arg(m_socket, iface);
    ProgramRun run = runCorvanaVidas({"--home", install.path(), "check"});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.out.startsWith(label + "cannot be opened: ") && run.out.contains("(\"check --create\" makes"),
             qPrintable(run.out));
    run = runCorvanaVidas({"--home", install.path(), "check", "--create"});
    QVERIFY2(run.out.startsWith(label + "ok, schema version " + QString::number(Schema::latestInterfaceVersion())),
             qPrintable(run.out + run.err));
    // The LIS database is never made or shaped by check: its tables are missing until the demo puts them there.
    QCOMPARE(run.exitCode, 0);
    for (int round = 0; round < 2; ++round) {
        run = runCorvanaVidas({"--home", install.path(), "setup-demo"});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QVERIFY2(run.out.contains(": 4 demo requests for ") && run.out.contains("demo catalogue and administrator"),
                 qPrintable(run.out));
    }
    run = runCorvanaVidas({"--home", install.path(), "check"});
    QVERIFY2(run.exitCode == 0, qPrintable(run.out + run.err));
    PgSandbox::dropDatabase(iface);
    PgSandbox::dropDatabase(lis);
}

QTEST_GUILESS_MAIN(it_Postgres)
#include "it_Postgres.moc"
