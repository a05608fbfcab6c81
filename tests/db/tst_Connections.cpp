#include "DbSettings.h"

#include "db/ConnectionStrings.h"
#include "db/ConnectionTarget.h"
#include "db/Databases.h"

#include <QTest>

namespace {

struct Target
{
    QStringList settings; // over the test install's, which puts both databases on SQLite
    DbSlot slot;
    SqlEngine engine;
    QStringList names; // what is opened, then the fallbacks; %1 is the install folder
    QString error;     // part of the reason; empty when the target is usable
};

} // namespace

Q_DECLARE_METATYPE(Target)

// The OLE DB texts are what support staff see and compare, so they are checked character for
// character; the ODBC texts, engines and files follow from them and the settings.
class tst_Connections : public QObject
{
    Q_OBJECT

private slots:
    void connectionStrings_data();
    void connectionStrings();
    void targets_data();
    void targets();
    void textsAndFiles();
};

void tst_Connections::connectionStrings_data()
{
    QTest::addColumn<QStringList>("settings"); // lis?, access, auth, server, user, password
    QTest::addColumn<QString>("oledb");
    QTest::addColumn<QString>("odbc"); // with the FreeTDS driver
    const QString windows = "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Initial Catalog=";
    const QString sql = "Provider=SQLOLEDB.1;Password=%1;Persist Security Info=True;User ID=%2;Initial Catalog=%3;"
                        "Data Source=%4";
    const QString tds = "DRIVER={FreeTDS};SERVER=%1;DATABASE=%2;";
    const QString nul(QChar(u'\0'));
    const auto add = [](const char* name, const QStringList& settings, const QString& oledb, const QString& odbc) {
        QTest::newRow(name) << settings << oledb << odbc;
    };
    add("windows login leaves user and password out", {"", "0", "0", "LAB\\SQL", "sa", "pw"},
        windows + "InterfaceVIDAS;Data Source=LAB\\SQL",
        tds.arg("LAB\\SQL", "InterfaceVIDAS") + "Trusted_Connection=yes");
    add("any nonzero value is a sql login", {"", "0", "7", "LAB", "sa", "s3cret"},
        sql.arg("s3cret", "sa", "InterfaceVIDAS", "LAB"), tds.arg("LAB", "InterfaceVIDAS") + "UID=sa;PWD=s3cret");
    add("blanks and NULs as the settings file leaves them", {"", "0", "1", "  LAB" + nul + "junk ", " sa ", nul + "x"},
        sql.arg("", "sa", "InterfaceVIDAS", "LAB"), tds.arg("LAB", "InterfaceVIDAS") + "UID=sa;PWD=");
    add("arabic, quotes, ; = and } kept", {"", "0", "1", "خادم'1", "us;er", "كلمة\"سر;w=1;}"},
        sql.arg("كلمة\"سر;w=1;}", "us;er", "InterfaceVIDAS", "خادم'1"),
        tds.arg("خادم'1", "InterfaceVIDAS") + "UID={us;er};PWD={كلمة\"سر;w=1;}}}");
    add("lis, windows login", {"lis", "0", "0", "CRV", "crv", "pw"}, windows + "Patients;Data Source=CRV",
        tds.arg("CRV", "Patients") + "Trusted_Connection=yes");
    add("lis, sql login", {"lis", "0", "1", "CRV", "crv", "pw"}, sql.arg("pw", "crv", "Patients", "CRV"),
        tds.arg("CRV", "Patients") + "UID=crv;PWD=pw");
    add("lis on the jet file: no string", {"lis", "1", "1", "CRV", "crv", "pw"}, "", "");
    add("any nonzero access value", {"lis", "-3", "0", "CRV", "crv", "pw"}, "", "");
}

