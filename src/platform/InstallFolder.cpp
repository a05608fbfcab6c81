#include "platform/InstallFolder.h"

#include <QDir>
#include <QFileInfo>

InstallFolder::InstallFolder(QString path) : m_path(QDir::cleanPath(std::move(path))) {}

QString InstallFolder::platformDefault()
{
#ifdef Q_OS_WIN
    return QStringLiteral("D:/Corvana Interface");
#else
    const QString env = qEnvironmentVariable("CORVANA_HOME");
    if (!env.trimmed().isEmpty())
        return QDir(env).absolutePath();
    return QDir::home().filePath(QStringLiteral("Corvana Interface"));
#endif
}

QString InstallFolder::filePath(const QString& name) const
{
    return QDir(m_path).filePath(name);
}

bool InstallFolder::exists() const
{
    return QFileInfo(m_path).isDir();
}
