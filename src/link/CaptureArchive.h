#pragma once

#include "link/ReceivedSession.h"
#include "platform/Clock.h"
#include "platform/InstallFolder.h"

#include <QByteArray>
#include <QDate>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <utility>

// The capture archive: every byte received on the analyser line, appended to one file per day in
// the install folder (captures/yyyy-MM-dd.bin), with the receive time of each complete session in
// a small index beside it (yyyy-MM-dd.idx: "end offset<TAB>time" per line). The index starts with
// "# from <offset> <time>", written before the first byte this program appends to the file: what
// lies before the offset was archived by an earlier program that kept neither index nor journal.
//
// Bytes are appended as they arrive (the owner writes at every frame's end and within a second
// otherwise), so a crash mid-session leaves them on disk. A session stays in one file even when it
// runs past midnight. Where this program's stream of the line restarts (a new start, the port
// reopened) the index says "# restart <offset> <time>": a session still open there never reached
// its EOT and is cut off as incomplete, so it cannot merge with the next one. Older programs skip
// those lines.
//
// A session cut from the line is released for processing only once its bytes are on disk, with
// its place in the file; so whatever happens to the processing, the session can be found again.
// Bytes that cannot be written (disk full, folder gone) stay pending, up to a bound, and are
// written as soon as the disk allows; nothing is dropped while they fit. When the program must stop
// before that, they are spilled to a second place (captures-pending/ in the install folder, or the
// temporary folder), which the next start takes up into the archive.
class CaptureArchive
{
public:
    // At least 64 MB stays pending while the disk refuses: hours of a busy line.
    static constexpr qsizetype kDefaultMaxPending = 256 * 1024 * 1024;

    CaptureArchive(const InstallFolder& folder, const Clock& clock);

    // Keeps bytes as they arrive (lone ENQs and line noise included), until the next write. Their
    // stream positions follow on from the bytes before.
    void received(const QByteArray& bytes);
    // A complete session whose EOT ends at stream position `streamEnd` (SerialSession's cutEnd); or
    // (`complete` false) one cut short there, whose EOT never came.
    void sessionCut(qint64 streamEnd, const QDateTime& receivedAt, const QByteArray& bytes, bool complete = true);
    // The line's stream restarts after every byte received so far (the port was reopened).
    void restartHere();
    // Whether a session is open on the line: until it ends, its bytes stay in the file it began in.
    void setSessionOpen(bool open) { m_sessionOpen = open; }
    // A new start: what today's file holds from an earlier run ends here. Written to the index at
    // once, so that the start-up scan cuts off a session that earlier run left open.
    bool markStart(QString* error = nullptr);
    // Writes what is pending to the second place; the path written, or empty (with the reason).
    QString spill(QString* error);
    // Appends what earlier runs spilled to today's file (each between two restarts) and removes
    // the spilled files; how many files were taken up.
    int takeUpSpilled(QString* error = nullptr);
    QStringList spillFolders() const;
    // Appends what is pending to today's file and waits until it is on disk. False, with the
    // reason, when it cannot: then nothing of this try stays in the file and all is kept.
    bool write(QString* error = nullptr);
    // The sessions whose bytes are on disk since the last call, in order, with their place.
    // Sessions whose bytes did not fit in memory come without a place.
    QList<ReceivedSession> takeDurable();

    qsizetype pending() const { return m_pending.size(); }
    qsizetype waitingSessions() const { return m_sessions.size(); }
    // Bytes that arrived while the pending bytes had reached the bound: not in the archive.
    qint64 lostBytes() const { return m_lostBytes; }
    void setMaxPending(qsizetype bytes) { m_maxPending = bytes; }

    QString folder() const;
    QString fileFor(const QDate& day) const;
    static QString indexFileFor(const QString& archiveFile);
    // The station mark of the archive in `captureFolder` (file station.id there, made with a
    // random mark the first time); empty when it can be neither read nor made.
    static QString stationOf(const QString& captureFolder);

    // The sessions of an archive file that end after `fromOffset`, cut as the line would have cut
    // them, with the receive times of the index (the file's time where the index has none).
    // `indexedOnly`: only those archived since the file has an index (those it names, and those
    // after its start whose line was never written).
    // `endIsBoundary`: the file is finished (not the one being written), so a session still open
    // at its end is cut off as incomplete.
    static QList<ReceivedSession> sessionsIn(const QString& file, qint64 fromOffset = 0, bool indexedOnly = false,
                                             bool endIsBoundary = false);
    // What follows a file's last EOT: how many bytes, and whether they are only blanks.
    struct Tail
    {
        qint64 afterLastEot = 0;
        bool blank = true;
    };
    // The same, one session at a time as it is read, in bounded memory whatever the file's size;
    // false when the file cannot be read (to its end).
    static bool forEachSession(const QString& file, const std::function<void(const ReceivedSession&)>& found,
                               qint64 fromOffset = 0, bool indexedOnly = false, bool endIsBoundary = false,
                               Tail* tail = nullptr);
    // Whether bytes cut off without their EOT carry any part of a record (and so must be held).
    static bool isRecordText(const QByteArray& bytes);
    // Size of an archive file (0 when missing).
    static qint64 sizeOf(const QString& file);

private:
    struct Cut
    {
        qint64 streamEnd;
        QDateTime receivedAt;
        QByteArray bytes;
        bool complete;
    };
    // Stream bytes [streamStart, streamEnd) lie in `file` from `offset` on.
    struct Placed
    {
        qint64 streamStart;
        qint64 streamEnd;
        QString file;
        qint64 offset;
    };
    bool writeIndex(const QString& binFile, QString* error);
    // The file and offset of a stream position that is written; `byteBefore`: the position right
    // after a written byte (a session's end), which lies in that byte's file.
    std::optional<std::pair<QString, qint64>> placeOf(qint64 streamPos, bool byteBefore) const;
    QByteArray restartLine(qint64 offset) const;

    InstallFolder m_folder;
    const Clock& m_clock;
    QByteArray m_pending;
    qint64 m_pendingStart = 0; // stream position of m_pending's first byte
    qint64 m_streamTotal = 0;  // every byte received so far
    qint64 m_lostBytes = 0;
    qsizetype m_maxPending = kDefaultMaxPending;
    QList<Cut> m_sessions;
    QList<ReceivedSession> m_durable;
    QByteArray m_pendingIndex; // index lines not yet on disk
    QString m_pendingIndexFile;
    QString m_file; // the file this run appends to
    bool m_sessionOpen = false;
    bool m_pendingMidSession = false; // the first pending byte arrived inside a session
    QList<Placed> m_placed;
    QList<qint64> m_restarts; // stream positions not yet written to the index
};