void tst_Connections::connectionStrings()
{
    QFETCH(QStringList, settings);
    AppSettings s;
    s.CRVaccess = static_cast<qint16>(settings[1].toInt());
    s.CRIauthentication = s.CRVauthentication = static_cast<qint16>(settings[2].toInt());
    s.serverName = s.lisServerName = settings[3];
    s.serverUserID = s.lisUserID = settings[4];
    s.serverPassword = s.lisPassword = settings[5];
    const QString oledb =
        settings[0].isEmpty() ? ConnectionStrings::InterfaceConnString(s) : ConnectionStrings::LisConnString(s);
    QTEST(oledb, "oledb");
    QTEST(oledb.isEmpty() ? QString() : ConnectionStrings::odbcForSqlServer(oledb, "FreeTDS"), "odbc");
}

void tst_Connections::targets_data()
{
    QTest::addColumn<Target>("c");
    const auto add = [](const char* name, const QStringList& settings, DbSlot slot, SqlEngine engine,
                        const QStringList& names, const QString& error = {}) {
        QTest::newRow(name) << Target{settings, slot, engine, names, error};
    };
    const QString tds = "DRIVER={" + ConnectionStrings::defaultSqlServerDriver() + "};SERVER=SRV;DATABASE=";
    const QString jet = "DRIVER={%2};DBQ=%1/corvana system/bin/Patients.mdb";
    const auto server = SqlEngine::SqlServer;
    add("no engine key: sql server, default driver", {"server/engine=", "server/servername=SRV"}, DbSlot::Interface,
        server, {tds + "InterfaceVIDAS;Trusted_Connection=yes"});
    add("sql server, sql login, driver named",
        {"server/engine=SqlServer", "server/servername=SRV", "server/odbcdriver=ODBC 18", "server/CRIauthentication=1",
         "server/UserID=sa", "server/Password=p;w}"},
        DbSlot::InterfaceQuiet3, server, {"DRIVER={ODBC 18};SERVER=SRV;DATABASE=InterfaceVIDAS;UID=sa;PWD={p;w}}}"});
    add("sqlite, any letter case", {"server/engine= SQLite ", "server/database=data\\lab.db"}, DbSlot::InterfaceQuiet4,
        SqlEngine::Sqlite, {"%1/data/lab.db"});
    add("unknown engine", {"server/engine=oracle"}, DbSlot::Interface, server, {""},
        "unknown database engine \"oracle\" in [server] engine (known: sqlserver, sqlite)");
    add("no settings file", {"-"}, DbSlot::Interface, server, {""},
        "VIDASSETING.INI is missing or has no [server] section");
    add("lis on sql server",
        {"corvanaserver/engine=sqlserver", "corvanaserver/servername=SRV", "corvanaserver/CRVauthentication=1",
         "corvanaserver/UserID=crv", "corvanaserver/Password=pw"},
        DbSlot::Lis, server, {tds + "Patients;UID=crv;PWD=pw"});
    add("lis, unknown engine", {"corvanaserver/engine=mysql"}, DbSlot::LisReceiver, server, {""},
        "\"mysql\" in [corvanaserver] engine");
    add("jet file: 64-bit driver first, then the old one", {"corvanaserver/CRVaccess=1"}, DbSlot::LisReceiver,
        SqlEngine::Jet,
        {jet.arg("%1", "Microsoft Access Driver (*.mdb, *.accdb)"), jet.arg("%1", "Microsoft Access Driver (*.mdb)")});
    add("jet file: a driver named is the only one", {"corvanaserver/CRVaccess=1", "corvanaserver/odbcdriver=MDBTools"},
        DbSlot::Lis, SqlEngine::Jet, {jet.arg("%1", "MDBTools")});
}

void tst_Connections::targets()
{
    QFETCH(Target, c);
    TestInstall install;
    applySettings(install, c.settings);
    const Databases& dbs = install.context().databases();
    const ConnectionTarget t = dbs.target(c.slot);
    QVERIFY2(t.error.contains(c.error) && t.isValid() == c.error.isEmpty(), qPrintable(t.error));
    QCOMPARE(dbs.dialect(c.slot).engine(), c.engine);
    QCOMPARE(QStringList{t.databaseName} + t.fallbackNames, c.names.replaceInStrings("%1", install.path()));
}

