#include "TestInstall.h"

#include "db/ConnectionStrings.h"
#include "db/ConnectionTarget.h"

#include <QDir>
#include <QTest>

// The OLE DB texts are what support staff see and compare, so they are checked character for
// character; the ODBC texts and the engine choices follow from them and the settings.
class tst_ConnectionStrings : public QObject
{
    Q_OBJECT

private slots:
    void interfaceString_data();
    void interfaceString();
    void lisString_data();
    void lisString();
    void fromSettingsFile();
    void settingsFileMissing();
    void parseKeepsSemicolonsInValues();
    void odbcForSqlServer_data();
    void odbcForSqlServer();
    void odbcForJet();
    void engines_data();
    void engines();
    void sqliteFiles_data();
    void sqliteFiles();
    void jetTarget_data();
    void jetTarget();
};

void tst_ConnectionStrings::interfaceString_data()
{
    QTest::addColumn<int>("auth");
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("expected");

    QTest::newRow("windows login ignores user and password")
        << 0 << "LABSRV\\SQLEXPRESS"
        << "sa"
        << "secret"
        << "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Initial Catalog=InterfaceVIDAS;"
           "Data Source=LABSRV\\SQLEXPRESS";
    QTest::newRow("sql login") << 1 << "LABSRV"
                               << "sa"
                               << "s3cret"
                               << "Provider=SQLOLEDB.1;Password=s3cret;Persist Security Info=True;User ID=sa;"
                                  "Initial Catalog=InterfaceVIDAS;Data Source=LABSRV";
    QTest::newRow("any nonzero value is sql login")
        << 7 << "S"
        << "u"
        << "p"
        << "Provider=SQLOLEDB.1;Password=p;Persist Security Info=True;User ID=u;Initial Catalog=InterfaceVIDAS;"
           "Data Source=S";
    QTest::newRow("blanks around the server name")
        << 0 << "  LABSRV  "
        << ""
        << ""
        << "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Initial Catalog=InterfaceVIDAS;"
           "Data Source=LABSRV";
    QTest::newRow("value cut at a NUL") << 1 << QStringLiteral("LAB") + QChar(u'\0') + QStringLiteral("junk") << "sa"
                                        << "pw"
                                        << "Provider=SQLOLEDB.1;Password=pw;Persist Security Info=True;User ID=sa;"
                                           "Initial Catalog=InterfaceVIDAS;Data Source=LAB";
    QTest::newRow("arabic and quotes kept")
        << 1 << "خادم'1"
        << "مستخدم\""
        << "كلمة'سر"
        << "Provider=SQLOLEDB.1;Password=كلمة'سر;Persist Security Info=True;User ID=مستخدم\";"
           "Initial Catalog=InterfaceVIDAS;Data Source=خادم'1";
    QTest::newRow("empty server") << 0 << ""
                                  << ""
                                  << ""
                                  << "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;"
                                     "Initial Catalog=InterfaceVIDAS;Data Source=";
}

void tst_ConnectionStrings::interfaceString()
{
    QFETCH(int, auth);
    QFETCH(QString, server);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, expected);
    AppSettings s;
    s.CRIauthentication = static_cast<qint16>(auth);
    s.serverName = server;
    s.serverUserID = user;
    s.serverPassword = password;
    QCOMPARE(ConnectionStrings::InterfaceConnString(s), expected);
}

void tst_ConnectionStrings::lisString_data()
{
    QTest::addColumn<int>("access");
    QTest::addColumn<int>("auth");
    QTest::addColumn<QString>("expected");
    QTest::newRow("windows login") << 0 << 0
                                   << "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;"
                                      "Initial Catalog=Patients;Data Source=CRVSRV";
    QTest::newRow("sql login") << 0 << 1
                               << "Provider=SQLOLEDB.1;Password=pw;Persist Security Info=True;User ID=crv;"
                                  "Initial Catalog=Patients;Data Source=CRVSRV";
    QTest::newRow("jet file: no string") << 1 << 1 << "";
    QTest::newRow("any nonzero access: no string") << -3 << 0 << "";
}

