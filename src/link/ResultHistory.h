#pragma once

#include "db/SqlRun.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

// The change history of stored results (table `resulthistory`): who changed which column of which
// row, when, from what to what. Rows are only ever added; the editor's save and the receive
// chain's overwrite of a row by a result sent again both append, in their own transaction.
namespace ResultHistory {

// Who a change by the analyser (a result sent again) is recorded under.
inline const QString analyser = QStringLiteral("VIDAS");
// The pseudo-column that records what became of a save's write into the LIS.
inline const QString lisColumn = QStringLiteral("(LIS)");

struct Change
{
    QString column;
    QString before;
    QString after;
};

// A column's value as the history writes it: empty for a null, dates as yyyy-MM-dd, Booleans as
// 1 or 0, numbers in their shortest text, so that a value read back compares equal to the same
// value about to be written.
QString valueText(const QVariant& value);

// The columns of `written` whose value differs from the stored row's.
QList<Change> changes(const QSqlRecord& stored, const SqlRun::Columns& written);

// Appends the changes of row `autoNum` (nothing when there are none).
SqlRun::Outcome append(const QSqlDatabase& db, qint64 autoNum, const QString& who, const QDateTime& when,
                       const QList<Change>& list);

struct Entry
{
    QString changedAt; // yyyy-MM-dd hh:mm:ss
    QString changedBy;
    Change change;
};

// The history of a row, oldest first; nothing when the statement failed.
std::optional<QList<Entry>> of(const QSqlDatabase& db, qint64 autoNum, QSqlError* error = nullptr);

// One line per entry, tab-separated: time, who, column, old value, new value.
QString lines(const QList<Entry>& entries);

} // namespace ResultHistory
