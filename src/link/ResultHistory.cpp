#include "link/ResultHistory.h"

#include "common/Numbers.h"

namespace ResultHistory {

QString valueText(const QVariant& value)
{
    if (value.isNull())
        return {};
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
    case QMetaType::QDate:
    case QMetaType::QDateTime:
        return SqlRun::toDate(value).toString(Qt::ISODate);
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return Numbers::toText(value.toDouble());
    default:
        break;
    }
    return value.toString();
}

QList<Change> changes(const QSqlRecord& stored, const SqlRun::Columns& written)
{
    QList<Change> list;
    for (const auto& [name, value] : written) {
        const int at = stored.indexOf(name);
        const QString before = at < 0 ? QString() : valueText(stored.value(at));
        const QString after = valueText(value);
        if (before != after)
            list.append({name, before, after});
    }
    return list;
}

SqlRun::Outcome append(const QSqlDatabase& db, qint64 autoNum, const QString& who, const QDateTime& when,
                       const QList<Change>& list)
{
    SqlRun::Outcome out;
    out.ok = true;
    const QString at = when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    for (const Change& change : list) {
        out = SqlRun::insert(db, QStringLiteral("resulthistory"),
                             {{QStringLiteral("AutoNum"), autoNum},
                              {QStringLiteral("changedat"), at},
                              {QStringLiteral("changedby"), who.isEmpty() ? QStringLiteral("?") : who},
                              {QStringLiteral("columnname"), change.column},
                              {QStringLiteral("oldvalue"), SqlRun::textOrNull(change.before)},
                              {QStringLiteral("newvalue"), SqlRun::textOrNull(change.after)}});
        if (!out)
            return out;
    }
    return out;
}

std::optional<QList<Entry>> of(const QSqlDatabase& db, qint64 autoNum, QSqlError* error)
{
    const SqlRun::Rows rows =
        SqlRun::select(db,
                       QStringLiteral("SELECT changedat, changedby, columnname, oldvalue, newvalue "
                                      "FROM resulthistory WHERE AutoNum=? ORDER BY historyid"),
                       {autoNum});
    if (!rows) {
        if (error)
            *error = rows.error;
        return std::nullopt;
    }
    QList<Entry> entries;
    for (const QSqlRecord& row : rows.records)
        entries.append({row.value(0).toString(),
                        row.value(1).toString(),
                        {row.value(2).toString(), row.value(3).toString(), row.value(4).toString()}});
    return entries;
}

QString lines(const QList<Entry>& entries)
{
    QString text;
    for (const Entry& e : entries) {
        text += QStringList{e.changedAt, e.changedBy, e.change.column, e.change.before, e.change.after}.join(
                    QLatin1Char('\t')) +
                QLatin1Char('\n');
    }
    return text;
}

} // namespace ResultHistory
