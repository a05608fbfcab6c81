#include "DbSettings.h"

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

struct Failure
{
    QString setup; // settings "section/key=value,...", or "@" and what is done; "+": may make the file
    DbSlot slot;
    QString text;
    bool recovery; // the settings window is asked for
    int attempts;
    QString reason; // part of lastError()
};

struct Migration
{
    QStringList before; // run first; "@migrate": the steps
    QStringList steps;  // one script per version; none: the interface scripts
    int from;           // -1: refused, and nothing written
    QString found;      // refused: what the error says; else "probe=what it reads"
};

QSqlDatabase openSlot(Databases& dbs, DbSlot slot)
{
    return slot == DbSlot::Interface     ? dbs.OpenInterfaceDb()
           : slot == DbSlot::Lis         ? dbs.OpenLisDb()
           : slot == DbSlot::LisReceiver ? dbs.OpenLisDbForReceiver()
           : slot == DbSlot::Local       ? dbs.OpenLocalDb()
                                         : dbs.OpenInterfaceDbQuiet(static_cast<int>(slot)); // 1 to 4
}

QString scalar(const QSqlDatabase& db, const QString& sql, const QVariantList& values = {})
{
    const auto row = SqlRun::first(db, sql, values);
    return row ? row->value(0).toString() : QStringLiteral("(none)");
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void setWritable(const QString& path, bool writable)
{
    const auto write = QFileDevice::WriteOwner | QFileDevice::WriteUser | QFileDevice::WriteGroup;
    QFile::setPermissions(path, writable ? QFile::permissions(path) | write : QFile::permissions(path) & ~write);
}

} // namespace

// fchmod as this program sees it: a file system that keeps no permissions, played even by root.
extern "C" int fchmod(int fd, mode_t mode) noexcept
{
    return refuseChmod ? (errno = EPERM, -1) : static_cast<int>(syscall(SYS_fchmod, fd, mode));
}

Q_DECLARE_METATYPE(Failure)
Q_DECLARE_METATYPE(Migration)

class tst_Databases : public QObject
{
    Q_OBJECT

private slots:
    void connectionStrings_data();
    void connectionStrings();
    void textsAndFiles();
    void slotsAndFiles();
    void boundValues();
    void failures_data();
    void failures();
    void migrations_data();
    void migrations();
    void schema();
};

// The OLE DB texts are what support staff see and compare: checked character for character.
void tst_Databases::connectionStrings_data()
{
    QTest::addColumn<QStringList>("settings"); // LIS?, CRVaccess, authentication, server, user, password
    QTest::addColumn<QString>("oledb");
    const QString windows = "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Initial Catalog=";
    const QString sql = "Provider=SQLOLEDB.1;Password=%1;Persist Security Info=True;User ID=%2;Initial Catalog=%3;"
                        "Data Source=%4";
    const QString nul(QChar(u'\0'));
    const auto add = [](const char* name, const QStringList& settings, const QString& oledb) {
        QTest::newRow(name) << settings << oledb;
    };
    add("windows login leaves user and password out", {"", "0", "0", "LAB\\SQL", "sa", "pw"},
        windows + "InterfaceVIDAS;Data Source=LAB\\SQL");
    add("any nonzero value is a sql login", {"", "0", "7", "LAB", "sa", "s3"},
        sql.arg("s3", "sa", "InterfaceVIDAS", "LAB"));
    add("blanks and NULs as the settings file leaves them", {"", "0", "1", "  LAB" + nul + "junk ", " sa ", nul + "x"},
        sql.arg("", "sa", "InterfaceVIDAS", "LAB"));
    add("arabic, quotes, ; = and } kept", {"", "0", "1", "خادم'1", "us;er", "كلمة\"سر;w=1;}"},
        sql.arg("كلمة\"سر;w=1;}", "us;er", "InterfaceVIDAS", "خادم'1"));
    add("lis, sql login", {"lis", "0", "1", "CRV", "crv", "pw"}, sql.arg("pw", "crv", "Patients", "CRV"));
    add("lis on the jet file: no string", {"lis", "1", "1", "CRV", "crv", "pw"}, "");
    add("any nonzero access value", {"lis", "-3", "0", "CRV", "crv", "pw"}, "");
}

