#include "link/ReceiveSteps.h"

#include "app/AppContext.h"
#include "common/Numbers.h"
#include "db/Databases.h"
#include "db/SqlRun.h"
#include "link/Evaluation.h"
#include "link/Flagging.h"
#include "link/LisExport.h"
#include "link/Notification.h"
#include "link/PatientMatch.h"
#include "link/ResultStore.h"

#include <QDir>

namespace {

void warn(const char* step, const QString& error)
{
    qWarning("receive chain: %s: %s", step, qUtf8Printable(error));
}

} // namespace

ReceiveSteps::ReceiveSteps(AppContext& context) : m_context(context) {}

void ReceiveSteps::Evaluate(CurrentResult& r)
{
    Databases& databases = m_context.databases();
    {
        const QSqlDatabase db = databases.OpenInterfaceDbQuiet(4);
        if (!db.isOpen())
            return;
        const BoundQuery catalogue = Evaluation::catalogueQuery(r.Txt_shortAssay);
        const SqlRun::Rows rows = SqlRun::select(db, catalogue.sql, catalogue.values);
        if (!rows) {
            warn("catalogue", rows.errorText());
            return;
        }
        if (rows.records.size() >= 2) {
            // An assay the catalogue names twice is shown as such and gets neither factor nor range.
            r.Txt_testsimp = Evaluation::ambiguousName(static_cast<int>(rows.records.size()), r.Txt_shortAssay);
            return;
        }
        if (rows.records.size() == 1) {
            Evaluation::takeCatalogueRow(rows.records.first(), r);
            r.Txt_resultt3 = Evaluation::applyFactor(r.Txt_resultt3, r.Txt_correctfactors);
        }
    }

    if (Numbers::toNumber(r.Txt_CRVTESTCODE) != 0.0 && m_context.settings.lisActive == 1)
        FindPatient(r);

    const Evaluation::RangeChoice range = Evaluation::rangeQuery(r);
    if (range.which == Evaluation::RangeCase::None)
        return;
    const QSqlDatabase db = databases.OpenInterfaceDbQuiet(4);
    if (!db.isOpen())
        return;
    QSqlError error;
    const std::optional<QSqlRecord> row = SqlRun::first(db, range.query.sql, range.query.values, &error);
    if (row)
        Evaluation::takeRangeRow(*row, r);
    else if (error.isValid())
        warn("reference range", error.text());
}

void ReceiveSteps::Flag(CurrentResult& r)
{
    Flagging::Flag(r, m_context.settings.autoComment == 1);
}

void ReceiveSteps::FindPatient(CurrentResult& r)
{
    Databases& databases = m_context.databases();
    const BoundQuery query = PatientMatch::patientQuery(
        m_context.settings.IDdigitsNo, r.LblSampID, databases.dialect(DbSlot::LisReceiver), m_context.clock().today());
    if (query.isEmpty())
        return;
    const QSqlDatabase lis = databases.OpenLisDbForReceiver();
    if (!lis.isOpen())
        return;
    QSqlError error;
    const std::optional<QSqlRecord> row = SqlRun::first(lis, query.sql, query.values, &error);
    if (row)
        PatientMatch::takePatientRow(*row, r);
    else if (error.isValid())
        warn("patient", error.text());
}

void ReceiveSteps::writeResult(const BoundQuery& duplicate, const CurrentResult& r, const QDateTime& now)
{
    const QSqlDatabase db = m_context.databases().OpenInterfaceDbQuiet(4);
    if (!db.isOpen())
        return;
    // A failing duplicate test counts as finding nothing: the result is added rather than lost.
    const SqlRun::Rows found = SqlRun::select(db, duplicate.sql, duplicate.values);
    if (!found)
        warn("duplicate test", found.errorText());
    const SqlRun::Columns columns = ResultStore::resultColumns(r, now);
    const SqlRun::Outcome saved =
        found.ok && !found.isEmpty()
            ? SqlRun::update(db, QStringLiteral("Result"), columns, QStringLiteral("AutoNum=?"),
                             {found.records.first().value(QStringLiteral("AutoNum"))})
            : SqlRun::insert(db, QStringLiteral("Result"), columns);
    if (!saved)
        warn("storing the result", saved.errorText());
}

void ReceiveSteps::addListLine(const CurrentResult& r)
{
    if (!r.Txt_listinfo.isEmpty() && listed)
        listed(r.Txt_listinfo + r.Txt_listinfo2);
}

void ReceiveSteps::StoreResult(CurrentResult& r)
{
    const QDateTime now = m_context.clock().now();
    const BoundQuery duplicate =
        ResultStore::duplicateQuery(r, now.date(), m_context.databases().dialect(DbSlot::InterfaceQuiet4));
    r.Txt_listinfo.clear();
    if (counted)
        counted();
    r.Txt_listinfo = r.LblPatID;
    writeResult(duplicate, r, now);

    if (m_context.settings.soudorno == 1)
        PlayNotification();
    SendToLis(r);
    addListLine(r);
}

void ReceiveSteps::StoreResultNoSample(CurrentResult& r)
{
    const QDateTime now = m_context.clock().now();
    r.LblPatName = ResultStore::noSampleName(r);
    const BoundQuery duplicate = ResultStore::duplicateQueryNoSample(r, now.date());
    r.Txt_listinfo.clear();
    if (counted)
        counted();
    r.Txt_listinfo = r.LblPatName;
    writeResult(duplicate, r, now);

    // Without a sample there is no patient to send to, and no sound.
    r.Txt_listinfo2 = LisExport::notSentText;
    addListLine(r);
}

void ReceiveSteps::SendToLis(CurrentResult& r)
{
    r.Txt_listinfo2 = LisExport::notSentText;
    switch (LisExport::decide(r, m_context.settings)) {
    case LisExport::Decision::Skip:
        return;
    case LisExport::Decision::LisOff:
        m_context.dialogs().warning(LisExport::lisOffTitle, LisExport::lisOffText);
        return;
    case LisExport::Decision::Send:
        break;
    }
    const QSqlDatabase lis = m_context.databases().OpenLisDbForReceiver();
    if (!lis.isOpen())
        return;
    const BoundQuery request = LisExport::requestQuery(r);
    QSqlError error;
    if (!SqlRun::first(lis, request.sql, request.values, &error)) {
        if (error.isValid())
            warn("LIS request", error.text());
        return;
    }
    const SqlRun::Outcome written =
        SqlRun::update(lis, QStringLiteral("patienttest"), LisExport::patienttestColumns(r, m_context.clock().now()),
                       LisExport::requestWhere, request.values);
    if (!written) {
        warn("LIS result", written.errorText());
        return;
    }
    r.Txt_listinfo2 = LisExport::sentText;
}

void ReceiveSteps::PlayNotification()
{
    if (!m_notification)
        return;
    m_notification->PlayNotification(
        QDir(m_context.installFolder().soundFolder()).filePath(m_context.settings.soundname));
}
