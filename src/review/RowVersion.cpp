#include "review/RowVersion.h"

#include "link/ResultHistory.h"

namespace RowVersion {

namespace {

// The editor's own mark of who saved last changes with every save; what it says is in the history.
bool compared(const QString& column)
{
    return column.compare(QLatin1String("editedby"), Qt::CaseInsensitive) != 0;
}

} // namespace

Version of(const QSqlRecord& row)
{
    Version version;
    for (int i = 0; i < row.count(); ++i)
        version.insert(row.fieldName(i).toLower(), ResultHistory::valueText(row.value(i)));
    return version;
}

QList<Change> since(const Version& loaded, const QSqlRecord& now)
{
    QList<Change> changes;
    if (loaded.isEmpty())
        return changes;
    const Version current = of(now);
    for (auto it = current.cbegin(); it != current.cend(); ++it) {
        if (compared(it.key()) && loaded.value(it.key()) != it.value())
            changes.append({now.fieldName(now.indexOf(it.key())), loaded.value(it.key()), it.value(), {}, {}});
    }
    return changes;
}

void attachHistory(const QSqlDatabase& db, qint64 autoNum, QList<Change>& changes)
{
    const auto history = ResultHistory::of(db, autoNum);
    if (!history)
        return;
    for (Change& change : changes) {
        for (auto it = history->crbegin(); it != history->crend(); ++it) {
            if (it->change.column.compare(change.column, Qt::CaseInsensitive) == 0) {
                change.who = it->changedBy;
                change.when = it->changedAt;
                break;
            }
        }
    }
}

QString describe(const QList<Change>& changes)
{
    QStringList lines;
    for (const Change& c : changes) {
        // Values and names are Latin text: each is isolated so that the line reads in its order.
        QString line = QStringLiteral("%1: \u2066%2\u2069 ← \u2066%3\u2069")
                           .arg(c.column, c.before.isEmpty() ? QStringLiteral("-") : c.before,
                                c.after.isEmpty() ? QStringLiteral("-") : c.after);
        if (!c.who.isEmpty())
            line += QStringLiteral(" (\u2066%1\u2069، %2)").arg(c.who, c.when);
        lines.append(line);
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace RowVersion
