#pragma once

#include <QList>
#include <QMap>
#include <QSqlDatabase>
#include <QSqlRecord>
#include <QString>

// A stored result as a window read it, so that a change made since (the analyser sending the
// sample again, another station's save or delete) is seen before the window writes over it. The
// version is the row's every value as the change history writes it: a row that reads the same is
// the same row, whoever wrote it in between.
namespace RowVersion {

using Version = QMap<QString, QString>;

Version of(const QSqlRecord& row);

// A column that changed since the version was read, with who changed it and when (the latest
// history line of that column; empty when the history has none).
struct Change
{
    QString column;
    QString before;
    QString after;
    QString who;
    QString when;
};

// The columns of `now` that differ from `loaded`; nothing when `loaded` is empty (no version was
// kept) or equal.
QList<Change> since(const Version& loaded, const QSqlRecord& now);

// Fills who and when from the row's change history.
void attachHistory(const QSqlDatabase& db, qint64 autoNum, QList<Change>& changes);

// The changes as lines for a message: "column: before ← after (who, when)".
QString describe(const QList<Change>& changes);

} // namespace RowVersion
