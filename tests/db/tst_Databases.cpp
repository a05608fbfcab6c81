#include "TestInstall.h"

#include "config/IniFile.h"
#include "db/Databases.h"
#include "db/DbMessages.h"
#include "db/ScopedConnection.h"
#include "db/SqlRun.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTest>

namespace {

enum class Opener
{
    Interface,
    Quiet2,
    Lis,
    LisReceiver,
    Local
};

enum class Setup
{
    UnknownEngine,
    ParentFolderPath,
    MissingFolder,
    ServerUnreachable,
    SettingsFileMissing,
    CorruptFile,
    ReadOnlyFile,
    LockedFile,
    InterfaceFileMissing,
    LisFileMissing,
    LisFileWithoutTables,
    JetFileMissing,
    ReadOnlyInstallFolder,
};

QSqlDatabase openWith(Databases& dbs, Opener opener)
{
    switch (opener) {
    case Opener::Interface:
        return dbs.OpenInterfaceDb();
    case Opener::Quiet2:
        return dbs.OpenInterfaceDbQuiet(2);
    case Opener::Lis:
        return dbs.OpenLisDb();
    case Opener::LisReceiver:
        return dbs.OpenLisDbForReceiver();
    case Opener::Local:
        return dbs.OpenLocalDb();
    }
    return {};
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
    QFile::Permissions p = QFile::permissions(path);
    QFile::setPermissions(path, writable ? (p | QFileDevice::WriteOwner | QFileDevice::WriteUser) : (p & ~write));
}

} // namespace

Q_DECLARE_METATYPE(Opener)
Q_DECLARE_METATYPE(Setup)

class tst_Databases : public QObject
{
    Q_OBJECT

private slots:
    void createsInterfaceOnlyWhenAsked();
    void sameSlotTwiceKeepsOneConnection();
    void slotsSeeEachOthersCommits();
    void roundTripArabicQuotesNullsDates();
    void opensLisWithoutChangingIt();
    void localProbeFile();
    void failures_data();
    void failures();
    void jetFileTriedTwice();
    void recoversOnceTheCauseIsGone();
    void deletedFileIsNotMadeAgain();
    void followsChangedSettings();
    void arabicAndQuotesInTheInstallFolder();
};

void tst_Databases::createsInterfaceOnlyWhenAsked()
{
    TestInstall install;
    QVERIFY(QFile::remove(install.interfaceDbFile()));
    AppContext& context = install.context();
    context.databases().setMayCreateInterface(true);
    QSqlDatabase db = context.databases().OpenInterfaceDb();
    QVERIFY2(db.isOpen(), qPrintable(context.databases().lastError(DbSlot::Interface)));
    QVERIFY(install.dialogs.shown.isEmpty());
    QVERIFY(QFile::exists(install.interfaceDbFile()));
    for (const char* table : {"Result", "testtable", "normalrange", "comments", "users", "schemaversion"})
        QVERIFY2(db.tables().contains(QString::fromLatin1(table)), table);

    auto mode = SqlRun::first(db, "PRAGMA journal_mode");
    QVERIFY(mode);
    QCOMPARE(mode->value(0).toString(), QStringLiteral("wal"));
    auto sync = SqlRun::first(db, "PRAGMA synchronous");
    QVERIFY(sync);
    QCOMPARE(sync->value(0).toInt(), 2); // FULL
    QCOMPARE(context.databases().dialect(DbSlot::Interface).engine(), SqlEngine::Sqlite);
    QCOMPARE(context.databases().dialect(DbSlot::Lis).engine(), SqlEngine::Sqlite);
}

