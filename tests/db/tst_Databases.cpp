#include "DbSettings.h"

#include "config/IniFile.h"
#include "db/ConnectionStrings.h"
#include "db/Databases.h"
#include "db/DbErrors.h"
#include "db/DbMessages.h"
#include "db/Schema.h"
#include "db/ScopedConnection.h"
#include "db/SqlRun.h"

#include <QDir>
#include <QRegularExpression>
#include <QSqlRecord>
#include <QTest>
#include <cerrno>
#include <sys/syscall.h>
#include <unistd.h>

namespace {
bool refuseChmod = false;
}

// The C library's fchmod as this program sees it, so that a file system that keeps no permissions
// can be played even by root.
extern "C" int fchmod(int fd, mode_t mode) noexcept
{
    if (refuseChmod) {
        errno = EPERM;
        return -1;
    }
    return static_cast<int>(syscall(SYS_fchmod, fd, mode));
}

namespace {

struct Failure
{
    QStringList setup; // settings as "section/key=value", or "@" and what is done to the file
    DbSlot slot;
    QString title, text;
    bool recovery; // the settings window is asked for
    int attempts;
    QString reason; // part of lastError()
};

struct Migration
{
    QStringList before; // run first; "@migrate": the steps, "@step1": step 1's statements by hand
    QStringList steps;  // one script per version; none: the interface scripts
    int from;           // -1: refused, and nothing written
    QString found;      // refused: what the error says; else "probe=what it reads"
};

template <typename Case> void row(const char* name, const Case& c)
{
    QTest::newRow(name) << c;
}

QSqlDatabase openSlot(Databases& dbs, DbSlot slot)
{
    switch (slot) {
    case DbSlot::Interface:
        return dbs.OpenInterfaceDb();
    case DbSlot::Lis:
        return dbs.OpenLisDb();
    case DbSlot::LisReceiver:
        return dbs.OpenLisDbForReceiver();
    case DbSlot::Local:
        return dbs.OpenLocalDb();
    default:
        return dbs.OpenInterfaceDbQuiet(static_cast<int>(slot)); // the quiet slots follow Interface
    }
}

QString scalar(const QSqlDatabase& db, const QString& sql, const QVariantList& values = {})
{
    const auto row = SqlRun::first(db, sql, values);
    return row ? row->value(0).toString() : QStringLiteral("(none)");
}

QStringList column(const SqlRun::Rows& rows, int index = 0)
{
    QStringList values;
    for (const QSqlRecord& record : rows.records)
        values << record.value(index).toString();
    return values;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void setWritable(const QString& path, bool writable)
{
    const auto write =
        QFileDevice::WriteOwner | QFileDevice::WriteUser | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    const QFile::Permissions p = QFile::permissions(path);
    QFile::setPermissions(path, writable ? (p | QFileDevice::WriteOwner) : (p & ~write));
}

} // namespace

Q_DECLARE_METATYPE(Failure)
Q_DECLARE_METATYPE(Migration)

class tst_Databases : public QObject
{
    Q_OBJECT

private slots:
    void everySlotOpensItsOwnDatabase();
    void createsInterfaceOnlyWhenAsked();
    void slotsFollowTheFiles();
    void roundTrip_data();
    void roundTrip();
    void datesAndErrors();
    void failures_data();
    void failures();
    void statements_data();
    void statements();
    void migrations_data();
    void migrations();
    void interfaceSchema();
};

void tst_Databases::everySlotOpensItsOwnDatabase()
{
    TestInstall install;
    QVERIFY(install.installDemoData());
    const QByteArray lisBefore = readAll(install.lisDbFile());
    Databases& dbs = install.context().databases();
    const QString iface = install.interfaceDbFile();
    const QString lis = install.lisDbFile();
    const QList<std::tuple<DbSlot, QString, QString>> openers{
        {DbSlot::Interface, iface, "Result"},
        {DbSlot::InterfaceQuiet1, iface, "Result"},
        {DbSlot::InterfaceQuiet2, iface, "normalrange"},
        {DbSlot::InterfaceQuiet3, iface, "comments"},
        {DbSlot::InterfaceQuiet4, iface, "lisoutbox"},
        {DbSlot::Lis, lis, "patientinfo"},
        {DbSlot::LisReceiver, lis, "patienttest"},
        {DbSlot::Local, install.path() + "/LocalHistory.db", "history"},
    };
    QSet<QString> names;
    for (const auto& [slot, file, table] : openers) {
        const QSqlDatabase db = openSlot(dbs, slot);
        QVERIFY2(db.isOpen(), qPrintable(dbs.lastError(slot)));
        QCOMPARE(db.databaseName(), file);
        QVERIFY2(db.tables().contains(table), qPrintable(table));
        // A stored result survives a power cut.
        QCOMPARE(scalar(db, "PRAGMA journal_mode") + scalar(db, "PRAGMA synchronous"), QStringLiteral("wal2"));
        names << db.connectionName();
    }
    QCOMPARE(names.size(), 8);
    QVERIFY(install.dialogs.shown.isEmpty());
    const QDate today = install.clock.today();
    const auto probe = SqlRun::select(dbs.OpenLocalDb(), "Select * FROM history where requestdate=? ", {today});
    QVERIFY2(probe && probe.isEmpty(), qPrintable(probe.errorText()));
    const auto requests =
        SqlRun::select(dbs.OpenLisDbForReceiver(),
                       "SELECT patientid FROM patienttest WHERE requestdate=? AND testcode=?", {today, 501});
    QCOMPARE(requests.records.size(), 2);

    // Reading the LIS changed nothing in its file; a context that goes takes its connections along.
    dbs.closeAll();
    QCOMPARE(readAll(lis), lisBefore);
    install.context();
    for (const QString& name : names)
        QVERIFY2(!QSqlDatabase::contains(name), qPrintable(name));
}

void tst_Databases::createsInterfaceOnlyWhenAsked()
{
    TestInstall install;
    const QString folder = install.path() + QStringLiteral("/مختبر 'الأمل' \"2\"");
    QVERIFY(QDir().mkpath(folder));
    WriteIni(folder + "/VIDASSETING.INI", "server", "engine", "sqlite");
    WriteIni(folder + "/VIDASSETING.INI", "server", "database", QStringLiteral("قاعدة 'النتائج'.db"));
    const QString file = folder + QStringLiteral("/قاعدة 'النتائج'.db");
    AppContext context(InstallFolder(folder), &install.dialogs, &install.clock);
    context.loadSettings();
    context.buildConnectionStrings();
    Databases& dbs = context.databases();
    QVERIFY(!dbs.OpenInterfaceDb().isOpen());
    QVERIFY(!QFile::exists(file));

    install.dialogs.clear();
    dbs.setMayCreateInterface(true);
    const QSqlDatabase db = dbs.OpenInterfaceDb();
    QVERIFY2(db.isOpen(), qPrintable(dbs.lastError(DbSlot::Interface)));
    QVERIFY(install.dialogs.shown.isEmpty());
    QCOMPARE(scalar(db, "SELECT version FROM schemaversion").toInt(), Schema::latestInterfaceVersion());
    // Patient data: for the owner and its group only, and so are the journal files SQLite adds.
    const auto others = QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    for (const char* suffix : {"", "-wal", "-shm"})
        QVERIFY2(QFile::exists(file + suffix) && !(QFile::permissions(file + suffix) & others), qPrintable(suffix));
    QVERIFY(dbs.OpenLocalDb().isOpen());
}

void tst_Databases::slotsFollowTheFiles()
{
    TestInstall install;
    AppContext& context = install.context();
    Databases& dbs = context.databases();
    int attempts = 0;
    dbs.setOpenObserver([&](DbSlot) { ++attempts; });

    // A LIS that was away is used as soon as it is there.
    QVERIFY(!dbs.OpenLisDb().isOpen());
    QVERIFY(install.createDatabases());
    QVERIFY(dbs.OpenLisDb().isOpen() && dbs.lastError(DbSlot::Lis).isEmpty());
    QCOMPARE(install.dialogs.shown.size(), 1);

    // The receiver stores, the grid reads, an edit goes in on the main slot: each sees what the
    // others committed, and a slot asked for again keeps its connection.
    const QString grid = dbs.OpenInterfaceDbQuiet(1).connectionName();
    const auto stored = SqlRun::insert(dbs.OpenInterfaceDbQuiet(4), "Result", {{"resultt1", "2.3"}});
    QVERIFY2(stored, qPrintable(stored.errorText()));
    QCOMPARE(dbs.OpenInterfaceDbQuiet(1).connectionName(), grid);
    QCOMPARE(scalar(dbs.OpenInterfaceDbQuiet(1), "SELECT resultt1 FROM Result"), "2.3");
    QVERIFY(SqlRun::update(dbs.OpenInterfaceDb(), "Result", {{"resultt1", "2.4"}}, "AutoNum=?", {stored.lastInsertId}));
    QCOMPARE(scalar(dbs.OpenInterfaceDbQuiet(4), "SELECT resultt1 FROM Result"), "2.4");
    QCOMPARE(attempts, 5);
    // A caller that closed the connection gets it opened again.
    dbs.connection(DbSlot::InterfaceQuiet4).close();
    QVERIFY(dbs.OpenInterfaceDbQuiet(4).isOpen());
    QCOMPARE(attempts, 6);

    // A file deleted under an open slot is reported, not made again empty.
    for (const char* suffix : {"", "-wal", "-shm"})
        QFile::remove(install.interfaceDbFile() + suffix);
    QVERIFY(!dbs.OpenInterfaceDbQuiet(1).isOpen());
    QVERIFY2(dbs.lastError(DbSlot::InterfaceQuiet1).contains("does not exist"),
             qPrintable(dbs.lastError(DbSlot::InterfaceQuiet1)));
    QCOMPARE(install.dialogs.last().text, DbMessages::interfaceFailed);
    QVERIFY(!QFile::exists(install.interfaceDbFile()));

    // Settings changed in the window take effect at the next open.
    dbs.setMayCreateInterface(true);
    context.settings.serverDatabase = QStringLiteral("second.db");
    QCOMPARE(dbs.OpenInterfaceDb().databaseName(), install.path() + "/second.db");
}

void tst_Databases::roundTrip_data()
{
    QTest::addColumn<bool>("odbc");
    QTest::newRow("embedded") << false;
    // No SQL Server is at hand: Qt's ODBC side (typed nulls, bound dates and Booleans, the schema in
    // a transaction) runs against the SQLite ODBC driver instead.
    QTest::newRow("odbc") << true;
}

void tst_Databases::roundTrip()
{
    QFETCH(bool, odbc);
    TestInstall install;
    std::unique_ptr<ScopedConnection> odbcConnection;
    QSqlDatabase db = install.context().databases().OpenInterfaceDb();
    if (odbc) {
        QVERIFY2(readAll("/etc/odbcinst.ini").contains("[SQLite3]"), "the SQLite3 ODBC driver is not registered");
        // A quote and blanks in the path. This driver reads no braced values and gets the string in
        // 8-bit characters, so Arabic is left to the bound values.
        const QString folder = install.path() + "/lab 'results'";
        QVERIFY(QDir().mkpath(folder));
        odbcConnection = std::make_unique<ScopedConnection>("QODBC");
        db = odbcConnection->db();
        db.setDatabaseName("DRIVER={SQLite3};Database=" + ConnectionStrings::odbcValue(folder + "/odbc.db"));
        QVERIFY2(db.open(), qPrintable(db.lastError().text()));
        const Schema::Outcome schema = Schema::ensureInterface(db, SqlEngine::Sqlite);
        QVERIFY2(schema, qPrintable(schema.error));
    }
    const QString name = QStringLiteral("أحمد 'الحلبي' \"أبو علي\"; DROP TABLE Result; --");
    const QList<std::pair<QString, QDate>> rows{
        {name, QDate(2026, 12, 5)}, {"O'Neil", QDate(2026, 11, 30)}, {"أحمد سامي", QDate(2027, 1, 2)}};
    for (const auto& [patient, date] : rows) {
        const auto added = SqlRun::insert(db, "Result",
                                          {{"Patientname", patient},
                                           {"Testdate", date},
                                           {"sending", true},
                                           {"ageN", 32.5},
                                           {"SampleID", SqlRun::nullText()},
                                           {"lowlimit", SqlRun::nullNumber()},
                                           {"comment", SqlRun::textOrNull(QString())}});
        QVERIFY2(added, qPrintable(added.errorText()));
    }
    const auto row = SqlRun::first(db, "SELECT * FROM Result WHERE Patientname=?", {name});
    QVERIFY(row);
    QCOMPARE(row->value("Patientname").toString(), name);
    QCOMPARE(SqlRun::toDate(row->value("Testdate")), QDate(2026, 12, 5));
    QCOMPARE(row->value("sending").toInt() + row->value("ageN").toDouble(), 33.5);
    for (const char* empty : {"SampleID", "lowlimit", "comment"})
        QVERIFY2(row->value(empty).isNull(), empty);

    // ISO text in the file, so that a range and the ordering work across a month and a year.
    QCOMPARE(scalar(db, "SELECT Testdate FROM Result WHERE Patientname=?", {"O'Neil"}), "2026-11-30");
    const auto range = SqlRun::select(
        db, "SELECT Patientname FROM Result WHERE Testdate >= ? AND Testdate <= ? ORDER BY Testdate DESC",
        {QDate(2026, 11, 30), QDate(2026, 12, 31)});
    QCOMPARE(column(range), (QStringList{name, "O'Neil"}));
    // Name completion takes a bound prefix, Arabic or in any letter case.
    QCOMPARE(SqlRun::select(db, "SELECT * FROM Result WHERE Patientname LIKE ?", {"أحمد%"}).records.size(), 2);
    QCOMPARE(scalar(db, "SELECT Patientname FROM Result WHERE Patientname=?", {"o'neil"}), "O'Neil");
    // No row and a refused statement both give nothing; the error tells them apart.
    QSqlError error;
    QVERIFY(!SqlRun::first(db, "SELECT * FROM Result WHERE Patientname=?", {"nobody"}, &error) && !error.isValid());
    QVERIFY(!SqlRun::first(db, "SELECT * FROM nowhere", {}, &error) && error.isValid());
    db.close();
    const auto closed = SqlRun::exec(db, "DELETE FROM Result");
    QVERIFY(!closed && DbErrors::isTransient(closed.error));
}

void tst_Databases::datesAndErrors()
{
    // A date column reads back as a date whatever the engine gives: a server's date or time, or text.
    const QDate day(2026, 11, 30);
    const QList<std::pair<QVariant, QDate>> dates{{QDateTime(day, QTime(23, 59)), day},
                                                  {day, day},
                                                  {"2026-11-30", day},
                                                  {" 2026-11-30 08:15:00.000", day},
                                                  {"2026-11-30T23:15:00+03:00", day},
                                                  {"30-Nov-2026", QDate()},
                                                  {QVariant(QMetaType::fromType<QString>()), QDate()}};
    for (const auto& [value, date] : dates)
        QVERIFY2(SqlRun::toDate(value) == date, qPrintable(value.toString()));

    // Errors that pass by themselves are retried; a statement the database refuses is not.
    const QList<std::tuple<QSqlError::ErrorType, QString, QString, bool>> errors{
        {QSqlError::ConnectionError, "", "", true},
        {QSqlError::StatementError, "5", "", true},   // SQLite busy
        {QSqlError::StatementError, "517", "", true}, // busy, an extended code
        {QSqlError::StatementError, "6", "", true},   // locked
        {QSqlError::StatementError, "10", "", true},  // disk I/O
        {QSqlError::StatementError, "13", "", true},  // disk full
        {QSqlError::StatementError, "19", "UNIQUE constraint failed", false},
        {QSqlError::StatementError, "08S01", "", true}, // ODBC: link failure
        {QSqlError::StatementError, "HYT00", "", true}, // time-outs
        {QSqlError::StatementError, "HYT01", "", true},
        {QSqlError::StatementError, "40001", "", true}, // deadlock victim
        {QSqlError::StatementError, "42S02", "Invalid object name", false},
        {QSqlError::StatementError, "", "database is locked", true},
        {QSqlError::StatementError, "", "the connection is not open", true},
    };
    for (const auto& [type, code, text, transient] : errors)
        QVERIFY2(DbErrors::isTransient(QSqlError(QString(), text, type, code)) == transient, qPrintable(code + text));
}

void tst_Databases::failures_data()
{
    QTest::addColumn<Failure>("c");
    const QString conn = DbMessages::connectionTitle;
    const QString iface = DbMessages::interfaceFailed;
    const QString lis = DbMessages::lisServerFailed;
    row("unknown engine", Failure{{"server/engine=oracle"}, DbSlot::Interface, conn, iface, true, 1, "oracle"});
    row("unknown engine, quiet slot",
        Failure{{"server/engine=oracle"}, DbSlot::InterfaceQuiet2, conn, iface, false, 1, "oracle"});
    row("no settings file", Failure{{"-"}, DbSlot::Interface, conn, iface, true, 1, "VIDASSETING.INI"});
    row("misspelt file",
        Failure{
            {"server/database=InterfaceVIDAS-misspelt.db"}, DbSlot::Interface, conn, iface, true, 1, "does not exist"});
    row("not a database", Failure{{"@corrupt"}, DbSlot::Interface, conn, iface, true, 1, "not a database"});
    row("read-only file", Failure{{"@read-only"}, DbSlot::Interface, conn, iface, true, 1, "read-only"});
    row("locked by another program", Failure{{"@locked"}, DbSlot::InterfaceQuiet2, conn, iface, false, 1, "locked"});
    row("new file cannot be made private",
        Failure{{"@private"}, DbSlot::Interface, conn, iface, true, 1, "cannot be made private"});
    row("lis file missing", Failure{{}, DbSlot::Lis, conn, lis, false, 1, "does not exist"});
    row("lis file without its tables",
        Failure{{"@patientinfo only"}, DbSlot::LisReceiver, conn, lis, false, 1, "patienttest"});
    row("lis server unreachable", Failure{{"corvanaserver/engine=sqlserver", "corvanaserver/odbcdriver=No Such Driver"},
                                          DbSlot::Lis,
                                          conn,
                                          lis,
                                          false,
                                          1,
                                          "No Such Driver"});
    row("jet file missing: tried twice",
        Failure{{"corvanaserver/CRVaccess=1"}, DbSlot::LisReceiver, conn, DbMessages::lisFileFailed, false, 2, ""});
    row("probe file cannot be made", Failure{{"@read-only folder"},
                                             DbSlot::Local,
                                             DbMessages::installTitle,
                                             DbMessages::localFailed,
                                             false,
                                             1,
                                             "read-only"});
}

void tst_Databases::failures()
{
    QFETCH(Failure, c);
    TestInstall install;
    const bool lisSide = c.slot == DbSlot::Lis || c.slot == DbSlot::LisReceiver;
    const QString file = lisSide ? install.lisDbFile() : install.interfaceDbFile();
    std::unique_ptr<ScopedConnection> other;
    const QString action = c.setup.value(0);
    if (action == "@corrupt") {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(QByteArray("not a database\n").repeated(300)) > 0);
    } else if (action == "@read-only" || action == "@read-only folder") {
        setWritable(action == "@read-only" ? file : install.path(), false);
    } else if (action == "@private") {
        QVERIFY(QFile::remove(file));
    } else if (action == "@locked" || action == "@patientinfo only") {
        other = std::make_unique<ScopedConnection>("QSQLITE");
        QVERIFY(other->openSqlite(file));
        const QStringList sql =
            action == "@locked" ? QStringList{"PRAGMA locking_mode=EXCLUSIVE", "BEGIN EXCLUSIVE", "DELETE FROM users"}
                                : QStringList{"CREATE TABLE patientinfo (x)"};
        for (const QString& statement : sql)
            QVERIFY(SqlRun::exec(other->db(), statement));
    } else {
        applySettings(install, c.setup);
    }
    Databases& dbs = install.context().databases();
    dbs.setSqliteBusyTimeout(50);
    dbs.setMayCreateInterface(action == "@private");
    QStringList recoveries;
    connect(&dbs, &Databases::recoveryRequested, this, [&](const QString& page) { recoveries << page; });
    int attempts = 0;
    dbs.setOpenObserver([&](DbSlot) { ++attempts; });
    const QStringList filesBefore = QDir(install.path()).entryList(QDir::Files);
    const QByteArray bytesBefore = readAll(file);

