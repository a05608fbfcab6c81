#include "link/LisOutbox.h"

#include "core/AppContext.h"
#include "db/Databases.h"
#include "db/DbErrors.h"
#include "link/ChainValues.h"
#include "link/LisExport.h"
#include "link/ResultHistory.h"
#include "platform/ProcessAlive.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QSysInfo>
#include <QThread>
#include <QTimer>
#include <algorithm>

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
                           {QStringLiteral("doneat"), now.toString(Qt::ISODateWithMs)},
                           {QStringLiteral("claimedby"), SqlRun::nullText()},
                           {QStringLiteral("claimeduntil"), SqlRun::nullText()}},
                          QStringLiteral("outboxid=?"), {id});
}

// A failed attempt gives the entry back, so that the next pass of any program may try it.
void markFailed(const QSqlDatabase& db, qint64 id, const QString& why)
{
    SqlRun::exec(db,
                 QStringLiteral("UPDATE lisoutbox SET attempts=attempts+1, lasterror=?, claimedby=NULL, "
                                "claimeduntil=NULL WHERE outboxid=?"),
                 {why, id});
}

// Claim times are compared as text, so they are written in one zone and one form.
QString claimTime(const QDateTime& at)
{
    return at.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"));
}

// What a delivery of an editor's correction adds to the row's history, next to its "queued" line.
void recordDelivery(const QSqlDatabase& db, const QSqlRecord& entry, bool written, const QDateTime& now)
{
    const qint64 autoNum = entry.value(QStringLiteral("AutoNum")).toLongLong();
    if (autoNum == 0 || entry.value(QStringLiteral("origin")).toString() != editorOrigin)
        return;
    ResultHistory::append(
        db, autoNum, deliveredBy, now,
        {{ResultHistory::lisColumn, queuedHistoryText, written ? deliveredHistoryText : noRequestHistoryText}});
}

bool claimantGone(const QString& claimant)
{
    // "host/process/random": a program of this computer that no longer runs holds nothing.
    const QStringList parts = claimant.split(QLatin1Char('/'));
    return parts.size() == 3 && parts[0] == QSysInfo::machineHostName() &&
           parts[1].toLongLong() != QCoreApplication::applicationPid() && !processRuns(parts[1].toLongLong());
}

} // namespace

int countWaiting(const QSqlDatabase& db, bool* ok)
{
    const auto row = SqlRun::first(db, QStringLiteral("SELECT count(*) FROM lisoutbox WHERE state=?"), {kQueued});
    if (ok)
        *ok = row.has_value();
    return row ? row->value(0).toInt() : 0;
}

QString newClaimantName()
{
    // Host, process and a random part: two programs on one computer, or a program started again
    // with the same process number, never share a name.
    return QStringLiteral("%1/%2/%3")
        .arg(QSysInfo::machineHostName())
        .arg(QCoreApplication::applicationPid())
        .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
}

const QString& claimantName()
{
    static const QString name = newClaimantName();
    return name;
}

bool claim(const QSqlDatabase& db, qint64 outboxId, const QString& claimant, const QDateTime& now)
{
    const QString until = claimTime(now.addSecs(kClaimSeconds));
    const SqlRun::Outcome taken =
        SqlRun::exec(db,
                     QStringLiteral("UPDATE lisoutbox SET claimedby=?, claimeduntil=? WHERE outboxid=? AND state=? AND "
                                    "(claimeduntil IS NULL OR claimeduntil<? OR claimedby=?)"),
                     {claimant, until, outboxId, kQueued, claimTime(now), claimant});
    if (!taken)
        return false;
    if (taken.rowsAffected == 1)
        return true;
    // Held: taken over at once from a program of this computer that has died meanwhile.
    const auto holder = SqlRun::first(
        db, QStringLiteral("SELECT claimedby FROM lisoutbox WHERE outboxid=? AND state=?"), {outboxId, kQueued});
    if (!holder || !claimantGone(holder->value(0).toString()))
        return false;
    const SqlRun::Outcome takenOver =
        SqlRun::exec(db,
                     QStringLiteral("UPDATE lisoutbox SET claimedby=?, claimeduntil=? WHERE outboxid=? AND "
                                    "state=? AND claimedby=?"),
                     {claimant, until, outboxId, kQueued, holder->value(0)});
    return takenOver && takenOver.rowsAffected == 1;
}

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

