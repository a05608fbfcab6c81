#include "users/UserStore.h"

#include "common/PasswordHash.h"
#include "db/SqlRun.h"

#include <QSqlRecord>

namespace {
UserAccount fromRecord(const QSqlRecord& r)
{
    UserAccount a;
    a.id = r.value(QStringLiteral("patientusid")).toLongLong();
    a.name = r.value(QStringLiteral("patientusname")).toString();
    a.password = r.value(QStringLiteral("patientword")).toString();
    a.administrator = r.value(QStringLiteral("patientad")).toBool();
    a.ordinaryUser = r.value(QStringLiteral("patientus")).toBool();
    a.grant1 = r.value(QStringLiteral("grant1")).toBool();
    a.grant2 = r.value(QStringLiteral("grant2")).toBool();
    a.grant4 = r.value(QStringLiteral("grant4")).toBool();
    a.grant5 = r.value(QStringLiteral("grant5")).toBool();
    a.grant6 = r.value(QStringLiteral("grant6")).toBool();
    a.grant7 = r.value(QStringLiteral("grant7")).toBool();
    a.grant8 = r.value(QStringLiteral("grant8")).toBool();
    return a;
}

SqlRun::Columns columnsOf(const UserAccount& a)
{
    return {
        {QStringLiteral("patientusname"), a.name},      {QStringLiteral("patientword"), a.password},
        {QStringLiteral("patientad"), a.administrator}, {QStringLiteral("patientus"), a.ordinaryUser},
        {QStringLiteral("grant1"), a.grant1},           {QStringLiteral("grant2"), a.grant2},
        {QStringLiteral("grant4"), a.grant4},           {QStringLiteral("grant5"), a.grant5},
        {QStringLiteral("grant6"), a.grant6},           {QStringLiteral("grant7"), a.grant7},
        {QStringLiteral("grant8"), a.grant8},
    };
}
} // namespace

QStringList UserStore::names()
{
    const SqlRun::Rows rows = SqlRun::select(m_db, QStringLiteral("SELECT patientusname FROM users"));
    m_error = rows.error;
    QStringList result;
    for (const QSqlRecord& r : rows.records)
        result.append(r.value(0).toString());
    return result;
}

qint64 UserStore::count()
{
    const auto row = SqlRun::first(m_db, QStringLiteral("SELECT COUNT(*) FROM users"), {}, &m_error);
    return row ? row->value(0).toLongLong() : 0;
}

std::optional<UserAccount> UserStore::exactMatch(const QString& sql, const QVariantList& values, const QString& name)
{
    const SqlRun::Rows rows = SqlRun::select(m_db, sql, values);
    m_error = rows.error;
    for (const QSqlRecord& r : rows.records) {
        UserAccount a = fromRecord(r);
        if (a.name == name)
            return a;
    }
    return std::nullopt;
}

std::optional<UserAccount> UserStore::findByName(const QString& name)
{
    return exactMatch(QStringLiteral("SELECT * FROM users where patientusname= ? "), {name}, name);
}

std::optional<UserAccount> UserStore::findById(qint64 id)
{
    const auto row = SqlRun::first(m_db, QStringLiteral("SELECT * FROM users where patientusid= ? "), {id}, &m_error);
    if (!row)
        return std::nullopt;
    return fromRecord(*row);
}

std::optional<UserAccount> UserStore::findLogin(const QString& name, const QString& password)
{
    std::optional<UserAccount> account = findByName(name);
    if (!account || !PasswordHash::verify(account->password, password))
        return std::nullopt;
    if (!PasswordHash::isHash(account->password)) {
        // The first login since passwords were hashed: the plain text leaves the table now. A
        // failed write only postpones it to the next login.
        const QString hash = PasswordHash::make(password);
        const SqlRun::Outcome done =
            SqlRun::update(m_db, QStringLiteral("users"), {{QStringLiteral("patientword"), hash}},
                           QStringLiteral("patientusid= ?"), {account->id});
        if (done.ok)
            account->password = hash;
        else
            qWarning("users: the password of \"%s\" could not be hashed: %s", qUtf8Printable(name),
                     qUtf8Printable(done.errorText()));
    }
    return account;
}