    refuseChmod = action == "@private";
    const QSqlDatabase db = openSlot(dbs, c.slot);
    refuseChmod = false;
    setWritable(install.path(), true);
    setWritable(file, true);

    QVERIFY(!db.isOpen());
    QCOMPARE(install.dialogs.shown.size(), 1);
    QCOMPARE(install.dialogs.last().icon, DialogIcon::Error);
    QCOMPARE(install.dialogs.last().title, c.title);
    QCOMPARE(install.dialogs.last().text, c.text);
    QCOMPARE(recoveries, c.recovery ? QStringList{"server"} : QStringList{});
    QCOMPARE(attempts, c.attempts);
    const QString error = dbs.lastError(c.slot);
    QVERIFY2(!error.isEmpty() && error.contains(c.reason), qPrintable(error));
    // Nothing half-written: no file made, none changed.
    QCOMPARE(QDir(install.path()).entryList(QDir::Files), filesBefore);
    QCOMPARE(readAll(file), bytesBefore);
}

void tst_Databases::statements_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("two, the last without ;") << QString("CREATE TABLE a (x int);\nSELECT 6 / 2 * 3 - 1")
                                             << QStringList{"CREATE TABLE a (x int)", "SELECT 6 / 2 * 3 - 1"};
    QTest::newRow("comments dropped") << QString("-- head; with a semicolon\nSELECT 1; /* a; b */ SELECT 2 -- tail;\n")
                                      << QStringList{"SELECT 1", "SELECT 2"};
    QTest::newRow("unclosed comment") << QString("SELECT 1; /* to the end; ") << QStringList{"SELECT 1"};
    QTest::newRow("; and -- in quotes") << QString(
                                               "INSERT INTO t VALUES ('a;b', 'it''s; --ok');SELECT \"c;d\" FROM [e;f]")
                                        << QStringList{"INSERT INTO t VALUES ('a;b', 'it''s; --ok')",
                                                       "SELECT \"c;d\" FROM [e;f]"};
    QTest::newRow("empty pieces") << QString(" ; ;\n;") << QStringList{};
}

