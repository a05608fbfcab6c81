#pragma once

#include <QString>

class AppContext;
struct CurrentUser;
struct UserAccount;

// The login of the start-up window: checks the typed name and password against `users`, fills
// the current user, writes the remember-me keys and the login time.
namespace Login {

enum class Field
{
    None,
    UserName,
    Password
};

struct Outcome
{
    bool loggedIn = false;
    // Where the focus goes after a refusal; `selectPassword` also selects the whole password.
    Field focus = Field::None;
    bool selectPassword = false;
};

// The name and password exactly as typed; `remember` is the Chk_rememberMe box. With
// `passwordIsToken` the password box still holds the remembered login's token, untouched.
//
// Remember-me keeps no password: the settings file gets the name and a new random token
// (`NIDT`, `NIDL`), the database the token's hash. Unticking the box forgets this station's token.
Outcome logIn(AppContext& context, const QString& userName, const QString& password, bool remember,
              bool passwordIsToken = false);

// What the login window pre-fills from the settings file: the remembered name, and the token when
// the database still knows it. A token it no longer knows (password changed, account deleted) or a
// password left in the file by an older version is removed from the file.
struct Remembered
{
    bool remember = false;
    QString userName;
    QString token;
};
Remembered remembered(AppContext& context);

// Copies an account into the current user. Only ever sets marks, never clears them; an
// administrator gets every grant whatever the grant columns hold.
void grantAccount(CurrentUser& user, const UserAccount& account);

// "Login time " + today "dd/MM/yyyy" + " " + now "hh:nn AM/PM".
QString loginTimeText(AppContext& context);

} // namespace Login
