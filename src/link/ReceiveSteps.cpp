#include "link/ReceiveSteps.h"

#include "common/Numbers.h"
#include "core/AppContext.h"
#include "db/Databases.h"
#include "db/DbErrors.h"
#include "db/SqlRun.h"
#include "link/Evaluation.h"
#include "link/Flagging.h"
#include "link/LisExport.h"
#include "link/LisOutbox.h"
#include "link/Notification.h"
#include "link/PatientMatch.h"
#include "link/ResultHistory.h"
#include "link/ResultStore.h"

#include <QDir>

ReceiveSteps::ReceiveSteps(AppContext& context) : m_context(context) {}

void ReceiveSteps::beginSession(qint64 sessionId, const QDateTime& now, bool keepEditedRows)
{
    m_sessionId = sessionId;
    m_now = now;
    m_keepEditedRows = keepEditedRows;
    m_error = {};
}

QDateTime ReceiveSteps::now() const
{
    return m_now.isValid() ? m_now : m_context.clock().now();
}

void ReceiveSteps::fail(const char* step, const QSqlError& error)
{
    if (m_error.isSet())
        return;
    m_error.text = QStringLiteral("%1: %2").arg(QLatin1String(step), error.text());
    m_error.transient = !DbErrors::isRefusal(error);
}

void ReceiveSteps::failOpen(const char* step, const QString& why)
{
    if (m_error.isSet())
        return;
    m_error.text = QStringLiteral("%1: %2").arg(QLatin1String(step), why);
    m_error.transient = true;
}