void tst_Databases::statements()
{
    QFETCH(QString, script);
    QTEST(Schema::statements(script), "expected");
}

void tst_Databases::migrations_data()
{
    QTest::addColumn<Migration>("c");
    const QStringList v1{"CREATE TABLE Result (a TEXT)", "INSERT INTO Result VALUES ('نص ''x''')",
                         "CREATE TABLE schemaversion (version int)", "INSERT INTO schemaversion VALUES (1)"};
    const QStringList three{"CREATE TABLE Result (a TEXT)", "CREATE TABLE b AS SELECT a || '-2' AS x FROM Result",
                            "CREATE TABLE c AS SELECT x || '-3' AS y FROM b"};
    const int latest = Schema::latestInterfaceVersion();
    row("new database", Migration{{}, three, 0, "SELECT count(*) FROM c=0"});
    row("later steps in order, rows kept", Migration{v1, three, 1, "SELECT y FROM c=نص 'x'-2-3"});
    row("made before versions were kept", Migration{v1.mid(0, 2), three, 1, "SELECT version FROM schemaversion=3"});
    row("current: left alone", Migration{{"@migrate", "INSERT INTO users (patientusname) VALUES ('a')"},
                                         {},
                                         latest,
                                         "SELECT patientusname FROM users=a"});
    row("newer than the program", Migration{{"@migrate", "UPDATE schemaversion SET version=99"}, {}, -1, "version 99"});
    row("version row missing",
        Migration{{"CREATE TABLE schemaversion (version int)"}, three, -1, "schema version is missing"});
    row("failing step, new database",
        Migration{{},
                  {"CREATE TABLE Result (a)", "CREATE TABLE m (y); INSERT INTO nowhere VALUES (1)"},
                  -1,
                  "step 2: INSERT INTO nowhere"});
    row("failing step from version 1",
        Migration{
            v1, {"CREATE TABLE Result (a)", "CREATE TABLE m (y)", "INSERT INTO nowhere VALUES (1)"}, -1, "nowhere"});
    row("another program's database",
        Migration{{"CREATE TABLE patientinfo (id)"}, {}, -1, "other tables (patientinfo)"});
    row("current, without users and comments",
        Migration{{"@migrate", "DROP TABLE users", "DROP TABLE comments"},
                  {},
                  -1,
                  "table(s) users, comments of schema version " + QString::number(latest)});
    row("unversioned, without testtable",
        Migration{{"@step1", "DROP TABLE testtable"}, {}, -1, "lacks the table(s) testtable"});
    row("without a later step's table", Migration{{"@migrate", "DROP TABLE Held"},
                                                  {"CREATE TABLE Result (a)", "CREATE TABLE [Held] (y)"},
                                                  -1,
                                                  "lacks the table(s) Held"});
    row("a table a later step drops is not wanted",
        Migration{{"@migrate"},
                  {"CREATE TABLE Result (a); CREATE TABLE IF NOT EXISTS \"old\" (x)", "DROP TABLE old"},
                  2,
                  "SELECT count(*) FROM Result=0"});
}