SendOutcome deliver(AppContext& context, const QDateTime& now, const QString& claimant)
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
        databases.dialect(DbSlot::LisReceiver).engine(), now, 0, &out.reason, claimant);
}

SendOutcome deliverOn(const QSqlDatabase& iface, const std::function<QSqlDatabase()>& openLis, SqlEngine lisEngine,
                      const QDateTime& now, qint64 onlyOutboxId, const QString* lisFailure, const QString& claimant)
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
        // Another program is writing this one (or was, and its claim has not run out yet).
        if (!claim(iface, id, claimant, now))
            continue;
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
        recordDelivery(iface, entry, written, now);
        out.done.append({id, written});
    }
    out.waiting = onlyOutboxId == 0 ? countWaiting(iface) : 0;
    return out;
}

} // namespace LisOutbox

namespace LisOutbox {

namespace {

// The sender's thread shows no message boxes: what waits, and why, goes to waitingChanged.
class QuietDialogs final : public Dialogs
{
public:
    DialogAnswer show(const DialogRequest&) override { return DialogAnswer::Cancel; }
};

// A lock is waited for this long inside a statement before the pass gives up and tries later.
constexpr int kBusyTimeoutMs = 1000;

} // namespace

class Sender::Worker final : public QObject
{
public:
    Worker(const AppContext& main, Pauses pauses, Sender* sender)
        : m_context(new AppContext(main.installFolder(), &m_dialogs, &main.clock(), this)), m_timer(new QTimer(this)),
          m_pauses(pauses), m_sender(sender)
    {
        m_context->settings = main.settings;
        m_context->InterfaceConnString = main.InterfaceConnString;
        m_context->LisConnString = main.LisConnString;
        m_context->LisIsAccess = main.LisIsAccess;
        m_context->databases().setSqliteBusyTimeout(kBusyTimeoutMs);
        m_timer->setSingleShot(true);
        connect(m_timer, &QTimer::timeout, this, &Worker::pass);
    }

    void pass()
    {
        m_timer->stop();
        const SendOutcome sent = deliver(*m_context, m_context->clock().now(), m_claimant);
        const bool stalled = sent.stalled && sent.waiting > 0;
        m_retryMs =
            stalled ? (m_retryMs == 0 ? m_pauses.firstRetryMs : std::min(m_retryMs * 2, m_pauses.maxRetryMs)) : 0;
        m_timer->start(stalled ? m_retryMs : m_pauses.idleMs);
        const QString reason = stalled ? sent.reason : QString();
        QMetaObject::invokeMethod(
            m_sender,
            [sender = m_sender, sent, reason] {
                for (const Delivery& d : sent.done)
                    emit sender->delivered(d.outboxId, d.written);
                emit sender->waitingChanged(sent.waiting, reason);
            },
            Qt::QueuedConnection);
    }

    void stop()
    {
        m_timer->stop();
        // The connections belong to this thread.
        m_context->databases().closeAll();
    }

private:
    QuietDialogs m_dialogs;
    AppContext* m_context;
    QTimer* m_timer;
    Pauses m_pauses;
    Sender* m_sender;
    const QString m_claimant = newClaimantName();
    int m_retryMs = 0;
};

Sender::Sender(const AppContext& context, Pauses pauses, QObject* parent)
    : QObject(parent), m_thread(new QThread(this)), m_worker(new Worker(context, pauses, this))
{
    m_thread->setObjectName(QStringLiteral("lis-outbox"));
    m_worker->moveToThread(m_thread);
    m_thread->start();
    deliverSoon();
}

Sender::~Sender()
{
    Worker* worker = m_worker;
    QMetaObject::invokeMethod(
        worker,
        [worker] {
            worker->stop();
            // Deleted on its own thread as that thread ends.
            worker->deleteLater();
        },
        Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
}

void Sender::deliverSoon()
{
    Worker* worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [worker] { worker->pass(); }, Qt::QueuedConnection);
}

} // namespace LisOutbox