void tst_Databases::sameSlotTwiceKeepsOneConnection()
{
    TestInstall install;
    Databases& dbs = install.context().databases();
    int attempts = 0;
    dbs.setOpenObserver([&](DbSlot) { ++attempts; });
    QSqlDatabase first = dbs.OpenInterfaceDb();
    QVERIFY(first.isOpen());
    QVERIFY(SqlRun::insert(first, "users", {{"patientusname", "a"}}));
    QSqlDatabase second = dbs.OpenInterfaceDb();
    QCOMPARE(second.connectionName(), first.connectionName());
    QCOMPARE(attempts, 1);
    QVERIFY(first.isOpen());
    int named = 0;
    for (const QString& name : QSqlDatabase::connectionNames())
        named += name == first.connectionName() ? 1 : 0;
    QCOMPARE(named, 1);

    // A caller that closed the connection gets it opened again.
    second.close();
    QSqlDatabase third = dbs.OpenInterfaceDb();
    QVERIFY(third.isOpen());
    QCOMPARE(attempts, 2);
    QCOMPARE(SqlRun::select(third, "SELECT * FROM users").records.size(), 1);

    // Every slot has a name of its own.
    QSet<QString> names;
    for (int i = 0; i < 8; ++i)
        names.insert(dbs.connectionName(static_cast<DbSlot>(i)));
    QCOMPARE(names.size(), 8);
}

void tst_Databases::slotsSeeEachOthersCommits()
{
    TestInstall install;
    Databases& dbs = install.context().databases();
    QSqlDatabase receiver = dbs.OpenInterfaceDbQuiet(4);
    QSqlDatabase grid = dbs.OpenInterfaceDbQuiet(1);
    QSqlDatabase main = dbs.OpenInterfaceDb();
    QVERIFY(receiver.isOpen() && grid.isOpen() && main.isOpen());
    QVERIFY(receiver.connectionName() != grid.connectionName());

    // The grid reads before and after the receiver stores: the second read sees the new row.
    QCOMPARE(SqlRun::select(grid, "SELECT * FROM Result").records.size(), 0);
    const auto stored = SqlRun::insert(receiver, "Result", {{"SampleID", "260114000123"}, {"resultt1", "2.35"}});
    QVERIFY2(stored, qPrintable(stored.errorText()));
    grid = dbs.OpenInterfaceDbQuiet(1);
    auto rows = SqlRun::select(grid, "SELECT resultt1 FROM Result WHERE SampleID=?", {"260114000123"});
    QCOMPARE(rows.records.size(), 1);

    // An edit on the main slot is what the receiver finds next.
    QVERIFY(SqlRun::update(dbs.OpenInterfaceDb(), "Result", {{"resultt1", "2.4"}}, "AutoNum=?", {stored.lastInsertId}));
    const auto row = SqlRun::first(dbs.OpenInterfaceDbQuiet(4), "SELECT resultt1 FROM Result WHERE AutoNum=?",
                                   {stored.lastInsertId});
    QVERIFY(row);
    QCOMPARE(row->value(0).toString(), QStringLiteral("2.4"));
}