void tst_Databases::migrations()
{
    QFETCH(Migration, c);
    QList<Schema::Migration> steps =
        c.steps.isEmpty() ? Schema::interfaceMigrations(SqlEngine::Sqlite) : QList<Schema::Migration>{};
    for (const QString& step : c.steps)
        steps.append({int(steps.size()) + 1, step});
    QTemporaryDir dir;
    ScopedConnection connection("QSQLITE");
    QSqlDatabase& db = connection.db();
    QVERIFY(connection.openSqlite(dir.filePath("s.db")));
    for (const QString& sql : c.before) {
        if (sql == "@migrate")
            QVERIFY(Schema::migrate(db, SqlEngine::Sqlite, steps));
        for (const QString& statement : sql == "@step1" ? Schema::statements(steps[0].sql) : QStringList{sql})
            QVERIFY2(statement.startsWith("@") || SqlRun::exec(db, statement), qPrintable(statement));
    }
    const QStringList tables = db.tables();
    const QString version = scalar(db, "SELECT version FROM schemaversion");

    const Schema::Outcome outcome = Schema::migrate(db, SqlEngine::Sqlite, steps);
    if (c.from < 0) {
        QVERIFY2(!outcome && outcome.error.contains(c.found), qPrintable(outcome.error));
        QCOMPARE(db.tables(), tables);
        QCOMPARE(scalar(db, "SELECT version FROM schemaversion"), version);
        return;
    }
    QVERIFY2(outcome, qPrintable(outcome.error));
    QCOMPARE(outcome.fromVersion, c.from);
    QCOMPARE(outcome.toVersion, steps.last().version);
    QCOMPARE(scalar(db, "SELECT version FROM schemaversion").toInt(), steps.last().version);
    QCOMPARE(scalar(db, c.found.section('=', 0, 0)), c.found.section('=', 1));
}

