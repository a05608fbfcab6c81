#pragma once

// What the benchmarks share: a laboratory's worth of data in an install folder on SQLite, or on a
// PostgreSQL server (--engine postgresql: the server whose socket folder is in CORVANA_PG_SOCKET,
// or a throw-away one started with scripts/pg-sandbox.sh for the run).

#include "config/IniFile.h"
#include "core/AppContext.h"
#include "db/Databases.h"
#include "db/LisStandIn.h"
#include "db/Schema.h"
#include "db/ScopedConnection.h"
#include "db/SqlRun.h"
#include "link/AnalyserCapture.h"
#include "link/ReceiveChain.h"
#include "platform/Dialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

constexpr int kTests = 100;
constexpr int kRangesPerTest = 10;
constexpr int kResults = 1000000;
constexpr int kDays = 1000;
constexpr int kPatients = 100000;
constexpr int kRequestsPerPatient = 3;
constexpr int kBaud = 9600;
constexpr int kBitsPerByte = 10; // start, 8 data, stop

class SilentDialogs final : public Dialogs
{
public:
    DialogAnswer show(const DialogRequest& request) override
    {
        std::fprintf(stderr, "message: %s: %s\n", qUtf8Printable(request.title), qUtf8Printable(request.text));
        ++shown;
        return DialogAnswer::No;
    }
    int shown = 0;
};

class FixedClock final : public Clock
{
public:
    QDateTime now() const override { return at; }
    QDateTime at;
};

void say(const QString& text)
{
    std::fprintf(stderr, "%s\n", qUtf8Printable(text));
    std::fflush(stderr);
}

// Where the benchmark's databases are.
struct BenchEngine
{
    bool postgres = false;
    QString socket;
    std::unique_ptr<QTemporaryDir> sandbox; // a server of this run's own, stopped at the end

