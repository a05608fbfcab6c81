#include "app/DailyWorklist.h"

#include "common/DateFormats.h"
#include "common/Numbers.h"
#include "core/AppContext.h"
#include "db/Databases.h"
#include "db/SqlRun.h"
#include "db/SqlTransaction.h"
#include "link/ChainValues.h"
#include "link/PatientMatch.h"

#include <QSqlRecord>

namespace DailyWorklist {

namespace {

using ChainValues::fieldText;

// The main window's connection: a failure shows its message, and the window stays as it is
// instead of handing over to the settings window in the middle of the day's work.
QSqlDatabase interfaceDb(AppContext& context)
{
    return context.databases().OpenInterfaceDbQuiet(1);
}

QString textOf(const QSqlRecord& row, const char* column)
{
    return fieldText(row.value(QLatin1String(column)));
}

// A stored clock time shown as "hh:nn AM/PM"; a text that is no time stays as it is.
QString timeText(const QString& stored)
{
    const QTime time = DateFormats::parseTime(stored);
    return time.isValid() ? DateFormats::timeAmPm(time) : stored;
}

QString dateText(const QVariant& value)
{
    const QDate date = SqlRun::toDate(value);
    return date.isValid() ? DateFormats::dayMonthYear(date) : fieldText(value);
}

// The patient columns of a worklist row as the header labels carry them (null when empty).
SqlRun::Columns patientColumns(const WorklistRow& row)
{
    const double age = Numbers::toNumber(row.age);
    const QTime time = DateFormats::parseTime(row.timeIn);
    return {
        {QStringLiteral("SampleID"), QString(QLatin1String(""))},
        {QStringLiteral("patientid"), SqlRun::textOrNull(row.patientId)},
        {QStringLiteral("Patientname"), SqlRun::textOrNull(row.patientName)},
        {QStringLiteral("DocName"), SqlRun::textOrNull(row.referredBy)},
        {QStringLiteral("sex"), SqlRun::textOrNull(row.sex)},
        {QStringLiteral("ageN"), age == 0.0 ? SqlRun::nullNumber() : QVariant(age)},
        {QStringLiteral("ageU"), SqlRun::textOrNull(row.ageUnit)},
        {QStringLiteral("patientsefa"), SqlRun::textOrNull(row.patientSefa)},
        {QStringLiteral("Drsefa"), SqlRun::textOrNull(row.referredBySefa)},
        {QStringLiteral("Testdate"), row.requestDate.isValid() ? QVariant(row.requestDate) : SqlRun::nullDate()},
        {QStringLiteral("TestTime"),
         time.isValid() ? QVariant(DateFormats::timeAmPm(time)) : SqlRun::textOrNull(row.timeIn)},
    };
}

// The catalogue columns a sample takes over from its testtable row.
void addCatalogueColumns(SqlRun::Columns& columns, const QSqlRecord& test, std::initializer_list<const char*> names)
{
    for (const char* name : names) {
        const QVariant value = test.value(QLatin1String(name));
        if (!value.isNull() && !fieldText(value).isEmpty())
            columns.append({QLatin1String(name), value});
    }
}

} // namespace

QList<DayPatient> patientsOfDay(AppContext& context, const QDate& day, bool* ok)
{
    QList<DayPatient> patients;
    if (ok)
        *ok = false;
    const QSqlDatabase db = interfaceDb(context);
    if (!db.isOpen())
        return patients;
    // Within a day the patient with the latest result comes first.
    const SqlRun::Rows rows = SqlRun::select(
        db,
        QStringLiteral("SELECT patientname,patientid,Testdate FROM Result where Testdate >= ? AND Testdate <= ? "
                       "GROUP BY patientname,patientid,Testdate order by Testdate DESC, MAX(AutoNum) DESC "),
        {day, day});
    if (!rows)
        return patients;
    patients.reserve(rows.records.size());
    for (const QSqlRecord& row : rows.records)
        patients.append({textOf(row, "patientid"), textOf(row, "patientname"),
                         SqlRun::toDate(row.value(QStringLiteral("Testdate")))});
    if (ok)
        *ok = true;
    return patients;
}

ResultView loadResultView(AppContext& context)
{
    ResultView view;
    const ResultSelection& criteria = context.ResultCriteria;
    if (criteria.isEmpty())
        return view;
    const QSqlDatabase db = interfaceDb(context);
    if (!db.isOpen())
        return view;
    const SqlRun::Rows rows = SqlRun::select(
        db, QStringLiteral("SELECT * FROM Result where ") + criteria.condition + QStringLiteral(" ORDER BY AutoNum"),
        criteria.values);
    if (!rows)
        return view;
    view.ok = true;
    if (rows.isEmpty())
        return view;
    const QSqlRecord& first = rows.records.first();
    ResultHeader& h = view.header;
    h.sampleId = textOf(first, "SampleID");
    h.patientId = textOf(first, "patientid");
    h.patientSefa = textOf(first, "patientsefa");
    h.patientName = textOf(first, "Patientname");
    h.drSefa = textOf(first, "Drsefa");
    h.docName = textOf(first, "DocName");
    h.sex = textOf(first, "sex");
    h.ageN = textOf(first, "ageN");
    h.ageU = textOf(first, "ageU");
    h.testDate = dateText(first.value(QStringLiteral("Testdate")));
    h.testTime = timeText(textOf(first, "TestTime"));
    h.pregnant = first.value(QStringLiteral("sending")).toBool();
    view.lines.reserve(rows.records.size());
    for (const QSqlRecord& row : rows.records)
        view.lines.append({textOf(row, "testsimp"), textOf(row, "resultt1"), textOf(row, "testunit"),
                           textOf(row, "RESULTCASEPRINT"), textOf(row, "normalrang"),
                           row.value(QStringLiteral("AutoNum")).toLongLong(), textOf(row, "SampleID"),
                           RowVersion::of(row)});
    return view;
}

AddOutcome addTest(AppContext& context, const WorklistRow& row)
{
    const QSqlDatabase db = interfaceDb(context);
    if (!db.isOpen())
        return AddOutcome::Failed;
    const SqlRun::Rows existing =
        SqlRun::select(db, QStringLiteral("SELECT AutoNum FROM Result where patientid=? and crvtestid=? "),
                       {row.patientId, row.testCode});
    if (!existing)
        return AddOutcome::Failed;
    if (!existing.isEmpty())
        return AddOutcome::AlreadyAdded;

    SqlRun::Columns columns = patientColumns(row);
    columns.append({QStringLiteral("crvtestid"), row.testCode == 0 ? SqlRun::nullNumber() : QVariant(row.testCode)});
    columns.append({QStringLiteral("sending"), PatientMatch::pregnancyState(row.moreInfo) == 1});
    columns.append({QStringLiteral("testcode"), row.testCode});
    columns.append({QStringLiteral("testsimp"), SqlRun::textOrNull(row.testName)});
    // The catalogue's names for the test replace the LIS's where it has them.
    const auto test = SqlRun::first(db, QStringLiteral("SELECT * FROM testtable where crvtestid=? "), {row.testCode});
    if (test) {
        for (const char* name : {"testcode", "testsimp", "testabrev", "shortAssay", "REFRANGE", "subgroupname"}) {
            const QVariant value = test->value(QLatin1String(name));
            auto it = std::find_if(columns.begin(), columns.end(),
                                   [name](const auto& c) { return c.first == QLatin1String(name); });
            if (it != columns.end())
                it->second = value;
            else
                columns.append({QLatin1String(name), value});
        }
    }
    return SqlRun::insert(db, QStringLiteral("Result"), columns) ? AddOutcome::Added : AddOutcome::Failed;
}

AddOutcome addPatient(AppContext& context, const WorklistRow& row)
{
    const QSqlDatabase db = interfaceDb(context);
    if (!db.isOpen())
        return AddOutcome::Failed;
    const SqlRun::Rows existing =
        SqlRun::select(db, QStringLiteral("SELECT AutoNum FROM Result where patientid=? "), {row.patientId});
    if (!existing)
        return AddOutcome::Failed;
    if (!existing.isEmpty())
        return AddOutcome::AlreadyAdded;
    return SqlRun::insert(db, QStringLiteral("Result"), patientColumns(row)) ? AddOutcome::Added : AddOutcome::Failed;
}

qint64 newSample(AppContext& context, const QString& assay)
{
    const QSqlDatabase db = interfaceDb(context);
    if (!db.isOpen())
        return 0;
    const QDateTime now = context.clock().now();
    SqlRun::Columns columns{
        {QStringLiteral("SampleID"), QString(QLatin1String(""))},
        {QStringLiteral("Patientname"), QStringLiteral("NEW")},
        {QStringLiteral("Testdate"), now.date()},
        {QStringLiteral("TestTime"), DateFormats::timeAmPm(now.time())},
    };
    if (!assay.isEmpty()) {
        const Dialect dialect = context.databases().dialect(DbSlot::InterfaceQuiet1);
        const auto test = SqlRun::first(db,
                                        QStringLiteral("SELECT ") + dialect.top(1) +
                                            QStringLiteral("* FROM testtable where shortAssay= ? ") + dialect.limit(1),
                                        {assay});
        if (test)
            addCatalogueColumns(
                columns, *test,
                {"shortAssay", "testsimp", "testabrev", "subgroupname", "crvtestid", "testcode", "arrangnum"});
    }
    const SqlRun::Outcome added = SqlRun::insert(db, QStringLiteral("Result"), columns);
    return added ? added.lastInsertId.toLongLong() : 0;
}

DeleteOutcome deleteResult(AppContext& context, qint64 autoNum, const RowVersion::Version& shown,
                           QList<RowVersion::Change>* changes)
{
    const QSqlDatabase db = interfaceDb(context);
    if (!db.isOpen())
        return DeleteOutcome::Failed;
    const SqlEngine engine = context.databases().dialect(DbSlot::InterfaceQuiet1).engine();
    QSqlError error;
    if (!SqlTransaction::begin(db, engine, &error))
        return DeleteOutcome::Failed;
    const auto outcome = [&](DeleteOutcome result) {
        if (result == DeleteOutcome::Deleted && SqlTransaction::commit(db, engine, &error))
            return result;
        SqlTransaction::rollback(db, engine);
        return result == DeleteOutcome::Deleted ? DeleteOutcome::Failed : result;
    };
    // Only the row as it was shown is deleted: a result sent again or corrected elsewhere since is
    // shown first.
    const auto stored = SqlRun::first(db, QStringLiteral("SELECT * FROM Result where AUTONUM=?"), {autoNum}, &error);
    if (!stored)
        return outcome(error.isValid() ? DeleteOutcome::Failed : DeleteOutcome::Gone);
    QList<RowVersion::Change> since = RowVersion::since(shown, *stored);
    if (!since.isEmpty()) {
        RowVersion::attachHistory(db, autoNum, since);
        if (changes)
            *changes = since;
        return outcome(DeleteOutcome::Changed);
    }
    const SqlRun::Outcome removed = SqlRun::exec(db, QStringLiteral("Delete FROM Result where AUTONUM=?"), {autoNum});
    if (!removed)
        return outcome(DeleteOutcome::Failed);
    return outcome(removed.rowsAffected == 0 ? DeleteOutcome::Gone : DeleteOutcome::Deleted);
}

int valueColour(const QString& value, const QString& flag, const QString& range)
{
    if (!flag.isEmpty() && !range.isEmpty())
        return 0x0000C0;
    if (flag.isEmpty() && !range.isEmpty()) {
        // Green says "inside the range", and only a number can be: a reading such as "Positive" on
        // a test without limits carries no flag, and must not look normal for it.
        bool number = false;
        value.trimmed().toDouble(&number);
        return number ? 0x008000 : neutralColour;
    }
    return 0xFF0000;
}

QVariant changeMark(AppContext& context)
{
    Databases& databases = context.databases();
    if (!databases.isOpen(DbSlot::InterfaceQuiet1))
        return {};
    const auto row = SqlRun::first(databases.connection(DbSlot::InterfaceQuiet1),
                                   QStringLiteral("SELECT (SELECT MAX(sessionid) FROM receivedsession) AS s, "
                                                  "(SELECT MAX(AutoNum) FROM Result) AS r"));
    if (!row)
        return {};
    return QStringList{fieldText(row->value(0)), fieldText(row->value(1))}.join(QLatin1Char('/'));
}

} // namespace DailyWorklist