void tst_Databases::connectionStrings()
{
    QFETCH(QStringList, settings);
    AppSettings s;
    s.CRVaccess = static_cast<qint16>(settings[1].toInt());
    s.CRIauthentication = s.CRVauthentication = static_cast<qint16>(settings[2].toInt());
    s.serverName = s.lisServerName = settings[3];
    s.serverUserID = s.lisUserID = settings[4];
    s.serverPassword = s.lisPassword = settings[5];
    QTEST(settings[0].isEmpty() ? ConnectionStrings::InterfaceConnString(s) : ConnectionStrings::LisConnString(s),
          "oledb");
}

void tst_Databases::textsAndFiles()
{
    // Keys in any letter case; a segment that starts with no known key belongs to the value before it.
    QStringList pairs;
    for (const auto& [key, value] : ConnectionStrings::parse("=x;provider=X;PASSWORD=a;b=c;;User id=u;Data Source= S "))
        pairs << key + "|" + value;
    QCOMPARE(pairs, (QStringList{"|x", "provider|X", "PASSWORD|a;b=c;", "User id|u", "Data Source| S "}));
    QCOMPARE(ConnectionStrings::value("Password=p;DATA SOURCE=S", "data source"), QStringLiteral("S"));
    QVERIFY(ConnectionStrings::parse("").isEmpty() && ConnectionStrings::value("Password=p", "User ID").isEmpty());
    // An ODBC value is braced only where it would end the attribute or lose its blanks.
    QCOMPARE(ConnectionStrings::odbcValue(" a") + ConnectionStrings::odbcValue("a ") + ConnectionStrings::odbcValue(""),
             QStringLiteral("{ a}{a }"));
    QCOMPARE(ConnectionStrings::odbcForJet("/x/a;{b}.mdb", "D"), QStringLiteral("DRIVER={D};DBQ={/x/a;{b}}.mdb}"));

    // What a server or Jet slot opens, from the settings file as the program reads it.
    const QString jet = "DRIVER={%1};DBQ=%2/corvana system/bin/Patients.mdb";
    const QList<std::tuple<QStringList, DbSlot, QStringList>> targets{
        {{"server/engine=", "server/servername=SRV"},
         DbSlot::Interface,
         {"DRIVER={" + ConnectionStrings::defaultSqlServerDriver() +
          "};SERVER=SRV;DATABASE=InterfaceVIDAS;Trusted_Connection=yes"}},
        {{"server/engine=SqlServer", "server/servername=SRV", "server/odbcdriver=ODBC 18", "server/CRIauthentication=1",
          "server/UserID=us;er", "server/Password=p;w}"},
         DbSlot::InterfaceQuiet3,
         {"DRIVER={ODBC 18};SERVER=SRV;DATABASE=InterfaceVIDAS;UID={us;er};PWD={p;w}}}"}},
        {{"corvanaserver/CRVaccess=1"},
         DbSlot::LisReceiver, // the 64-bit driver first, then the old one
         {jet.arg("Microsoft Access Driver (*.mdb, *.accdb)", "%1"), jet.arg("Microsoft Access Driver (*.mdb)", "%1")}},
        {{"corvanaserver/CRVaccess=1", "corvanaserver/odbcdriver=MDBTools"}, DbSlot::Lis, {jet.arg("MDBTools", "%1")}}};
    for (const auto& [settings, slot, names] : targets) {
        TestInstall install;
        applySettings(install, settings);
        const ConnectionTarget t = install.context().databases().target(slot);
        QCOMPARE(QStringList{t.databaseName} + t.fallbackNames,
                 QStringList(names).replaceInStrings("%1", install.path()));
    }
    // A SQLite file named in the settings: inside the install folder, never outside it, never a folder.
    const QString folder = QStringLiteral("/opt/مختبر 'x'");
    for (QString file : {"|%1/InterfaceVIDAS.db", "data/lab.db|%1/data/lab.db", "data\\lab.db|%1/data/lab.db",
                         " بيانات 'المختبر'.db |%1/بيانات 'المختبر'.db", "/var/lib/lab.db|/var/lib/lab.db",
                         "../lab.db|", "data/../../lab.db|", "..\\lab.db|", "data/|", "data/.|"}) {
        QString error;
        const QString expected = file.section('|', 1).replace("%1", folder);
        file = ConnectionTargets::sqliteFile(folder, file.section('|', 0, 0), "InterfaceVIDAS.db", &error);
        QVERIFY2(file == expected && error.isEmpty() == !expected.isEmpty(), qPrintable(expected));
    }
    // The few fragments in which the engines' statements differ.
    const auto fragments = [](SqlEngine engine) {
        const Dialect d(engine);
        return "SELECT " + d.top(1) + "*" + d.limit(1) + " " + d.substring("p", 1, 12) + d.substring("p", 10, 3, ",") +
               " " + d.toRealOrNull("r") + " " + d.boolLiteral(true) + d.boolLiteral(false);
    };
    QCOMPARE(fragments(SqlEngine::SqlServer),
             QStringLiteral("SELECT TOP 1 * SUBSTRING(p, 1, 12)SUBSTRING(p,10,3) TRY_CONVERT(float, r) 10"));
    QCOMPARE(fragments(SqlEngine::Jet), QStringLiteral("SELECT TOP 1 * Mid(p, 1, 12)Mid(p,10,3) Val(r) TrueFalse"));
    QCOMPARE(fragments(SqlEngine::Sqlite),
             QStringLiteral("SELECT * LIMIT 1 substr(p, 1, 12)substr(p,10,3) CAST(r AS REAL) 10"));
}

