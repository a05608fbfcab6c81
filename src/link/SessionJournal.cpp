#include "link/SessionJournal.h"

#include "link/CaptureArchive.h"

#include <QDir>
#include <QSet>

namespace SessionJournal {

namespace {

QString isoTime(const QDateTime& at)
{
    return at.toString(Qt::ISODateWithMs);
}

QVariant textOrNull(const QString& text)
{
    return SqlRun::textOrNull(text);
}

const QString kBaseline = QStringLiteral("baseline");
// A session an earlier version gave up on is not recorded: it is taken up again.
const QString kFailed = QStringLiteral("failed");

} // namespace

const char* stateName(State state)
{
    switch (state) {
    case State::Held:
        return "held";
    case State::Failed:
        return "failed";
    case State::Stored:
        break;
    }
    return "stored";
}

std::optional<qint64> open(const QSqlDatabase& db, const ReceivedSession& s, const QDateTime& processedAt,
                           QSqlError* error)
{
    const SqlRun::Outcome added =
        SqlRun::insert(db, QStringLiteral("receivedsession"),
                       {{QStringLiteral("archivefile"), textOrNull(s.journalFile())},
                        {QStringLiteral("endoffset"), s.hasPlace() ? QVariant(s.endOffset) : SqlRun::nullNumber()},
                        {QStringLiteral("receivedat"), isoTime(s.receivedAt)},
                        {QStringLiteral("digest"), s.digest()},
                        {QStringLiteral("origin"), QString::fromLatin1(ReceivedSession::originName(s.origin))},
                        {QStringLiteral("state"), QString::fromLatin1(stateName(State::Stored))},
                        {QStringLiteral("results"), 0},
                        {QStringLiteral("processedat"), isoTime(processedAt)}});
    if (!added) {
        if (error)
            *error = added.error;
        return std::nullopt;
    }
    return added.lastInsertId.toLongLong();
}

SqlRun::Outcome close(const QSqlDatabase& db, qint64 sessionId, State state, int results, const QString& reason)
{
    return SqlRun::update(db, QStringLiteral("receivedsession"),
                          {{QStringLiteral("state"), QString::fromLatin1(stateName(state))},
                           {QStringLiteral("results"), results},
                           {QStringLiteral("reason"), textOrNull(reason)}},
                          QStringLiteral("sessionid=?"), {sessionId});
}

std::optional<bool> isRecorded(const QSqlDatabase& db, const ReceivedSession& s, QSqlError* error)
{
    const auto found = [&](const QString& sql, const QVariantList& values) -> std::optional<bool> {
        const SqlRun::Rows rows = SqlRun::select(db, sql, values);
        if (!rows) {
            if (error)
                *error = rows.error;
            return std::nullopt;
        }
        return !rows.isEmpty();
    };
    if (s.hasPlace()) {
        const auto byPlace =
            found(QStringLiteral("SELECT sessionid FROM receivedsession WHERE archivefile IN (?, ?) AND endoffset=? "
                                 "AND origin<>? AND state<>?"),
                  {s.journalFile(), s.archiveFile, s.endOffset, kBaseline, kFailed});
        if (!byPlace || *byPlace || s.origin != ReceivedSession::Origin::Replayed)
            return byPlace;
    }
    return found(QStringLiteral("SELECT sessionid FROM receivedsession WHERE digest=? AND state<>?"),
                 {s.digest(), kFailed});
}

std::optional<QList<ReceivedSession>> unrecorded(const QSqlDatabase& db, const QString& captureFolder, QSqlError* error,
                                                 const QString& liveFile)
{
    const auto fail = [error](const QSqlError& e) -> std::optional<QList<ReceivedSession>> {
        if (error)
            *error = e;
        return std::nullopt;
    };
    const QStringList files = QDir(captureFolder).entryList({QStringLiteral("*.bin")}, QDir::Files, QDir::Name);
    // The journal's own start: archives of that day or before hold sessions the program processed
    // before it kept a journal; only those archived since the file's index began came after.
    const SqlRun::Rows start = SqlRun::select(
        db, QStringLiteral("SELECT receivedat FROM receivedsession WHERE origin=? AND archivefile IS NULL"),
        {kBaseline});
    if (!start)
        return fail(start.error);
    QDate journalDay;
    for (const QSqlRecord& row : start.records) {
        const QDate day = QDateTime::fromString(row.value(0).toString().left(19), Qt::ISODate).date();
        if (day.isValid() && (!journalDay.isValid() || day < journalDay))
            journalDay = day;
    }
    QList<ReceivedSession> missing;
    // This station's sessions only; rows of a bare file name were written before stations shared a
    // database, by this station.
    const QString station = CaptureArchive::stationOf(captureFolder);
    for (const QString& file : files) {
        const QString journalFile = station.isEmpty() ? file : station + QLatin1Char('/') + file;
        const SqlRun::Rows rows = SqlRun::select(
            db,
            QStringLiteral("SELECT endoffset, origin FROM receivedsession WHERE archivefile IN (?, ?) AND state<>?"),
            {journalFile, file, kFailed});
        if (!rows)
            return fail(rows.error);
        QSet<qint64> recorded;
        for (const QSqlRecord& row : rows.records)
            recorded.insert(row.value(0).toLongLong());
        const QDate day = QDate::fromString(file.chopped(4), QStringLiteral("yyyy-MM-dd"));
        const bool beforeJournal = journalDay.isValid() && day.isValid() && day <= journalDay;
        for (const ReceivedSession& s :
             CaptureArchive::sessionsIn(QDir(captureFolder).filePath(file), 0, beforeJournal, file != liveFile)) {
            if (!recorded.contains(s.endOffset)) {
                missing.append(s);
                missing.last().station = station;
            }
        }
    }
    return missing;
}

} // namespace SessionJournal
