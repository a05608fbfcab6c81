#pragma once

#include "db/SqlRun.h"
#include "link/ReceivedSession.h"

#include <QList>
#include <QSqlDatabase>
#include <optional>

// The journal of received sessions (table `receivedsession`): one row per session processed, with
// its place in the capture archive, its receive time and its state. The row is written in the
// same transaction as the session's results, so a session either has both or neither; what is in
// the archive without a row was never processed and is taken up at the next start.
namespace SessionJournal {

enum class State
{
    Stored, // its results are stored (a session may have none)
    Held,   // stored, but one or more of its frames failed the checksum and are held
    Failed, // given up by an earlier version: not recorded, so taken up again
};
const char* stateName(State state);

// Opens the session's row (state stored) inside the caller's transaction; its id, or nothing.
std::optional<qint64> open(const QSqlDatabase& db, const ReceivedSession& session, const QDateTime& processedAt,
                           QSqlError* error);
// Sets the row's final state and result count.
SqlRun::Outcome close(const QSqlDatabase& db, qint64 sessionId, State state, int results, const QString& reason);

// Whether the session is already processed: by its place in the archive, or for a replayed
// capture by its place or its digest; a row of state failed does not count. Nothing on a database
// error.
std::optional<bool> isRecorded(const QSqlDatabase& db, const ReceivedSession& session, QSqlError* error);

// The archived sessions of `captureFolder` that no row records, oldest file first, in order.
// Sessions archived before the journal existed count as processed: they were, without a journal.
// Those are the files of the days before the journal's first row (made with its table) and, on
// that row's day, what the file held before its index began.
// A session a file holds without its EOT is cut off as incomplete where the stream restarted, and
// at the end of any file but `liveFile` (the one being written, whose last session may still come).
std::optional<QList<ReceivedSession>> unrecorded(const QSqlDatabase& db, const QString& captureFolder, QSqlError* error,
                                                 const QString& liveFile = {});

} // namespace SessionJournal