void tst_ConnectionStrings::lisString()
{
    QFETCH(int, access);
    QFETCH(int, auth);
    QFETCH(QString, expected);
    AppSettings s;
    s.CRVaccess = static_cast<qint16>(access);
    s.CRVauthentication = static_cast<qint16>(auth);
    s.lisServerName = QStringLiteral("CRVSRV");
    s.lisUserID = QStringLiteral("crv");
    s.lisPassword = QStringLiteral("pw");
    QCOMPARE(ConnectionStrings::LisConnString(s), expected);
}

// Through the settings file and the context, as start-up builds them.
void tst_ConnectionStrings::fromSettingsFile()
{
    TestInstall install;
    install.setSetting("server", "CRIauthentication", "0");
    install.setSetting("server", "servername", "   MAIN   ");
    install.setSetting("server", "UserID", "ignored");
    install.setSetting("server", "Password", "ignored");
    install.setSetting("corvanaserver", "CRVaccess", "1");
    AppContext& context = install.context();
    QCOMPARE(context.InterfaceConnString,
             QStringLiteral("Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;"
                            "Initial Catalog=InterfaceVIDAS;Data Source=MAIN"));
    QCOMPARE(context.LisIsAccess, qint16(1));
    QVERIFY(context.LisConnString.isEmpty());

    install.setSetting("corvanaserver", "CRVaccess", "0");
    install.setSetting("corvanaserver", "CRVauthentication", "1");
    install.setSetting("corvanaserver", "servername", "LIS");
    install.setSetting("corvanaserver", "UserID", "u");
    install.setSetting("corvanaserver", "Password", "p;x");
    AppContext& again = install.context();
    QCOMPARE(again.LisIsAccess, qint16(0));
    QCOMPARE(again.LisConnString, QStringLiteral("Provider=SQLOLEDB.1;Password=p;x;Persist Security Info=True;User "
                                                 "ID=u;Initial Catalog=Patients;Data Source=LIS"));
}

void tst_ConnectionStrings::settingsFileMissing()
{
    TestInstall install;
    QVERIFY(QFile::remove(install.settingsIni()));
    AppContext& context = install.context();
    QVERIFY(context.InterfaceConnString.isEmpty());
    QVERIFY(context.LisConnString.isEmpty());
    QCOMPARE(context.LisIsAccess, qint16(0));
    // No engine key either, so the interface is a server that cannot be named.
    const ConnectionTarget t =
        ConnectionTargets::interfaceTarget(context.settings, context.InterfaceConnString, install.path());
    QCOMPARE(t.engine, SqlEngine::SqlServer);
    QVERIFY(!t.isValid());
    QVERIFY2(t.error.contains("VIDASSETING.INI"), qPrintable(t.error));
}

void tst_ConnectionStrings::parseKeepsSemicolonsInValues()
{
    const QString s = ConnectionStrings::sqlServer(1, "SRV", "us;er", "p;w=1;", "InterfaceVIDAS");
    QCOMPARE(ConnectionStrings::value(s, "Password"), QStringLiteral("p;w=1;"));
    QCOMPARE(ConnectionStrings::value(s, "user id"), QStringLiteral("us;er"));
    QCOMPARE(ConnectionStrings::value(s, "Data Source"), QStringLiteral("SRV"));
    QCOMPARE(ConnectionStrings::value(s, "Initial Catalog"), QStringLiteral("InterfaceVIDAS"));
    QVERIFY(ConnectionStrings::value(s, "Integrated Security").isEmpty());
    QVERIFY(ConnectionStrings::parse(QString()).isEmpty());
}

