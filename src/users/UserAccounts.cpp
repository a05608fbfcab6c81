#include "users/UserAccounts.h"

#include "common/PasswordHash.h"
#include "core/AppContext.h"
#include "db/Databases.h"
#include "users/UserMessages.h"
#include "users/UserStore.h"

UserAccounts::Outcome UserAccounts::refuse(const QString& text, Field focus)
{
    m_context.dialogs().warning(UserMessages::errorTitle, text);
    return {false, focus, 0};
}

QStringList UserAccounts::names()
{
    QSqlDatabase db = m_context.databases().OpenInterfaceDb();
    if (!db.isOpen())
        return {};
    return UserStore(db).names();
}

std::optional<UserAccount> UserAccounts::select(const QString& name)
{
    QSqlDatabase db = m_context.databases().OpenInterfaceDb();
    if (!db.isOpen())
        return std::nullopt;
    return UserStore(db).findByName(name);
}

std::optional<UserAccount> UserAccounts::selectById(qint64 id)
{
    QSqlDatabase db = m_context.databases().OpenInterfaceDb();
    if (!db.isOpen())
        return std::nullopt;
    return UserStore(db).findById(id);
}

UserAccounts::Outcome UserAccounts::add(const UserAccount& typed)
{
    UserAccount fields = typed;
    fields.name = typed.name.trimmed();
    if (fields.name.isEmpty())
        return refuse(UserMessages::addNameEmpty, Field::Name);
    if (fields.password.isEmpty())
        return refuse(UserMessages::addPasswordEmpty, Field::Password);
    if (!fields.administrator && !fields.ordinaryUser)
        return refuse(UserMessages::kindMissing, Field::Kind);

    QSqlDatabase db = m_context.databases().OpenInterfaceDb();
    if (!db.isOpen())
        return {false, Field::None, 0};
    UserStore store(db);
    if (store.nameExists(fields.name))
        return refuse(UserMessages::addDuplicate, Field::Name);
    if (store.failed())
        return {false, Field::None, 0};
    UserAccount account = fields;
    account.id = 0;
    account.password = PasswordHash::make(fields.password);
    if (account.password.isEmpty())
        return {false, Field::None, 0};
    const qint64 id = store.add(account);
    if (id == 0) {
        qWarning("users: the account could not be added: %s", qUtf8Printable(store.lastError().text()));
        return {false, Field::None, 0};
    }
    return {true, Field::None, id};
}

bool UserAccounts::mayEdit(qint64 id)
{
    if (id != 0)
        return true;
    m_context.dialogs().warning(UserMessages::errorTitle, UserMessages::selectUserFirst);
    return false;
}

UserAccounts::Outcome UserAccounts::saveChanges(const UserAccount& typed, bool passwordTyped)
{
    if (!mayEdit(typed.id))
        return {false, Field::None, 0};
    UserAccount fields = typed;
    fields.name = typed.name.trimmed();
    if (fields.name.isEmpty())
        return refuse(UserMessages::editNameEmpty, Field::Name);
    if (fields.password.isEmpty())
        return refuse(UserMessages::editPasswordEmpty, Field::Password);

    QSqlDatabase db = m_context.databases().OpenInterfaceDb();
    if (!db.isOpen())
        return {false, Field::None, 0};
    UserStore store(db);
    // The account's own name does not count: renaming it to itself is allowed.
    if (store.nameExistsForOther(fields.name, fields.id))
        return refuse(UserMessages::editDuplicate, Field::Name);
    if (store.failed())
        return {false, Field::None, 0};
    const std::optional<UserAccount> stored = store.findById(fields.id);
    if (!stored) {
        // Deleted meanwhile, perhaps from another station.
        if (!store.failed())
            m_context.dialogs().warning(UserMessages::errorTitle, UserMessages::selectUserFirst);
        return {false, Field::None, 0};
    }
    const QString keep = stored->password;
    fields.password = passwordTyped                ? PasswordHash::make(typed.password)
                      : PasswordHash::isHash(keep) ? keep
                                                   : PasswordHash::make(keep);
    if (fields.password.isEmpty())
        return {false, Field::None, 0};
    if (!store.update(fields) || (passwordTyped && !store.forgetAccount(fields.id))) {
        qWarning("users: the account could not be changed: %s", qUtf8Printable(store.lastError().text()));
        return {false, Field::None, 0};
    }
    return {true, Field::None, fields.id};
}

bool UserAccounts::remove(qint64 id)
{
    Dialogs& dialogs = m_context.dialogs();
    if (id == 0) {
        dialogs.warning(UserMessages::errorTitle, UserMessages::selectUserFirst);
        return false;
    }
    const DialogAnswer answer = dialogs.show(
        {DialogIcon::Question, DialogButtons::OkCancel, UserMessages::deleteTitle, UserMessages::deleteQuestion});
    if (answer != DialogAnswer::Ok)
        return false;
    QSqlDatabase db = m_context.databases().OpenInterfaceDb();
    if (!db.isOpen())
        return false;
    UserStore store(db);
    if (!store.remove(id)) {
        qWarning("users: the account could not be deleted: %s", qUtf8Printable(store.lastError().text()));
        return false;
    }
    return true;
}

bool UserAccounts::isEmpty()
{
    QSqlDatabase db = m_context.databases().OpenInterfaceDb();
    if (!db.isOpen())
        return false;
    UserStore store(db);
    return store.count() == 0 && !store.failed();
}

UserAccounts::Outcome UserAccounts::createFirstAdministrator(const QString& name, const QString& password,
                                                             const QString& repeat)
{
    if (name.isEmpty())
        return refuse(UserMessages::addNameEmpty, Field::Name);
    if (password.isEmpty())
        return refuse(UserMessages::addPasswordEmpty, Field::Password);
    if (repeat.isEmpty())
        return refuse(UserMessages::repeatEmpty, Field::Repeat);
    if (password != repeat)
        return refuse(UserMessages::repeatDiffers, Field::Password);
    // Only while the table is empty: this is no back door for a second administrator.
    if (!isEmpty())
        return {false, Field::None, 0};
    UserAccount account;
    account.name = name;
    account.password = password;
    account.administrator = true;
    return add(account);
}
