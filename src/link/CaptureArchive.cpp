#include "link/CaptureArchive.h"

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

} // namespace

CaptureArchive::CaptureArchive(const InstallFolder& folder, const Clock& clock) : m_folder(folder), m_clock(clock) {}

void CaptureArchive::received(const QByteArray& bytes)
{
    m_pending.append(bytes);
}

QString CaptureArchive::folder() const
{
    return m_folder.filePath(QStringLiteral("captures"));
}

QString CaptureArchive::fileFor(const QDate& day) const
{
    return QDir(folder()).filePath(day.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(".bin"));
}

bool CaptureArchive::write(QString* error)
{
    if (m_pending.isEmpty())
        return true;
    const auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (!QDir().mkpath(folder()))
        return fail(QStringLiteral("the folder %1 cannot be created").arg(QDir::toNativeSeparators(folder())));
    QFile file(fileFor(m_clock.today()));
    const bool created = !file.exists();
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return fail(QDir::toNativeSeparators(file.fileName()) + QStringLiteral(": ") + file.errorString());
    const qint64 written = file.write(m_pending);
    // What did reach the file is not written a second time on the next try.
    if (written > 0)
        m_pending.remove(0, written);
    if (!m_pending.isEmpty() || !file.flush())
        return fail(QDir::toNativeSeparators(file.fileName()) + QStringLiteral(": ") + file.errorString());
    if (!syncToDisk(file.handle()))
        return fail(QDir::toNativeSeparators(file.fileName()) + QStringLiteral(": cannot be synced to disk"));
    file.close();
    if (created)
        syncFolder(folder());
    return true;
}
