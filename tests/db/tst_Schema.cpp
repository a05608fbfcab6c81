#include "InterfaceColumns.h"

#include "db/Schema.h"
#include "db/ScopedConnection.h"
#include "db/SqlRun.h"

#include <QRegularExpression>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

namespace {

QStringList columnsOf(const QSqlDatabase& db, const QString& table)
{
    QStringList names;
    const QSqlRecord record = db.record(table);
    for (int i = 0; i < record.count(); ++i)
        names << record.fieldName(i);
    return names;
}

int versionOf(const QSqlDatabase& db)
{
    const auto row = SqlRun::first(db, "SELECT version FROM schemaversion");
    return row ? row->value(0).toInt() : -1;
}

// Splits at the commas that are not inside parentheses ("IDENTITY(1,1)").
QStringList topLevelParts(const QString& text)
{
    QStringList parts;
    QString current;
    int depth = 0;
    for (const QChar c : text) {
        if (c == '(')
            ++depth;
        else if (c == ')')
            --depth;
        if (c == ',' && depth == 0) {
            parts << current;
            current.clear();
        } else {
            current += c;
        }
    }
    parts << current;
    return parts;
}

// The CREATE TABLE statements of a script: table name → column definitions (name, rest).
QMap<QString, QMap<QString, QString>> tablesInScript(const QString& script)
{
    QMap<QString, QMap<QString, QString>> tables;
    static const QRegularExpression create(R"(^CREATE TABLE (?:IF NOT EXISTS )?(\w+) \((.*)\)$)",
                                           QRegularExpression::DotMatchesEverythingOption);
    for (const QString& statement : Schema::statements(script)) {
        const auto match = create.match(statement);
        if (!match.hasMatch())
            continue;
        QMap<QString, QString> columns;
        for (const QString& line : topLevelParts(match.captured(2))) {
            const QString definition = line.simplified();
            columns.insert(definition.section(' ', 0, 0), definition.section(' ', 1));
        }
        tables.insert(match.captured(1), columns);
    }
    return tables;
}

} // namespace

class tst_Schema : public QObject
{
    Q_OBJECT

private slots:
    void statements_data();
    void statements();
    void createsEveryTableAndColumn();
    void createsIndexesForTheLookups();
    void sqlServerScript();
    void migratesInOrder();
    void leavesCurrentDatabaseAlone();
    void refusesNewerDatabase();
    void failingStepWritesNothing();
    void refusesForeignDatabase();
    void adoptsDatabaseWithoutVersion();
    void refusesDatabaseMissingATable_data();
    void refusesDatabaseMissingATable();

private:
    QTemporaryDir m_dir;
    int m_files = 0;
    QString freshFile() { return m_dir.filePath(QStringLiteral("s%1.db").arg(++m_files)); }
};

void tst_Schema::statements_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("two") << "CREATE TABLE a (x int);\nCREATE TABLE b (y int);"
                         << QStringList{"CREATE TABLE a (x int)", "CREATE TABLE b (y int)"};
    QTest::newRow("no trailing semicolon") << "SELECT 1" << QStringList{"SELECT 1"};
    QTest::newRow("comments dropped") << "-- head; with a semicolon\nSELECT 1; /* a; b */ SELECT 2 -- tail;\n"
                                      << QStringList{"SELECT 1", "SELECT 2"};
    QTest::newRow("semicolons in quotes")
        << "INSERT INTO t VALUES ('a;b', 'it''s; ok');SELECT \"c;d\" FROM [e;f]"
        << QStringList{"INSERT INTO t VALUES ('a;b', 'it''s; ok')", "SELECT \"c;d\" FROM [e;f]"};
    QTest::newRow("dashes in quotes") << "SELECT '--not a comment'; SELECT 1"
                                      << QStringList{"SELECT '--not a comment'", "SELECT 1"};
    QTest::newRow("empty pieces") << " ; ;\n;" << QStringList{};
}

