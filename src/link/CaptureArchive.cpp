#include "link/CaptureArchive.h"

#include "link/AnalyserCapture.h"
#include "link/SerialSession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

bool syncToDisk(int handle)
{
#ifdef Q_OS_WIN
    return ::_commit(handle) == 0;
#else
    return ::fsync(handle) == 0;
#endif
}

// A new file's name must reach the disk too.
void syncFolder(const QString& path)
{
#ifndef Q_OS_WIN
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    Q_UNUSED(path);
#endif
}

// The first line of an index: "# from <size of the file before the index> <time>".
const QByteArray kIndexFrom = QByteArrayLiteral("# from ");

// Captures hold patients' results: readable by the station's own account and group only.
constexpr auto kPrivate =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::WriteGroup;

QString where(const QFile& file)
{
    return QDir::toNativeSeparators(file.fileName()) + QStringLiteral(": ");
}

// Appends `bytes` and syncs; on any failure the file is cut back to its size before, so that a
// retry does not write the same bytes twice.
bool appendDurably(const QString& path, const QByteArray& bytes, qint64* startOffset, QString* error)
{
    QFile file(path);
    const bool created = !file.exists();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered)) {
        *error = where(file) + file.errorString();
        return false;
    }
    if (created)
        file.setPermissions(kPrivate);
    const qint64 before = file.size();
    const qint64 written = file.write(bytes);
    bool ok = written == bytes.size();
    if (!ok)
        *error = where(file) + file.errorString();
    else if (!syncToDisk(file.handle())) {
        *error = where(file) + QStringLiteral("cannot be synced to disk");
        ok = false;
    }
    if (!ok) {
        file.resize(before);
        return false;
    }
    file.close();
    if (created)
        syncFolder(QFileInfo(path).absolutePath());
    *startOffset = before;
    return true;
}

} // namespace

CaptureArchive::CaptureArchive(const InstallFolder& folder, const Clock& clock) : m_folder(folder), m_clock(clock) {}

void CaptureArchive::received(const QByteArray& bytes)
{
    if (m_pending.size() + bytes.size() > m_maxPending)
        m_lostBytes += bytes.size();
    else
        m_pending.append(bytes);
    m_streamTotal += bytes.size();
}

void CaptureArchive::sessionCut(qint64 streamEnd, const QDateTime& receivedAt, const QByteArray& bytes)
{
    m_sessions.append({streamEnd, receivedAt, bytes});
}

QString CaptureArchive::folder() const
{
    return m_folder.filePath(QStringLiteral("captures"));
}

QString CaptureArchive::fileFor(const QDate& day) const
{
    return QDir(folder()).filePath(day.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".bin"));
}

QString CaptureArchive::indexFileFor(const QString& archiveFile)
{
    QString index = archiveFile;
    if (index.endsWith(QLatin1String(".bin")))
        index.chop(4);
    return index + QStringLiteral(".idx");
}

