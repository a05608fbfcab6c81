#include "db/SqliteFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

namespace SqliteFile {

namespace {

// The mode bits count as well as the access check (WriteUser would be the access check again),
// so that a file marked read-only is refused even for an administrator who could write it anyway.
bool writable(const QFileInfo& info)
{
    const auto anyWrite = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    return info.isWritable() && (info.permissions() & anyWrite);
}

QString native(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

QString problem(const QString& file, bool mayCreate)
{
    const QFileInfo info(file);
    const QFileInfo folder(info.absolutePath());
    if (!info.exists()) {
        if (!mayCreate)
            return QStringLiteral("the database file %1 does not exist").arg(native(file));
        if (!folder.isDir())
            return QStringLiteral("the folder %1 does not exist").arg(native(folder.filePath()));
        if (!writable(folder))
            return QStringLiteral("the folder %1 is read-only").arg(native(folder.filePath()));
        return {};
    }
    if (!info.isFile())
        return QStringLiteral("%1 is not a file").arg(native(file));
    if (!info.isReadable())
        return QStringLiteral("the database file %1 cannot be read").arg(native(file));
    if (!writable(info))
        return QStringLiteral("the database file %1 is read-only").arg(native(file));
    // The journal files are written next to the database.
    if (!writable(folder))
        return QStringLiteral("the folder %1 is read-only").arg(native(folder.filePath()));
    return {};
}

bool createPrivate(const QString& file, QString* error)
{
    QFile created(file);
    if (!created.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        // Another program may have made it in the meantime; that one is used as it is.
        if (QFileInfo(file).isFile())
            return true;
        if (error)
            *error =
                QStringLiteral("the database file %1 cannot be created: %2").arg(native(file), created.errorString());
        return false;
    }
    // Results are patient data: readable by the program's users (the owner and its group), not by
    // every account on the machine.
    const auto mode =
        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::WriteGroup;
    if (!created.setPermissions(mode)) {
        const QString reason = created.errorString();
        created.close();
        created.remove();
        if (error)
            *error = QStringLiteral("the database file %1 cannot be made private: %2").arg(native(file), reason);
        return false;
    }
    return true;
}

QString connectOptions(int busyTimeoutMs)
{
    return QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs);
}

bool configure(QSqlDatabase& db, QString* error)
{
    QSqlQuery query(db);
    const auto run = [&](const QString& sql) {
        if (query.exec(sql)) {
            query.finish();
            return true;
        }
        if (error)
            *error = query.lastError().text();
        return false;
    };
    // The first read also tells a file that is not a database (or is damaged) from a good one.
    if (!run(QStringLiteral("SELECT count(*) FROM sqlite_master")))
        return false;
    if (!query.exec(QStringLiteral("PRAGMA journal_mode=WAL"))) {
        if (error)
            *error = query.lastError().text();
        return false;
    }
    if (!query.next() || query.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0) {
        if (error)
            *error = QStringLiteral("the database file cannot be switched to WAL mode");
        return false;
    }
    query.finish();
    return run(QStringLiteral("PRAGMA synchronous=FULL"));
}

QByteArray identity(const QString& file)
{
#ifdef Q_OS_WIN
    // No inode: the creation time changes when another file takes the name.
    const QFileInfo info(file);
    if (!info.exists())
        return {};
    return QByteArray::number(info.birthTime().toMSecsSinceEpoch());
#else
    struct stat st
    {
    };
    if (::stat(QFile::encodeName(file).constData(), &st) != 0)
        return {};
    return QByteArray::number(quint64(st.st_dev)) + ':' + QByteArray::number(quint64(st.st_ino));
#endif
}

} // namespace SqliteFile
