#include "link/CaptureArchive.h"

#include "link/AnalyserCapture.h"
#include "link/SerialSession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QSaveFile>
#include <QUuid>

#include <algorithm>
#include <cerrno>

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
// Where this program's stream of the line restarted: "# restart <offset> <time>".
const QByteArray kIndexRestart = QByteArrayLiteral("# restart ");

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
    errno = 0;
    const qint64 written = file.write(bytes);
    // The system's own reason ("No space left on device"): a short write leaves Qt's text unset.
    const auto cause = [&file](int code) { return code != 0 ? qt_error_string(code) : file.errorString(); };
    bool ok = written == bytes.size();
    if (!ok)
        *error = where(file) + cause(errno);
    else if (!syncToDisk(file.handle())) {
        *error = where(file) + QStringLiteral("cannot be synced to disk: ") + cause(errno);
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

bool CaptureArchive::isRecordText(const QByteArray& bytes)
{
    return bytes.contains(AnalyserCapture::RS) || bytes.contains("mtrsl");
}

CaptureArchive::CaptureArchive(const InstallFolder& folder, const Clock& clock) : m_folder(folder), m_clock(clock) {}

void CaptureArchive::received(const QByteArray& bytes)
{
    if (m_pending.isEmpty())
        m_pendingMidSession = m_sessionOpen;
    if (m_pending.size() + bytes.size() > m_maxPending)
        m_lostBytes += bytes.size();
    else
        m_pending.append(bytes);
    m_streamTotal += bytes.size();
}

void CaptureArchive::sessionCut(qint64 streamEnd, const QDateTime& receivedAt, const QByteArray& bytes, bool complete)
{
    m_sessions.append({streamEnd, receivedAt, bytes, complete});
}

void CaptureArchive::restartHere()
{
    m_restarts.append(m_streamTotal);
}

QByteArray CaptureArchive::restartLine(qint64 offset) const
{
    return kIndexRestart + QByteArray::number(offset) + ' ' + m_clock.now().toString(Qt::ISODateWithMs).toLatin1() +
           '\n';
}

bool CaptureArchive::markStart(QString* error)
{
    const QString path = fileFor(m_clock.today());
    m_file = path;
    const qint64 size = sizeOf(path);
    if (size == 0)
        return true;
    const QString index = indexFileFor(path);
    QByteArray lines;
    if (!QFileInfo::exists(index))
        lines =
            kIndexFrom + QByteArray::number(size) + ' ' + m_clock.now().toString(Qt::ISODateWithMs).toLatin1() + '\n';
    lines += restartLine(size);
    qint64 at = 0;
    QString why;
    if (appendDurably(index, lines, &at, &why))
        return true;
    if (error)
        *error = why;
    return false;
}

QStringList CaptureArchive::spillFolders() const
{
    return {m_folder.filePath(QStringLiteral("captures-pending")),
            QDir(QDir::tempPath()).filePath(QStringLiteral("corvana-captures-pending"))};
}

QString CaptureArchive::spill(QString* error)
{
    if (m_pending.isEmpty())
        return {};
    const QString name = m_clock.now().toString(QStringLiteral("yyyy-MM-ddTHHmmss-zzz")) + QStringLiteral(".bin");
    QStringList reasons;
    for (const QString& folder : spillFolders()) {
        qint64 at = 0;
        QString why;
        const QString path = QDir(folder).filePath(name);
        if (!QDir().mkpath(folder)) {
            reasons << QStringLiteral("%1: cannot be created").arg(QDir::toNativeSeparators(folder));
            continue;
        }
        QFile::setPermissions(folder, kPrivate | QFileDevice::ExeOwner | QFileDevice::ExeGroup);
        if (!appendDurably(path, m_pending, &at, &why)) {
            reasons << why;
            continue;
        }
        m_pending.clear();
        m_pendingStart = m_streamTotal;
        m_sessions.clear();
        return path;
    }
    if (error)
        *error = reasons.join(QStringLiteral("; "));
    return {};
}

int CaptureArchive::takeUpSpilled(QString* error)
{
    int taken = 0;
    for (const QString& spillFolder : spillFolders()) {
        const QDir dir(spillFolder);
        for (const QString& name : dir.entryList({QStringLiteral("*.bin")}, QDir::Files, QDir::Name)) {
            QFile in(dir.filePath(name));
            if (!in.open(QIODevice::ReadOnly))
                continue;
            const QByteArray bytes = in.readAll();
            in.close();
            // Between two restarts: neither the file's last session nor the spilled one's ends merge.
            const QString path = fileFor(m_clock.today());
            QString why;
            qint64 start = 0;
            // The index says the spilled bytes came from this program, journaled like any others.
            const QString index = indexFileFor(path);
            const QByteArray from = kIndexFrom + QByteArray::number(sizeOf(path)) + ' ' +
                                    m_clock.now().toString(Qt::ISODateWithMs).toLatin1() + '\n';
            const bool ok = QDir().mkpath(folder()) &&
                            (QFileInfo::exists(index) || appendDurably(index, from, &start, &why)) && markStart(&why) &&
                            appendDurably(path, bytes, &start, &why);
            if (!ok || !markStart(&why) || !QFile::remove(in.fileName())) {
                if (error)
                    *error = why.isEmpty()
                                 ? QDir::toNativeSeparators(in.fileName()) + QStringLiteral(": cannot be taken up")
                                 : why;
                return taken;
            }
            ++taken;
        }
    }
    return taken;
}

std::optional<std::pair<QString, qint64>> CaptureArchive::placeOf(qint64 streamPos, bool byteBefore) const
{
    for (auto it = m_placed.crbegin(); it != m_placed.crend(); ++it) {
        if ((byteBefore ? it->streamStart < streamPos : it->streamStart <= streamPos) && streamPos <= it->streamEnd)
            return std::make_pair(it->file, it->offset + (streamPos - it->streamStart));
    }
    return std::nullopt;
}

QString CaptureArchive::folder() const
{
    return m_folder.filePath(QStringLiteral("captures"));
}

QString CaptureArchive::fileFor(const QDate& day) const
{
    return QDir(folder()).filePath(day.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".bin"));
}