// The embedded schema as the program makes it, and the server's scripts, which are not run here.
void tst_Databases::interfaceSchema()
{
    TestInstall install;
    const QSqlDatabase db = install.context().databases().OpenInterfaceDb();
    // Keys come from the database; Booleans start false.
    const auto first = SqlRun::insert(db, "Result", {{"Patientname", "NEW"}});
    const auto second = SqlRun::insert(db, "Result", {{"Patientname", "NEW"}});
    QCOMPARE(second.lastInsertId.toInt(), first.lastInsertId.toInt() + 1);
    QCOMPARE(scalar(db, "SELECT sending FROM Result WHERE AutoNum=?", {first.lastInsertId}), "0");

    // Every look-up the program makes is answered through an index, not by reading the whole table.
    const QStringList lookups{"Result where Testdate >= ? AND Testdate <= ?",
                              "Result where patientid=? AND shortAssay=?",
                              "Result where patientid=? and crvtestid=?",
                              "Result where SampleID=? AND Testdate=? AND shortAssay=?",
                              "Result where Patientname = ? order by Testdate",
                              "Result where shortAssay=?",
                              "Result WHERE Patientname LIKE ? group by Patientname order By Patientname",
                              "Result WHERE DocName LIKE ? group by DocName order By DocName",
                              "testtable where shortAssay=?",
                              "testtable where crvtestid=?",
                              "testtable where testsimp=?",
                              "normalrange where testcode=? and REFRANGE='1' and pregsmok=?",
                              "comments where testcode=?",
                              "users where patientusname=? and patientword=?"};
    for (const QString& lookup : lookups) {
        const QString plan = column(SqlRun::select(db, "EXPLAIN QUERY PLAN SELECT * FROM " + lookup,
                                                   QVariantList(lookup.count(u'?'), "a%")),
                                    3)
                                 .join('|');
        QVERIFY2(plan.contains(QRegularExpression("USING (COVERING )?INDEX")), qPrintable(lookup + ": " + plan));
    }

    // The server's scripts leave the same tables and columns, with keys of their own and Unicode
    // texts for Arabic.
    QMap<QString, QStringList> server;
    static const QRegularExpression create(R"(^CREATE TABLE (\w+) \((.*)\)$)",
                                           QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression add(R"(^ALTER TABLE (\w+) ADD (\w+) )");
    static const QRegularExpression narrow(R"( (var)?char\(| text\b)");
    for (const Schema::Migration& step : Schema::interfaceMigrations(SqlEngine::SqlServer)) {
        for (const QString& statement : Schema::statements(step.sql)) {
            if (const auto added = add.match(statement); added.hasMatch())
                server[added.captured(1)] << added.captured(2);
            const auto made = create.match(statement);
            for (const QString& line : made.captured(2).split('\n', Qt::SkipEmptyParts)) {
                const QString definition = line.simplified();
                if (definition.isEmpty())
                    continue;
                QStringList& columns = server[made.captured(1)];
                QVERIFY2(columns.isEmpty() ? definition.contains(" int IDENTITY(1,1) NOT NULL PRIMARY KEY")
                                           : !definition.contains(narrow),
                         qPrintable(definition));
                columns << definition.section(' ', 0, 0);
            }
        }
    }
    QStringList tables = db.tables();
    tables.removeAll("schemaversion");
    tables.removeAll("sqlite_sequence");
    tables.sort();
    QCOMPARE(QStringList(server.keys()), tables);
    for (const QString& table : tables) {
        QStringList columns;
        for (int i = 0; i < db.record(table).count(); ++i)
            columns << db.record(table).fieldName(i);
        QCOMPARE(server[table], columns);
    }
    const auto indexes = [](const QString& script) {
        static const QRegularExpression index(R"(CREATE (?:UNIQUE )?INDEX (\w+) ON)");
        QStringList names;
        for (auto it = index.globalMatch(Schema::script(script)); it.hasNext();)
            names << it.next().captured(1);
        return names;
    };
    QCOMPARE(indexes("interface-sqlserver-001.sql"), indexes("interface-sqlite-001.sql"));
}

QTEST_GUILESS_MAIN(tst_Databases)
#include "tst_Databases.moc"