void tst_Databases::slotsAndFiles()
{
    TestInstall install;
    AppContext& context = install.context();
    Databases& dbs = context.databases();
    int attempts = 0;
    dbs.setOpenObserver([&](DbSlot) { ++attempts; });
    // A LIS that was away is used as soon as it is there.
    QVERIFY(!dbs.OpenLisDb().isOpen());
    QVERIFY(install.installDemoData());
    const QString iface = install.interfaceDbFile();
    const QString lis = install.lisDbFile();
    const QByteArray lisBefore = readAll(lis);

    // Each opener has a connection of its own on its file, in WAL mode with synchronous=FULL.
    QSet<QString> names;
    for (int i = 0; i < 8; ++i) {
        const auto slot = static_cast<DbSlot>(i);
        const QSqlDatabase db = openSlot(dbs, slot);
        const QString file = slot == DbSlot::Local ? install.path() + "/LocalHistory.db"
                             : slot >= DbSlot::Lis ? lis
                                                   : iface;
        const QString table = slot == DbSlot::Local ? "history" : slot >= DbSlot::Lis ? "patienttest" : "lisoutbox";
        QVERIFY2(db.isOpen() && db.databaseName() == file && db.tables().contains(table), qPrintable(file));
        QCOMPARE(scalar(db, "PRAGMA journal_mode") + scalar(db, "PRAGMA synchronous"), QStringLiteral("wal2"));
        names << db.connectionName();
    }
    QCOMPARE(names.size(), 8);
    QVERIFY(install.dialogs.shown.size() == 1 && dbs.lastError(DbSlot::Lis).isEmpty());
    // Each slot sees what the others committed, on the connection it already has.
    const auto stored = SqlRun::insert(dbs.OpenInterfaceDbQuiet(4), "Result", {{"resultt1", "2.3"}});
    QVERIFY2(stored, qPrintable(stored.errorText()));
    QCOMPARE(scalar(dbs.OpenInterfaceDbQuiet(1), "SELECT resultt1 FROM Result"), "2.3");
    QVERIFY(SqlRun::update(dbs.OpenInterfaceDb(), "Result", {{"resultt1", "2.4"}}, "AutoNum=?", {stored.lastInsertId}));
    QCOMPARE(scalar(dbs.OpenInterfaceDbQuiet(4), "SELECT resultt1 FROM Result"), "2.4");
    QCOMPARE(attempts, 9);
    // A caller that closed its connection gets it opened again: the very one it holds.
    QSqlDatabase held = dbs.OpenInterfaceDbQuiet(4);
    held.close();
    QVERIFY(dbs.OpenInterfaceDbQuiet(4).isOpen() && held.isOpen());
    held = QSqlDatabase();
    QCOMPARE(attempts, 10);
    // Reading the LIS changed nothing in its file.
    dbs.closeAll();
    QCOMPARE(readAll(lis), lisBefore);

    // A file deleted under an open slot is reported, not made again empty.
    QVERIFY(dbs.OpenInterfaceDbQuiet(1).isOpen());
    for (const char* suffix : {"", "-wal", "-shm"})
        QFile::remove(iface + suffix);
    QVERIFY(!dbs.OpenInterfaceDbQuiet(1).isOpen() && !QFile::exists(iface) &&
            dbs.lastError(DbSlot::InterfaceQuiet1).contains("does not exist"));
    // Asked for, a file is made, with the schema, as the settings name it now, private with its journals.
    dbs.setMayCreateInterface(true);
    context.settings.serverDatabase = QStringLiteral("قاعدة 'النتائج' \"2\".db");
    const QString file = install.path() + QStringLiteral("/قاعدة 'النتائج' \"2\".db");
    QCOMPARE(dbs.OpenInterfaceDb().databaseName(), file);
    QCOMPARE(scalar(dbs.OpenInterfaceDb(), "SELECT version FROM schemaversion").toInt(),
             Schema::latestInterfaceVersion());
    const auto others = QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    for (const char* suffix : {"", "-wal", "-shm"})
        QVERIFY2(QFile::exists(file + suffix) && !(QFile::permissions(file + suffix) & others), suffix);
    // A context that goes takes its connections along.
    install.context();
    for (const QString& name : names)
        QVERIFY2(!QSqlDatabase::contains(name), qPrintable(name));
}