void tst_Schema::statements()
{
    QFETCH(QString, script);
    QFETCH(QStringList, expected);
    QCOMPARE(Schema::statements(script), expected);
}

void tst_Schema::createsEveryTableAndColumn()
{
    ScopedConnection c("QSQLITE");
    QVERIFY(c.openSqlite(freshFile()));
    const Schema::Outcome outcome = Schema::ensureInterface(c.db(), SqlEngine::Sqlite);
    QVERIFY2(outcome, qPrintable(outcome.error));
    QCOMPARE(outcome.fromVersion, 0);
    QCOMPARE(outcome.toVersion, Schema::latestInterfaceVersion());
    QCOMPARE(versionOf(c.db()), Schema::latestInterfaceVersion());
    for (auto it = interfaceColumns().cbegin(); it != interfaceColumns().cend(); ++it)
        QCOMPARE(columnsOf(c.db(), it.key()), it.value());

    // Keys are assigned by the database, Booleans default to false.
    auto added = SqlRun::insert(c.db(), "Result", {{"Patientname", "NEW"}});
    QVERIFY2(added, qPrintable(added.errorText()));
    auto second = SqlRun::insert(c.db(), "Result", {{"Patientname", "NEW"}});
    QCOMPARE(second.lastInsertId.toInt(), added.lastInsertId.toInt() + 1);
    const auto row = SqlRun::first(c.db(), "SELECT sending FROM Result WHERE AutoNum=?", {added.lastInsertId});
    QVERIFY(row);
    QCOMPARE(row->value(0).toInt(), 0);
}

void tst_Schema::createsIndexesForTheLookups()
{
    ScopedConnection c("QSQLITE");
    QVERIFY(c.openSqlite(freshFile()));
    QVERIFY(Schema::ensureInterface(c.db(), SqlEngine::Sqlite));
    // Each look-up the program makes must be answered through an index, not a scan of the table.
    const QList<std::pair<QString, QVariantList>> lookups{
        {"SELECT * FROM Result where Testdate >= ? AND Testdate <= ?", {QDate(2026, 1, 1), QDate(2026, 1, 2)}},
        {"SELECT * FROM Result where patientid=? AND shortAssay=?", {"1", "TSH"}},
        {"SELECT * FROM Result where patientid=? and crvtestid=?", {"1", 5}},
        {"SELECT * FROM Result where SampleID=? AND Testdate=? AND shortAssay=?", {"12", QDate(2026, 1, 1), "TSH"}},
        {"Select Patientname from Result WHERE Patientname LIKE ? group by Patientname order By Patientname", {"Ahm%"}},
        {"Select DocName from Result WHERE DocName LIKE ? group by DocName order By DocName", {"Sa%"}},
        {"Select * from Result where Patientname = ? order by Testdate", {"x"}},
        {"SELECT * FROM Result where shortAssay=?", {"TSH"}},
        {"SELECT * FROM testtable where shortAssay=?", {"TSH"}},
        {"SELECT * FROM testtable where crvtestid=?", {501}},
        {"SELECT * FROM testtable where testsimp=?", {"TSH"}},
        {"SELECT * FROM normalrange where testcode=? and REFRANGE='1' and pregsmok=?", {1, "0"}},
        {"SELECT comments FROM comments where testcode=?", {1}},
        {"SELECT * FROM users where patientusname=? and patientword=?", {"admin", "x"}},
    };
    for (const auto& [sql, values] : lookups) {
        const auto plan = SqlRun::select(c.db(), "EXPLAIN QUERY PLAN " + sql, values);
        QVERIFY2(plan, qPrintable(plan.errorText()));
        QStringList details;
        for (const QSqlRecord& r : plan.records)
            details << r.value("detail").toString();
        const QString text = details.join(" | ");
        QVERIFY2(text.contains("USING INDEX") || text.contains("USING COVERING INDEX"),
                 qPrintable(sql + " -> " + text));
    }
}

