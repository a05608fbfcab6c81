#include "app/Login.h"

#include "app/StartupMessages.h"
#include "common/DateFormats.h"
#include "common/Numbers.h"
#include "common/PasswordHash.h"
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

namespace {
const QString kServer = QStringLiteral("server");

void writeRemembered(const QString& ini, bool remember, const QString& userName, const QString& token)
{
    WriteIni(ini, kServer, QStringLiteral("Remembers"), remember ? QStringLiteral("1") : QStringLiteral("0"));
    WriteIni(ini, kServer, QStringLiteral("NIDT"), remember ? userName : QString());
    WriteIni(ini, kServer, QStringLiteral("NIDL"), remember ? token : QString());
}
} // namespace

Remembered remembered(AppContext& context)
{
    Remembered r;
    const QString ini = context.installFolder().settingsIni();
    if (!QFileInfo(ini).isFile())
        return r;
    r.remember = Numbers::toInt16(ReadIni(ini, kServer, QStringLiteral("Remembers"))) == 1;
    if (!r.remember)
        return r;
    r.userName = ReadIni(ini, kServer, QStringLiteral("NIDT"));
    const QString token = ReadIni(ini, kServer, QStringLiteral("NIDL"));
    if (token.isEmpty())
        return r;
    QSqlDatabase db = context.databases().OpenInterfaceDb();
    if (!db.isOpen())
        return r;
    UserStore store(db);
    if (store.findRemembered(r.userName, token))
        r.token = token;
    else if (!store.failed())
        WriteIni(ini, kServer, QStringLiteral("NIDL"), QString());
    return r;
}

Outcome logIn(AppContext& context, const QString& userName, const QString& password, bool remember,
              bool passwordIsToken)
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
    const std::optional<UserAccount> account =
        passwordIsToken ? store.findRemembered(userName, password) : store.findLogin(userName, password);
    if (!account) {
        if (store.failed()) {
            qWarning("login: the accounts could not be read: %s", qUtf8Printable(store.lastError().text()));
            return {false, Field::Password, false};
        }
        dialogs.error(StartupMessages::loginTitle, StartupMessages::wrongLogin);
        return {false, Field::Password, true};
    }
    grantAccount(context.currentUser, *account);

    context.currentUser.loginTime = loginTimeText(context);

    const QString ini = context.installFolder().settingsIni();
    if (QFileInfo(ini).isFile()) {
        // This station's previous token goes either way: a new one replaces it, or none is kept.
        const QString previous = ReadIni(ini, kServer, QStringLiteral("NIDL"));
        if (!previous.isEmpty())
            store.forgetToken(previous);
        QString token;
        if (remember) {
            token = PasswordHash::newToken();
            const QString createdAt = context.clock().now().toString(Qt::ISODate);
            if (token.isEmpty() || !store.remember(account->id, token, createdAt)) {
                qWarning("login: the login could not be remembered: %s", qUtf8Printable(store.lastError().text()));
                token.clear();
            }
        }
        writeRemembered(ini, remember, userName, token);
    }
    return {true, Field::None, false};
}

} // namespace Login
