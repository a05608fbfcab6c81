#pragma once

#include "link/ReceivedSession.h"
#include "platform/Clock.h"
#include "platform/InstallFolder.h"

#include <QByteArray>
#include <QDate>
#include <QHash>
#include <QList>
#include <QString>

// The capture archive: every byte received on the analyser line, appended to one file per day in
// the install folder (captures/yyyy-MM-dd.bin), with the receive time of each complete session in
// a small index beside it (yyyy-MM-dd.idx: "end offset<TAB>time" per line). The index starts with
// "# from <offset> <time>", written before the first byte this program appends to the file: what
// lies before the offset was archived by an earlier program that kept neither index nor journal.
//
// A session cut from the line is released for processing only once its bytes are on disk, with
// its place in the file; so whatever happens to the processing, the session can be found again.
// Bytes that cannot be written (disk full, folder gone) stay pending, up to a bound, and are
// written as soon as the disk allows; nothing is dropped while they fit.
class CaptureArchive
{
public:
    // At least 64 MB stays pending while the disk refuses: hours of a busy line.
    static constexpr qsizetype kDefaultMaxPending = 256 * 1024 * 1024;

    CaptureArchive(const InstallFolder& folder, const Clock& clock);

    // Keeps bytes as they arrive (lone ENQs and line noise included), until the next write. Their
    // stream positions follow on from the bytes before.
    void received(const QByteArray& bytes);
    // A complete session whose EOT ends at stream position `streamEnd` (SerialSession's cutEnd).
    void sessionCut(qint64 streamEnd, const QDateTime& receivedAt, const QByteArray& bytes);
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

    // The sessions of an archive file that end after `fromOffset`, cut as the line would have cut
    // them, with the receive times of the index (the file's time where the index has none).
    // `indexedOnly`: only those archived since the file has an index (those it names, and those
    // after its start whose line was never written).
    static QList<ReceivedSession> sessionsIn(const QString& file, qint64 fromOffset = 0, bool indexedOnly = false);
    // Size of an archive file (0 when missing).
    static qint64 sizeOf(const QString& file);

private:
    struct Cut
    {
        qint64 streamEnd;
        QDateTime receivedAt;
        QByteArray bytes;
    };
    bool writeIndex(const QString& binFile, QString* error);

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
};
