#include "DbSettings.h"
#include "ProgramRun.h"

#include "db/DbMessages.h"
#include "db/Schema.h"
#include "db/ScopedConnection.h"
#include "db/SqlRun.h"

#include <QTest>

namespace {

struct Run
{
    QStringList arguments; // after "--home DIR"
    QStringList settings;  // over the test install's; "@lis": its LIS file made, "@patientinfo": another one made
    int exitCode;
    QStringList out; // %1 is the install folder; a line ending in "*" is matched by its start
    QString err;
};

QStringList lines(const QString& text)
{
    return text.split('\n', Qt::SkipEmptyParts);
}

// A message box as the command line shows it: one line on standard error.
QString box(const QString& text)
{
    return DbMessages::connectionTitle + ": " + QString(text).replace('\n', ' ') + "\n";
}

} // namespace

Q_DECLARE_METATYPE(Run)

// The database commands of corvana-vidas, run as the program.
class it_Commands : public QObject
{
    Q_OBJECT

private slots:
    void commands_data();
    void commands();
    void setupDemo();
};

void it_Commands::commands_data()
{
    QTest::addColumn<Run>("c");
    const QString version = ": ok, schema version " + QString::number(Schema::latestInterfaceVersion());
    const QString current = "interface: SQLite file %1/InterfaceVIDAS.db" + version;
    const QString lis = "lis: SQLite file %1/Patients.db: ";
    const QString usage = "corvana-vidas: check takes no arguments but --create: corvana-vidas [--home DIR] check "
                          "[--create]\n";
    const QString noDemo = "corvana-vidas: the demo needs the SQLite or PostgreSQL engine for both databases "
                           "([server] engine=sqlite, [corvanaserver] engine=sqlite, CRVaccess=0)\n";
    const auto add = [](const char* name, const QStringList& arguments, const QStringList& settings, int exitCode,
                        const QStringList& out, const QString& err) {
        QTest::newRow(name) << Run{arguments, settings, exitCode, out, err};
    };
    add("interface file missing", {"check"}, {"@lis", "server/database=new.db"}, 1,
        {"interface: SQLite file %1/new.db: cannot be opened: the database file %1/new.db does not exist "
         "(\"check --create\" makes a new, empty one)",
         lis + "ok"},
        box(DbMessages::interfaceFailed));
    add("--create makes it", {"check", "--create"}, {"@lis", "server/database=new.db"}, 0,
        {"interface: SQLite file %1/new.db" + version, lis + "ok"}, "");
    add("lis file missing", {"check"}, {}, 1,
        {current, lis + "cannot be opened: the database file %1/Patients.db does not exist"},
        box(DbMessages::lisServerFailed));
    add("unknown engine", {"check"}, {"@lis", "server/engine=mysql"}, 1,
        {"interface: engine \"mysql\": cannot be opened: unknown database engine \"mysql\" in [server] engine "
         "(known: sqlserver, sqlite, postgresql)",
         lis + "ok"},
        box(DbMessages::interfaceFailed));
    add("file outside the folder", {"check"}, {"@lis", "server/database=../x.db"}, 1,
        {"interface: SQLite file : cannot be opened: the database file \"../x.db\" must not name a parent folder "
         "(\"..\")",
         lis + "ok"},
        box(DbMessages::interfaceFailed));
    add("lis on the jet file", {"check"}, {"corvanaserver/CRVaccess=1"}, 1,
        {current, "lis: Jet file %1/corvana system/bin/Patients.mdb (ODBC driver Microsoft Access Driver (*.mdb, "
                  "*.accdb) or Microsoft Access Driver (*.mdb)): cannot be opened: *"},
        box(DbMessages::lisFileFailed));
    add("lis link off", {"check"}, {"corvanaserver/active=0"}, 0,
        {current, lis + "not checked, the LIS link is switched off ([corvanaserver] active)"}, "");
    add("no install folder", {"--home", "%1/nowhere", "check"}, {}, 1, {},
        "corvana-vidas: %1/nowhere: no such install folder\n");
    add("no settings file", {"check"}, {"-"}, 1, {},
        "corvana-vidas: %1/VIDASSETING.INI: the settings file is missing\n");
    add("other words", {"check", "--create", "now"}, {}, 2, {}, usage);
    add("demo: interface alone named, a server", {"setup-demo"}, {"-", "server/engine=sqlserver"}, 1, {}, noDemo);
    add("demo: interface on a server", {"setup-demo"}, {"server/engine=sqlserver"}, 1, {}, noDemo);
    add("demo: lis on the jet file", {"setup-demo"}, {"corvanaserver/CRVaccess=1"}, 1, {}, noDemo);
    add("demo: a server database not named for the demo", {"setup-demo"},
        {"server/engine=postgresql", "server/servername=/nowhere", "server/database=lab"}, 1, {},
        "corvana-vidas: PostgreSQL \"/nowhere\" port 5432, database lab (operating system login): the demo writes "
        "only into PostgreSQL databases whose names begin with \"demo\"\n");
    add("demo: the lis file holds other tables", {"setup-demo"}, {"@patientinfo"}, 1, {},
        "corvana-vidas: LIS stand-in SQLite file %1/Patients.db: %1/Patients.db holds other tables (patientinfo); not "
        "made an LIS "
        "stand-in\n");
}