void tst_Databases::roundTripArabicQuotesNullsDates()
{
    TestInstall install;
    QSqlDatabase db = install.context().databases().OpenInterfaceDb();
    QVERIFY(db.isOpen());
    const QString name = QStringLiteral("أحمد 'الحلبي' \"أبو علي\"; DROP TABLE Result; --");
    const QList<std::pair<QString, QDate>> rows{{name, QDate(2026, 12, 5)},
                                                {QStringLiteral("O'Neil"), QDate(2026, 11, 30)},
                                                {QStringLiteral("أحمد سامي"), QDate(2027, 1, 2)}};
    for (const auto& [patient, date] : rows) {
        const auto added = SqlRun::insert(db, "Result",
                                          {{"Patientname", patient},
                                           {"Testdate", date},
                                           {"sending", true},
                                           {"SampleID", SqlRun::nullText()},
                                           {"ageN", SqlRun::nullNumber()},
                                           {"comment", SqlRun::textOrNull(QString())},
                                           {"DocName", SqlRun::textOrNull("د/ سامي")}});
        QVERIFY2(added, qPrintable(added.errorText()));
    }

    const auto row = SqlRun::first(db, "SELECT * FROM Result WHERE Patientname=?", {name});
    QVERIFY(row);
    QCOMPARE(row->value("Patientname").toString(), name);
    QCOMPARE(SqlRun::toDate(row->value("Testdate")), QDate(2026, 12, 5));
    QVERIFY(row->value("SampleID").isNull());
    QVERIFY(row->value("ageN").isNull());
    QVERIFY(row->value("comment").isNull());
    QCOMPARE(row->value("sending").toInt(), 1);
    QCOMPARE(row->value("DocName").toString(), QStringLiteral("د/ سامي"));

    // Stored as ISO text, so a range and the ordering work across a month and a year.
    auto inRange = SqlRun::select(db,
                                  "SELECT Patientname FROM Result WHERE Testdate >= ? AND Testdate <= ? "
                                  "ORDER BY Testdate DESC",
                                  {QDate(2026, 11, 30), QDate(2026, 12, 31)});
    QVERIFY2(inRange, qPrintable(inRange.errorText()));
    QCOMPARE(inRange.records.size(), 2);
    QCOMPARE(inRange.records[0].value(0).toString(), name);
    QCOMPARE(inRange.records[1].value(0).toString(), QStringLiteral("O'Neil"));
    auto stored = SqlRun::first(db, "SELECT Testdate FROM Result WHERE Patientname=?", {"O'Neil"});
    QCOMPARE(stored->value(0).toString(), QStringLiteral("2026-11-30"));

    // Name completion: a bound prefix, Arabic or with any letter case.
    auto prefix = SqlRun::select(db,
                                 "SELECT Patientname FROM Result WHERE Patientname LIKE ? GROUP BY Patientname "
                                 "ORDER BY Patientname",
                                 {QStringLiteral("أحمد%")});
    QCOMPARE(prefix.records.size(), 2);
    QCOMPARE(SqlRun::select(db, "SELECT * FROM Result WHERE Patientname=?", {"o'neil"}).records.size(), 1);
    QCOMPARE(SqlRun::select(db, "SELECT * FROM Result").records.size(), 3);
}

void tst_Databases::opensLisWithoutChangingIt()
{
    TestInstall install;
    QVERIFY(install.installDemoData());
    const QByteArray before = readAll(install.lisDbFile());
    Databases& dbs = install.context().databases();
    QSqlDatabase lis = dbs.OpenLisDb();
    QVERIFY2(lis.isOpen(), qPrintable(dbs.lastError(DbSlot::Lis)));
    QSqlDatabase receiver = dbs.OpenLisDbForReceiver();
    QVERIFY(receiver.isOpen());
    QVERIFY(lis.connectionName() != receiver.connectionName());
    QStringList tables = lis.tables();
    tables.sort();
    QCOMPARE(tables, (QStringList{"patientinfo", "patienttest"}));

    const Dialect d = dbs.dialect(DbSlot::LisReceiver);
    const auto patient = SqlRun::first(
        receiver, "SELECT patientid,patientnamear FROM patientinfo WHERE " + d.substring("patientid", 1, 12) + " =? ",
        {"260114000123"});
    QVERIFY(patient);
    QCOMPARE(patient->value(0).toString(), QStringLiteral("2601140001230"));
    const auto today = SqlRun::select(lis, "SELECT patientid FROM patienttest WHERE requestdate=? AND testcode=?",
                                      {install.clock.today(), 501});
    QCOMPARE(today.records.size(), 2);
    dbs.closeAll();
    QVERIFY(install.dialogs.shown.isEmpty());
    // Opening and reading changed nothing in the LIS file (the WAL is folded back on close).
    QCOMPARE(readAll(install.lisDbFile()), before);
}

void tst_Databases::localProbeFile()
{
    TestInstall install;
    Databases& dbs = install.context().databases();
    QSqlDatabase local = dbs.OpenLocalDb();
    QVERIFY2(local.isOpen(), qPrintable(dbs.lastError(DbSlot::Local)));
    QVERIFY(QFile::exists(QDir(install.path()).filePath("LocalHistory.db")));
    const auto rows = SqlRun::select(local, "Select * FROM history where requestdate=? ", {install.clock.today()});
    QVERIFY2(rows, qPrintable(rows.errorText()));
    QVERIFY(rows.isEmpty());
    QCOMPARE(dbs.dialect(DbSlot::Local).engine(), SqlEngine::Sqlite);
}