void tst_Databases::boundValues()
{
    TestInstall install;
    QSqlDatabase db = install.context().databases().OpenInterfaceDb();
    const QString name = QStringLiteral("أحمد 'الحلبي' \"أبو علي\"; DROP TABLE Result; --");
    const QList<std::pair<QString, QDate>> rows{
        {name, QDate(2026, 12, 5)}, {"O'Neil", QDate(2026, 11, 30)}, {"أحمد سامي", QDate(2027, 1, 2)}};
    const QString insert = "INSERT INTO Result (Patientname, Testdate, sending, ageN, SampleID, lowlimit, comment) "
                           "VALUES (?,?,?,?,?,?,?)";
    for (const auto& [patient, date] : rows) {
        const auto added = SqlRun::exec(
            db, insert,
            {patient, date, true, 32.5, SqlRun::nullText(), SqlRun::nullNumber(), SqlRun::textOrNull(QString())});
        QVERIFY2(added, qPrintable(added.errorText()));
    }
    const auto row = SqlRun::first(db, "SELECT * FROM Result WHERE Patientname=?", {name});
    QVERIFY(row && row->value("Patientname").toString() == name);
    QCOMPARE(SqlRun::toDate(row->value("Testdate")), QDate(2026, 12, 5));
    QCOMPARE(row->value("sending").toInt() + row->value("ageN").toDouble(), 33.5);
    QVERIFY(row->value("SampleID").isNull() && row->value("lowlimit").isNull() && row->value("comment").isNull());
    // Dates are ISO text in the file, so that a range and the ordering work across a month and a year.
    QCOMPARE(scalar(db, "SELECT Testdate FROM Result WHERE Patientname=?", {"O'Neil"}), "2026-11-30");
    const QString inRange = "SELECT group_concat(Patientname, '|') FROM (SELECT * FROM Result WHERE Testdate >= ? "
                            "AND Testdate <= ? ORDER BY Testdate DESC)";
    QCOMPARE(scalar(db, inRange, {QDate(2026, 11, 30), QDate(2026, 12, 31)}), name + "|O'Neil");
    // Name completion takes a bound prefix, Arabic or in any letter case.
    QCOMPARE(scalar(db, "SELECT count(*) FROM Result WHERE Patientname LIKE ?", {"أحمد%"}), "2");
    QCOMPARE(scalar(db, "SELECT Patientname FROM Result WHERE Patientname=?", {"o'neil"}), "O'Neil");
    // A statement refused when prepared or when run is reported; no row is no error.
    QVERIFY(!SqlRun::exec(db, "UPDATE nowhere SET a=1") &&
            !SqlRun::exec(db, "INSERT INTO Result (AutoNum) VALUES (?)", {row->value("AutoNum")}));
    QSqlError error;
    QVERIFY(!SqlRun::first(db, "SELECT * FROM Result WHERE Patientname=?", {"nobody"}, &error) && !error.isValid());
    QVERIFY(!SqlRun::first(db, "SELECT * FROM nowhere", {}, &error) && error.isValid());
    db.close();
    const auto closed = SqlRun::exec(db, "DELETE FROM Result");
    QVERIFY(!closed && DbErrors::isTransient(closed.error));

    // A date column reads back as a date whatever the engine gives: a server's date or time, or text.
    const QDate day(2026, 11, 30);
    for (const QVariant& value : QVariantList{QDateTime(day, QTime(23, 59)), day, "2026-11-30", " 2026-11-30 8:15",
                                              "2026-11-30T23:15:00+03:00"})
        QVERIFY2(SqlRun::toDate(value) == day, qPrintable(value.toString()));
    for (const QVariant& value : QVariantList{"30-Nov-2026", "", QVariant(QMetaType::fromType<QString>())})
        QVERIFY2(!SqlRun::toDate(value).isValid(), qPrintable(value.toString()));
    // What passes by itself is tried again (a lost link, a lock, a full disk); a refused statement is not.
    for (const char* code : {"5", "517", "6", "10", "13", "08S01", "HYT00", "HYT01", "40001"})
        QVERIFY2(DbErrors::isTransient(QSqlError(QString(), "x", QSqlError::StatementError, code)), code);
    for (const char* code : {"19", "2067", "42S02", "x"})
        QVERIFY2(!DbErrors::isTransient(QSqlError(QString(), "refused", QSqlError::StatementError, code)), code);
    for (const char* text : {"database is locked", "the connection is not open"})
        QVERIFY2(DbErrors::isTransient(QSqlError(QString(), text, QSqlError::StatementError)), text);
    QVERIFY(DbErrors::isTransient(QSqlError(QString(), QString(), QSqlError::ConnectionError)));
    // Only what a record can never meet is a refusal: the receive chain holds that record and waits
    // out every other error (a table away, a locking protocol error, a lock).
    for (const char* code : {"18", "19", "2067", "1811", "20", "23505", "23000", "22001"})
        QVERIFY2(DbErrors::isRefusal(QSqlError(QString(), "x", QSqlError::StatementError, code)), code);
    for (const char* code : {"1", "5", "15", "42S02", "42P01", "08S01", "x", "230", "2300", "19x"})
        QVERIFY2(!DbErrors::isRefusal(QSqlError(QString(), "x", QSqlError::StatementError, code)), code);
    QVERIFY(!DbErrors::isRefusal(QSqlError(QString(), "x", QSqlError::ConnectionError, "19")));
}

