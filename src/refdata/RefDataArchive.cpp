#include "refdata/RefDataArchive.h"

#include "db/SqlRun.h"
#include "db/SqlTransaction.h"
#include "refdata/RefDataRules.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <cmath>

namespace RefDataArchive {

namespace {

const QString kFormat = QStringLiteral("corvana-refdata");
constexpr int kVersion = 1;

enum class Kind
{
    Key,
    Int,
    Real,
    Text,
    Bool
};

struct Column
{
    const char* name;
    Kind kind;
};

struct Table
{
    const char* name;
    QList<Column> columns; // the key first
};

// Parents first: the order of writing; deleting goes the other way.
const QList<Table>& tables()
{
    static const QList<Table> list{
        {"testtable",
         {{"testcode", Kind::Key},
          {"shortAssay", Kind::Text},
          {"testsimp", Kind::Text},
          {"testabrev", Kind::Text},
          {"subgroupname", Kind::Text},
          {"crvtestid", Kind::Int},
          {"active", Kind::Bool},
          {"correctfactors", Kind::Real},
          {"REFRANGE", Kind::Text},
          {"arrangnum", Kind::Int},
          {"otherlabprice", Kind::Real}}},
        {"normalrange",
         {{"normalid", Kind::Key},
          {"testcode", Kind::Int},
          {"testsimp", Kind::Text},
          {"sex", Kind::Text},
          {"ageunit", Kind::Text},
          {"firstold", Kind::Real},
          {"secondold", Kind::Real},
          {"pregsmok", Kind::Text},
          {"lowlimit", Kind::Real},
          {"highlimit", Kind::Real},
          {"nolowexe", Kind::Text},
          {"nohighexe", Kind::Text},
          {"lowcomment", Kind::Text},
          {"highcomment", Kind::Text},
          {"normalrang", Kind::Text},
          {"testunit", Kind::Text},
          {"REFRANGE", Kind::Text}}},
        {"comments",
         {{"commentid", Kind::Key}, {"testcode", Kind::Int}, {"testsimp", Kind::Text}, {"Comments", Kind::Text}}},
    };
    return list;
}

QString columnList(const Table& table)
{
    QStringList names;
    for (const Column& c : table.columns)
        names << QLatin1String(c.name);
    return names.join(QLatin1String(", "));
}

bool isWhole(double n)
{
    return std::isfinite(n) && n == std::trunc(n) && std::abs(n) < 9.0e15;
}

QJsonValue toJson(const QVariant& value, Kind kind)
{
    if (value.isNull())
        return QJsonValue::Null;
    bool number = false;
    const double n = value.toDouble(&number);
    switch (kind) {
    case Kind::Key:
    case Kind::Int:
        if (number && isWhole(n))
            return QJsonValue(static_cast<qint64>(n));
        break;
    case Kind::Real:
        if (number && std::isfinite(n))
            return QJsonValue(n);
        break;
    case Kind::Bool:
        return QJsonValue(value.toBool());
    case Kind::Text:
        break;
    }
    // Kept as the database holds it; an import says where such a value does not fit its column.
    return QJsonValue(value.toString());
}

// The value to bind for one field of a row, or an error text.
QVariant fromJson(const QJsonValue& v, Kind kind, QString* error)
{
    switch (kind) {
    case Kind::Key:
        if (v.isDouble() && isWhole(v.toDouble()) && v.toDouble() > 0)
            return QVariant(static_cast<qint64>(v.toDouble()));
        *error = QStringLiteral("a key must be a whole number above 0");
        return {};
    case Kind::Int:
        if (v.isNull())
            return SqlRun::nullNumber();
        if (v.isDouble() && isWhole(v.toDouble()))
            return QVariant(static_cast<qint64>(v.toDouble()));
        *error = QStringLiteral("must be a whole number or null");
        return {};
    case Kind::Real:
        if (v.isNull())
            return SqlRun::nullNumber();
        if (v.isDouble())
            return QVariant(v.toDouble());
        *error = QStringLiteral("must be a number or null");
        return {};
    case Kind::Text:
        if (v.isNull())
            return SqlRun::nullText();
        if (v.isString())
            return QVariant(v.toString().isNull() ? QString(0, QChar()) : v.toString());
        *error = QStringLiteral("must be a text or null");
        return {};
    case Kind::Bool:
        if (v.isBool())
            return QVariant(v.toBool());
        if (v.isDouble() && (v.toDouble() == 0 || v.toDouble() == 1))
            return QVariant(v.toDouble() == 1);
        *error = QStringLiteral("must be true or false");
        return {};
    }
    return {};
}

QString shown(const QJsonValue& v)
{
    if (v.isString())
        return QLatin1Char('"') + v.toString().left(40) + QLatin1Char('"');
    if (v.isDouble())
        return QString::number(v.toDouble(), 'g', 17);
    if (v.isBool())
        return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    if (v.isNull())
        return QStringLiteral("null");
    return v.isArray() ? QStringLiteral("a list") : QStringLiteral("an object");
}

using Rows = QList<SqlRun::Columns>;

// A JSON text, read with `at` past the opening quote of a string: the string's text, `at` past its
// closing quote. Escapes are decoded so that "a\u0062" and "ab" are one name.
QString stringAt(const QByteArray& json, qsizetype& at)
{
    QByteArray raw;
    while (at < json.size() && json.at(at) != '"') {
        if (json.at(at) == '\\' && at + 1 < json.size()) {
            raw += json.at(at);
            ++at;
        }
        raw += json.at(at);
        ++at;
    }
    ++at;
    const QJsonDocument decoded = QJsonDocument::fromJson("[\"" + raw + "\"]");
    return decoded.isArray() ? decoded.array().at(0).toString() : QString::fromUtf8(raw);
}

// The first member named twice in one object, as "name" (at character n); empty when none. The
// JSON reader keeps only the last of them, so a row would silently lose the first value.
QString memberTwice(const QByteArray& json)
{
    QList<QSet<QString>> objects; // the names of each open object; arrays stand as no entry
    QList<bool> isObject;
    bool expectName = false;
    for (qsizetype at = 0; at < json.size();) {
        const char c = json.at(at);
        if (c == '"') {
            const qsizetype start = at;
            ++at;
            const QString text = stringAt(json, at);
            if (expectName && !objects.isEmpty()) {
                if (objects.last().contains(text))
                    return QStringLiteral("\"%1\" (at character %2)").arg(text).arg(start + 1);
                objects.last().insert(text);
            }
            expectName = false;
            continue;
        }
        if (c == '{') {
            objects.append(QSet<QString>());
            isObject.append(true);
            expectName = true;
        } else if (c == '[') {
            isObject.append(false);
        } else if (c == '}' || c == ']') {
            if (!isObject.isEmpty()) {
                if (isObject.last() && !objects.isEmpty())
                    objects.removeLast();
                isObject.removeLast();
            }
        } else if (c == ',') {
            expectName = !isObject.isEmpty() && isObject.last();
        }
        ++at;
    }
    return {};
}

// Each row as the windows would have to accept it.
bool checkRules(const QList<Rows>& checked, QString& error)
{
    const auto value = [](const SqlRun::Columns& row, const char* column) {
        for (const auto& [name, v] : row)
            if (name == QLatin1String(column))
                return v;
        return QVariant();
    };
    QSet<qint64> tests;
    for (const SqlRun::Columns& row : checked[0])
        tests.insert(value(row, "testcode").toLongLong());
    // An assay code is refused on the second test that names it.
    qsizetype current = 0;
    const RefDataRules::AssayOwner assayOwner = [&](const QString& assay, qint64 own) -> std::optional<QString> {
        for (qsizetype i = 0; i < current; ++i) {
            const SqlRun::Columns& row = checked[0][i];
            if (value(row, "shortAssay").toString() == assay && value(row, "testcode").toLongLong() != own)
                return value(row, "testsimp").toString();
        }
        return std::nullopt;
    };
    const RefDataRules::TestExists testExists = [&tests](qint64 code) { return tests.contains(code); };
    for (qsizetype t = 0; t < checked.size(); ++t) {
        const QString name = QLatin1String(tables()[t].name);
        for (qsizetype i = 0; i < checked[t].size(); ++i) {
            const SqlRun::Columns& row = checked[t][i];
            current = i;
            const std::optional<RefDataRules::Refusal> refused = t == 0   ? RefDataRules::checkTest(row, assayOwner)
                                                                 : t == 1 ? RefDataRules::checkRange(row)
                                                                          : RefDataRules::checkComment(row, testExists);
            if (refused) {
                const QVariant v = value(row, refused->column.toLatin1().constData());
                error =
                    QStringLiteral("%1 row %2, field %3: %4 (%5)")
                        .arg(name)
                        .arg(i + 1)
                        .arg(refused->column, refused->reason,
                             v.isNull() ? QStringLiteral("null") : QLatin1Char('"') + v.toString() + QLatin1Char('"'));
                return false;
            }
        }
    }
    return true;
}

// Every row of the document, checked; false with `error` at the first fault.
bool check(const QJsonObject& root, QList<Rows>& checked, QString& error)
{
    if (root.value(QStringLiteral("format")).toString() != kFormat) {
        error = QStringLiteral("not a reference-data document (\"format\" is not \"%1\")").arg(kFormat);
        return false;
    }
    if (root.value(QStringLiteral("version")).toInt() != kVersion) {
        error = QStringLiteral("\"version\" %1 is not known here (this program reads version %2)")
                    .arg(shown(root.value(QStringLiteral("version"))))
                    .arg(kVersion);
        return false;
    }
    for (const QString& key : root.keys()) {
        const bool known = key == QLatin1String("format") || key == QLatin1String("version") ||
                           key == QLatin1String("exported") ||
                           std::any_of(tables().begin(), tables().end(),
                                       [&key](const Table& t) { return key == QLatin1String(t.name); });
        if (!known) {
            error = QStringLiteral("unknown part \"%1\"").arg(key);
            return false;
        }
    }
    for (const Table& table : tables()) {
        const QString name = QLatin1String(table.name);
        const QJsonValue list = root.value(name);
        if (!list.isArray()) {
            error = QStringLiteral("\"%1\" is missing or not a list of rows").arg(name);
            return false;
        }
        Rows rows;
        QSet<qint64> keys;
        const QJsonArray array = list.toArray();
        for (qsizetype i = 0; i < array.size(); ++i) {
            const QString where = QStringLiteral("%1 row %2").arg(name).arg(i + 1);
            if (!array.at(i).isObject()) {
                error = where + QStringLiteral(": not an object of fields");
                return false;
            }
            const QJsonObject object = array.at(i).toObject();
            for (const QString& field : object.keys()) {
                if (!std::any_of(table.columns.begin(), table.columns.end(),
                                 [&field](const Column& c) { return field == QLatin1String(c.name); })) {
                    error = where + QStringLiteral(", field %1: no such column").arg(field);
                    return false;
                }
            }
            SqlRun::Columns row;
            for (const Column& c : table.columns) {
                const QString field = QLatin1String(c.name);
                const QJsonValue v = object.contains(field) ? object.value(field)
                                     : c.kind == Kind::Bool ? QJsonValue(false)
                                                            : QJsonValue(QJsonValue::Null);
                QString why;
                const QVariant value = fromJson(v, c.kind, &why);
                if (!why.isEmpty()) {
                    error = where + QStringLiteral(", field %1: %2 (%3)").arg(field, why, shown(v));
                    return false;
                }
                if (c.kind == Kind::Key) {
                    if (keys.contains(value.toLongLong())) {
                        error =
                            where +
                            QStringLiteral(", field %1: the key %2 stands twice").arg(field).arg(value.toLongLong());
                        return false;
                    }
                    keys.insert(value.toLongLong());
                }
                row.append({field, value});
            }
            rows.append(row);
        }
        checked.append(rows);
    }
    return true;
}

} // namespace

Outcome exportTables(const QSqlDatabase& db, QByteArray& document)
{
    Outcome outcome;
    QJsonObject root;
    root.insert(QStringLiteral("format"), kFormat);
    root.insert(QStringLiteral("version"), kVersion);
    QList<int> counts;
    for (const Table& table : tables()) {
        const SqlRun::Rows rows = SqlRun::select(
            db, QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                    .arg(columnList(table), QLatin1String(table.name), QLatin1String(table.columns.first().name)));
        if (!rows) {
            outcome.error = QStringLiteral("%1: %2").arg(QLatin1String(table.name), rows.errorText());
            return outcome;
        }
        QJsonArray array;
        for (const QSqlRecord& r : rows.records) {
            QJsonObject object;
            for (const Column& c : table.columns)
                object.insert(QLatin1String(c.name), toJson(r.value(QLatin1String(c.name)), c.kind));
            array.append(object);
        }
        counts << static_cast<int>(array.size());
        root.insert(QLatin1String(table.name), array);
    }
    document = QJsonDocument(root).toJson(QJsonDocument::Indented);
    outcome.ok = true;
    outcome.tests = counts[0];
    outcome.ranges = counts[1];
    outcome.comments = counts[2];
    return outcome;
}

Outcome importTables(const QSqlDatabase& db, SqlEngine engine, const QByteArray& document, bool replace)
{
    Outcome outcome;
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(document, &parse);
    if (parse.error != QJsonParseError::NoError || !doc.isObject()) {
        outcome.error =
            parse.error != QJsonParseError::NoError
                ? QStringLiteral("not a JSON document (at character %1: %2)").arg(parse.offset).arg(parse.errorString())
                : QStringLiteral("not a JSON object");
        return outcome;
    }
    if (const QString twice = memberTwice(document); !twice.isEmpty()) {
        outcome.error = QStringLiteral("a member is given twice in one object: ") + twice;
        return outcome;
    }
    QList<Rows> checked;
    if (!check(doc.object(), checked, outcome.error) || !checkRules(checked, outcome.error))
        return outcome;

    QSqlError error;
    if (!SqlTransaction::begin(db, engine, &error)) {
        outcome.error = QStringLiteral("the database cannot be written: %1").arg(error.text());
        return outcome;
    }
    const auto fail = [&](const QString& text) {
        SqlTransaction::rollback(db, engine);
        outcome.error = text;
        return outcome;
    };
    if (!replace) {
        QStringList held;
        for (const Table& table : tables()) {
            const auto count =
                SqlRun::first(db, QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(table.name)), {}, &error);
            if (!count)
                return fail(QStringLiteral("%1: %2").arg(QLatin1String(table.name), error.text()));
            if (count->value(0).toLongLong() > 0)
                held
                    << QStringLiteral("%1 rows in %2").arg(count->value(0).toLongLong()).arg(QLatin1String(table.name));
        }
        if (!held.isEmpty())
            return fail(QStringLiteral("the interface database already holds %1; --replace replaces them")
                            .arg(held.join(QLatin1String(", "))));
    }
    for (auto table = tables().crbegin(); table != tables().crend(); ++table) {
        const SqlRun::Outcome cleared =
            SqlRun::exec(db, QStringLiteral("DELETE FROM %1").arg(QLatin1String(table->name)));
        if (!cleared)
            return fail(QStringLiteral("%1: %2").arg(QLatin1String(table->name), cleared.errorText()));
    }
    for (qsizetype t = 0; t < tables().size(); ++t) {
        const QString name = QLatin1String(tables()[t].name);
        // The keys travel with the rows: SQL Server lets them into an identity column on request.
        const bool identity = engine == SqlEngine::SqlServer;
        if (identity && !SqlRun::exec(db, QStringLiteral("SET IDENTITY_INSERT %1 ON").arg(name)))
            return fail(QStringLiteral("%1: keys cannot be written").arg(name));
        for (qsizetype i = 0; i < checked[t].size(); ++i) {
            const SqlRun::Outcome added = SqlRun::insert(db, name, checked[t][i]);
            if (!added)
                return fail(QStringLiteral("%1 row %2: %3").arg(name).arg(i + 1).arg(added.errorText()));
        }
        if (identity && !SqlRun::exec(db, QStringLiteral("SET IDENTITY_INSERT %1 OFF").arg(name)))
            return fail(QStringLiteral("%1: keys cannot be written").arg(name));
        // PostgreSQL takes the keys as they are, but its key counter must then go on after them.
        if (engine == SqlEngine::Postgres) {
            const QString key = QLatin1String(tables()[t].columns.first().name);
            const SqlRun::Outcome counter = SqlRun::exec(
                db, QStringLiteral("SELECT setval(pg_get_serial_sequence('%1', '%2'), COALESCE(MAX(%2), 1), "
                                   "MAX(%2) IS NOT NULL) FROM %1")
                        .arg(name.toLower(), key.toLower()));
            if (!counter)
                return fail(QStringLiteral("%1: %2").arg(name, counter.errorText()));
        }
    }
    if (!SqlTransaction::commit(db, engine, &error))
        return fail(QStringLiteral("the database cannot be written: %1").arg(error.text()));
    outcome.ok = true;
    outcome.tests = static_cast<int>(checked[0].size());
    outcome.ranges = static_cast<int>(checked[1].size());
    outcome.comments = static_cast<int>(checked[2].size());
    return outcome;
}

} // namespace RefDataArchive