void tst_ConnectionStrings::odbcForSqlServer_data()
{
    QTest::addColumn<QString>("oledb");
    QTest::addColumn<QString>("expected");
    QTest::newRow("windows login") << ConnectionStrings::sqlServer(0, "LAB\\SQL", "x", "y", "InterfaceVIDAS")
                                   << "DRIVER={FreeTDS};SERVER=LAB\\SQL;DATABASE=InterfaceVIDAS;Trusted_Connection=yes";
    QTest::newRow("sql login") << ConnectionStrings::sqlServer(1, "LAB", "sa", "pw", "Patients")
                               << "DRIVER={FreeTDS};SERVER=LAB;DATABASE=Patients;UID=sa;PWD=pw";
    QTest::newRow("braces for ; and }") << ConnectionStrings::sqlServer(1, "LAB", "a}b", "p;w}", "Patients")
                                        << "DRIVER={FreeTDS};SERVER=LAB;DATABASE=Patients;UID={a}}b};PWD={p;w}}}";
    QTest::newRow("arabic and quotes as they are")
        << ConnectionStrings::sqlServer(1, "LAB", "مستخدم'", "\"سر\"", "Patients")
        << "DRIVER={FreeTDS};SERVER=LAB;DATABASE=Patients;UID=مستخدم';PWD=\"سر\"";
}

void tst_ConnectionStrings::odbcForSqlServer()
{
    QFETCH(QString, oledb);
    QFETCH(QString, expected);
    QCOMPARE(ConnectionStrings::odbcForSqlServer(oledb, "FreeTDS"), expected);
}

void tst_ConnectionStrings::odbcForJet()
{
    QCOMPARE(ConnectionStrings::odbcForJet("/x/corvana system/bin/Patients.mdb", "Microsoft Access Driver (*.mdb)"),
             QDir::toNativeSeparators(
                 QStringLiteral("DRIVER={Microsoft Access Driver (*.mdb)};DBQ=/x/corvana system/bin/Patients.mdb")));
    QCOMPARE(ConnectionStrings::odbcForJet("/x/a;b.mdb", "D"), QStringLiteral("DRIVER={D};DBQ={/x/a;b.mdb}"));
}

void tst_ConnectionStrings::engines_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<QString>("driverSetting");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QString>("databaseName");
    QTest::newRow("no engine key: sql server") << ""
                                               << "" << true << "QODBC"
                                               << "DRIVER={" + ConnectionStrings::defaultSqlServerDriver() +
                                                      "};SERVER=SRV;DATABASE=InterfaceVIDAS;Trusted_Connection=yes";
    QTest::newRow("sqlserver, driver from the settings")
        << "SqlServer"
        << "ODBC Driver 18 for SQL Server" << true << "QODBC"
        << "DRIVER={ODBC Driver 18 for SQL Server};SERVER=SRV;DATABASE=InterfaceVIDAS;Trusted_Connection=yes";
    QTest::newRow("sqlite") << " sqlite "
                            << "" << true << "QSQLITE"
                            << "InterfaceVIDAS.db";
    QTest::newRow("unknown engine") << "oracle"
                                    << "" << false << ""
                                    << "";
}

void tst_ConnectionStrings::engines()
{
    QFETCH(QString, engine);
    QFETCH(QString, driverSetting);
    QFETCH(bool, valid);
    QFETCH(QString, driver);
    QFETCH(QString, databaseName);
    AppSettings s;
    s.serverName = "SRV";
    s.serverEngine = engine;
    s.serverOdbcDriver = driverSetting;
    const QString folder = QStringLiteral("/opt/corvana");
    const ConnectionTarget t = ConnectionTargets::interfaceTarget(s, ConnectionStrings::InterfaceConnString(s), folder);
    QCOMPARE(t.isValid(), valid);
    if (!valid) {
        QVERIFY2(t.error.contains("oracle") && t.error.contains("[server] engine"), qPrintable(t.error));
        return;
    }
    QCOMPARE(t.driver, driver);
    if (driver == "QSQLITE") {
        QCOMPARE(t.databaseName, QDir(folder).filePath(databaseName));
        QCOMPARE(t.engine, SqlEngine::Sqlite);
        QVERIFY(t.ownFile);
    } else {
        QCOMPARE(t.databaseName, databaseName);
        QCOMPARE(t.engine, SqlEngine::SqlServer);
    }

    // The LIS reads the same keys under [corvanaserver] and never owns its file.
    s.lisEngine = engine;
    s.lisServerName = "SRV";
    s.lisOdbcDriver = driverSetting;
    const ConnectionTarget lis = ConnectionTargets::lisTarget(s, ConnectionStrings::LisConnString(s), 0, folder);
    QCOMPARE(lis.driver, driver);
    QVERIFY(!lis.ownFile);
    if (driver == "QSQLITE")
        QCOMPARE(lis.databaseName, QDir(folder).filePath("Patients.db"));
    else
        QVERIFY(lis.databaseName.contains("DATABASE=Patients;"));
}

