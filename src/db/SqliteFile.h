#pragma once

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>

// How the program opens its SQLite files: checked before opening (so that a missing file is not
// created empty by accident and a read-only file is reported as such), created on purpose only and
// then private, in WAL mode with synchronous=FULL so that a stored result survives a power cut, and
// read once so that a damaged file shows at once.
namespace SqliteFile {

inline constexpr int defaultBusyTimeoutMs = 5000;

// Why `file` cannot be used, or empty text. `mayCreate`: a missing file is fine when its folder
// can take it.
QString problem(const QString& file, bool mayCreate);

// Makes `file` a new, empty database file (SQLite takes an empty file as an empty database) that
// only its owner and group may read or write. SQLite gives the -wal and -shm files it makes next to
// it the same mode. A file that is already there is left as it is.
bool createPrivate(const QString& file, QString* error);

QString connectOptions(int busyTimeoutMs);

// What tells one file from another at the same path: a file restored from a backup, or moved away
// and another put in its place, has another identity though its name is the same. Empty when there
// is no file.
QByteArray identity(const QString& file);

// Sets the journal and sync modes on a freshly opened connection and reads the schema once.
bool configure(QSqlDatabase& db, QString* error);

} // namespace SqliteFile
