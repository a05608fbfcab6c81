#pragma once

#include "db/Dialect.h"
#include "db/SqlRun.h"
#include "link/CurrentResult.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <functional>
#include <optional>

class AppContext;
class QThread;

// The writes into the LIS waiting to be made (table `lisoutbox`). A stored result that is to go to
// the LIS is queued in the same transaction as its `Result` row, with every value it will write,
// so a crash, a locked LIS or one that cannot be reached never loses it: the sender delivers the
// queue in order, and a write repeated after a crash writes the same values again.
namespace LisOutbox {

// The export status after the key in the receive window's list while the write waits.
inline const QString queuedText = QStringLiteral("     Queued");

// Queues the write of `record` (stored as `autoNum`, received in session `sessionId`). `now` is
// the moment of storage; the LIS's editdate says it.
SqlRun::Outcome queue(const QSqlDatabase& db, const CurrentResult& record, qint64 autoNum, qint64 sessionId,
                      const QDateTime& now);

// The statements that read the request and write exactly the row read: SQLite by its rowid, SQL
// Server through the first row of the same query, Jet (no row identity) by patient and test.
struct RequestStatements
{
    QString read;
    QString write; // "%1" stands for the "column=?" list
    bool byRowId = false;
};
RequestStatements requestStatements(SqlEngine lisEngine);

// Queues a write of the given LIS columns (the names of kLisColumns; others are left out) for
// the stored result `autoNum`. `origin` is empty for the receive chain.
inline const QString editorOrigin = QStringLiteral("editor");
SqlRun::Outcome queueColumns(const QSqlDatabase& db, qint64 autoNum, const QString& patientId, const QVariant& testCode,
                             const SqlRun::Columns& lisColumns, const QString& origin, const QDateTime& now);

struct Entry
{
    qint64 outboxId = 0;
    qint64 autoNum = 0;
    QString patientid;
    qint64 testcode = 0;
    QString resultt;
    int attempts = 0;
    QString lastError;
    QString queuedAt;
};
// What waits, oldest first.
std::optional<QList<Entry>> waiting(const QSqlDatabase& db, QSqlError* error);

struct Delivery
{
    qint64 outboxId = 0;
    bool written = false; // false: there is no request to write it to
};

struct SendOutcome
{
    QList<Delivery> done;
    bool stalled = false; // the LIS or the interface database could not be reached or was locked
    QString reason;
    int waiting = 0; // still queued afterwards
};

// Every running program delivers the outbox, so an entry is claimed before it is written: the
// claimant's name and a time until which the entry is its own. Another program leaves a claimed
// entry alone until that time has passed (its claimant may have died), so two programs never
// write one entry at once; a write repeated after a claim ran out writes the same values again.
inline constexpr int kClaimSeconds = 120;
// This program's name as a claimant, and a new name of this program for a sender of its own.
const QString& claimantName();
QString newClaimantName();
// Takes entry `outboxId` for `claimant` when it still waits and nobody else holds it (a claimant of
// this computer whose process has ended holds nothing).
bool claim(const QSqlDatabase& db, qint64 outboxId, const QString& claimant, const QDateTime& now);

// The outbox table's own count of what waits; `ok` false when it could not be read.
int countWaiting(const QSqlDatabase& db, bool* ok = nullptr);

// The history lines of an editor's correction: queued at Save, then delivered (or found without
// request) by whichever program wrote it, each with its own time.
inline const QString queuedHistoryText = QStringLiteral("queued");
inline const QString deliveredHistoryText = QStringLiteral("delivered");
inline const QString noRequestHistoryText = QStringLiteral("no request");
inline const QString deliveredBy = QStringLiteral("LIS outbox");

// Delivers what waits, oldest first, on the context's receiver connections. Stops at the first
// error that a retry may mend; an entry the LIS refuses for good keeps waiting with its reason
// while the others go on. Entries another program holds are left to it.
SendOutcome deliver(AppContext& context, const QDateTime& now, const QString& claimant = claimantName());

// The same on connections of the caller's own: `openLis` is asked for the LIS only when something
// waits (a connection that is not open stalls the delivery with `lisFailure`, when given, as the
// reason). With `onlyOutboxId` only that entry is delivered, and `waiting` is not counted.
SendOutcome deliverOn(const QSqlDatabase& iface, const std::function<QSqlDatabase()>& openLis, SqlEngine lisEngine,
                      const QDateTime& now, qint64 onlyOutboxId = 0, const QString* lisFailure = nullptr,
                      const QString& claimant = claimantName());

// Delivers the outbox on a thread of its own, so that no window waits for the LIS: a pass at once,
// then one every `idleMs` (another station's queued writes are taken up too), with growing pauses
// from `firstRetryMs` up to `maxRetryMs` while the LIS is out of reach or locked. The thread has
// its own connections, made from a copy of the context's settings and connection strings, and
// shows no messages (what waits, and why, is reported by waitingChanged).
class Sender final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Sender)

public:
    struct Pauses
    {
        int idleMs = 10000;
        int firstRetryMs = 1000;
        int maxRetryMs = 60000;
    };
    explicit Sender(const AppContext& context, Pauses pauses, QObject* parent = nullptr);
    explicit Sender(const AppContext& context, QObject* parent = nullptr) : Sender(context, Pauses(), parent) {}
    ~Sender() override;

    // A pass as soon as the thread is free (a save has just queued a write).
    void deliverSoon();

signals:
    // After every pass: what waits, by the outbox table, and why it waits (empty when it does not).
    void waitingChanged(int waiting, const QString& reason);
    void delivered(qint64 outboxId, bool written);

private:
    class Worker;
    QThread* m_thread;
    Worker* m_worker;
};

} // namespace LisOutbox