void tst_Databases::failures_data()
{
    QTest::addColumn<Failure>("c");
    const auto add = [](const char* name, const QString& setup, DbSlot slot, const QString& text, bool recovery,
                        int attempts, const QString& reason) {
        QTest::newRow(name) << Failure{setup, slot, text, recovery, attempts, reason};
    };
    const QString iface = DbMessages::interfaceFailed;
    const QString lis = DbMessages::lisServerFailed;
    add("no settings file", "-", DbSlot::Interface, iface, true, 1, "VIDASSETING.INI");
    add("not a database", "@corrupt", DbSlot::Interface, iface, true, 1, "not a database");
    add("read-only file", "@read-only", DbSlot::Interface, iface, true, 1, "read-only");
    add("locked by another program", "@locked", DbSlot::InterfaceQuiet2, iface, false, 1, "locked");
    add("newer than the program", "@newer", DbSlot::Interface, iface, true, 1, "newer than this program's");
    add("new file cannot be made private", "+@private", DbSlot::Interface, iface, true, 1, "cannot be made private");
    add("new file unusable: not left behind", "+@wal folder", DbSlot::Interface, iface, true, 1, "I/O");
    add("new file name too long", "+server/database=" + QString(130, u'ب') + ".db", DbSlot::Interface, iface, true, 1,
        "cannot be created");
    add("lis file missing, even where the interface's may be made", "+", DbSlot::Lis, lis, false, 1, "does not exist");
    add("lis file without its tables", "@patientinfo only", DbSlot::LisReceiver, lis, false, 1, "patienttest");
    add("lis server unreachable", "corvanaserver/engine=sqlserver,corvanaserver/odbcdriver=No Such Driver", DbSlot::Lis,
        lis, false, 1, "No Such Driver");
    add("jet file missing: tried twice", "corvanaserver/CRVaccess=1", DbSlot::LisReceiver, DbMessages::lisFileFailed,
        false, 2, "");
    add("probe file cannot be made", "@read-only folder", DbSlot::Local, DbMessages::localFailed, false, 1,
        "read-only");
}

