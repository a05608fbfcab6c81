#include "ProgramRun.h"
#include "TestInstall.h"

#include "InterfaceColumns.h"
#include "db/Schema.h"
#include "db/ScopedConnection.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

namespace {

QStringList lines(const QString& text)
{
    return text.split('\n', Qt::SkipEmptyParts);
}

} // namespace

class it_CheckCommand : public QObject
{
    Q_OBJECT

private slots:
    void createsInterfaceOnlyWithCreate();
    void failures_data();
    void failures();
    void lisLinkOff();
    void setupDemo();
    void newDatabasesArePrivate();
};

void it_CheckCommand::createsInterfaceOnlyWithCreate()
{
    TestInstall install;
    QVERIFY(install.createDatabases());
    QVERIFY(QFile::remove(install.interfaceDbFile()));

    const ProgramRun plain = runCorvanaVidas({"--home", install.path(), "check"});
    QCOMPARE(plain.exitCode, 1);
    QStringList out = lines(plain.out);
    QCOMPARE(out.size(), 2);
    QVERIFY2(out[0].startsWith("interface: SQLite file " + install.interfaceDbFile() + ": cannot be opened: ") &&
                 out[0].contains("does not exist") && out[0].contains("--create"),
             qPrintable(out[0]));
    QVERIFY2(out[1].endsWith(": ok"), qPrintable(out[1]));
    QVERIFY2(plain.err.contains(QStringLiteral("خطأ فى الاتصال ..")), qPrintable(plain.err));
    QVERIFY(!QFile::exists(install.interfaceDbFile()));

    const ProgramRun run = runCorvanaVidas({"--home", install.path(), "check", "--create"});
    QCOMPARE(run.exitCode, 0);
    out = lines(run.out);
    QCOMPARE(out.size(), 2);
    QVERIFY2(out[0].startsWith("interface: SQLite file " + install.interfaceDbFile()) &&
                 out[0].endsWith(": ok, schema version " + QString::number(Schema::latestInterfaceVersion())),
             qPrintable(out[0]));
    QVERIFY2(out[1].startsWith("lis: SQLite file " + install.lisDbFile()) && out[1].endsWith(": ok"),
             qPrintable(out[1]));
    QVERIFY(run.err.isEmpty());

    ScopedConnection c("QSQLITE");
    QVERIFY(c.openSqlite(install.interfaceDbFile()));
    for (auto it = interfaceColumns().cbegin(); it != interfaceColumns().cend(); ++it) {
        const QSqlRecord record = c.db().record(it.key());
        QStringList names;
        for (int i = 0; i < record.count(); ++i)
            names << record.fieldName(i);
        QCOMPARE(names, it.value());
    }
}

void it_CheckCommand::failures_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("failingLine");
    QTest::addColumn<QString>("reason");
    QTest::newRow("lis file missing") << ""
                                      << ""
                                      << ""
                                      << "lis: "
                                      << "does not exist";
    QTest::newRow("unknown interface engine") << "server"
                                              << "engine"
                                              << "mysql"
                                              << "interface: "
                                              << "mysql";
    QTest::newRow("interface path outside") << "server"
                                            << "database"
                                            << "../x.db"
                                            << "interface: "
                                            << "..";
    QTest::newRow("jet file") << "corvanaserver"
                              << "CRVaccess"
                              << "1"
                              << "lis: Jet file"
                              << "";
}

void it_CheckCommand::failures()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, failingLine);
    QFETCH(QString, reason);
    TestInstall install;
    if (!section.isEmpty()) {
        QVERIFY(install.createDatabases());
        install.setSetting(section, key, value);
    }
    const ProgramRun run = runCorvanaVidas({"check", "--home", install.path()});
    QCOMPARE(run.exitCode, 1);
    const QStringList out = lines(run.out);
    QCOMPARE(out.size(), 2);
    const QString line = out[failingLine.startsWith("lis") ? 1 : 0];
    QVERIFY2(line.startsWith(failingLine) && line.contains("cannot be opened") && line.contains(reason),
             qPrintable(line));
    // The message the window would show goes to standard error.
    QVERIFY2(run.err.contains(QStringLiteral("خطأ فى الاتصال ..")), qPrintable(run.err));
    QVERIFY(!QFile::exists(QDir(install.path()).filePath("../x.db")));
}

