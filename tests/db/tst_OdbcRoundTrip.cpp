#include "db/ConnectionStrings.h"
#include "db/Schema.h"
#include "db/ScopedConnection.h"
#include "db/SqlRun.h"

#include <QDir>
#include <QFile>
#include <QSqlDriver>
#include <QTemporaryDir>
#include <QTest>

// The server engines go through Qt's ODBC driver. No SQL Server is at hand in the tests, so the
// same plumbing (ODBC connection string with braced values, QODBC, bound text, dates, Booleans and
// nulls, a schema script in a transaction) is run against the SQLite ODBC driver.
class tst_OdbcRoundTrip : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void roundTrip();

private:
    QString m_driver;
};

void tst_OdbcRoundTrip::initTestCase()
{
    if (!QSqlDatabase::isDriverAvailable("QODBC"))
        QFAIL("Qt's ODBC driver (libqt6sql6-odbc) is not installed");
    QFile ini("/etc/odbcinst.ini");
    if (!ini.open(QIODevice::ReadOnly) || !ini.readAll().contains("[SQLite3]"))
        QFAIL("the SQLite3 ODBC driver (libsqliteodbc) is not registered in /etc/odbcinst.ini");
    m_driver = QStringLiteral("SQLite3");
}

void tst_OdbcRoundTrip::roundTrip()
{
    QTemporaryDir dir;
    // A quote and blanks in the path. This driver reads no braced values, and unixODBC hands it the
    // connection string in 8-bit characters (an Arabic folder name arrives mangled), so those cases
    // are left to the connection string tests; Arabic values are bound and travel as they are.
    const QString folder = dir.filePath(QStringLiteral("lab 'results'"));
    QVERIFY(QDir().mkpath(folder));
    const QString file = QDir(folder).filePath("odbc.db");
    const QString odbc = QStringLiteral("DRIVER={%1};Database=%2").arg(m_driver, ConnectionStrings::odbcValue(file));
    QCOMPARE(ConnectionStrings::odbcValue(file), file);

    const QString name = QStringLiteral("فاطمة 'الزهراء' \"أم علي\"");
    const QDate date(2026, 12, 5);
    QVariant autoNum;
    {
        ScopedConnection c("QODBC");
        c.db().setDatabaseName(odbc);
        QVERIFY2(c.db().open(), qPrintable(c.db().lastError().text()));
        const Schema::Outcome schema = Schema::ensureInterface(c.db(), SqlEngine::Sqlite);
        QVERIFY2(schema, qPrintable(schema.error));

        const auto added = SqlRun::insert(c.db(), "Result",
                                          {{"Patientname", name},
                                           {"patientid", "2601140001247"},
                                           {"Testdate", date},
                                           {"sending", true},
                                           {"ageN", 32.5},
                                           {"crvtestid", 503},
                                           {"SampleID", SqlRun::nullText()},
                                           {"comment", SqlRun::nullText()},
                                           {"lowlimit", SqlRun::nullNumber()}});
        QVERIFY2(added, qPrintable(added.errorText()));

        const auto rows =
            SqlRun::select(c.db(), "SELECT * FROM Result WHERE Patientname=? AND Testdate=?", {name, date});
        QVERIFY2(rows, qPrintable(rows.errorText()));
        QCOMPARE(rows.records.size(), 1);
        const QSqlRecord& r = rows.records.first();
        autoNum = r.value("AutoNum");
        QCOMPARE(r.value("Patientname").toString(), name);
        QCOMPARE(SqlRun::toDate(r.value("Testdate")), date);
        QCOMPARE(r.value("sending").toInt(), 1);
        QCOMPARE(r.value("ageN").toDouble(), 32.5);
        QCOMPARE(r.value("crvtestid").toInt(), 503);
        QVERIFY(r.value("SampleID").isNull());
        QVERIFY(r.value("comment").isNull());
        QVERIFY(r.value("lowlimit").isNull());

        QVERIFY(SqlRun::update(c.db(), "Result", {{"comment", "تعليق 'مهم'"}}, "AutoNum=?", {autoNum}));
        QVERIFY(SqlRun::exec(c.db(), "Delete FROM Result where AUTONUM=?", {999}));
    }

    // What went through ODBC is what the embedded engine reads: ISO date text, the exact Arabic.
    ScopedConnection check("QSQLITE");
    QVERIFY(check.openSqlite(file));
    const auto row =
        SqlRun::first(check.db(), "SELECT Testdate, Patientname, comment FROM Result WHERE AutoNum=?", {autoNum});
    QVERIFY(row);
    QCOMPARE(row->value(0).toString(), QStringLiteral("2026-12-05"));
    QCOMPARE(row->value(1).toString(), name);
    QCOMPARE(row->value(2).toString(), QStringLiteral("تعليق 'مهم'"));
}

QTEST_GUILESS_MAIN(tst_OdbcRoundTrip)
#include "tst_OdbcRoundTrip.moc"