void tst_Databases::failures()
{
    QFETCH(Failure, c);
    TestInstall install;
    const bool create = c.setup.startsWith('+'); // making the interface file was asked for
    const QString setup = c.setup.mid(create ? 1 : 0);
    const QString file =
        c.slot >= DbSlot::Lis && c.slot != DbSlot::Local ? install.lisDbFile() : install.interfaceDbFile();
    const QMap<QString, QStringList> sql{
        // done by another program on the file
        {"@locked", {"PRAGMA locking_mode=EXCLUSIVE", "BEGIN EXCLUSIVE", "DELETE FROM users"}},
        {"@patientinfo only", {"CREATE TABLE patientinfo (x)"}},
        {"@newer", {"UPDATE schemaversion SET version=99"}}};
    ScopedConnection other("QSQLITE");
    if (setup == "@corrupt") {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(QByteArray("not a database\n").repeated(300)) > 0);
    } else if (setup.startsWith("@read-only")) {
        setWritable(setup == "@read-only" ? file : install.path(), false);
    } else if (setup == "@private" || setup == "@wal folder") {
        QVERIFY(QFile::remove(file) && (setup == "@private" || QDir().mkdir(file + "-wal")));
    } else if (sql.contains(setup)) {
        QVERIFY(other.openSqlite(file));
        for (const QString& statement : sql[setup])
            QVERIFY(SqlRun::exec(other.db(), statement));
    } else if (!setup.isEmpty()) {
        applySettings(install, setup.split(','));
    }
    AppContext& context = install.context();
    Databases& dbs = context.databases();
    dbs.setSqliteBusyTimeout(50);
    dbs.setMayCreateInterface(create);
    QStringList recoveries;
    connect(&context, &AppContext::settingsWindowRequested, this, [&](const QString& page) { recoveries << page; });
    int attempts = 0;
    dbs.setOpenObserver([&](DbSlot) { ++attempts; });
    const QStringList filesBefore = QDir(install.path()).entryList(QDir::Files);
    const QByteArray bytesBefore = readAll(file);

    refuseChmod = setup == "@private";
    const QSqlDatabase db = openSlot(dbs, c.slot);
    refuseChmod = false;
    setWritable(install.path(), true);
    setWritable(file, true);
    QVERIFY(!db.isOpen());
    QVERIFY(install.dialogs.shown.size() == 1 && install.dialogs.last().icon == DialogIcon::Error);
    QCOMPARE(install.dialogs.last().title,
             c.slot == DbSlot::Local ? DbMessages::installTitle : DbMessages::connectionTitle);
    QCOMPARE(install.dialogs.last().text, c.text);
    QCOMPARE(recoveries, c.recovery ? QStringList{"server"} : QStringList{});
    QCOMPARE(attempts, c.attempts);
    QVERIFY2(!dbs.lastError(c.slot).isEmpty() && dbs.lastError(c.slot).contains(c.reason),
             qPrintable(dbs.lastError(c.slot)));
    // Nothing half-written: no file made, none changed.
    QCOMPARE(QDir(install.path()).entryList(QDir::Files), filesBefore);
    QCOMPARE(readAll(file), bytesBefore);
}

