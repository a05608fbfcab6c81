#include "db/Schema.h"

#include "db/SqlTransaction.h"

#include <QFile>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

namespace Schema {

namespace {

const QString versionTable = QStringLiteral("schemaversion");

using SqlTransaction::begin;
using SqlTransaction::commit;
using SqlTransaction::rollback;

QString firstLine(const QString& statement)
{
    const QString line = statement.section(QLatin1Char('\n'), 0, 0).trimmed();
    return line.size() > 80 ? line.left(80) + QStringLiteral("...") : line;
}

// Runs statements; on failure describes the one that failed.
bool runAll(QSqlDatabase& db, const QStringList& list, QString* error)
{
    for (const QString& statement : list) {
        QSqlQuery query(db);
        if (!query.exec(statement)) {
            *error = QStringLiteral("%1: %2").arg(firstLine(statement), query.lastError().text());
            return false;
        }
    }
    return true;
}

QStringList lowerTableNames(const QSqlDatabase& db)
{
    QStringList names;
    for (const QString& name : db.tables(QSql::Tables))
        names.append(name.toLower());
    return names;
}

// A table name as a script writes it (Result, [dbo].[Result], "Result"), without schema and quotes.
QString bareName(const QString& written)
{
    QString name = written.section(QLatin1Char('.'), -1);
    static const QString quotes = QStringLiteral("[]\"`");
    while (!name.isEmpty() && quotes.contains(name.front()))
        name.remove(0, 1);
    while (!name.isEmpty() && quotes.contains(name.back()))
        name.chop(1);
    return name;
}

// The tables the steps' scripts leave in a database: each one created and not dropped again.
QStringList tablesOfSteps(const QList<Migration>& steps)
{
    static const QRegularExpression create(QStringLiteral(R"(^CREATE\s+TABLE\s+(?:IF\s+NOT\s+EXISTS\s+)?([^\s(]+))"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression drop(QStringLiteral(R"(^DROP\s+TABLE\s+(?:IF\s+EXISTS\s+)?([^\s(]+))"),
                                         QRegularExpression::CaseInsensitiveOption);
    QStringList tables;
    for (const Migration& step : steps) {
        for (const QString& statement : statements(step.sql)) {
            if (const auto made = create.match(statement); made.hasMatch()) {
                const QString name = bareName(made.captured(1));
                if (!tables.contains(name, Qt::CaseInsensitive))
                    tables.append(name);
            } else if (const auto dropped = drop.match(statement); dropped.hasMatch()) {
                tables.removeIf([name = bareName(dropped.captured(1))](const QString& table) {
                    return table.compare(name, Qt::CaseInsensitive) == 0;
                });
            }
        }
    }
    return tables;
}

// A database that lost a table must not be taken for a current one: every later statement on that
// table would fail, and storing a result is no place to find out.
QString missingTablesError(const QSqlDatabase& db, const QList<Migration>& steps)
{
    const QStringList present = lowerTableNames(db);
    QStringList missing;
    for (const QString& table : tablesOfSteps(steps)) {
        if (!present.contains(table.toLower()))
            missing.append(table);
    }
    if (missing.isEmpty())
        return {};
    return QStringLiteral("the database lacks the table(s) %1 of schema version %2; restore it from a backup")
        .arg(missing.join(QStringLiteral(", ")))
        .arg(steps.last().version);
}

} // namespace

QString script(const QString& fileName)
{
    QFile file(QStringLiteral(":/db/schema/") + fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

QStringList statements(const QString& text)
{
    QStringList list;
    QString current;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\'') || c == QLatin1Char('"') || c == QLatin1Char('[')) {
            // Quoted text and names run to their closing mark; a doubled mark stays inside.
            const QChar close = c == QLatin1Char('[') ? QLatin1Char(']') : c;
            current += c;
            for (++i; i < n; ++i) {
                current += text[i];
                if (text[i] == close) {
                    if (close != QLatin1Char(']') && i + 1 < n && text[i + 1] == close) {
                        current += text[++i];
                        continue;
                    }
                    break;
                }
            }
        } else if (c == QLatin1Char('-') && i + 1 < n && text[i + 1] == QLatin1Char('-')) {
            while (i < n && text[i] != QLatin1Char('\n'))
                ++i;
            current += QLatin1Char('\n');
        } else if (c == QLatin1Char('/') && i + 1 < n && text[i + 1] == QLatin1Char('*')) {
            const qsizetype end = text.indexOf(QStringLiteral("*/"), i + 2);
            i = end < 0 ? n : end + 1;
            current += QLatin1Char(' ');
        } else if (c == QLatin1Char(';')) {
            if (!current.trimmed().isEmpty())
                list.append(current.trimmed());
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.trimmed().isEmpty())
        list.append(current.trimmed());
    return list;
}

QList<Migration> interfaceMigrations(SqlEngine engine)
{
    QString prefix = QStringLiteral("interface-sqlserver-");
    if (engine == SqlEngine::Sqlite)
        prefix = QStringLiteral("interface-sqlite-");
    else if (engine == SqlEngine::Postgres)
        prefix = QStringLiteral("interface-postgresql-");
    QList<Migration> steps;
    for (int version = 1;; ++version) {
        const QString text = script(prefix + QStringLiteral("%1.sql").arg(version, 3, 10, QLatin1Char('0')));
        if (text.isEmpty())
            break;
        steps.append({version, text});
    }
    return steps;
}

int latestInterfaceVersion()
{
    const QList<Migration> steps = interfaceMigrations(SqlEngine::Sqlite);
    return steps.isEmpty() ? 0 : steps.last().version;
}

Outcome migrate(QSqlDatabase& db, SqlEngine engine, const QList<Migration>& steps, const QString& markerTable)
{
    Outcome out;
    if (steps.isEmpty()) {
        out.error = QStringLiteral("no creation script for this engine");
        return out;
    }
    const int latest = steps.last().version;
    if (!begin(db, engine)) {
        out.error = QStringLiteral("cannot start a transaction: %1").arg(db.lastError().text());
        return out;
    }
    const auto fail = [&](const QString& error) {
        rollback(db, engine);
        out.ok = false;
        out.error = error;
        return out;
    };

    const QStringList tables = lowerTableNames(db);
    const bool hasVersion = tables.contains(versionTable);
    int current = 0;
    if (hasVersion) {
        QSqlQuery query(db);
        if (!query.exec(QStringLiteral("SELECT version FROM schemaversion")))
            return fail(QStringLiteral("cannot read the schema version: %1").arg(query.lastError().text()));
        if (!query.next())
            return fail(QStringLiteral("the schema version is missing from table schemaversion"));
        current = query.value(0).toInt();
    } else if (tables.contains(markerTable.toLower())) {
        current = 1;
    } else if (!tables.isEmpty()) {
        return fail(QStringLiteral("the database holds other tables (%1) and is not an interface database")
                        .arg(tables.join(QStringLiteral(", "))));
    }
    out.fromVersion = current;
    out.toVersion = latest;
    if (current > latest) {
        return fail(QStringLiteral("the database has schema version %1, newer than this program's %2")
                        .arg(current)
                        .arg(latest));
    }
    if (current == latest && hasVersion) {
        if (const QString missing = missingTablesError(db, steps); !missing.isEmpty())
            return fail(missing);
        rollback(db, engine);
        out.ok = true;
        return out;
    }

    QString error;
    if (!hasVersion && !runAll(db,
                               {QStringLiteral("CREATE TABLE schemaversion (version int NOT NULL)"),
                                QStringLiteral("INSERT INTO schemaversion (version) VALUES (0)")},
                               &error))
        return fail(error);
    for (const Migration& step : steps) {
        if (step.version <= current)
            continue;
        if (!runAll(db, statements(step.sql), &error))
            return fail(QStringLiteral("schema step %1: %2").arg(step.version).arg(error));
    }
    if (const QString missing = missingTablesError(db, steps); !missing.isEmpty())
        return fail(missing);
    QSqlQuery setVersion(db);
    setVersion.prepare(QStringLiteral("UPDATE schemaversion SET version=?"));
    setVersion.addBindValue(latest);
    if (!setVersion.exec())
        return fail(QStringLiteral("cannot write the schema version: %1").arg(setVersion.lastError().text()));
    if (!commit(db, engine))
        return fail(QStringLiteral("cannot commit the schema: %1").arg(db.lastError().text()));
    out.ok = true;
    return out;
}

Outcome ensureInterface(QSqlDatabase& db, SqlEngine engine)
{
    return migrate(db, engine, interfaceMigrations(engine));
}

Outcome runScript(QSqlDatabase& db, SqlEngine engine, const QString& text)
{
    Outcome out;
    if (!begin(db, engine)) {
        out.error = QStringLiteral("cannot start a transaction: %1").arg(db.lastError().text());
        return out;
    }
    if (!runAll(db, statements(text), &out.error)) {
        rollback(db, engine);
        return out;
    }
    if (!commit(db, engine)) {
        out.error = QStringLiteral("cannot commit: %1").arg(db.lastError().text());
        rollback(db, engine);
        return out;
    }
    out.ok = true;
    return out;
}

} // namespace Schema
