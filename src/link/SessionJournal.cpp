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
                       {{QStringLiteral("archivefile"), textOrNull(s.archiveFile)},
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
            found(QStringLiteral("SELECT sessionid FROM receivedsession WHERE archivefile=? AND endoffset=? "
                                 "AND origin<>?"),
                  {s.archiveFile, s.endOffset, kBaseline});
        if (!byPlace || *byPlace || s.origin != ReceivedSession::Origin::Replayed)
            return byPlace;
    }
    return found(QStringLiteral("SELECT sessionid FROM receivedsession WHERE digest=?"), {s.digest()});
}

std::optional<QList<ReceivedSession>> unrecorded(const QSqlDatabase& db, const QString& captureFolder, QSqlError* error)
{
    const auto fail = [error](const QSqlError& e) -> std::optional<QList<ReceivedSession>> {
        if (error)
            *error = e;
        return std::nullopt;
    };
    const QStringList files = QDir(captureFolder).entryList({QStringLiteral("*.bin")}, QDir::Files, QDir::Name);
    const SqlRun::Rows any = SqlRun::select(db, QStringLiteral("SELECT count(*) FROM receivedsession"));
    if (!any)
        return fail(any.error);
    if (any.records.first().value(0).toLongLong() == 0) {
        // The first start with a journal: what the archive holds was processed before it existed.
        QList<std::pair<QString, qint64>> marks;
        for (const QString& file : files)
            marks.append({file, CaptureArchive::sizeOf(QDir(captureFolder).filePath(file))});
        if (marks.isEmpty())
            marks.append({QString(), -1});
        for (const auto& [file, size] : marks) {
            const SqlRun::Outcome added =
                SqlRun::insert(db, QStringLiteral("receivedsession"),
                               {{QStringLiteral("archivefile"), textOrNull(file)},
                                {QStringLiteral("endoffset"), size >= 0 ? QVariant(size) : SqlRun::nullNumber()},
                                {QStringLiteral("origin"), kBaseline},
                                {QStringLiteral("state"), kBaseline},
                                {QStringLiteral("results"), 0}});
            if (!added)
                return fail(added.error);
        }
        return QList<ReceivedSession>();
    }
    QList<ReceivedSession> missing;
    for (const QString& file : files) {
        const SqlRun::Rows rows = SqlRun::select(
            db, QStringLiteral("SELECT endoffset, origin FROM receivedsession WHERE archivefile=?"), {file});
        if (!rows)
            return fail(rows.error);
        qint64 baseline = 0;
        QSet<qint64> recorded;
        for (const QSqlRecord& row : rows.records) {
            const qint64 end = row.value(0).toLongLong();
            if (row.value(1).toString() == kBaseline)
                baseline = std::max(baseline, end);
            else
                recorded.insert(end);
        }
        for (const ReceivedSession& s : CaptureArchive::sessionsIn(QDir(captureFolder).filePath(file), baseline)) {
            if (!recorded.contains(s.endOffset))
                missing.append(s);
        }
    }
    return missing;
}

} // namespace SessionJournal
