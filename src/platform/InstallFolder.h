#pragma once

#include <QString>

// The folder the program is installed in; both settings files, the sounds (PROC) and the report
// pictures live there. On Windows it is the fixed "D:\Corvana Interface"; elsewhere $CORVANA_HOME.
class InstallFolder
{
public:
    explicit InstallFolder(QString path);

    // The platform's install folder: D:\Corvana Interface on Windows, else $CORVANA_HOME,
    // else "Corvana Interface" in the user's home folder.
    static QString platformDefault();

    const QString& path() const { return m_path; }
    QString filePath(const QString& name) const;
    QString settingsIni() const { return filePath(QStringLiteral("VIDASSETING.INI")); }
    QString memoryIni() const { return filePath(QStringLiteral("MEMORYVIDAS.ini")); }
    QString soundFolder() const { return filePath(QStringLiteral("PROC")); }
    bool exists() const;

private:
    QString m_path;
};