// The server's script is not run here; it must still define every table and column, with server
// keys and Booleans, and the same indexes as the embedded one.
void tst_Schema::sqlServerScript()
{
    const QString script = Schema::script("interface-sqlserver-001.sql");
    QVERIFY(!script.isEmpty());
    QCOMPARE(Schema::interfaceMigrations(SqlEngine::SqlServer).size(),
             Schema::interfaceMigrations(SqlEngine::Sqlite).size());
    const auto tables = tablesInScript(script);
    QCOMPARE(QStringList(tables.keys()), QStringList(interfaceColumns().keys()));
    const QStringList keys{"patientusid", "testcode", "normalid", "commentid", "AutoNum"};
    const QStringList booleans{"patientad", "patientus", "grant1", "grant2", "grant4", "grant5",
                               "grant6",    "grant7",    "grant8", "active", "sending"};
    for (auto it = interfaceColumns().cbegin(); it != interfaceColumns().cend(); ++it) {
        const QMap<QString, QString>& columns = tables[it.key()];
        // Columns a later step adds are checked against that step below.
        QStringList expected = it.value();
        expected.removeAll(QStringLiteral("editedby"));
        QCOMPARE(QStringList(columns.keys()).size(), expected.size());
        for (const QString& column : expected) {
            QVERIFY2(columns.contains(column), qPrintable(it.key() + "." + column));
            const QString type = columns[column];
            if (column == it.value().first()) {
                QVERIFY2(keys.contains(column), qPrintable(column));
                QVERIFY2(type.startsWith("int IDENTITY(1,1)") && type.contains("PRIMARY KEY"), qPrintable(type));
            } else if (booleans.contains(column)) {
                QVERIFY2(type.startsWith("bit"), qPrintable(column + " " + type));
            } else if (column == "Testdate") {
                QVERIFY2(type.startsWith("datetime"), qPrintable(type));
            }
            QVERIFY2(!type.startsWith("varchar") && !type.startsWith("text"),
                     qPrintable(column + " must hold Arabic: " + type));
        }
    }
    // The second step adds the editor's mark and widens every column a received text can fill to
    // the longest text the parser makes ("reading (value)": 100 + 3 + 100 characters).
    const QString second = Schema::script("interface-sqlserver-002.sql");
    QVERIFY(second.contains("ALTER TABLE Result ADD editedby nvarchar(50) NULL"));
    for (const char* widened :
         {"SampleID nvarchar(100)", "patientid nvarchar(100)", "shortAssay nvarchar(100)", "resultt1 nvarchar(255)",
          "resultt2 nvarchar(255)", "resultt3 nvarchar(255)", "testunit nvarchar(100)"})
        QVERIFY2(second.contains(QStringLiteral("ALTER TABLE Result ALTER COLUMN ") + QLatin1String(widened)), widened);
    const auto indexNames = [](const QString& text) {
        QStringList names;
        static const QRegularExpression index(R"(CREATE (?:UNIQUE )?INDEX (\w+) ON)");
        for (auto it = index.globalMatch(text); it.hasNext();)
            names << it.next().captured(1);
        return names;
    };
    QCOMPARE(indexNames(script), indexNames(Schema::script("interface-sqlite-001.sql")));
    QVERIFY(!script.contains("AUTOINCREMENT"));
}

