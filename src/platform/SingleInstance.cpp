#include "platform/SingleInstance.h"

#include <QDir>
#include <QLockFile>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

SystemSingleInstance::SystemSingleInstance(QString title, QString lockFolder)
    : m_title(std::move(title)), m_lockFolder(std::move(lockFolder))
{
}

SystemSingleInstance::~SystemSingleInstance()
{
#ifdef Q_OS_WIN
    if (m_mutex) {
        ReleaseMutex(m_mutex);
        CloseHandle(m_mutex);
    }
#endif
}

QString SystemSingleInstance::lockFilePath() const
{
    QString name = m_title;
    // The title may hold characters a file name cannot.
    for (QChar& c : name) {
        if (!c.isLetterOrNumber() && c != QLatin1Char('-') && c != QLatin1Char('_'))
            c = QLatin1Char('_');
    }
    const QString folder = m_lockFolder.isEmpty() ? QDir::tempPath() : m_lockFolder;
    return QDir(folder).filePath(name + QStringLiteral(".lock"));
}

bool SystemSingleInstance::anotherCopyRuns()
{
#ifdef Q_OS_WIN
    if (m_mutex)
        return false;
    HANDLE handle = CreateMutexW(nullptr, TRUE, reinterpret_cast<LPCWSTR>(m_title.utf16()));
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        if (handle) {
            ReleaseMutex(handle);
            CloseHandle(handle);
        }
        return true;
    }
    m_mutex = handle;
    return false;
#else
    if (m_lock && m_lock->isLocked())
        return false;
    m_lock = std::make_unique<QLockFile>(lockFilePath());
    // A lock whose process is gone is taken over at once; a live holder means another copy.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return false;
    m_lock.reset();
    return true;
#endif
}
