#pragma once

#include "users/UserAccount.h"

#include <QStringList>
#include <optional>

class AppContext;

// The rules of the users window: loading, selecting, adding, changing and deleting accounts, with
// their checks and messages. The window only shows the fields and follows the outcome.
class UserAccounts
{
public:
    enum class Field
    {
        None,
        Name,
        Password,
        Repeat,
        Kind
    };

    struct Outcome
    {
        bool done = false;
        Field focus = Field::None; // where the focus goes after a refusal
        qint64 id = 0;             // the account added or changed
    };

    explicit UserAccounts(AppContext& context) : m_context(context) {}

    // Every user name in the database's order; empty when the database cannot be opened.
    QStringList names();
    // The row of a name picked in the list.
    std::optional<UserAccount> select(const QString& name);
    std::optional<UserAccount> selectById(qint64 id);

    // cmd_save: a new account from the fields, `fields.password` as typed. Neither kind chosen is
    // refused. The name is trimmed: blanks around it never make a second account.
    Outcome add(const UserAccount& fields);
    // cmd_edit: allowed only with an account shown (`id` nonzero).
    bool mayEdit(qint64 id);
    // cmd_save2: writes the fields over the account `fields.id`. The password is replaced when
    // `passwordTyped` (and the stations that remember the account forget it); otherwise the stored
    // one is kept, and hashed if it was still plain text.
    Outcome saveChanges(const UserAccount& fields, bool passwordTyped);
    // cmd_del: asks first; true when the account `id` was deleted.
    bool remove(qint64 id);

    // Whether `users` holds no account at all (a new database). False when it cannot be read.
    bool isEmpty();
    // The first administrator of an empty database, from name, password and the password repeated.
    Outcome createFirstAdministrator(const QString& name, const QString& password, const QString& repeat);

private:
    Outcome refuse(const QString& text, Field focus);

    AppContext& m_context;
};