void tst_Schema::migratesInOrder()
{
    ScopedConnection c("QSQLITE");
    QVERIFY(c.openSqlite(freshFile()));
    const QList<Schema::Migration> first{{1, "CREATE TABLE Result (AutoNum INTEGER PRIMARY KEY, a TEXT)"}};
    QVERIFY(Schema::migrate(c.db(), SqlEngine::Sqlite, first));
    QVERIFY(SqlRun::insert(c.db(), "Result", {{"a", "kept 'quoted' نص"}}));

    const QList<Schema::Migration> later{
        first[0],
        {2, "ALTER TABLE Result ADD COLUMN b TEXT; UPDATE Result SET b = a || '-2'"},
        {3, "ALTER TABLE Result ADD COLUMN c TEXT; UPDATE Result SET c = b || '-3'"},
    };
    const Schema::Outcome outcome = Schema::migrate(c.db(), SqlEngine::Sqlite, later);
    QVERIFY2(outcome, qPrintable(outcome.error));
    QCOMPARE(outcome.fromVersion, 1);
    QCOMPARE(outcome.toVersion, 3);
    QCOMPARE(versionOf(c.db()), 3);
    const auto row = SqlRun::first(c.db(), "SELECT c FROM Result");
    QVERIFY(row);
    QCOMPARE(row->value(0).toString(), QStringLiteral("kept 'quoted' نص-2-3"));
}

void tst_Schema::leavesCurrentDatabaseAlone()
{
    ScopedConnection c("QSQLITE");
    QVERIFY(c.openSqlite(freshFile()));
    QVERIFY(Schema::ensureInterface(c.db(), SqlEngine::Sqlite));
    QVERIFY(SqlRun::insert(c.db(), "users", {{"patientusname", "a"}}));
    const Schema::Outcome again = Schema::ensureInterface(c.db(), SqlEngine::Sqlite);
    QVERIFY2(again, qPrintable(again.error));
    QCOMPARE(again.fromVersion, again.toVersion);
    QCOMPARE(SqlRun::select(c.db(), "SELECT * FROM users").records.size(), 1);
}

void tst_Schema::refusesNewerDatabase()
{
    ScopedConnection c("QSQLITE");
    QVERIFY(c.openSqlite(freshFile()));
    QVERIFY(Schema::ensureInterface(c.db(), SqlEngine::Sqlite));
    QVERIFY(SqlRun::exec(c.db(), "UPDATE schemaversion SET version=?", {99}));
    const Schema::Outcome outcome = Schema::ensureInterface(c.db(), SqlEngine::Sqlite);
    QVERIFY(!outcome);
    QVERIFY2(outcome.error.contains("99"), qPrintable(outcome.error));
    QCOMPARE(versionOf(c.db()), 99);
}

void tst_Schema::failingStepWritesNothing()
{
    ScopedConnection c("QSQLITE");
    QVERIFY(c.openSqlite(freshFile()));
    const QList<Schema::Migration> steps{
        {1, "CREATE TABLE Result (AutoNum INTEGER PRIMARY KEY); CREATE TABLE other (x int)"},
        {2, "CREATE TABLE more (y int); INSERT INTO nowhere VALUES (1)"},
    };
    const Schema::Outcome outcome = Schema::migrate(c.db(), SqlEngine::Sqlite, steps);
    QVERIFY(!outcome);
    QVERIFY2(outcome.error.contains("nowhere") && outcome.error.contains("step 2"), qPrintable(outcome.error));
    QVERIFY2(c.db().tables().isEmpty(), qPrintable(c.db().tables().join(",")));

    // From an existing version the same: the version and the tables stay as they were.
    QVERIFY(Schema::migrate(c.db(), SqlEngine::Sqlite, {steps[0]}));
    QVERIFY(!Schema::migrate(c.db(), SqlEngine::Sqlite, steps));
    QCOMPARE(versionOf(c.db()), 1);
    QVERIFY(!c.db().tables().contains("more"));
}

void tst_Schema::refusesForeignDatabase()
{
    ScopedConnection c("QSQLITE");
    QVERIFY(c.openSqlite(freshFile()));
    QVERIFY(SqlRun::exec(c.db(), "CREATE TABLE patientinfo (patientid TEXT)"));
    const Schema::Outcome outcome = Schema::ensureInterface(c.db(), SqlEngine::Sqlite);
    QVERIFY(!outcome);
    QVERIFY2(outcome.error.contains("patientinfo"), qPrintable(outcome.error));
    QCOMPARE(c.db().tables(), QStringList{"patientinfo"});
}

