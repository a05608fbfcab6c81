#include "link/PatientMatch.h"

#include "common/Numbers.h"

namespace PatientMatch {

namespace {

const QString columns = QStringLiteral(
    "patientid,patientsefa,patientnamear,patientsex,patientage,patientageunit,referredbysefa,referredbyname,moreinfo");
const QString columnsWithDate = QStringLiteral("patientid,requestdate,patientsefa,patientnamear,patientsex,patientage,"
                                               "patientageunit,referredbysefa,referredbyname,moreinfo");

void take(const QSqlRecord& row, const char* column, QString& field)
{
    const int at = row.indexOf(QLatin1String(column));
    if (at >= 0 && !row.isNull(at))
        field = ChainValues::fieldText(row.value(at));
}

double digitAt(const QString& text, qsizetype position)
{
    return position <= text.size() ? Numbers::toNumber(text.mid(position - 1, 1)) : 0.0;
}

} // namespace

BoundQuery patientQuery(int mode, const QString& sampleId, const Dialect& lis, const QDate& today)
{
    const qsizetype length = sampleId.size();
    const QString from = QStringLiteral(" FROM patientinfo WHERE ");
    if (mode == 13 && length == 12)
        return {QStringLiteral("SELECT ") + columns + from + lis.substring(QStringLiteral("patientid"), 1, 12) +
                    QStringLiteral(" =? "),
                {sampleId}};
    if (mode == 10 && length == 10)
        return {QStringLiteral("SELECT ") + columns + from + lis.substring(QStringLiteral("patientid"), 3, 10) +
                    QStringLiteral(" =? "),
                {sampleId}};
    if (mode == 4 && length == 4)
        return {QStringLiteral("SELECT ") + columnsWithDate + from + lis.substring(QStringLiteral("patientid"), 9, 4) +
                    QStringLiteral(" =? and requestdate= ? "),
                {sampleId, today}};
    return {};
}

void takePatientRow(const QSqlRecord& row, CurrentResult& r)
{
    r.LblPatID = ChainValues::fieldText(row.value(QStringLiteral("patientid")));
    take(row, "patientsefa", r.Txt_patientsefa);
    take(row, "patientnamear", r.LblPatName);
    take(row, "referredbysefa", r.Txt_DocSEFA);
    take(row, "referredbyname", r.LblDocName);
    take(row, "patientsex", r.LblSex);
    take(row, "patientageunit", r.LblAgeU);
    const int age = row.indexOf(QStringLiteral("patientage"));
    if (age >= 0 && !row.isNull(age))
        r.LblAgeN = Numbers::toText(ChainValues::fieldNumber(row.value(age)));
    const int more = row.indexOf(QStringLiteral("moreinfo"));
    r.Chk_pregsmok = pregnancyState(more >= 0 ? ChainValues::fieldText(row.value(more)) : QString());
}

int pregnancyState(const QString& moreinfo)
{
    return digitAt(moreinfo, 9) == 1.0 && digitAt(moreinfo, 10) == 0.0 ? 1 : 0;
}

} // namespace PatientMatch
