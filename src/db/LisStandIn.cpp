#include "db/LisStandIn.h"

#include "db/Schema.h"
#include "db/ScopedConnection.h"
#include "db/SqlRun.h"

#include <QFileInfo>
#include <QSqlQuery>

namespace LisStandIn {

namespace {

struct DemoPatient
{
    const char* patientid;
    const char* name;
    const char* sefa;
    const char* sex;
    double age;
    const char* doctorSefa;
    const char* doctor;
    const char* timein;
    const char* moreinfo; // 9th "1" and 10th "0": pregnant or smoking
    QList<std::pair<int, const char*>> tests;
};

const QList<DemoPatient>& demoPatients()
{
    static const QList<DemoPatient> patients{
        {"2601140001230",
         "أحمد محمود علي",
         "السيد",
         "Male",
         45,
         "د/",
         "سامي حسن",
         "09:15 AM",
         "0000000000",
         {{501, "TSH"}, {502, "Free T4"}, {505, "Ferritin"}}},
        {"2601140001247",
         "فاطمة عبد الله",
         "السيدة",
         "Female",
         32,
         "د/",
         "منى إبراهيم",
         "09:40 AM",
         "0000000010",
         {{503, "Prolactin"}, {501, "TSH"}}},
        {"2601140001254",
         "يوسف أحمد",
         "الطفل",
         "Male",
         8,
         "د/",
         "سامي حسن",
         "10:05 AM",
         "0000000000",
         {{504, "C-Reactive Protein"}, {506, "25 OH Vitamin D Total"}}},
        {"2601140001261",
         "Mary O'Neil \"Molly\"",
         "Mrs.",
         "Female",
         60,
         "Dr.",
         "O'Brien",
         "10:30 AM",
         "0000000000",
         {{507, "HIV DUO Ultra"}, {508, "HBs Ag Ultra"}}},
    };
    return patients;
}

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

} // namespace

QStringList demoPatientIds()
{
    QStringList ids;
    for (const DemoPatient& p : demoPatients())
        ids.append(QString::fromLatin1(p.patientid));
    return ids;
}

bool ensure(const QString& file, QString* error)
{
    ScopedConnection connection(QStringLiteral("QSQLITE"));
    if (!connection.openSqlite(file, error))
        return false;
    QSqlDatabase db = connection.db();
    return ensureOn(db, SqlEngine::Sqlite, error);
}

bool ensureOn(QSqlDatabase& db, SqlEngine engine, QString* error)
{
    QStringList tables;
    for (const QString& table : db.tables())
        tables.append(table.toLower());
    const bool hasInfo = tables.contains(QLatin1String("patientinfo"));
    const bool hasTest = tables.contains(QLatin1String("patienttest"));
    if (hasInfo && hasTest)
        return true;
    if (!tables.isEmpty()) {
        setError(error, QStringLiteral("%1 holds other tables (%2); not made an LIS stand-in")
                            .arg(db.databaseName(), tables.join(QStringLiteral(", "))));
        return false;
    }
    const QString script = engine == SqlEngine::Postgres ? QStringLiteral("lis-standin-postgresql.sql")
                                                         : QStringLiteral("lis-standin-sqlite.sql");
    const Schema::Outcome outcome = Schema::runScript(db, engine, Schema::script(script));
    if (!outcome)
        setError(error, outcome.error);
    return outcome.ok;
}

bool addDemoRequests(const QSqlDatabase& lis, const QDate& today, QString* error)
{
    QSqlDatabase db = lis;
    if (!db.transaction()) {
        setError(error, QStringLiteral("cannot start a transaction"));
        return false;
    }
    const auto fail = [&](const SqlRun::Outcome& outcome) {
        db.rollback();
        setError(error, outcome.errorText());
        return false;
    };
    for (const DemoPatient& p : demoPatients()) {
        const QString id = QString::fromLatin1(p.patientid);
        for (const QString& table : {QStringLiteral("patienttest"), QStringLiteral("patientinfo")}) {
            const auto removed = SqlRun::exec(db, QStringLiteral("DELETE FROM %1 WHERE patientid=?").arg(table), {id});
            if (!removed)
                return fail(removed);
        }
        const auto info = SqlRun::insert(db, QStringLiteral("patientinfo"),
                                         {{QStringLiteral("patientid"), id},
                                          {QStringLiteral("patientnamear"), QString::fromUtf8(p.name)},
                                          {QStringLiteral("patientsefa"), QString::fromUtf8(p.sefa)},
                                          {QStringLiteral("patientsex"), QString::fromUtf8(p.sex)},
                                          {QStringLiteral("patientage"), p.age},
                                          {QStringLiteral("patientageunit"), QStringLiteral("Years")},
                                          {QStringLiteral("referredbysefa"), QString::fromUtf8(p.doctorSefa)},
                                          {QStringLiteral("referredbyname"), QString::fromUtf8(p.doctor)},
                                          {QStringLiteral("requestdate"), today},
                                          {QStringLiteral("timein"), QString::fromLatin1(p.timein)},
                                          {QStringLiteral("moreinfo"), QString::fromLatin1(p.moreinfo)}});
        if (!info)
            return fail(info);
        for (const auto& [code, name] : p.tests) {
            const auto test = SqlRun::insert(db, QStringLiteral("patienttest"),
                                             {{QStringLiteral("patientid"), id},
                                              {QStringLiteral("requestdate"), today},
                                              {QStringLiteral("testcode"), code},
                                              {QStringLiteral("testsimp"), QString::fromUtf8(name)},
                                              {QStringLiteral("resultfinsh"), false}});
            if (!test)
                return fail(test);
        }
    }
    if (!db.commit()) {
        db.rollback();
        setError(error, QStringLiteral("cannot commit the demo requests"));
        return false;
    }
    return true;
}

} // namespace LisStandIn