void ReceiveSteps::Evaluate(CurrentResult& r)
{
    Databases& databases = m_context.databases();
    {
        const QSqlDatabase db = databases.OpenInterfaceDbQuiet(4);
        if (!db.isOpen())
            return failOpen("interface database", databases.lastError(DbSlot::InterfaceQuiet4));
        const BoundQuery catalogue = Evaluation::catalogueQuery(r.Txt_shortAssay);
        const SqlRun::Rows rows = SqlRun::select(db, catalogue.sql, catalogue.values);
        if (!rows)
            return fail("catalogue", rows.error);
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

    if (Numbers::toNumber(r.Txt_CRVTESTCODE) != 0.0 && m_context.settings.lisActive == 1) {
        FindPatient(r);
        if (m_error.isSet())
            return;
    }

    const Evaluation::RangeChoice range = Evaluation::rangeQuery(r);
    if (range.which == Evaluation::RangeCase::None)
        return;
    const QSqlDatabase db = databases.OpenInterfaceDbQuiet(4);
    if (!db.isOpen())
        return failOpen("interface database", databases.lastError(DbSlot::InterfaceQuiet4));
    QSqlError error;
    const std::optional<QSqlRecord> row = SqlRun::first(db, range.query.sql, range.query.values, &error);
    if (row)
        Evaluation::takeRangeRow(*row, r);
    else if (error.isValid())
        fail("reference range", error);
}

void ReceiveSteps::Flag(CurrentResult& r)
{
    Flagging::Flag(r, m_context.settings.autoComment == 1);
}

// A patient the LIS cannot be asked about is not taken as "no patient": the result would be stored
// without its patient and range and never reach the LIS. The session waits for the LIS instead.
void ReceiveSteps::FindPatient(CurrentResult& r)
{
    Databases& databases = m_context.databases();
    const BoundQuery query = PatientMatch::patientQuery(m_context.settings.IDdigitsNo, r.LblSampID,
                                                        databases.dialect(DbSlot::LisReceiver), now().date());
    if (query.isEmpty())
        return;
    const QSqlDatabase lis = databases.OpenLisDbForReceiver();
    if (!lis.isOpen())
        return failOpen("LIS database", databases.lastError(DbSlot::LisReceiver));
    QSqlError error;
    const std::optional<QSqlRecord> row = SqlRun::first(lis, query.sql, query.values, &error);
    if (row)
        PatientMatch::takePatientRow(*row, r);
    else if (error.isValid())
        fail("patient", error);
}

ReceiveSteps::Written ReceiveSteps::writeResult(const BoundQuery& duplicate, const CurrentResult& r, qint64* autoNum)
{
    Databases& databases = m_context.databases();
    const QSqlDatabase db = databases.OpenInterfaceDbQuiet(4);
    if (!db.isOpen()) {
        failOpen("interface database", databases.lastError(DbSlot::InterfaceQuiet4));
        return Written::Failed;
    }
    const SqlRun::Rows found = SqlRun::select(db, duplicate.sql, duplicate.values);
    if (!found) {
        fail("duplicate test", found.error);
        return Written::Failed;
    }
    const SqlRun::Columns columns = ResultStore::resultColumns(r, now());
    if (!found.isEmpty()) {
        const QSqlRecord& row = found.records.first();
        *autoNum = row.value(QStringLiteral("AutoNum")).toLongLong();
        if (m_keepEditedRows && !row.value(QStringLiteral("editedby")).toString().isEmpty())
            return Written::Kept;
        const SqlRun::Outcome saved =
            SqlRun::update(db, QStringLiteral("Result"), columns, QStringLiteral("AutoNum=?"), {*autoNum});
        if (!saved) {
            fail("storing the result", saved.error);
            return Written::Failed;
        }
        // What the result sent again changed, in the session's transaction.
        const SqlRun::Outcome traced =
            ResultHistory::append(db, *autoNum, ResultHistory::analyser, now(), ResultHistory::changes(row, columns));
        if (!traced) {
            fail("result history", traced.error);
            return Written::Failed;
        }
        return Written::Stored;
    }
    const SqlRun::Outcome saved = SqlRun::insert(db, QStringLiteral("Result"), columns);
    if (!saved) {
        fail("storing the result", saved.error);
        return Written::Failed;
    }
    *autoNum = saved.lastInsertId.toLongLong();
    return Written::Stored;
}

void ReceiveSteps::addListLine(const CurrentResult& r, qint64 outboxId, bool kept)
{
    if (r.Txt_listinfo.isEmpty() || !listed)
        return;
    // With two analysers on the lab's desk, the line says which one measured the result.
    QString key = r.Txt_listinfo;
    if (!r.LblInstrument.isEmpty() || !r.LblSerialNo.isEmpty())
        key += QStringLiteral("  [%1]").arg(ResultStore::instrumentText(r.LblInstrument, r.LblSerialNo));
    listed(key, r.Txt_listinfo2, outboxId, kept);
}

void ReceiveSteps::StoreResult(CurrentResult& r)
{
    const BoundQuery duplicate =
        ResultStore::duplicateQuery(r, now().date(), m_context.databases().dialect(DbSlot::InterfaceQuiet4));
    r.Txt_listinfo.clear();
    r.Txt_listinfo = r.LblPatID;
    qint64 autoNum = 0;
    switch (writeResult(duplicate, r, &autoNum)) {
    case Written::Failed:
        return;
    case Written::Kept:
        r.Txt_listinfo2 = QStringLiteral("     Kept");
        addListLine(r, 0, true);
        return;
    case Written::Stored:
        break;
    }
    if (counted)
        counted();
    if (m_context.settings.soudorno == 1 && sound)
        sound();
    SendToLis(r, autoNum);
    if (m_error.isSet())
        return;
    addListLine(r, m_outboxId);
}

void ReceiveSteps::StoreResultNoSample(CurrentResult& r)
{
    r.LblPatName = ResultStore::noSampleName(r);
    const BoundQuery duplicate = ResultStore::duplicateQueryNoSample(r, now().date());
    r.Txt_listinfo.clear();
    r.Txt_listinfo = r.LblPatName;
    qint64 autoNum = 0;
    const Written written = writeResult(duplicate, r, &autoNum);
    if (written == Written::Failed)
        return;
    if (written == Written::Stored && counted)
        counted();
    // Without a sample there is no patient to send to, and no sound.
    r.Txt_listinfo2 = written == Written::Kept ? QStringLiteral("     Kept") : LisExport::notSentText;
    addListLine(r, 0, written == Written::Kept);
}

void ReceiveSteps::SendToLis(CurrentResult& r, qint64 autoNum)
{
    r.Txt_listinfo2 = LisExport::notSentText;
    m_outboxId = 0;
    switch (LisExport::decide(r, m_context.settings)) {
    case LisExport::Decision::Skip:
        return;
    case LisExport::Decision::LisOff:
        if (lisOff)
            lisOff();
        return;
    case LisExport::Decision::Send:
        break;
    }
    Databases& databases = m_context.databases();
    const QSqlDatabase db = databases.OpenInterfaceDbQuiet(4);
    if (!db.isOpen())
        return failOpen("interface database", databases.lastError(DbSlot::InterfaceQuiet4));
    const SqlRun::Outcome queued = LisOutbox::queue(db, r, autoNum, m_sessionId, now());
    if (!queued)
        return fail("LIS outbox", queued.error);
    m_outboxId = queued.lastInsertId.toLongLong();
    r.Txt_listinfo2 = LisOutbox::queuedText;
}

void ReceiveSteps::PlayNotification()
{
    if (!m_notification)
        return;
    m_notification->PlayNotification(
        QDir(m_context.installFolder().soundFolder()).filePath(m_context.settings.soundname));
}
