#include "db/Dialect.h"
#include "db/ScopedConnection.h"
#include "db/SqlRun.h"

#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(SqlEngine)

class tst_Dialect : public QObject
{
    Q_OBJECT

private slots:
    void fragments_data();
    void fragments();
    void sqliteFragmentsRun();
};

void tst_Dialect::fragments_data()
{
    QTest::addColumn<SqlEngine>("engine");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("substring");
    QTest::addColumn<QString>("compactSubstring");
    QTest::addColumn<QString>("toReal");
    QTest::addColumn<QString>("trueLiteral");
    QTest::addColumn<QString>("falseLiteral");

    QTest::newRow("sql server") << SqlEngine::SqlServer << "SELECT TOP 1 * FROM testtable where shortAssay=? "
                                << "SUBSTRING(patientid, 1, 12)"
                                << "SUBSTRING(patientinfo.patientid,10,3)"
                                << "CONVERT(real , resultt1)"
                                << "1"
                                << "0";
    QTest::newRow("jet") << SqlEngine::Jet << "SELECT TOP 1 * FROM testtable where shortAssay=? "
                         << "Mid(patientid, 1, 12)"
                         << "Mid(patientinfo.patientid,10,3)"
                         << "CDbl(resultt1)"
                         << "True"
                         << "False";
    QTest::newRow("sqlite") << SqlEngine::Sqlite << "SELECT * FROM testtable where shortAssay=?  LIMIT 1"
                            << "substr(patientid, 1, 12)"
                            << "substr(patientinfo.patientid,10,3)"
                            << "CAST(resultt1 AS REAL)"
                            << "1"
                            << "0";
}

void tst_Dialect::fragments()
{
    QFETCH(SqlEngine, engine);
    const Dialect d(engine);
    QCOMPARE(d.engine(), engine);
    QTEST(QStringLiteral("SELECT ") + d.top(1) + QStringLiteral("* FROM testtable where shortAssay=? ") + d.limit(1),
          "statement");
    QTEST(d.substring("patientid", 1, 12), "substring");
    QTEST(d.substring("patientinfo.patientid", 10, 3, ","), "compactSubstring");
    QTEST(d.toReal("resultt1"), "toReal");
    QTEST(d.boolLiteral(true), "trueLiteral");
    QTEST(d.boolLiteral(false), "falseLiteral");
    QVERIFY(!d.name().isEmpty());
}

// The SQLite fragments have to do on the embedded database what the server's do on theirs.
void tst_Dialect::sqliteFragmentsRun()
{
    QTemporaryDir dir;
    ScopedConnection c("QSQLITE");
    QString error;
    QVERIFY2(c.openSqlite(dir.filePath("d.db"), &error), qPrintable(error));
    QVERIFY(SqlRun::exec(c.db(), "CREATE TABLE t (patientid TEXT, resultt1 TEXT, active INTEGER)"));
    for (const auto& [id, value, active] :
         {std::tuple{"2601140001230", "12.5", true}, std::tuple{"2601140001247", "3", false},
          std::tuple{"2601140001254", "abc", true}})
        QVERIFY(SqlRun::exec(c.db(), "INSERT INTO t VALUES (?,?,?)", {id, value, active}));

    const Dialect d(SqlEngine::Sqlite);
    auto rows = SqlRun::select(c.db(), "SELECT " + d.top(2) + d.substring("patientid", 10, 3) +
                                           " AS patid FROM t WHERE active=" + d.boolLiteral(true) +
                                           " ORDER BY patid DESC" + d.limit(1));
    QVERIFY2(rows, qPrintable(rows.errorText()));
    QCOMPARE(rows.records.size(), 1);
    QCOMPARE(rows.records[0].value(0).toString(), QStringLiteral("125"));

    rows = SqlRun::select(c.db(), "SELECT patientid FROM t WHERE " + d.toReal("resultt1") + " >= ? ORDER BY patientid",
                          {3.0});
    QVERIFY2(rows, qPrintable(rows.errorText()));
    QCOMPARE(rows.records.size(), 2);
    QCOMPARE(rows.records[1].value(0).toString(), QStringLiteral("2601140001247"));
}

QTEST_GUILESS_MAIN(tst_Dialect)
#include "tst_Dialect.moc"
