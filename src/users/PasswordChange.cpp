#include "users/PasswordChange.h"

#include "core/AppContext.h"
#include "db/Databases.h"
#include "users/UserMessages.h"
#include "users/UserStore.h"

namespace PasswordChange {

Outcome change(AppContext& context, const QString& userName, const QString& oldPassword, const QString& newPassword,
               const QString& repeat)
{
    Dialogs& dialogs = context.dialogs();
    const auto refuse = [&dialogs](const QString& text, Field focus) {
        dialogs.warning(UserMessages::passwordTitle, text);
        return Outcome{false, focus};
    };
    if (oldPassword.isEmpty())
        return refuse(UserMessages::oldPasswordEmpty, Field::OldPassword);
    if (newPassword.isEmpty())
        return refuse(UserMessages::newPasswordEmpty, Field::NewPassword);
    if (repeat.isEmpty())
        return refuse(UserMessages::repeatEmpty, Field::RepeatPassword);
    // Exact: a repeat that differs only in letter case is a different password.
    if (newPassword != repeat)
        return refuse(UserMessages::repeatDiffers, Field::NewPassword);

    QSqlDatabase db = context.databases().OpenInterfaceDb();
    if (!db.isOpen())
        return {false, Field::None};
    UserStore store(db);
    const std::optional<UserAccount> account = store.findLogin(userName, oldPassword);
    if (!account) {
        if (store.failed())
            return {false, Field::None};
        return refuse(UserMessages::oldPasswordWrong, Field::OldPassword);
    }
    if (!store.setPassword(account->id, newPassword)) {
        qWarning("password: could not be saved: %s", qUtf8Printable(store.lastError().text()));
        return {false, Field::None};
    }
    dialogs.information(UserMessages::passwordSavedTitle, UserMessages::passwordSaved);
    return {true, Field::None};
}

} // namespace PasswordChange