    BenchEngine() = default;
    BenchEngine(const BenchEngine&) = delete;
    BenchEngine& operator=(const BenchEngine&) = delete;
    ~BenchEngine()
    {
        if (sandbox)
            QProcess::execute(QStringLiteral("bash"), {QStringLiteral(CORVANA_SOURCE_DIR "/scripts/pg-sandbox.sh"),
                                                       QStringLiteral("stop"), sandbox->path()});
    }
    QString name() const { return postgres ? QStringLiteral("PostgreSQL") : QStringLiteral("SQLite"); }
    QString driver() const { return postgres ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"); }
    SqlEngine engine() const { return postgres ? SqlEngine::Postgres : SqlEngine::Sqlite; }
};

void say(const QString& text);

// "--engine postgresql" among the arguments; false when the server cannot be had.
bool chooseEngine(const QStringList& args, BenchEngine& engine)
{
    const qsizetype at = args.indexOf(QStringLiteral("--engine"));
    engine.postgres = at > 0 && args.value(at + 1) == QLatin1String("postgresql");
    if (!engine.postgres)
        return true;
    engine.socket = qEnvironmentVariable("CORVANA_PG_SOCKET");
    if (!engine.socket.isEmpty())
        return true;
    engine.sandbox = std::make_unique<QTemporaryDir>(QStringLiteral("/tmp/corvana-bench-pg-XXXXXX"));
    QProcess start;
    start.start(QStringLiteral("bash"), {QStringLiteral(CORVANA_SOURCE_DIR "/scripts/pg-sandbox.sh"),
                                         QStringLiteral("start"), engine.sandbox->path()});
    start.waitForFinished(120000);
    engine.socket = QString::fromLocal8Bit(start.readAllStandardOutput()).trimmed();
    if (start.exitCode() != 0 || engine.socket.isEmpty()) {
        say(QStringLiteral("no PostgreSQL server: %1").arg(QString::fromLocal8Bit(start.readAllStandardError())));
        return false;
    }
    return true;
}

const QString benchInterfaceDb = QStringLiteral("bench_interfacevidas");
const QString benchLisDb = QStringLiteral("bench_patients");

// Opens a benchmark database: the SQLite file, or the server database of that name (made when missing).
bool openBenchDb(ScopedConnection& c, const BenchEngine& engine, const QString& file, const QString& database)
{
    QString error;
    if (!engine.postgres) {
        if (c.openSqlite(file, &error))
            return true;
        say(error);
        return false;
    }
    c.db().setHostName(engine.socket);
    c.db().setUserName(QStringLiteral("corvana"));
    c.db().setDatabaseName(QStringLiteral("postgres"));
    if (!c.db().open()) {
        say(c.db().lastError().text());
        return false;
    }
    {
        QSqlQuery q(c.db());
        q.exec(QStringLiteral("SELECT 1 FROM pg_database WHERE datname='%1'").arg(database));
        if (!q.next() && !q.exec(QStringLiteral("CREATE DATABASE %1").arg(database))) {
            say(q.lastError().text());
            return false;
        }
    }
    c.db().close();
    c.db().setDatabaseName(database);
    if (c.db().open())
        return true;
    say(c.db().lastError().text());
    return false;
}

bool run(QSqlQuery& q, const QString& sql)
{
    if (q.exec(sql))
        return true;
    say(QStringLiteral("%1: %2").arg(sql, q.lastError().text()));
    return false;
}

// The index statements of `db`, so that a bulk load can drop and rebuild them (much faster than
// keeping them up to date row by row). Keys stay.
QStringList indexStatements(QSqlDatabase& db)
{
    QStringList list;
    QSqlQuery q(db);
    if (db.driverName() == QLatin1String("QPSQL"))
        q.exec(QStringLiteral("SELECT indexdef FROM pg_indexes WHERE schemaname='public' AND indexname NOT LIKE "
                              "'%_pkey'"));
    else
        q.exec(QStringLiteral("SELECT sql FROM sqlite_master WHERE type='index' AND sql IS NOT NULL"));
    while (q.next())
        list << q.value(0).toString();
    return list;
}

bool dropIndexes(QSqlDatabase& db)
{
    QStringList names;
    QSqlQuery q(db);
    if (db.driverName() == QLatin1String("QPSQL"))
        q.exec(QStringLiteral("SELECT indexname FROM pg_indexes WHERE schemaname='public' AND indexname NOT LIKE "
                              "'%_pkey'"));
    else
        q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type='index' AND sql IS NOT NULL"));
    while (q.next())
        names << q.value(0).toString();
    for (const QString& name : names) {
        if (!run(q, QStringLiteral("DROP INDEX ") + name))
            return false;
    }
    return true;
}

// Before a bulk load: no waiting for the disk on SQLite (the figures are of reads).
void bulkLoadPragmas(QSqlDatabase& db)
{
    if (db.driverName() != QLatin1String("QSQLITE"))
        return;
    QSqlQuery q(db);
    run(q, QStringLiteral("PRAGMA synchronous=OFF"));
    run(q, QStringLiteral("PRAGMA cache_size=-200000"));
}

// After it: the indexes back, and what the planner needs to know.
bool afterBulkLoad(QSqlDatabase& db, const QStringList& indexes)
{
    QSqlQuery q(db);
    for (const QString& statement : indexes) {
        if (!run(q, statement))
            return false;
    }
    if (db.driverName() == QLatin1String("QPSQL"))
        return run(q, QStringLiteral("ANALYZE"));
    return run(q, QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
}

QString sampleOf(const QDate& day, int number)
{
    return day.toString(QStringLiteral("yyMMdd")) + QString::number(number).rightJustified(6, QLatin1Char('0'));
}

QString patientOf(const QDate& day, int number)
{
    return sampleOf(day, number) + QLatin1Char('0');
}

QString assayOf(int test)
{
    return QStringLiteral("A%1").arg(test, 3, 10, QLatin1Char('0'));
}

struct Catalogue
{
    int kind(int test) const { return test % 4; } // 0: sex and age, 1: all, 2: age, 3: sex
};

bool generateInterface(const BenchEngine& engine, const QString& file, const QDate& today)
{
    ScopedConnection c(engine.driver());
    if (!openBenchDb(c, engine, file, benchInterfaceDb))
        return false;
    QSqlDatabase& db = c.db();
    {
        // A server database of an earlier run is made anew.
        QSqlQuery q(db);
        if (engine.postgres && !run(q, QStringLiteral("DROP SCHEMA public CASCADE; CREATE SCHEMA public")))
            return false;
    }
    const Schema::Outcome schema = Schema::ensureInterface(db, engine.engine());
    if (!schema) {
        say(schema.error);
        return false;
    }
    QSqlQuery q(db);
    bulkLoadPragmas(db);
    const QStringList indexes = indexStatements(db);
    if (!dropIndexes(db) || !db.transaction())
        return false;

    Catalogue catalogue;
    QSqlQuery test(db);
    test.prepare(
        QStringLiteral("INSERT INTO testtable (testcode, shortAssay, testsimp, testabrev, subgroupname, "
                       "crvtestid, active, correctfactors, REFRANGE, arrangnum) VALUES (?,?,?,?,?,?,1,?,?,?)"));
    QSqlQuery range(db);
    range.prepare(QStringLiteral("INSERT INTO normalrange (testcode, testsimp, sex, ageunit, firstold, secondold, "
                                 "pregsmok, lowlimit, highlimit, nolowexe, nohighexe, lowcomment, highcomment, "
                                 "normalrang, testunit, REFRANGE) VALUES (?,?,?,?,?,?,?,?,?,'L','H',?,?,?,?,?)"));
    for (int t = 1; t <= kTests; ++t) {
        const int kind = catalogue.kind(t);
        test.addBindValue(t);
        test.addBindValue(assayOf(t));
        test.addBindValue(QStringLiteral("Test %1").arg(t));
        test.addBindValue(assayOf(t));
        test.addBindValue(QStringLiteral("Group %1").arg(t % 7));
        test.addBindValue(1000 + t);
        test.addBindValue(t % 10 == 0 ? 2.0 : 1.0);
        test.addBindValue(QString::number(kind));
        test.addBindValue(t);
        if (!test.exec()) {
            say(test.lastError().text());
            return false;
        }
        // Ten ranges of the test's kind: two states, and five age bands or sexes.
        for (int r = 0; r < kRangesPerTest; ++r) {
            const int band = r % 5;
            const QString p = r < 5 ? QStringLiteral("0") : QStringLiteral("1");
            const QString sex = kind == 1 || kind == 2
                                    ? QStringLiteral("All")
                                    : (band % 2 == 0 ? QStringLiteral("Male") : QStringLiteral("Female"));
            const bool aged = kind == 0 || kind == 2;
            range.addBindValue(t);
            range.addBindValue(QStringLiteral("Test %1").arg(t));
            range.addBindValue(sex);
            range.addBindValue(aged ? QVariant(QStringLiteral("Years")) : QVariant(QMetaType::fromType<QString>()));
            range.addBindValue(aged ? band * 25.0 : 0.0);
            range.addBindValue(aged ? band * 25.0 + 24.0 : 0.0);
            range.addBindValue(p);
            range.addBindValue(10.0);
            range.addBindValue(20.0);
            range.addBindValue(QStringLiteral("below"));
            range.addBindValue(QStringLiteral("above"));
            range.addBindValue(QStringLiteral("10 - 20"));
            range.addBindValue(QStringLiteral("ng/ml"));
            range.addBindValue(QString::number(kind));
            if (!range.exec()) {
                say(range.lastError().text());
                return false;
            }
        }
    }

    QSqlQuery result(db);
    result.prepare(QStringLiteral(
        "INSERT INTO Result (SampleID, patientid, Patientname, patientsefa, DocName, Drsefa, sex, ageN, ageU, "
        "Testdate, TestTime, testcode, shortAssay, LongAssay, resultt1, resultt2, resultt3, testunit, REFRANGE, "
        "testsimp, testabrev, subgroupname, normalrang, RESULTCASEPRINT, lowlimit, highlimit, nolowexe, nohighexe, "
        "comment, sending) VALUES (?,?,?,'Mr.',?,'Dr.',?,?,'Years',?,'09:42 AM',?,?,?,?,'',?,'ng/ml',?,?,?,?,"
        "'10 - 20',?,10,20,'L','H',NULL,0)"));
    QRandomGenerator random(42);
    const int perDay = kResults / kDays;
    for (int i = 0; i < kResults; ++i) {
        const QDate day = today.addDays(-1 - i / perDay);
        const int t = 1 + static_cast<int>(random.bounded(kTests));
        const QString sample = sampleOf(day, i % perDay / 3);
        const double value = 5.0 + random.bounded(20.0);
        const QString text = QString::number(value, 'f', 2);
        result.addBindValue(sample);
        result.addBindValue(sample + QLatin1Char('0'));
        result.addBindValue(QStringLiteral("Patient %1").arg(i % 50000));
        result.addBindValue(QStringLiteral("Doctor %1").arg(i % 300));
        result.addBindValue(i % 2 ? QStringLiteral("Male") : QStringLiteral("Female"));
        result.addBindValue(20.0 + i % 60);
        result.addBindValue(day);
        result.addBindValue(t);
        result.addBindValue(assayOf(t));
        result.addBindValue(QStringLiteral("Long name of %1").arg(assayOf(t)));
        result.addBindValue(text);
        result.addBindValue(text);
        result.addBindValue(catalogue.kind(t));
        result.addBindValue(QStringLiteral("Test %1").arg(t));
        result.addBindValue(assayOf(t));
        result.addBindValue(QStringLiteral("Group %1").arg(t % 7));
        result.addBindValue(value > 20 ? QStringLiteral("H") : QString(0, QChar()));
        if (!result.exec()) {
            say(result.lastError().text());
            return false;
        }
        if (i % 200000 == 199999)
            say(QStringLiteral("  %1 results").arg(i + 1));
    }
    if (!db.commit())
        return false;
    return afterBulkLoad(db, indexes);
}

bool generateLis(const BenchEngine& engine, const QString& file, const QDate& today, int todays)
{
    ScopedConnection c(engine.driver());
    if (!openBenchDb(c, engine, file, benchLisDb))
        return false;
    QSqlDatabase& db = c.db();
    QSqlQuery q(db);
    QString error;
    if ((engine.postgres && !run(q, QStringLiteral("DROP SCHEMA public CASCADE; CREATE SCHEMA public"))) ||
        !LisStandIn::ensureOn(db, engine.engine(), &error)) {
        say(error);
        return false;
    }
    bulkLoadPragmas(db);
    const QStringList indexes = indexStatements(db);
    if (!dropIndexes(db) || !db.transaction())
        return false;
    QSqlQuery info(db);
    info.prepare(QStringLiteral("INSERT INTO patientinfo (patientid, patientnamear, patientsefa, patientsex, "
                                "patientage, patientageunit, referredbysefa, referredbyname, requestdate, timein, "
                                "moreinfo) VALUES (?,?,'Mr.',?,?,'Years','Dr.',?,?,'09:00 AM',?)"));
    QSqlQuery request(db);
    request.prepare(QStringLiteral("INSERT INTO patienttest (patientid, requestdate, testcode, testsimp, resultfinsh) "
                                   "VALUES (?,?,?,?,0)"));
    QRandomGenerator random(7);
    // Today's patients first, the others spread over the earlier days.
    const int perDay = std::max(1, (kPatients - todays) / kDays);
    for (int i = 0; i < kPatients; ++i) {
        const bool isToday = i < todays;
        const QDate day = isToday ? today : today.addDays(-1 - (i - todays) / perDay);
        const int number = isToday ? i : (i - todays) % perDay;
        const QString id = patientOf(day, number);
        info.addBindValue(id);
        info.addBindValue(QStringLiteral("Patient %1").arg(i));
        info.addBindValue(i % 2 ? QStringLiteral("Male") : QStringLiteral("Female"));
        info.addBindValue(1.0 + i % 99);
        info.addBindValue(QStringLiteral("Doctor %1").arg(i % 300));
        info.addBindValue(day);
        info.addBindValue(i % 17 == 0 ? QStringLiteral("0000000010") : QStringLiteral("0000000000"));
        if (!info.exec()) {
            say(info.lastError().text());
            return false;
        }
        const int first = 1 + static_cast<int>(random.bounded(kTests - kRequestsPerPatient));
        for (int r = 0; r < kRequestsPerPatient; ++r) {
            request.addBindValue(id);
            request.addBindValue(day);
            request.addBindValue(1000 + first + r);
            request.addBindValue(QStringLiteral("Test %1").arg(first + r));
            if (!request.exec()) {
                say(request.lastError().text());
                return false;
            }
        }
    }
    if (!db.commit())
        return false;
    return afterBulkLoad(db, indexes);
}

void writeSettings(const BenchEngine& engine, const QString& ini)
{
    const auto set = [&ini](const char* section, const char* key, const QString& value) {
        WriteIni(ini, QString::fromLatin1(section), QString::fromLatin1(key), value);
    };
    if (engine.postgres) {
        for (const char* section : {"server", "corvanaserver"}) {
            set(section, "engine", QStringLiteral("postgresql"));
            set(section, "servername", engine.socket);
            set(section, "UserID", QStringLiteral("corvana"));
        }
        set("server", "database", benchInterfaceDb);
        set("server", "CRIauthentication", QStringLiteral("1"));
        set("corvanaserver", "database", benchLisDb);
        set("corvanaserver", "CRVauthentication", QStringLiteral("1"));
    } else {
        set("server", "engine", QStringLiteral("sqlite"));
        set("server", "database", QStringLiteral("InterfaceVIDAS.db"));
        set("server", "CRIauthentication", QStringLiteral("0"));
        set("corvanaserver", "engine", QStringLiteral("sqlite"));
        set("corvanaserver", "database", QStringLiteral("Patients.db"));
    }
    set("corvanaserver", "CRVaccess", QStringLiteral("0"));
    set("corvanaserver", "active", QStringLiteral("1"));
    set("comsetup", "autsavecrv", QStringLiteral("1"));
    set("comsetup", "autoComment", QStringLiteral("1"));
    set("comsetup", "soudorno", QStringLiteral("0"));
    set("report", "IDdigitsNo", QStringLiteral("13"));
}

struct Figures
{
    double median = 0;
    double p99 = 0;
    double max = 0;
};

Figures figuresOf(QList<double> ms)
{
    std::sort(ms.begin(), ms.end());
    Figures f;
    if (ms.isEmpty())
        return f;
    f.median = ms.size() % 2 ? ms[ms.size() / 2] : (ms[ms.size() / 2 - 1] + ms[ms.size() / 2]) / 2;
    f.p99 = ms[std::min<qsizetype>(ms.size() - 1, static_cast<qsizetype>(ms.size() * 0.99))];
    f.max = ms.last();
    return f;
}

// Generates the databases in `install` once (a marker file remembers it, so a kept folder is
// reused): the catalogue and ranges, 1,000,000 results over the 1,000 days before `today`, and
// 100,000 LIS patients of whom `todays` are requested on `today`.
bool ensureGenerated(const BenchEngine& engine, const InstallFolder& install, const QDate& today, int todays)
{
    const QString marker =
        install.filePath(QStringLiteral("generated-%1%2").arg(todays).arg(engine.postgres ? "-postgresql" : ""));
    // A server of this run's own starts empty whatever the folder remembers.
    if (engine.sandbox)
        QFile::remove(marker);
    writeSettings(engine, install.settingsIni());
    if (!QFileInfo::exists(marker)) {
        for (const char* name : {"InterfaceVIDAS.db", "Patients.db"}) {
            const QString file = install.filePath(QString::fromLatin1(name));
            for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
                QFile::remove(file + suffix);
        }
        say(QStringLiteral("generating the %1 databases for %2 ...").arg(engine.name(), install.path()));
        QElapsedTimer generating;
        generating.start();
        if (!generateInterface(engine, install.filePath(QStringLiteral("InterfaceVIDAS.db")), today) ||
            !generateLis(engine, install.filePath(QStringLiteral("Patients.db")), today, todays))
            return false;
        QFile(marker).open(QIODevice::WriteOnly);
        say(QStringLiteral("generated in %1 s").arg(generating.elapsed() / 1000.0, 0, 'f', 1));
    }

    return true;
}

} // namespace
