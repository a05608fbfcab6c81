#include "link/LisOutbox.h"

#include "core/AppContext.h"
#include "db/Databases.h"
#include "db/DbErrors.h"
#include "link/ChainValues.h"
#include "link/LisExport.h"

namespace LisOutbox {

namespace {

const QString kQueued = QStringLiteral("queued");
const QString kWritten = QStringLiteral("written");
const QString kNoRequest = QStringLiteral("norequest");

// The outbox keeps the LIS's own column names, so the queued values are written as they stand.
const QStringList kLisColumns{
    QStringLiteral("resultt"),         QStringLiteral("resultt1"),  QStringLiteral("resultt2"),
    QStringLiteral("RESULTCASEPRINT"), QStringLiteral("lowlimit"),  QStringLiteral("highlimit"),
    QStringLiteral("nolowexe"),        QStringLiteral("nohighexe"), QStringLiteral("normalrang"),
    QStringLiteral("testunit"),        QStringLiteral("commentx"),  QStringLiteral("editdate")};

SqlRun::Outcome markDone(const QSqlDatabase& db, qint64 id, const QString& state, const QDateTime& now)
{
    return SqlRun::update(db, QStringLiteral("lisoutbox"),
                          {{QStringLiteral("state"), state},
                           {QStringLiteral("lasterror"), SqlRun::nullText()},
                           {QStringLiteral("doneat"), now.toString(Qt::ISODateWithMs)}},
                          QStringLiteral("outboxid=?"), {id});
}

void markFailed(const QSqlDatabase& db, qint64 id, const QString& why)
{
    SqlRun::exec(db, QStringLiteral("UPDATE lisoutbox SET attempts=attempts+1, lasterror=? WHERE outboxid=?"),
                 {why, id});
}

int countWaiting(const QSqlDatabase& db)
{
    const auto row = SqlRun::first(db, QStringLiteral("SELECT count(*) FROM lisoutbox WHERE state=?"), {kQueued});
    return row ? row->value(0).toInt() : 0;
}

} // namespace

SqlRun::Outcome queue(const QSqlDatabase& db, const CurrentResult& r, qint64 autoNum, qint64 sessionId,
                      const QDateTime& now)
{
    SqlRun::Columns columns{{QStringLiteral("AutoNum"), autoNum},
                            {QStringLiteral("sessionid"), sessionId},
                            {QStringLiteral("patientid"), r.LblPatID},
                            {QStringLiteral("testcode"), ChainValues::numberOf(r.Txt_CRVTESTCODE)}};
    for (const auto& [name, value] : LisExport::patienttestColumns(r, now)) {
        if (kLisColumns.contains(name))
            columns.append({name, value});
    }
    columns.append({QStringLiteral("state"), kQueued});
    columns.append({QStringLiteral("attempts"), 0});
    columns.append({QStringLiteral("queuedat"), now.toString(Qt::ISODateWithMs)});
    return SqlRun::insert(db, QStringLiteral("lisoutbox"), columns);
}

RequestStatements requestStatements(SqlEngine engine)
{
    const QString where = LisExport::requestWhere;
    switch (engine) {
    case SqlEngine::Sqlite:
        return {QStringLiteral("SELECT rowid AS lisrowid, * FROM patienttest where ") + where,
                QStringLiteral("UPDATE patienttest SET %1 WHERE rowid=?"), true};
    case SqlEngine::SqlServer:
        return {LisExport::requestQuerySql,
                QStringLiteral("WITH lisrow AS (SELECT TOP 1 * FROM patienttest where ") + where +
                    QStringLiteral(") UPDATE lisrow SET %1"),
                false};
    case SqlEngine::Postgres:
        // The row's physical place, read and written in one unit of work.
        return {QStringLiteral("SELECT CAST(ctid AS text) AS lisrowid, * FROM patienttest where ") + where,
                QStringLiteral("UPDATE patienttest SET %1 WHERE ctid=CAST(? AS tid)"), true};
    case SqlEngine::Jet:
        break;
    }
    return {LisExport::requestQuerySql, QStringLiteral("UPDATE patienttest SET %1 WHERE ") + where, false};
}

std::optional<QList<Entry>> waiting(const QSqlDatabase& db, QSqlError* error)
{
    const SqlRun::Rows rows = SqlRun::select(
        db,
        QStringLiteral("SELECT outboxid, AutoNum, patientid, testcode, resultt, attempts, lasterror, queuedat "
                       "FROM lisoutbox WHERE state=? ORDER BY outboxid"),
        {kQueued});
    if (!rows) {
        if (error)
            *error = rows.error;
        return std::nullopt;
    }
    QList<Entry> entries;
    for (const QSqlRecord& row : rows.records) {
        entries.append({row.value(0).toLongLong(), row.value(1).toLongLong(), row.value(2).toString(),
                        row.value(3).toLongLong(), row.value(4).toString(), row.value(5).toInt(),
                        row.value(6).toString(), row.value(7).toString()});
    }
    return entries;
}

SqlRun::Outcome queueColumns(const QSqlDatabase& db, qint64 autoNum, const QString& patientId, const QVariant& testCode,
                             const SqlRun::Columns& lisColumns, const QString& origin, const QDateTime& now)
{
    SqlRun::Columns columns{{QStringLiteral("AutoNum"), autoNum},
                            {QStringLiteral("patientid"), patientId},
                            {QStringLiteral("testcode"), testCode}};
    for (const auto& [name, value] : lisColumns) {
        if (kLisColumns.contains(name))
            columns.append({name, value});
    }
    columns.append({QStringLiteral("origin"), origin});
    columns.append({QStringLiteral("state"), kQueued});
    columns.append({QStringLiteral("attempts"), 0});
    columns.append({QStringLiteral("queuedat"), now.toString(Qt::ISODateWithMs)});
    return SqlRun::insert(db, QStringLiteral("lisoutbox"), columns);
}

SendOutcome deliver(AppContext& context, const QDateTime& now)
{
    SendOutcome out;
    Databases& databases = context.databases();
    const QSqlDatabase iface = databases.OpenInterfaceDbQuiet(4);
    if (!iface.isOpen()) {
        out.stalled = true;
        out.reason = QStringLiteral("interface database: ") + databases.lastError(DbSlot::InterfaceQuiet4);
        return out;
    }
    // The LIS is opened only when something waits.
    return deliverOn(
        iface,
        [&]() -> QSqlDatabase {
            if (context.settings.lisActive != 1) {
                out.reason = QStringLiteral("the LIS link is switched off");
                return {};
            }
            const QSqlDatabase lis = databases.OpenLisDbForReceiver();
            if (!lis.isOpen())
                out.reason = QStringLiteral("LIS: ") + databases.lastError(DbSlot::LisReceiver);
            return lis;
        },
        databases.dialect(DbSlot::LisReceiver).engine(), now, 0, &out.reason);
}

SendOutcome deliverOn(const QSqlDatabase& iface, const std::function<QSqlDatabase()>& openLis, SqlEngine lisEngine,
                      const QDateTime& now, qint64 onlyOutboxId, const QString* lisFailure)
{
    SendOutcome out;
    const auto stall = [&out](const QString& reason) {
        out.stalled = true;
        out.reason = reason;
        return out;
    };
    const SqlRun::Rows queued =
        onlyOutboxId == 0
            ? SqlRun::select(iface, QStringLiteral("SELECT * FROM lisoutbox WHERE state=? ORDER BY outboxid"),
                             {kQueued})
            : SqlRun::select(iface, QStringLiteral("SELECT * FROM lisoutbox WHERE state=? AND outboxid=?"),
                             {kQueued, onlyOutboxId});
    if (!queued)
        return stall(QStringLiteral("interface database: ") + queued.errorText());
    out.waiting = static_cast<int>(queued.records.size());
    if (queued.isEmpty())
        return out;
    const QSqlDatabase lis = openLis();
    if (!lis.isOpen())
        return stall(lisFailure && !lisFailure->isEmpty() ? *lisFailure : QStringLiteral("LIS: not reachable"));
    const RequestStatements sql = requestStatements(lisEngine);

    for (const QSqlRecord& entry : queued.records) {
        const qint64 id = entry.value(QStringLiteral("outboxid")).toLongLong();
        const QVariantList request{entry.value(QStringLiteral("patientid")).toString(),
                                   entry.value(QStringLiteral("testcode"))};
        const auto refuse = [&](const QSqlError& error) {
            markFailed(iface, id, error.text());
            if (DbErrors::isTransient(error)) {
                out.stalled = true;
                out.reason = QStringLiteral("LIS: ") + error.text();
            }
        };
        QSqlError error;
        const std::optional<QSqlRecord> row = SqlRun::first(lis, sql.read, request, &error);
        if (error.isValid()) {
            refuse(error);
            if (out.stalled)
                break;
            continue;
        }
        bool written = false;
        if (row) {
            SqlRun::Columns columns{{QStringLiteral("resultfinsh"), true},
                                    {QStringLiteral("edituser"), QStringLiteral("VIDAS INTERFACE")}};
            // A correction saved in the editor leaves the LIS's other result texts as they are.
            const bool edited = entry.value(QStringLiteral("origin")).toString() == editorOrigin;
            for (const QString& name : kLisColumns) {
                if (!edited || (name != QLatin1String("resultt1") && name != QLatin1String("resultt2")))
                    columns.append({name, entry.value(name)});
            }
            QStringList sets;
            QVariantList values;
            // SQL Server's statement names the request before the columns; the others after.
            if (!sql.byRowId && sql.write.startsWith(QLatin1String("WITH")))
                values = request;
            for (const auto& [name, value] : columns) {
                sets.append(name + QStringLiteral("=?"));
                values.append(value);
            }
            if (sql.byRowId)
                values.append(row->value(QStringLiteral("lisrowid")));
            else if (!sql.write.startsWith(QLatin1String("WITH")))
                values.append(request);
            const SqlRun::Outcome update = SqlRun::exec(lis, sql.write.arg(sets.join(QLatin1Char(','))), values);
            if (!update) {
                refuse(update.error);
                if (out.stalled)
                    break;
                continue;
            }
            // The row may have gone between the read and the write.
            written = update.rowsAffected != 0;
        }
        const SqlRun::Outcome marked = markDone(iface, id, written ? kWritten : kNoRequest, now);
        if (!marked) {
            // Written into the LIS but still queued: the next pass writes the same values again.
            return stall(QStringLiteral("interface database: ") + marked.errorText());
        }
        out.done.append({id, written});
    }
    out.waiting = onlyOutboxId == 0 ? countWaiting(iface) : 0;
    return out;
}

} // namespace LisOutbox
