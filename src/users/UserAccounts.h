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

    // cmd_save: a new account from the fields. Neither kind chosen is refused.
    Outcome add(const UserAccount& fields);
    // cmd_edit: allowed only with a user selected (the name box filled).
    bool mayEdit(const QString& nameBox);
    // cmd_save2: writes the fields over the account `fields.id`.
    Outcome saveChanges(const UserAccount& fields);
    // cmd_del: asks first; true when the account was deleted.
    bool remove(const QString& nameBox, qint64 id);

    // Whether `users` holds no account at all (a new database). False when it cannot be read.
    bool isEmpty();
    // The first administrator of an empty database, from name, password and the password repeated.
    Outcome createFirstAdministrator(const QString& name, const QString& password, const QString& repeat);

private:
    Outcome refuse(const QString& text, Field focus);

    AppContext& m_context;
};