void tst_Databases::failures_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<Opener>("opener");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("recovery");
    QTest::addColumn<QString>("detail");

    const QString conn = DbMessages::connectionTitle;
    const QString iface = DbMessages::interfaceFailed;
    const QString lisServer = DbMessages::lisServerFailed;
    QTest::newRow("unknown engine") << Setup::UnknownEngine << Opener::Interface << conn << iface << true << "oracle";
    QTest::newRow("unknown engine, quiet slot")
        << Setup::UnknownEngine << Opener::Quiet2 << conn << iface << false << "oracle";
    QTest::newRow("path with ..") << Setup::ParentFolderPath << Opener::Interface << conn << iface << true << "..";
    QTest::newRow("folder missing") << Setup::MissingFolder << Opener::Interface << conn << iface << true
                                    << "does not exist";
    QTest::newRow("server unreachable") << Setup::ServerUnreachable << Opener::Interface << conn << iface << true << "";
    QTest::newRow("settings file missing")
        << Setup::SettingsFileMissing << Opener::Interface << conn << iface << true << "VIDASSETING.INI";
    QTest::newRow("corrupt file") << Setup::CorruptFile << Opener::Interface << conn << iface << true
                                  << "not a database";
    QTest::newRow("read-only file") << Setup::ReadOnlyFile << Opener::Interface << conn << iface << true << "read-only";
    QTest::newRow("locked file") << Setup::LockedFile << Opener::Quiet2 << conn << iface << false << "locked";
    QTest::newRow("interface file missing")
        << Setup::InterfaceFileMissing << Opener::Interface << conn << iface << true << "does not exist";
    QTest::newRow("interface file missing, quiet slot")
        << Setup::InterfaceFileMissing << Opener::Quiet2 << conn << iface << false << "does not exist";
    QTest::newRow("lis file missing") << Setup::LisFileMissing << Opener::Lis << conn << lisServer << false
                                      << "does not exist";
    QTest::newRow("lis file missing, receiver")
        << Setup::LisFileMissing << Opener::LisReceiver << conn << lisServer << false << "does not exist";
    QTest::newRow("lis file without tables")
        << Setup::LisFileWithoutTables << Opener::Lis << conn << lisServer << false << "patientinfo";
    QTest::newRow("lis server unreachable")
        << Setup::ServerUnreachable << Opener::Lis << conn << lisServer << false << "";
    QTest::newRow("lis unknown engine") << Setup::UnknownEngine << Opener::Lis << conn << lisServer << false
                                        << "[corvanaserver] engine";
    QTest::newRow("jet file missing") << Setup::JetFileMissing << Opener::Lis << conn << DbMessages::lisFileFailed
                                      << false << "";
    QTest::newRow("local file cannot be made")
        << Setup::ReadOnlyInstallFolder << Opener::Local << DbMessages::installTitle << DbMessages::localFailed << false
        << "read-only";
}