// An interface database made before versions were kept has the tables but no version: it counts
// as the first version and is not created again.
void tst_Schema::adoptsDatabaseWithoutVersion()
{
    ScopedConnection c("QSQLITE");
    QVERIFY(c.openSqlite(freshFile()));
    QVERIFY(SqlRun::exec(c.db(), "CREATE TABLE Result (AutoNum INTEGER PRIMARY KEY, Patientname TEXT)"));
    QVERIFY(SqlRun::insert(c.db(), "Result", {{"Patientname", "old"}}));
    const QList<Schema::Migration> steps{{1, "CREATE TABLE Result (x int)"}, {2, "CREATE TABLE extra (y int)"}};
    const Schema::Outcome outcome = Schema::migrate(c.db(), SqlEngine::Sqlite, steps);
    QVERIFY2(outcome, qPrintable(outcome.error));
    QCOMPARE(outcome.fromVersion, 1);
    QCOMPARE(versionOf(c.db()), 2);
    QVERIFY(c.db().tables().contains("extra"));
    QCOMPARE(SqlRun::select(c.db(), "SELECT * FROM Result").records.size(), 1);
}

void tst_Schema::refusesDatabaseMissingATable_data()
{
    QTest::addColumn<QStringList>("steps"); // one script per version; none: the interface scripts
    QTest::addColumn<bool>("versioned");    // else the first script run by hand, as before versions were kept
    QTest::addColumn<QStringList>("damage");
    QTest::addColumn<QStringList>("missing"); // none: accepted
    QTest::newRow("current version without users and comments")
        << QStringList{} << true << QStringList{"DROP TABLE users", "DROP TABLE comments"}
        << QStringList{"users", "comments"};
    QTest::newRow("unversioned without testtable")
        << QStringList{} << false << QStringList{"DROP TABLE testtable"} << QStringList{"testtable"};
    QTest::newRow("table of a later step") << QStringList{"CREATE TABLE Result (a int)", "CREATE TABLE [Held] (y int)"}
                                           << true << QStringList{"DROP TABLE Held"} << QStringList{"Held"};
    QTest::newRow("dropped by a later step: not wanted")
        << QStringList{"CREATE TABLE Result (a int); CREATE TABLE IF NOT EXISTS \"old\" (x int)", "DROP TABLE old"}
        << true << QStringList{} << QStringList{};
}

void tst_Schema::refusesDatabaseMissingATable()
{
    QFETCH(QStringList, steps);
    QFETCH(bool, versioned);
    QFETCH(QStringList, damage);
    QFETCH(QStringList, missing);
    QList<Schema::Migration> migrations = Schema::interfaceMigrations(SqlEngine::Sqlite);
    if (!steps.isEmpty())
        migrations.clear();
    for (const QString& step : steps)
        migrations.append({int(migrations.size()) + 1, step});
    ScopedConnection c("QSQLITE");
    QVERIFY(c.openSqlite(freshFile()));
    if (versioned)
        QVERIFY(Schema::migrate(c.db(), SqlEngine::Sqlite, migrations));
    else
        damage = Schema::statements(migrations.first().sql) + damage;
    for (const QString& sql : damage)
        QVERIFY(SqlRun::exec(c.db(), sql));
    const QStringList tables = c.db().tables();
    const int version = versionOf(c.db());

    const Schema::Outcome outcome = Schema::migrate(c.db(), SqlEngine::Sqlite, migrations);
    QCOMPARE(outcome.ok, missing.isEmpty());
    for (const QString& table : missing)
        QVERIFY2(outcome.error.contains(table), qPrintable(outcome.error));
    // Nothing written: neither a version nor the missing tables.
    QCOMPARE(versionOf(c.db()), version);
    QCOMPARE(c.db().tables(), tables);
}

QTEST_GUILESS_MAIN(tst_Schema)
#include "tst_Schema.moc"