QString CaptureArchive::stationOf(const QString& captureFolder)
{
    static QMutex guard;
    static QHash<QString, QString> known;
    const QMutexLocker lock(&guard);
    const QString path = QDir(captureFolder).absoluteFilePath(QStringLiteral("station.id"));
    if (const auto it = known.constFind(path); it != known.constEnd())
        return *it;
    QFile file(path);
    QString mark;
    if (file.open(QIODevice::ReadOnly))
        mark = QString::fromLatin1(file.readAll()).trimmed();
    if (mark.isEmpty() && QDir().mkpath(captureFolder)) {
        const QString made = QUuid::createUuid().toString(QUuid::WithoutBraces);
        QSaveFile out(path);
        if (out.open(QIODevice::WriteOnly) && out.write(made.toLatin1() + '\n') > 0 && out.commit())
            mark = made;
    }
    if (!mark.isEmpty())
        known.insert(path, mark);
    return mark;
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
    if (m_pending.isEmpty() && m_sessions.isEmpty() && m_restarts.isEmpty())
        return true;
    // A session stays in the file it began in, even past midnight.
    const QString path = m_pendingMidSession && !m_file.isEmpty() ? m_file : fileFor(m_clock.today());
    const QString name = QFileInfo(path).fileName();
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
        // Another run's bytes end where this run's first bytes in the file begin.
        const bool another = path != m_file && sizeOf(path) > 0;
        qint64 start = 0;
        if (!appendDurably(path, m_pending, &start, &why))
            return fail(why);
        if (another)
            m_restarts.prepend(m_pendingStart);
        m_file = path;
        if (!m_placed.isEmpty() && m_placed.last().file == name && m_placed.last().streamEnd == m_pendingStart &&
            m_placed.last().offset + (m_pendingStart - m_placed.last().streamStart) == start)
            m_placed.last().streamEnd += m_pending.size();
        else
            m_placed.append({m_pendingStart, m_pendingStart + m_pending.size(), name, start});
        if (m_placed.size() > 8)
            m_placed.removeFirst();
        m_pending.clear();
        m_pendingStart = m_streamTotal;
    }
    QByteArray index;
    // A line for another file than this write's (a session that ended after midnight in the file it
    // began in) goes to that file's index at once.
    const auto indexLine = [&](const QString& file, const QByteArray& line) {
        qint64 at = 0;
        QString failed;
        if (file == name)
            index += line;
        else if (!appendDurably(indexFileFor(QDir(folder()).filePath(file)), line, &at, &failed))
            qWarning("capture archive: %s", qUtf8Printable(failed));
    };
    QList<qint64> unplaced;
    for (const qint64 restart : std::as_const(m_restarts)) {
        if (restart > m_pendingStart)
            unplaced.append(restart); // its bytes are not written yet
        else if (const auto at = placeOf(restart, false))
            indexLine(at->first, restartLine(at->second));
    }
    m_restarts = unplaced;
    for (const Cut& cut : std::as_const(m_sessions)) {
        ReceivedSession s;
        s.bytes = cut.bytes;
        s.receivedAt = cut.receivedAt;
        s.origin = ReceivedSession::Origin::Line;
        s.complete = cut.complete;
        // A session whose bytes arrived while memory was full has no place: it is still processed.
        if (const auto at = placeOf(cut.streamEnd, true)) {
            s.archiveFile = at->first;
            s.station = stationOf(folder());
            s.endOffset = at->second;
            indexLine(at->first, QByteArray::number(s.endOffset) + '\t' +
                                     cut.receivedAt.toString(Qt::ISODateWithMs).toLatin1() + '\n');
        }
        m_durable.append(s);
    }
    m_sessions.clear();
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

