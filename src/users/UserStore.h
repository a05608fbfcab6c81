#pragma once

#include "users/UserAccount.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QStringList>
#include <optional>

// The statements on table `users`, on a connection the caller opened. Every value is bound.
//
// Names are compared exactly (letter case, blanks, every character): a server whose collation
// ignores case or trailing blanks may return more rows than the typed text names, so the rows are
// checked again here. Passwords are checked against their stored hash (see PasswordHash). The duplicate-name tests are
// the exception: they follow the database's comparison, because the database's unique index on the name does too.
class UserStore
{
public:
    explicit UserStore(QSqlDatabase db) : m_db(std::move(db)) {}

    // The last statement's failure; empty after a success.
    const QSqlError& lastError() const { return m_error; }
    bool failed() const { return m_error.isValid(); }

    // Every user name, in the order the database returns them.
    QStringList names();
    qint64 count();

    // The account with exactly this name.
    std::optional<UserAccount> findByName(const QString& name);
    std::optional<UserAccount> findById(qint64 id);
    // The account with exactly this name whose stored password `password` matches: the login and
    // the password check. A row still holding its plain password is hashed on the way.
    std::optional<UserAccount> findLogin(const QString& name, const QString& password);
    // The account with exactly this name that a station remembers by `token`.
    std::optional<UserAccount> findRemembered(const QString& name, const QString& token);

    // Whether the database already holds `name` (for a new account) ...
    bool nameExists(const QString& name);
    // ... or holds it for an account other than `id` (for a rename).
    bool nameExistsForOther(const QString& name, qint64 id);

    // Adds the account; its new id is returned (0 on failure).
    qint64 add(const UserAccount& account);
    // Writes name, password, kind and grants of the account with `account.id`.
    bool update(const UserAccount& account);
    bool remove(qint64 id);
    // Stores `password` hashed for the account `id` and forgets the stations that remember it.
    bool setPassword(qint64 id, const QString& password);
    // Keeps the hash of `token` as a remembered login of the account `id`.
    bool remember(qint64 id, const QString& token, const QString& createdAt);
    // Forgets one remembered login, or every one of an account.
    bool forgetToken(const QString& token);
    bool forgetAccount(qint64 id);

private:
    std::optional<UserAccount> exactMatch(const QString& sql, const QVariantList& values, const QString& name);

    QSqlDatabase m_db;
    QSqlError m_error;
};