void tst_Connections::textsAndFiles()
{
    // An OLE DB string is read back key by key, keys in any letter case; a segment that starts with
    // no known key belongs to the value before it.
    QStringList pairs;
    for (const auto& [key, value] : ConnectionStrings::parse("=x;provider=X;PASSWORD=a;b=c;;User id=u;Data Source= S "))
        pairs << key + "|" + value;
    QCOMPARE(pairs, (QStringList{"|x", "provider|X", "PASSWORD|a;b=c;", "User id|u", "Data Source| S "}));
    QCOMPARE(ConnectionStrings::value("Password=p;DATA SOURCE=S", "data source"), QStringLiteral("S"));
    QVERIFY(ConnectionStrings::parse("").isEmpty() && ConnectionStrings::value("Password=p", "User ID").isEmpty());
    // An ODBC value is braced only where it would end the attribute or lose its blanks.
    QCOMPARE(ConnectionStrings::odbcValue(" a") + ConnectionStrings::odbcValue("a "), QStringLiteral("{ a}{a }"));
    QCOMPARE(ConnectionStrings::odbcForJet("/x/a;{b}.mdb", "D"), QStringLiteral("DRIVER={D};DBQ={/x/a;{b}}.mdb}"));

    // A SQLite file named in the settings: inside the install folder, never outside it, never a folder.
    const QString folder = QStringLiteral("/opt/مختبر 'x'");
    const QList<std::pair<QString, QString>> files{{"", "%1/InterfaceVIDAS.db"},
                                                   {"data/lab.db", "%1/data/lab.db"},
                                                   {"data\\lab.db", "%1/data/lab.db"},
                                                   {" بيانات 'المختبر'.db ", "%1/بيانات 'المختبر'.db"},
                                                   {"/var/lib/lab.db", "/var/lib/lab.db"},
                                                   {"../lab.db", ""},
                                                   {"data/../../lab.db", ""},
                                                   {"..\\lab.db", ""},
                                                   {"data/", ""},
                                                   {"data/.", ""}};
    for (auto [setting, expected] : files) {
        QString error;
        const QString file = ConnectionTargets::sqliteFile(folder, setting, "InterfaceVIDAS.db", &error);
        QVERIFY2(file == expected.replace("%1", folder) && error.isEmpty() == !file.isEmpty(), qPrintable(setting));
    }

    // The few fragments in which the engines' statements differ.
    const auto fragments = [](SqlEngine engine) {
        const Dialect d(engine);
        return QStringList{"SELECT " + d.top(1) + "*" + d.limit(1),
                           d.substring("p", 1, 12),
                           d.substring("p", 10, 3, ","),
                           d.toReal("r"),
                           d.toRealOrNull("r"),
                           d.boolLiteral(true) + d.boolLiteral(false)}
            .join(' ');
    };
    QCOMPARE(fragments(SqlEngine::SqlServer), QStringLiteral("SELECT TOP 1 * SUBSTRING(p, 1, 12) SUBSTRING(p,10,3) "
                                                             "CONVERT(real , r) TRY_CONVERT(float, r) 10"));
    QCOMPARE(fragments(SqlEngine::Jet),
             QStringLiteral("SELECT TOP 1 * Mid(p, 1, 12) Mid(p,10,3) CDbl(r) Val(r) TrueFalse"));
    QCOMPARE(fragments(SqlEngine::Sqlite), QStringLiteral("SELECT * LIMIT 1 substr(p, 1, 12) substr(p,10,3) "
                                                          "CAST(r AS REAL) CAST(r AS REAL) 10"));
}

QTEST_GUILESS_MAIN(tst_Connections)
#include "tst_Connections.moc"