bool CaptureArchive::write(QString* error)
{
    QString why;
    const auto fail = [&](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (!m_pendingIndex.isEmpty() && !writeIndex(m_pendingIndexFile, &why))
        qWarning("capture archive: %s", qUtf8Printable(why));
    if (m_pending.isEmpty() && m_sessions.isEmpty())
        return true;
    const QString path = fileFor(m_clock.today());
    qint64 start = 0;
    if (!m_pending.isEmpty()) {
        if (!QDir().mkpath(folder()))
            return fail(QStringLiteral("the folder %1 cannot be created").arg(QDir::toNativeSeparators(folder())));
        QFile::setPermissions(folder(), kPrivate | QFileDevice::ExeOwner | QFileDevice::ExeGroup);
        // A file's index begins by saying how much the file held before it: bytes from there on
        // were archived by a program that indexes and journals them, even those whose index line
        // was never written (a crash in between).
        const QString indexFile = indexFileFor(path);
        if (!QFileInfo::exists(indexFile)) {
            qint64 at = 0;
            const QByteArray from = kIndexFrom + QByteArray::number(sizeOf(path)) + ' ' +
                                    m_clock.now().toString(Qt::ISODateWithMs).toLatin1() + '\n';
            if (!appendDurably(indexFile, from, &at, &why))
                return fail(why);
        }
        if (!appendDurably(path, m_pending, &start, &why))
            return fail(why);
    }
    const qint64 keptEnd = m_pendingStart + m_pending.size();
    const QString name = QFileInfo(path).fileName();
    QByteArray index;
    for (const Cut& cut : std::as_const(m_sessions)) {
        ReceivedSession s;
        s.bytes = cut.bytes;
        s.receivedAt = cut.receivedAt;
        s.origin = ReceivedSession::Origin::Line;
        // A session whose bytes arrived while memory was full has no place: it is still processed.
        if (cut.streamEnd > m_pendingStart && cut.streamEnd <= keptEnd) {
            s.archiveFile = name;
            s.endOffset = start + (cut.streamEnd - m_pendingStart);
            index +=
                QByteArray::number(s.endOffset) + '\t' + cut.receivedAt.toString(Qt::ISODateWithMs).toLatin1() + '\n';
        }
        m_durable.append(s);
    }
    m_sessions.clear();
    m_pending.clear();
    m_pendingStart = m_streamTotal;
    if (!index.isEmpty()) {
        if (!m_pendingIndex.isEmpty() && m_pendingIndexFile != path)
            m_pendingIndex.clear(); // an older day's lines that never made it: the file's time stands in
        m_pendingIndex += index;
        m_pendingIndexFile = path;
        if (!writeIndex(path, &why))
            qWarning("capture archive: %s", qUtf8Printable(why));
    }
    return true;
}

bool CaptureArchive::writeIndex(const QString& binFile, QString* error)
{
    qint64 start = 0;
    if (!appendDurably(indexFileFor(binFile), m_pendingIndex, &start, error))
        return false;
    m_pendingIndex.clear();
    return true;
}

QList<ReceivedSession> CaptureArchive::takeDurable()
{
    return std::exchange(m_durable, {});
}

qint64 CaptureArchive::sizeOf(const QString& file)
{
    const QFileInfo info(file);
    return info.isFile() ? info.size() : 0;
}

QList<ReceivedSession> CaptureArchive::sessionsIn(const QString& file, qint64 fromOffset, bool indexedOnly)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return {};
    const QByteArray capture = in.readAll();
    QHash<qint64, QDateTime> times;
    qint64 indexFrom = -1; // where the index began; -1: an index without its start, or none
    QFile index(indexFileFor(file));
    if (index.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : index.readAll().split('\n')) {
            if (line.startsWith(kIndexFrom)) {
                bool ok = false;
                const qint64 from = line.mid(kIndexFrom.size()).split(' ').value(0).toLongLong(&ok);
                if (ok && from >= 0 && (indexFrom < 0 || from < indexFrom))
                    indexFrom = from;
                continue;
            }
            const qsizetype tab = line.indexOf('\t');
            if (tab > 0)
                times.insert(line.left(tab).toLongLong(),
                             QDateTime::fromString(QString::fromLatin1(line.mid(tab + 1)), Qt::ISODateWithMs));
        }
    }
    // Without an index line, the file's last change is the best guess, kept within the file's day.
    const QFileInfo info(file);
    const QDate day = QDate::fromString(info.completeBaseName(), QStringLiteral("yyyy-MM-dd"));
    QDateTime fallback = info.lastModified();
    if (day.isValid() && fallback.date() != day)
        fallback = QDateTime(day, QTime(23, 59, 59));

    QList<ReceivedSession> sessions;
    SerialSession line;
    const auto take = [&](const SerialSession::Actions& actions) {
        if (!actions.messageCut)
            return;
        const QByteArray bytes = std::exchange(line.messageArea(), QByteArray());
        const bool indexed = times.contains(actions.cutEnd) || (indexFrom >= 0 && actions.cutEnd > indexFrom);
        if (actions.cutEnd <= fromOffset || (indexedOnly && !indexed))
            return;
        ReceivedSession s;
        s.bytes = bytes;
        s.archiveFile = info.fileName();
        s.endOffset = actions.cutEnd;
        s.receivedAt = times.value(actions.cutEnd, fallback);
        s.origin = ReceivedSession::Origin::Recovered;
        sessions.append(s);
    };
    for (const QByteArray& read : AnalyserCapture::deliveries(capture)) {
        take(line.onData(read));
        while (line.hasCompleteMessage())
            take(line.onData({}));
    }
    return sessions;
}
