#include "review/ResultSearch.h"

#include "common/Numbers.h"
#include "core/AppContext.h"
#include "db/Databases.h"
#include "db/SqlRun.h"
#include "link/ChainValues.h"
#include "review/SearchMessages.h"

#include <QSqlRecord>

namespace ResultSearch {

namespace {

using ChainValues::fieldText;

// The search has a connection of its own, apart from the main window's.
QSqlDatabase searchDb(AppContext& context)
{
    return context.databases().OpenInterfaceDbQuiet(2);
}

Outcome refused(const QString& warning, bool clearsGrid = true)
{
    Outcome outcome;
    outcome.state = Outcome::State::Refused;
    outcome.warning = warning;
    outcome.clearsGrid = clearsGrid;
    return outcome;
}

// A LIKE pattern that finds `text` anywhere, with its own % and _ taken as they are.
QString containsPattern(const QString& text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    escaped.replace(QLatin1Char('%'), QLatin1String("\\%"));
    escaped.replace(QLatin1Char('_'), QLatin1String("\\_"));
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

struct Criteria
{
    QString text;
    QVariantList values;

    void add(const QString& condition, const QVariant& value)
    {
        text += (text.isEmpty() ? QString() : QStringLiteral(" AND")) + condition;
        values.append(value);
    }
};

} // namespace

Outcome search(AppContext& context, const Request& r)
{
    // The checks, in their order; the first that fails ends the search.
    if (r.kind == Kind::PatientData && r.byDate && r.first > r.last)
        return refused(SearchMessages::datesReversed);
    if (r.kind == Kind::SampleId && r.sampleId.isEmpty())
        return refused(SearchMessages::noSampleId);
    if (r.kind == Kind::PatientId && r.patientId.isEmpty())
        return refused(SearchMessages::noPatientId);
    if (r.kind == Kind::PatientData && r.byName && r.bySex && r.name.isEmpty() && r.sex.isEmpty())
        return refused(QString());
    if (r.kind == Kind::Test && r.test.isEmpty())
        return refused(SearchMessages::noTest);

    const Dialect dialect = context.databases().dialect(DbSlot::InterfaceQuiet2);
    Criteria c;
    switch (r.kind) {
    case Kind::SampleId:
        c.add(QStringLiteral("SampleID=?  "), r.sampleId);
        break;
    case Kind::PatientId:
        c.add(QStringLiteral("patientid=?  "), r.patientId);
        break;
    case Kind::PatientData: {
        const bool nameAlone = !(r.bySex && !r.sex.isEmpty()) && !r.byDate;
        if (r.byName && !r.name.isEmpty())
            // A part of a name can be anywhere, so every name may have to be read. Alone, the names
            // are read from their index, a small part of the table's size, and only until the list
            // is full; with other criteria those narrow the rows first.
            c.add(nameAlone ? QStringLiteral(" AutoNum IN (SELECT ") + dialect.top(maxHits) +
                                  QStringLiteral("AutoNum FROM Result WHERE ") +
                                  dialect.caselessLike(QStringLiteral("Patientname")) + dialect.limit(maxHits) +
                                  QStringLiteral(") ")
                            : QLatin1Char(' ') + dialect.caselessLike(QStringLiteral("Patientname")) + QLatin1Char(' '),
                  containsPattern(r.name));
        if (r.bySex && !r.sex.isEmpty())
            c.add(QStringLiteral(" Sex=? "), r.sex);
        if (r.byDate) {
            c.add(QStringLiteral(" Testdate >= ? "), r.first);
            c.add(QStringLiteral("  Testdate <= ? "), r.last);
        }
        break;
    }
    case Kind::Test: {
        c.add(QStringLiteral(" testsimp=? "), r.test);
        if (r.compare == QLatin1String("Positive") || r.compare == QLatin1String("Negative")) {
            c.add(QStringLiteral(" resultt1=? "), r.compare);
        } else if (r.compare == QLatin1String(">") || r.compare == QLatin1String("<")) {
            const double number = Numbers::toNumber(r.number);
            if (number == 0.0)
                return refused(SearchMessages::noValue, false);
            // Only values that are numbers take part: "Positive" is no 0.
            const QString value = dialect.toRealOrNull(QStringLiteral("resultt1"));
            if (dialect.engine() == SqlEngine::Sqlite)
                c.text += QStringLiteral(" AND trim(resultt1) GLOB '[-+.0-9]*' AND trim(resultt1) GLOB '*[0-9]*'");
            c.add(QLatin1Char(' ') + value +
                      (r.compare == QLatin1String(">") ? QStringLiteral(" >= ? ") : QStringLiteral(" < ? ")),
                  number);
        }
        break;
    }
    }
    if (c.text.isEmpty())
        return {};

    Outcome outcome;
    outcome.state = Outcome::State::Failed;
    const QSqlDatabase db = searchDb(context);
    if (!db.isOpen())
        return outcome;
    const QString sql = QStringLiteral("Select ") + dialect.top(maxHits) +
                        QStringLiteral("AutoNum,SampleID,patientid,Patientname,Sex,ageN,ageU,Testdate,sending,testsimp,"
                                       "resultt1 from result where ") +
                        c.text + dialect.limit(maxHits);
    const SqlRun::Rows rows = SqlRun::select(db, sql, c.values);
    if (!rows)
        return outcome;
    outcome.state = Outcome::State::Ran;
    outcome.hits.reserve(rows.records.size());
    for (const QSqlRecord& row : rows.records) {
        Hit hit;
        hit.autoNum = row.value(0).toLongLong();
        hit.sampleId = fieldText(row.value(1));
        hit.patientId = fieldText(row.value(2));
        hit.patientName = fieldText(row.value(3));
        hit.sex = fieldText(row.value(4));
        hit.ageN = fieldText(row.value(5));
        hit.ageU = fieldText(row.value(6));
        hit.testDate = SqlRun::toDate(row.value(7));
        hit.sending = row.value(8).toBool();
        hit.test = fieldText(row.value(9));
        hit.value = fieldText(row.value(10));
        outcome.hits.append(hit);
    }
    return outcome;
}

QString countText(int hits)
{
    return hits == maxHits ? QStringLiteral("> 100") : QString::number(hits);
}

QStringList testNames(AppContext& context)
{
    QStringList names;
    const QSqlDatabase db = searchDb(context);
    if (!db.isOpen())
        return names;
    const SqlRun::Rows rows = SqlRun::select(
        db, QStringLiteral("SELECT testsimp FROM result where testsimp <> '' group by testsimp order by testsimp "));
    for (const QSqlRecord& row : rows.records)
        names.append(fieldText(row.value(0)));
    return names;
}

} // namespace ResultSearch