void tst_ConnectionStrings::sqliteFiles_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<QString>("expected"); // relative to the folder; empty = refused
    QTest::newRow("empty: default") << ""
                                    << "InterfaceVIDAS.db";
    QTest::newRow("plain") << "lab.db"
                           << "lab.db";
    QTest::newRow("sub-folder") << "data/lab.db"
                                << "data/lab.db";
    QTest::newRow("windows separators") << "data\\lab.db"
                                        << "data/lab.db";
    QTest::newRow("arabic and quotes") << "بيانات 'المختبر'.db"
                                       << "بيانات 'المختبر'.db";
    QTest::newRow("parent folder") << "../lab.db"
                                   << "";
    QTest::newRow("parent folder inside") << "data/../../lab.db"
                                          << "";
    QTest::newRow("parent folder, windows") << "..\\lab.db"
                                            << "";
    QTest::newRow("a folder") << "data/"
                              << "";
}

void tst_ConnectionStrings::sqliteFiles()
{
    QFETCH(QString, setting);
    QFETCH(QString, expected);
    const QString folder = QStringLiteral("/opt/مختبر 'x'");
    QString error;
    const QString file = ConnectionTargets::sqliteFile(folder, setting, "InterfaceVIDAS.db", &error);
    if (expected.isEmpty()) {
        QVERIFY(file.isEmpty());
        QVERIFY(!error.isEmpty());
    } else {
        QCOMPARE(file, QDir(folder).filePath(expected));
        QVERIFY(error.isEmpty());
    }
    QCOMPARE(ConnectionTargets::sqliteFile(folder, "/var/lib/lab.db", "x", &error), QStringLiteral("/var/lib/lab.db"));
}

void tst_ConnectionStrings::jetTarget_data()
{
    QTest::addColumn<QString>("driverSetting");
    QTest::addColumn<QStringList>("drivers"); // in the order they are tried
    QTest::newRow("no setting: 64-bit driver first, then the old one")
        << "" << QStringList{"Microsoft Access Driver (*.mdb, *.accdb)", "Microsoft Access Driver (*.mdb)"};
    QTest::newRow("a driver named in the settings is the only one") << "MDBTools" << QStringList{"MDBTools"};
}

void tst_ConnectionStrings::jetTarget()
{
    QFETCH(QString, driverSetting);
    QFETCH(QStringList, drivers);
    AppSettings s;
    s.CRVaccess = 1;
    s.lisEngine = "sqlite"; // ignored for the Jet file
    s.lisOdbcDriver = driverSetting;
    const ConnectionTarget t = ConnectionTargets::lisTarget(s, QString(), 1, "/opt/ci");
    QVERIFY(t.isValid());
    QCOMPARE(t.engine, SqlEngine::Jet);
    QCOMPARE(t.driver, QStringLiteral("QODBC"));
    QStringList tried{t.databaseName};
    tried += t.fallbackNames;
    QStringList expected;
    for (const QString& driver : drivers)
        expected << "DRIVER={" + driver + "};DBQ=" + QDir::toNativeSeparators(ConnectionStrings::jetLisFile("/opt/ci"));
    QCOMPARE(tried, expected);
#ifndef Q_OS_WIN
    QCOMPARE(ConnectionStrings::jetLisFile("/opt/ci"), QStringLiteral("/opt/ci/corvana system/bin/Patients.mdb"));
#endif
}

QTEST_GUILESS_MAIN(tst_ConnectionStrings)
#include "tst_ConnectionStrings.moc"