void it_Commands::commands()
{
    QFETCH(Run, c);
    TestInstall install;
    const bool lis = c.settings.removeAll("@lis") > 0;
    QVERIFY(!lis || install.createDatabases());
    if (c.settings.removeAll("@patientinfo") > 0) {
        ScopedConnection other("QSQLITE");
        QVERIFY(other.openSqlite(install.lisDbFile()) && SqlRun::exec(other.db(), "CREATE TABLE patientinfo (x)"));
    }
    applySettings(install, c.settings);
    const ProgramRun run =
        runCorvanaVidas(QStringList{"--home", install.path()} + c.arguments.replaceInStrings("%1", install.path()));
    QCOMPARE(run.exitCode, c.exitCode);
    QCOMPARE(run.err, c.err.replace("%1", install.path()));
    const QStringList out = lines(run.out);
    QCOMPARE(out.size(), c.out.size());
    for (qsizetype i = 0; i < out.size(); ++i) {
        const QString want = c.out[i].replace("%1", install.path());
        QVERIFY2(want.endsWith('*') ? out[i].startsWith(want.chopped(1)) : out[i] == want, qPrintable(out[i]));
    }
    // Nothing is made that was not asked for.
    QCOMPARE(QFile::exists(install.lisDbFile()), lis || c.err.contains("holds other tables"));
    QCOMPARE(QFile::exists(install.path() + "/new.db"),
             c.exitCode == 0 && c.settings.contains("server/database=new.db"));
}

void it_Commands::setupDemo()
{
    QTemporaryDir dir;
    const QString home = dir.filePath("demo");
    for (int round = 0; round < 2; ++round) {
        const ProgramRun run = runCorvanaVidas({"--home", home, "setup-demo"});
        QVERIFY2(run.exitCode == 0 && run.err.isEmpty(), qPrintable(run.err));
        const QStringList out = lines(run.out);
        QVERIFY2(out.size() == 2 &&
                     out[0].startsWith("lis: SQLite file " + home + "/Patients.db: 4 demo requests for "),
                 qPrintable(run.out));
        QCOMPARE(out[1], "interface: SQLite file " + home +
                             "/InterfaceVIDAS.db: demo catalogue and administrator account ready");
    }
    QCOMPARE(runCorvanaVidas({"--home", home, "check"}).exitCode, 0);

    // Still one set: four patients, one administrator, and each of the 8+ tests requested one active assay.
    ScopedConnection lis("QSQLITE");
    QVERIFY(lis.openSqlite(home + "/Patients.db"));
    QVERIFY(SqlRun::exec(lis.db(), "ATTACH DATABASE ? AS iface", {home + "/InterfaceVIDAS.db"}));
    const auto others = QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    for (const char* file : {"/Patients.db", "/Patients.db-wal", "/InterfaceVIDAS.db"}) // patient data
        QVERIFY2(!(QFile::permissions(home + file) & others), file);
    const auto summary = SqlRun::first(
        lis.db(), "SELECT (SELECT count(*) FROM patientinfo) || (SELECT group_concat(patientusname || patientad || "
                  "patientus || grant1 || grant8) FROM iface.users) || (SELECT sum(resultfinsh) FROM patienttest) || "
                  "(SELECT count(DISTINCT testcode) >= 8 FROM patienttest) || (SELECT count(*) FROM "
                  "patienttest WHERE (SELECT count(*) FROM iface.testtable WHERE active=1 AND "
                  "crvtestid=patienttest.testcode) <> 1)");
    QVERIFY(summary);
    QCOMPARE(summary->value(0).toString(), QStringLiteral("4admin1011010"));
}

QTEST_GUILESS_MAIN(it_Commands)
#include "it_Commands.moc"
