#include "db/SqlRun.h"

#include "db/DbErrors.h"

#include <QDateTime>
#include <QSqlQuery>

namespace SqlRun {

namespace {

bool isPostgres(const QSqlDatabase& db)
{
    return db.driverName() == QLatin1String("QPSQL");
}

// PostgreSQL keeps the program's flags in integer columns and will not take TRUE for one.
QVariant boundValue(const QSqlDatabase& db, const QVariant& value)
{
    if (value.typeId() == QMetaType::Bool && isPostgres(db))
        return value.isNull() ? QVariant(QMetaType::fromType<int>()) : QVariant(value.toBool() ? 1 : 0);
    return value;
}

bool prepareAndRun(const QSqlDatabase& db, QSqlQuery& query, const QString& sql, const QVariantList& values,
                   QSqlError& error)
{
    // PostgreSQL prepares only queries and changes of rows, not DDL such as DROP INDEX; a statement
    // without values needs no preparing.
    if (values.isEmpty() && isPostgres(db)) {
        if (query.exec(sql))
            return true;
        error = DbErrors::ofStatement(db, query.lastError());
        return false;
    }
    if (!query.prepare(sql)) {
        error = DbErrors::ofStatement(db, query.lastError());
        return false;
    }
    for (const QVariant& value : values)
        query.addBindValue(boundValue(db, value));
    if (!query.exec()) {
        error = DbErrors::ofStatement(db, query.lastError());
        return false;
    }
    return true;
}

QSqlError notOpen(const QSqlDatabase& db)
{
    return QSqlError(QString(), QStringLiteral("the connection \"%1\" is not open").arg(db.connectionName()),
                     QSqlError::ConnectionError);
}

} // namespace

Outcome exec(const QSqlDatabase& db, const QString& sql, const QVariantList& values)
{
    Outcome out;
    if (!db.isOpen()) {
        out.error = notOpen(db);
        return out;
    }
    QSqlQuery query(db);
    if (!prepareAndRun(db, query, sql, values, out.error))
        return out;
    out.ok = true;
    out.rowsAffected = query.numRowsAffected();
    // PostgreSQL's driver asks the server for lastval(), an error that ends the transaction after
    // an insert into a table without a key sequence; insert() reads the key back itself there.
    if (!isPostgres(db))
        out.lastInsertId = query.lastInsertId();
    return out;
}

Rows select(const QSqlDatabase& db, const QString& sql, const QVariantList& values)
{
    Rows out;
    if (!db.isOpen()) {
        out.error = notOpen(db);
        return out;
    }
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!prepareAndRun(db, query, sql, values, out.error))
        return out;
    while (query.next())
        out.records.append(query.record());
    if (query.lastError().isValid()) {
        out.error = DbErrors::ofStatement(db, query.lastError());
        out.records.clear();
        return out;
    }
    out.ok = true;
    return out;
}

std::optional<QSqlRecord> first(const QSqlDatabase& db, const QString& sql, const QVariantList& values,
                                QSqlError* error)
{
    const Rows rows = select(db, sql, values);
    if (error)
        *error = rows.error;
    if (!rows.ok || rows.isEmpty())
        return std::nullopt;
    return rows.records.first();
}

Outcome insert(const QSqlDatabase& db, const QString& table, const Columns& columns)
{
    QStringList names;
    QStringList marks;
    QVariantList values;
    for (const auto& [name, value] : columns) {
        names.append(name);
        marks.append(QStringLiteral("?"));
        values.append(value);
    }
    const QString sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                            .arg(table, names.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
    if (!isPostgres(db))
        return exec(db, sql, values);
    // PostgreSQL's driver reports no key of a new row: the row gives it back itself. Every table of
    // this program has its key as the first column.
    Outcome out;
    if (!db.isOpen()) {
        out.error = notOpen(db);
        return out;
    }
    QSqlQuery query(db);
    if (!prepareAndRun(db, query, sql + QStringLiteral(" RETURNING *"), values, out.error))
        return out;
    out.ok = true;
    out.rowsAffected = query.numRowsAffected();
    if (query.next())
        out.lastInsertId = query.value(0);
    return out;
}

Outcome update(const QSqlDatabase& db, const QString& table, const Columns& columns, const QString& where,
               const QVariantList& whereValues)
{
    QStringList sets;
    QVariantList values;
    for (const auto& [name, value] : columns) {
        sets.append(name + QStringLiteral("=?"));
        values.append(value);
    }
    values.append(whereValues);
    return exec(db, QStringLiteral("UPDATE %1 SET %2 WHERE %3").arg(table, sets.join(QLatin1Char(',')), where), values);
}

QVariant nullText()
{
    return QVariant(QMetaType::fromType<QString>());
}

QVariant nullNumber()
{
    return QVariant(QMetaType::fromType<double>());
}

QVariant nullDate()
{
    return QVariant(QMetaType::fromType<QDate>());
}

QVariant textOrNull(const QString& text)
{
    return text.isEmpty() ? nullText() : QVariant(text);
}

QDate toDate(const QVariant& value)
{
    if (value.isNull())
        return {};
    switch (value.typeId()) {
    case QMetaType::QDate:
        return value.toDate();
    case QMetaType::QDateTime:
        return value.toDateTime().date();
    default:
        break;
    }
    const QString text = value.toString().trimmed();
    QDate date = QDate::fromString(text.left(10), Qt::ISODate);
    if (!date.isValid())
        date = QDateTime::fromString(text, Qt::ISODate).date();
    return date;
}

} // namespace SqlRun