void it_CheckCommand::lisLinkOff()
{
    TestInstall install;
    install.setSetting("corvanaserver", "active", "0");
    const ProgramRun run = runCorvanaVidas({"--home", install.path(), "check"});
    QCOMPARE(run.exitCode, 0);
    const QStringList out = lines(run.out);
    QCOMPARE(out.size(), 2);
    QVERIFY2(out[1].contains("not checked"), qPrintable(out[1]));
    QVERIFY(!QFile::exists(install.lisDbFile()));

    const ProgramRun missing = runCorvanaVidas({"--home", install.path() + "/nowhere", "check"});
    QCOMPARE(missing.exitCode, 1);
    QVERIFY(missing.out.isEmpty());
    QVERIFY(missing.err.contains("no such install folder"));
    QCOMPARE(runCorvanaVidas({"--home", install.path(), "check", "extra"}).exitCode, 2);
    QCOMPARE(runCorvanaVidas({"--home", install.path(), "check", "--create", "extra"}).exitCode, 2);
}

void it_CheckCommand::setupDemo()
{
    QTemporaryDir dir;
    const QString home = dir.filePath("demo");
    for (int round = 0; round < 2; ++round) {
        const ProgramRun run = runCorvanaVidas({"--home", home, "setup-demo"});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    }
    const ProgramRun check = runCorvanaVidas({"--home", home, "check"});
    QVERIFY2(check.exitCode == 0, qPrintable(check.out + check.err));

    ScopedConnection lis("QSQLITE");
    QVERIFY(lis.openSqlite(QDir(home).filePath("Patients.db")));
    QSqlQuery q(lis.db());
    QVERIFY(q.exec("SELECT count(*) FROM patientinfo"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 4);
    // Every test the demo requests is an active catalogue assay, so the worklist shows them all.
    QSqlQuery codes(lis.db());
    QVERIFY(codes.exec("SELECT DISTINCT testcode FROM patienttest"));
    ScopedConnection iface("QSQLITE");
    QVERIFY(iface.openSqlite(QDir(home).filePath("InterfaceVIDAS.db")));
    int requested = 0;
    while (codes.next()) {
        ++requested;
        QSqlQuery t(iface.db());
        t.prepare("SELECT count(*) FROM testtable WHERE active=1 AND crvtestid=?");
        t.addBindValue(codes.value(0));
        QVERIFY(t.exec() && t.next());
        QVERIFY2(t.value(0).toInt() == 1, qPrintable(codes.value(0).toString()));
    }
    QVERIFY(requested >= 8);

    // A folder set up for servers is left alone.
    TestInstall server;
    server.setSetting("server", "engine", "sqlserver");
    const ProgramRun refused = runCorvanaVidas({"--home", server.path(), "setup-demo"});
    QCOMPARE(refused.exitCode, 1);
    QVERIFY(refused.err.contains("SQLite"));
}

// A new database, and the journals SQLite keeps next to it, are for the owner and its group only.
void it_CheckCommand::newDatabasesArePrivate()
{
    QTemporaryDir dir;
    QVERIFY(runCorvanaVidas({"--home", dir.path(), "setup-demo"}).exitCode == 0);
    TestInstall install;
    QVERIFY(install.createDatabases());
    QVERIFY(QFile::remove(install.interfaceDbFile()));
    QVERIFY(runCorvanaVidas({"--home", install.path(), "check", "--create"}).exitCode == 0);

    const auto others = QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    for (const QString& file :
         {dir.filePath("InterfaceVIDAS.db"), dir.filePath("Patients.db"), install.interfaceDbFile()}) {
        ScopedConnection open("QSQLITE"); // brings up the -wal and -shm files
        QVERIFY(open.openSqlite(file));
        for (const QString& name : {file, file + "-wal", file + "-shm"}) {
            QVERIFY2(QFile::exists(name), qPrintable(name));
            QVERIFY2(!(QFile::permissions(name) & others), qPrintable(name));
        }
    }
}

QTEST_GUILESS_MAIN(it_CheckCommand)
#include "it_CheckCommand.moc"
