#include "app/Login.h"

#include "app/StartupMessages.h"
#include "common/DateFormats.h"
#include "config/IniFile.h"
#include "core/AppContext.h"
#include "db/Databases.h"
#include "users/UserStore.h"

#include <QFileInfo>

namespace Login {

void grantAccount(CurrentUser& user, const UserAccount& account)
{
    user.name = account.name;
    user.administrator = user.administrator || account.administrator;
    user.grant1 = user.grant1 || account.grant1 || account.administrator;
    user.grant2 = user.grant2 || account.grant2 || account.administrator;
    user.grant4 = user.grant4 || account.grant4 || account.administrator;
    user.grant5 = user.grant5 || account.grant5 || account.administrator;
    user.grant6 = user.grant6 || account.grant6 || account.administrator;
    user.grant7 = user.grant7 || account.grant7 || account.administrator;
    user.grant8 = user.grant8 || account.grant8 || account.administrator;
}

QString loginTimeText(AppContext& context)
{
    const QDateTime now = context.clock().now();
    return QStringLiteral("Login time ") + DateFormats::slashDate(now.date()) + QStringLiteral(" ") +
           DateFormats::timeAmPm(now.time());
}

Outcome logIn(AppContext& context, const QString& userName, const QString& password, bool remember)
{
    Dialogs& dialogs = context.dialogs();
    if (password.isEmpty()) {
        dialogs.warning(StartupMessages::loginTitle, StartupMessages::passwordEmpty);
        return {false, Field::Password, false};
    }
    if (userName.isEmpty()) {
        dialogs.warning(StartupMessages::loginTitle, StartupMessages::userNameEmpty);
        return {false, Field::UserName, false};
    }

    Databases& databases = context.databases();
    QSqlDatabase db = databases.OpenInterfaceDb();
    // A failed open has shown its message and asked for the settings window.
    if (!db.isOpen())
        return {false, Field::Password, false};
    UserStore store(db);
    const std::optional<UserAccount> account = store.findLogin(userName, password);
    if (!account) {
        if (store.failed()) {
            qWarning("login: the accounts could not be read: %s", qUtf8Printable(store.lastError().text()));
            return {false, Field::Password, false};
        }
        dialogs.error(StartupMessages::loginTitle, StartupMessages::wrongLogin);
        return {false, Field::Password, true};
    }
    grantAccount(context.currentUser, *account);

    const QString ini = context.installFolder().settingsIni();
    if (QFileInfo(ini).isFile()) {
        WriteIni(ini, QStringLiteral("server"), QStringLiteral("Remembers"),
                 remember ? QStringLiteral("1") : QStringLiteral("0"));
        WriteIni(ini, QStringLiteral("server"), QStringLiteral("NIDT"), remember ? userName : QString());
        WriteIni(ini, QStringLiteral("server"), QStringLiteral("NIDL"), remember ? password : QString());
    }
    context.currentUser.loginTime = loginTimeText(context);
    return {true, Field::None, false};
}

} // namespace Login