void tst_Databases::migrations_data()
{
    QTest::addColumn<Migration>("c");
    const auto add = [](const char* name, const QStringList& before, const QStringList& steps, int from,
                        const QString& found) {
        QTest::newRow(name) << Migration{before, steps, from, found};
    };
    const QStringList v1{"CREATE TABLE Result (a TEXT)", "INSERT INTO Result VALUES ('نص ''x''')",
                         "CREATE TABLE schemaversion (version int)", "INSERT INTO schemaversion VALUES (1)"};
    const QStringList three{"CREATE TABLE Result (a TEXT)", "CREATE TABLE b AS SELECT a || '-2' AS x FROM Result",
                            "CREATE TABLE c AS SELECT x || '-3' AS y FROM b"};
    add("later steps in order, rows kept", v1, three, 1, "SELECT y FROM c=نص 'x'-2-3");
    add("made before versions were kept", v1.mid(0, 2), three, 1, "SELECT version FROM schemaversion=3");
    add("current: left alone", {"@migrate", "INSERT INTO users (patientusname) VALUES ('a')"}, {},
        Schema::latestInterfaceVersion(), "SELECT patientusname FROM users=a");
    add("newer than the program", {"@migrate", "UPDATE schemaversion SET version=99"}, {}, -1, "version 99");
    add("a failing step writes nothing", {},
        {"CREATE TABLE Result (a)", "CREATE TABLE m (y); INSERT INTO nowhere VALUES (1)"}, -1,
        "step 2: INSERT INTO nowhere");
    add("another program's database", {"CREATE TABLE patientinfo (id)"}, {}, -1, "other tables (patientinfo)");
    add("unversioned, without a table of the first step", {"CREATE TABLE Result (a)"},
        {"CREATE TABLE Result (a); CREATE TABLE t (b)", "CREATE TABLE u (c)"}, -1, "lacks the table(s) t of");
    add("without a later step's table", {"@migrate", "DROP TABLE Held"},
        {"CREATE TABLE Result (a)", "CREATE TABLE [Held] (y)"}, -1, "lacks the table(s) Held of schema version 2");
    add("a table a later step drops is not wanted", {"@migrate"},
        {"CREATE TABLE Result (a); CREATE TABLE IF NOT EXISTS \"old\" (x)", "DROP TABLE old"}, 2,
        "SELECT count(*) FROM Result=0");
}