void tst_Databases::failures()
{
    QFETCH(Setup, setup);
    QFETCH(Opener, opener);
    TestInstall install;
    const bool lisSide = opener == Opener::Lis || opener == Opener::LisReceiver;
    const QString section = lisSide ? QStringLiteral("corvanaserver") : QStringLiteral("server");
    const QString file = lisSide ? install.lisDbFile() : install.interfaceDbFile();
    std::unique_ptr<ScopedConnection> locker;
    QByteArray corrupt;
    switch (setup) {
    case Setup::UnknownEngine:
        install.setSetting(section, "engine", "oracle");
        break;
    case Setup::ParentFolderPath:
        install.setSetting(section, "database", "../InterfaceVIDAS.db");
        break;
    case Setup::MissingFolder:
        install.setSetting(section, "database", "no such folder/InterfaceVIDAS.db");
        break;
    case Setup::ServerUnreachable:
        install.setSetting(section, "engine", "sqlserver");
        install.setSetting(section, "servername", "127.0.0.1,1");
        install.setSetting(section, "odbcdriver", "No Such ODBC Driver");
        break;
    case Setup::SettingsFileMissing:
        QVERIFY(QFile::remove(install.settingsIni()));
        break;
    case Setup::CorruptFile: {
        corrupt = QByteArray("this is not what a database looks like\n").repeated(200);
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(corrupt);
        break;
    }
    case Setup::ReadOnlyFile:
        QVERIFY(install.createDatabases());
        setWritable(file, false);
        break;
    case Setup::LockedFile:
        QVERIFY(install.createDatabases());
        locker = std::make_unique<ScopedConnection>("QSQLITE");
        QVERIFY(locker->openSqlite(file));
        QVERIFY(SqlRun::exec(locker->db(), "PRAGMA locking_mode=EXCLUSIVE"));
        QVERIFY(SqlRun::exec(locker->db(), "BEGIN EXCLUSIVE"));
        QVERIFY(SqlRun::exec(locker->db(), "DELETE FROM users"));
        break;
    case Setup::InterfaceFileMissing:
        install.setSetting(section, "database", "InterfaceVIDAS-misspelt.db");
        break;
    case Setup::LisFileMissing:
        break;
    case Setup::LisFileWithoutTables: {
        ScopedConnection empty("QSQLITE");
        QVERIFY(empty.openSqlite(file));
        break;
    }
    case Setup::JetFileMissing:
        install.setSetting("corvanaserver", "CRVaccess", "1");
        break;
    case Setup::ReadOnlyInstallFolder:
        setWritable(install.path(), false);
        break;
    }

    AppContext& context = install.context();
    Databases& dbs = context.databases();
    dbs.setSqliteBusyTimeout(50);
    QStringList recoveries;
    connect(&dbs, &Databases::recoveryRequested, this, [&](const QString& page) { recoveries << page; });

    const QSqlDatabase db = openWith(dbs, opener);
    setWritable(install.path(), true);
    setWritable(file, true);

    QVERIFY(!db.isOpen());
    QCOMPARE(install.dialogs.shown.size(), 1);
    QCOMPARE(install.dialogs.last().icon, DialogIcon::Error);
    QTEST(install.dialogs.last().title, "title");
    QTEST(install.dialogs.last().text, "text");
    QFETCH(bool, recovery);
    QCOMPARE(recoveries, recovery ? QStringList{"server"} : QStringList{});
    QFETCH(QString, detail);
    const DbSlot slot = opener == Opener::Interface ? DbSlot::Interface
                        : opener == Opener::Quiet2  ? DbSlot::InterfaceQuiet2
                        : opener == Opener::Lis     ? DbSlot::Lis
                        : opener == Opener::Local   ? DbSlot::Local
                                                    : DbSlot::LisReceiver;
    QVERIFY(!dbs.lastError(slot).isEmpty());
    QVERIFY2(dbs.lastError(slot).contains(detail, Qt::CaseInsensitive), qPrintable(dbs.lastError(slot)));

    // Nothing half-written: no file where none was, a damaged file left as it was.
    if (setup == Setup::LisFileMissing)
        QVERIFY(!QFile::exists(file));
    if (setup == Setup::MissingFolder)
        QVERIFY(!QFile::exists(QDir(install.path()).filePath("no such folder")));
    if (setup == Setup::InterfaceFileMissing)
        QCOMPARE(QDir(install.path()).entryList({"InterfaceVIDAS-misspelt*"}), QStringList{});
    if (setup == Setup::ParentFolderPath)
        QVERIFY(!QFile::exists(QDir(install.path()).filePath("../InterfaceVIDAS.db")));
    if (setup == Setup::CorruptFile)
        QCOMPARE(readAll(file), corrupt);
    if (setup == Setup::LockedFile) {
        QVERIFY(SqlRun::exec(locker->db(), "ROLLBACK"));
        locker.reset();
    }
}

