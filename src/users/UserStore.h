#pragma once

#include "users/UserAccount.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QStringList>
#include <optional>

// The statements on table `users`, on a connection the caller opened. Every value is bound.
//
// Names and passwords are compared exactly (letter case, blanks, every character): a server whose
// collation ignores case or trailing blanks may return more rows than the typed text names, so the
// rows are checked again here. The duplicate-name tests are the exception: they follow the
// database's comparison, because the database's unique index on the name does too.
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
    // The account with exactly this name and password: the login and the password check.
    std::optional<UserAccount> findLogin(const QString& name, const QString& password);

    // Whether the database already holds `name` (for a new account) ...
    bool nameExists(const QString& name);
    // ... or holds it for an account other than `id` (for a rename).
    bool nameExistsForOther(const QString& name, qint64 id);

    // Adds the account; its new id is returned (0 on failure).
    qint64 add(const UserAccount& account);
    // Writes name, password, kind and grants of the account with `account.id`.
    bool update(const UserAccount& account);
    bool remove(qint64 id);
    // Sets the password of the account `id`.
    bool setPassword(qint64 id, const QString& password);

private:
    std::optional<UserAccount> exactMatch(const QString& sql, const QVariantList& values, const QString& name,
                                          const QString* password);

    QSqlDatabase m_db;
    QSqlError m_error;
};