void tst_Databases::migrations()
{
    QFETCH(Migration, c);
    QList<Schema::Migration> steps = Schema::interfaceMigrations(SqlEngine::Sqlite).mid(0, c.steps.isEmpty() ? -1 : 0);
    for (const QString& step : c.steps)
        steps.append({int(steps.size()) + 1, step});
    QTemporaryDir dir;
    ScopedConnection connection("QSQLITE");
    QSqlDatabase& db = connection.db();
    QVERIFY(connection.openSqlite(dir.filePath("s.db")));
    for (const QString& sql : c.before) {
        if (sql == "@migrate")
            QVERIFY(Schema::migrate(db, SqlEngine::Sqlite, steps));
        else
            QVERIFY2(SqlRun::exec(db, sql), qPrintable(sql));
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
    QVERIFY2(outcome && outcome.fromVersion == c.from && outcome.toVersion == steps.last().version,
             qPrintable(outcome.error));
    QCOMPARE(scalar(db, "SELECT version FROM schemaversion").toInt(), steps.last().version);
    QCOMPARE(scalar(db, c.found.section('=', 0, 0)), c.found.section('=', 1));
}

void tst_Databases::schema()
{
    // A script splits at ";" outside quotes and comments.
    const QList<std::pair<QString, QStringList>> scripts{
        {"CREATE TABLE a (x);\nSELECT 6 / 2 * 3 - 1", {"CREATE TABLE a (x)", "SELECT 6 / 2 * 3 - 1"}},
        {"-- head; with a semicolon\nSELECT 1; /* a; b */ SELECT 2 -- tail;\n", {"SELECT 1", "SELECT 2"}},
        {"SELECT 1; /* to the end; ", {"SELECT 1"}},
        {"INSERT INTO t VALUES ('', 'a;b', 'it''s; --ok');SELECT \"c;d\" FROM [e;f]",
         {"INSERT INTO t VALUES ('', 'a;b', 'it''s; --ok')", "SELECT \"c;d\" FROM [e;f]"}},
        {" ; ;\n;", {}}};
    for (const auto& [script, expected] : scripts)
        QCOMPARE(Schema::statements(script), expected);

    // Keys come from the database; Booleans start false. Every look-up the program makes is answered
    // through an index, not by reading the whole table.
    TestInstall install;
    const QSqlDatabase db = install.context().databases().OpenInterfaceDb();
    const auto added = SqlRun::insert(db, "Result", {{"Patientname", "NEW"}});
    QCOMPARE(scalar(db, "SELECT sending FROM Result WHERE AutoNum=?", {added.lastInsertId}), "0");
    for (const QString& lookup : QStringList{
             "Result where Testdate >= ? AND Testdate <= ?",
             "Result where patientid=? AND shortAssay=? AND Testdate= ?", "Result where patientid=? and crvtestid=?",
             "Result where SampleID=? AND Testdate=? AND shortAssay=?",
             "Result where Patientname = ? order by Testdate", "Result where shortAssay=?",
             "Result WHERE Patientname LIKE ? group by Patientname order By Patientname",
             "Result WHERE DocName LIKE ? group by DocName order By DocName", "testtable where shortAssay=?",
             "testtable where crvtestid=?", "testtable where testsimp=?",
             "normalrange where testcode=? and REFRANGE='1' and pregsmok=?", "comments where testcode=?",
             "users where patientusname=?", "rememberedlogin where tokenhash=?"}) {
        const auto plan =
            SqlRun::select(db, "EXPLAIN QUERY PLAN SELECT * FROM " + lookup, QVariantList(lookup.count('?'), "a%"));
        QVERIFY2(plan && plan.records.first().value(3).toString().contains(" INDEX "), qPrintable(lookup));
    }

    // The server's scripts (not run here): the same tables, columns, indexes; own keys; Unicode texts.
    const auto names = [](SqlEngine engine, qsizetype steps, const QString& pattern) {
        QStringList found;
        const QRegularExpression name(pattern, QRegularExpression::MultilineOption);
        for (const Schema::Migration& step : Schema::interfaceMigrations(engine).mid(0, steps)) {
            for (auto it = name.globalMatch(Schema::statements(step.sql).join(";\n")); it.hasNext();)
                found << it.next().captured(1);
        }
        return found;
    };
    const auto server = SqlEngine::SqlServer;
    const auto embedded = SqlEngine::Sqlite;
    for (const char* pattern : {R"(CREATE TABLE (\w+))", R"((?:^\s+|ADD (?:COLUMN )?)(\w+)\s)"})
        QCOMPARE(names(server, -1, pattern), names(embedded, -1, pattern));
    const QString index = R"(CREATE (?:UNIQUE )?INDEX (\w+))";
    QCOMPARE(names(server, 1, index), names(embedded, 1, index));
    QCOMPARE(names(server, -1, R"(CREATE TABLE (\w+) \(\s+\w+\s+int IDENTITY\(1,1\) NOT NULL PRIMARY KEY,)"),
             names(embedded, -1, R"(CREATE TABLE (\w+))"));
    QCOMPARE(names(server, -1, R"(\s((var)?char\(|text\b))"), QStringList{});
}

QTEST_GUILESS_MAIN(tst_Databases)
#include "tst_Databases.moc"