QList<ReceivedSession> CaptureArchive::sessionsIn(const QString& file, qint64 fromOffset, bool indexedOnly,
                                                  bool endIsBoundary)
{
    QList<ReceivedSession> sessions;
    forEachSession(
        file, [&sessions](const ReceivedSession& s) { sessions.append(s); }, fromOffset, indexedOnly, endIsBoundary);
    return sessions;
}

bool CaptureArchive::forEachSession(const QString& file, const std::function<void(const ReceivedSession&)>& found,
                                    qint64 fromOffset, bool indexedOnly, bool endIsBoundary, Tail* tail)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = in.size();
    QHash<qint64, QDateTime> times;
    QList<qint64> restarts; // where the stream restarted: a session open there never ended
    qint64 indexFrom = -1;  // where the index began; -1: an index without its start, or none
    QFile index(indexFileFor(file));
    if (index.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : index.readAll().split('\n')) {
            if (line.startsWith(kIndexRestart)) {
                bool ok = false;
                const qint64 at = line.mid(kIndexRestart.size()).split(' ').value(0).toLongLong(&ok);
                if (ok && at > 0)
                    restarts.append(at);
                continue;
            }
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

    SerialSession line;
    const auto add = [&](const QByteArray& bytes, qint64 end, bool complete) {
        const bool indexed = times.contains(end) || (indexFrom >= 0 && end > indexFrom);
        if (end <= fromOffset || (indexedOnly && !indexed))
            return;
        ReceivedSession s;
        s.bytes = bytes;
        s.archiveFile = info.fileName();
        s.endOffset = end;
        s.receivedAt = times.value(end, fallback);
        s.origin = ReceivedSession::Origin::Recovered;
        s.complete = complete;
        found(s);
    };
    const auto take = [&](const SerialSession::Actions& actions) {
        if (actions.messageCut)
            add(std::exchange(line.messageArea(), QByteArray()), actions.cutEnd, true);
    };
    Tail seen;
    // One piece of the file, from where the line stands, as the analyser's reads would bring it.
    const auto feed = [&](const QByteArray& part) {
        const qint64 partStart = line.streamPosition();
        for (const QByteArray& read : AnalyserCapture::deliveries(part)) {
            take(line.onData(read));
            while (line.hasCompleteMessage())
                take(line.onData({}));
        }
        // Blanks after a part's last session are not delivered: they keep their place all the same.
        const qint64 rest = partStart + part.size() - line.streamPosition();
        if (rest > 0)
            line.onData(part.right(rest));
        const qsizetype eot = part.lastIndexOf(SerialSession::EOT);
        const QByteArray after = part.mid(eot + 1);
        seen.afterLastEot = eot >= 0 ? after.size() : seen.afterLastEot + part.size();
        seen.blank = (eot >= 0 || seen.blank) && after.trimmed().isEmpty();
    };
    if (endIsBoundary)
        restarts.append(size);
    std::sort(restarts.begin(), restarts.end());
    // The file is read a piece at a time, each cut after an EOT: any size in bounded memory.
    constexpr qint64 kPiece = 1 << 20;
    constexpr qsizetype kMaxSession = 8 << 20;
    QByteArray buffer;
    qsizetype next = 0; // the next restart
    for (;;) {
        const QByteArray chunk = in.read(kPiece);
        const bool end = chunk.isEmpty();
        buffer += chunk;
        // The stream restarted here: what is open never got its EOT.
        while (next < restarts.size() && restarts[next] <= line.streamPosition() + buffer.size()) {
            const qint64 at = restarts[next++];
            if (at < line.streamPosition())
                continue;
            const qsizetype length = at - line.streamPosition();
            feed(buffer.left(length));
            buffer.remove(0, length);
            if (isRecordText(line.buffer()))
                add(line.buffer(), at, false);
            line.reset();
        }
        if (end)
            break;
        qsizetype cut = buffer.lastIndexOf(SerialSession::EOT) + 1;
        if (cut == 0 && buffer.size() >= 4 * kPiece)
            cut = buffer.size(); // no EOT for long: the line holds it, as the receiver would
        feed(buffer.left(cut));
        buffer.remove(0, cut);
        // No session is that long: what is open is cut off as incomplete, so memory stays bounded.
        if (line.buffer().size() > kMaxSession) {
            if (isRecordText(line.buffer()))
                add(line.buffer(), line.streamPosition(), false);
            line.reset();
        }
    }
    feed(buffer);
    if (tail)
        *tail = seen;
    return in.error() == QFileDevice::NoError;
}
