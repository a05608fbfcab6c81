#include "review/LisWorklist.h"

#include "common/DateFormats.h"
#include "core/AppContext.h"
#include "db/Databases.h"
#include "db/SqlRun.h"
#include "link/ChainValues.h"

#include <QHash>
#include <QSqlRecord>

namespace LisWorklist {

namespace {

using ChainValues::fieldText;

QString textOf(const QSqlRecord& row, const char* column)
{
    return fieldText(row.value(QLatin1String(column)));
}

} // namespace

QStringList WorklistRow::columns() const
{
    return {patientId,
            patientName,
            sex,
            age,
            ageUnit,
            testName,
            referredBy,
            requestDate.isValid() ? DateFormats::dayMonthYear(requestDate) : QString(),
            timeIn,
            patientSefa,
            referredBySefa,
            QString::number(testCode),
            moreInfo};
}

ActiveTests loadActiveTests(AppContext& context)
{
    ActiveTests tests;
    const QSqlDatabase db = context.databases().OpenInterfaceDbQuiet(1);
    if (db.isOpen()) {
        const SqlRun::Rows rows = SqlRun::select(
            db, QStringLiteral("SELECT shortAssay,crvtestid,active FROM testtable where active=1 and crvtestid<>0 "
                               "order by shortAssay "));
        for (const QSqlRecord& row : rows.records) {
            const QVariant code = row.value(QStringLiteral("crvtestid"));
            if (!code.isNull()) {
                const qint64 number = static_cast<qint64>(ChainValues::fieldNumber(code));
                if (!tests.codes.isEmpty())
                    tests.codes += QLatin1Char(',');
                tests.codes += QString::number(number);
                tests.codeList.append(number);
            }
            const QVariant assay = row.value(QStringLiteral("shortAssay"));
            if (!assay.isNull())
                tests.assays.append(assay.toString());
        }
    }
    if (tests.codes.isEmpty())
        tests.codes = QStringLiteral("0");
    context.ActiveTestCodes = tests.codes;
    return tests;
}

Worklist loadLisWorklist(AppContext& context, const QDate& requestDate, const QList<qint64>& activeCodes)
{
    Worklist list;
    const QSqlDatabase db = context.databases().OpenLisDb();
    if (!db.isOpen())
        return list;
    const Dialect dialect = context.databases().dialect(DbSlot::Lis);
    const bool jet = dialect.engine() == SqlEngine::Jet;
    const QString number = dialect.substring(QStringLiteral("patientinfo.patientid"), 10, 3, QStringLiteral(","));

    // The codes are bound one by one; an empty list is "0", which no request has.
    QVariantList values{requestDate};
    QStringList marks;
    for (const qint64 code : activeCodes) {
        marks.append(QStringLiteral("?"));
        values.append(code);
    }
    if (marks.isEmpty()) {
        marks.append(QStringLiteral("?"));
        values.append(0);
    }
    const QString filter = QStringLiteral("(patienttest.requestdate= ? and patienttest.testcode in (") +
                           marks.join(QLatin1Char(',')) + QStringLiteral(") ) ");
    const QString sql =
        QStringLiteral("SELECT ") + number +
        QStringLiteral(" as patid,patientinfo.patientid,patientinfo.patientnamear,patientinfo.patientsefa,"
                       "patientinfo.referredbysefa,patientinfo.patientsex,patientinfo.patientage,"
                       "patientinfo.patientageunit,patientinfo.referredbyname,patientinfo.requestdate,"
                       "patientinfo.timein,") +
        (jet ? QStringLiteral("(patienttest.requestdate) AS REQDATE")
             : QStringLiteral("patienttest.requestdate AS REQDATE")) +
        QStringLiteral(",patienttest.testcode,patienttest.testsimp FROM patientinfo INNER JOIN patienttest ON "
                       "patientinfo.patientid = patienttest.patientid WHERE ") +
        filter +
        QStringLiteral("group by patientinfo.patientid,patientinfo.patientnamear,patientinfo.patientsefa,"
                       "patientinfo.referredbysefa,patientinfo.patientsex,patientinfo.patientage,"
                       "patientinfo.patientageunit,patientinfo.referredbyname,patientinfo.requestdate,"
                       "patientinfo.timein,patienttest.requestdate,patienttest.testcode,patienttest.testsimp ") +
        (jet ? QStringLiteral("order by  ") + number + QStringLiteral(" Desc")
             : QStringLiteral("order by patid Desc "));
    const SqlRun::Rows rows = SqlRun::select(db, sql, values);
    if (!rows)
        return list;

    // The patients' further data (pregnancy and smoking state), read on its own: grouping by a
    // long text column is refused by some servers.
    QHash<QString, QString> moreInfo;
    const SqlRun::Rows more = SqlRun::select(
        db,
        QStringLiteral("SELECT patientinfo.patientid,patientinfo.moreinfo FROM patientinfo INNER JOIN patienttest ON "
                       "patientinfo.patientid = patienttest.patientid WHERE ") +
            filter,
        values);
    for (const QSqlRecord& row : more.records)
        moreInfo.insert(textOf(row, "patientid"), textOf(row, "moreinfo"));

    list.rows.reserve(rows.records.size());
    for (const QSqlRecord& r : rows.records) {
        WorklistRow row;
        row.patientId = textOf(r, "patientid");
        row.patientName = textOf(r, "patientnamear");
        row.sex = textOf(r, "patientsex");
        row.age = textOf(r, "patientage");
        row.ageUnit = textOf(r, "patientageunit");
        row.testName = textOf(r, "testsimp");
        row.referredBy = textOf(r, "referredbyname");
        row.requestDate = SqlRun::toDate(r.value(QStringLiteral("REQDATE")));
        row.timeIn = textOf(r, "timein");
        row.patientSefa = textOf(r, "patientsefa");
        row.referredBySefa = textOf(r, "referredbysefa");
        row.testCode = static_cast<qint64>(ChainValues::fieldNumber(r.value(QStringLiteral("testcode"))));
        row.moreInfo = moreInfo.value(row.patientId);
        list.rows.append(row);
    }
    list.ok = true;
    return list;
}

} // namespace LisWorklist