std::optional<UserAccount> UserStore::findRemembered(const QString& name, const QString& token)
{
    const QString hash = PasswordHash::tokenHash(token);
    if (hash.isEmpty())
        return std::nullopt;
    const auto row = SqlRun::first(m_db, QStringLiteral("SELECT patientusid FROM rememberedlogin where tokenhash= ?"),
                                   {hash}, &m_error);
    if (!row)
        return std::nullopt;
    std::optional<UserAccount> account = findById(row->value(0).toLongLong());
    if (!account || account->name != name)
        return std::nullopt;
    return account;
}

bool UserStore::nameExists(const QString& name)
{
    const auto row =
        SqlRun::first(m_db, QStringLiteral("SELECT * FROM users where patientusname=? "), {name}, &m_error);
    return row.has_value();
}

bool UserStore::nameExistsForOther(const QString& name, qint64 id)
{
    const auto row =
        SqlRun::first(m_db, QStringLiteral("SELECT * FROM users where (patientusname= ? and  patientusid <> ?) "),
                      {name, id}, &m_error);
    return row.has_value();
}

qint64 UserStore::add(const UserAccount& account)
{
    const SqlRun::Outcome done = SqlRun::insert(m_db, QStringLiteral("users"), columnsOf(account));
    m_error = done.error;
    if (!done)
        return 0;
    if (done.lastInsertId.isValid() && done.lastInsertId.toLongLong() > 0)
        return done.lastInsertId.toLongLong();
    // Some drivers do not report the new key: the name is unique, so look it up.
    const std::optional<UserAccount> added = findByName(account.name);
    return added ? added->id : 0;
}

bool UserStore::update(const UserAccount& account)
{
    const SqlRun::Outcome done = SqlRun::update(m_db, QStringLiteral("users"), columnsOf(account),
                                                QStringLiteral("patientusid= ?"), {account.id});
    m_error = done.error;
    return done.ok;
}

bool UserStore::remove(qint64 id)
{
    const SqlRun::Outcome done = SqlRun::exec(m_db, QStringLiteral("Delete FROM users where patientusid= ?"), {id});
    m_error = done.error;
    return done.ok && forgetAccount(id);
}

bool UserStore::setPassword(qint64 id, const QString& password)
{
    const QString hash = PasswordHash::make(password);
    if (hash.isEmpty())
        return false;
    const SqlRun::Outcome done = SqlRun::update(m_db, QStringLiteral("users"), {{QStringLiteral("patientword"), hash}},
                                                QStringLiteral("patientusid= ?"), {id});
    m_error = done.error;
    return done.ok && forgetAccount(id);
}

bool UserStore::remember(qint64 id, const QString& token, const QString& createdAt)
{
    const SqlRun::Outcome done = SqlRun::insert(m_db, QStringLiteral("rememberedlogin"),
                                                {{QStringLiteral("tokenhash"), PasswordHash::tokenHash(token)},
                                                 {QStringLiteral("patientusid"), id},
                                                 {QStringLiteral("createdat"), createdAt}});
    m_error = done.error;
    return done.ok;
}

bool UserStore::forgetToken(const QString& token)
{
    const SqlRun::Outcome done = SqlRun::exec(m_db, QStringLiteral("DELETE FROM rememberedlogin where tokenhash= ?"),
                                              {PasswordHash::tokenHash(token)});
    m_error = done.error;
    return done.ok;
}

bool UserStore::forgetAccount(qint64 id)
{
    const SqlRun::Outcome done =
        SqlRun::exec(m_db, QStringLiteral("DELETE FROM rememberedlogin where patientusid= ?"), {id});
    m_error = done.error;
    return done.ok;
}