void tst_Databases::jetFileTriedTwice()
{
    TestInstall install;
    install.setSetting("corvanaserver", "CRVaccess", "1");
    Databases& dbs = install.context().databases();
    QList<DbSlot> attempts;
    dbs.setOpenObserver([&](DbSlot slot) { attempts << slot; });
    QVERIFY(!dbs.OpenLisDbForReceiver().isOpen());
    QCOMPARE(attempts, (QList<DbSlot>{DbSlot::LisReceiver, DbSlot::LisReceiver}));
    QCOMPARE(install.dialogs.shown.size(), 1);
    QCOMPARE(install.dialogs.last().text, DbMessages::lisFileFailed);
    QCOMPARE(dbs.dialect(DbSlot::LisReceiver).engine(), SqlEngine::Jet);

    // A server LIS gets one attempt.
    attempts.clear();
    install.setSetting("corvanaserver", "CRVaccess", "0");
    install.setSetting("corvanaserver", "engine", "sqlserver");
    install.setSetting("corvanaserver", "odbcdriver", "No Such ODBC Driver");
    Databases& again = install.context().databases();
    again.setOpenObserver([&](DbSlot slot) { attempts << slot; });
    QVERIFY(!again.OpenLisDb().isOpen());
    QCOMPARE(attempts.size(), 1);
    QCOMPARE(install.dialogs.last().text, DbMessages::lisServerFailed);
}

void tst_Databases::recoversOnceTheCauseIsGone()
{
    TestInstall install;
    Databases& dbs = install.context().databases();
    QVERIFY(!dbs.OpenLisDb().isOpen());
    QCOMPARE(install.dialogs.shown.size(), 1);
    QVERIFY(install.createDatabases());
    QVERIFY(dbs.OpenLisDb().isOpen());
    QVERIFY(dbs.lastError(DbSlot::Lis).isEmpty());
    QCOMPARE(install.dialogs.shown.size(), 1);
}

void tst_Databases::deletedFileIsNotMadeAgain()
{
    TestInstall install;
    Databases& dbs = install.context().databases();
    QVERIFY(SqlRun::insert(dbs.OpenInterfaceDbQuiet(3), "comments", {{"Comments", "x"}}));
    for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
        QFile::remove(install.interfaceDbFile() + suffix);
    QVERIFY(!dbs.OpenInterfaceDbQuiet(3).isOpen());
    QVERIFY2(dbs.lastError(DbSlot::InterfaceQuiet3).contains("does not exist"),
             qPrintable(dbs.lastError(DbSlot::InterfaceQuiet3)));
    QCOMPARE(install.dialogs.last().text, DbMessages::interfaceFailed);
    QVERIFY(!QFile::exists(install.interfaceDbFile()));
}

void tst_Databases::followsChangedSettings()
{
    TestInstall install;
    AppContext& context = install.context();
    Databases& dbs = context.databases();
    QVERIFY(dbs.OpenInterfaceDb().isOpen());
    dbs.setMayCreateInterface(true);
    context.settings.serverDatabase = QStringLiteral("second.db");
    QSqlDatabase db = dbs.OpenInterfaceDb();
    QVERIFY(db.isOpen());
    QCOMPARE(QFileInfo(db.databaseName()).fileName(), QStringLiteral("second.db"));
    QVERIFY(QFile::exists(QDir(install.path()).filePath("second.db")));
}

void tst_Databases::arabicAndQuotesInTheInstallFolder()
{
    TestInstall install;
    const QString folder = QDir(install.path()).filePath(QStringLiteral("مختبر 'الأمل' \"2\""));
    QVERIFY(QDir().mkpath(folder));
    const QString ini = QDir(folder).filePath("VIDASSETING.INI");
    WriteIni(ini, "server", "engine", "sqlite");
    WriteIni(ini, "server", "database", QStringLiteral("قاعدة 'النتائج'.db"));
    WriteIni(ini, "corvanaserver", "engine", "sqlite");
    AppContext context(InstallFolder(folder), &install.dialogs, &install.clock);
    context.loadSettings();
    context.buildConnectionStrings();
    context.databases().setMayCreateInterface(true);
    QSqlDatabase db = context.databases().OpenInterfaceDb();
    QVERIFY2(db.isOpen(), qPrintable(context.databases().lastError(DbSlot::Interface)));
    QVERIFY(QFile::exists(QDir(folder).filePath(QStringLiteral("قاعدة 'النتائج'.db"))));
    QVERIFY(context.databases().OpenLocalDb().isOpen());
    QVERIFY(install.dialogs.shown.isEmpty());
}

QTEST_GUILESS_MAIN(tst_Databases)
#include "tst_Databases.moc"
