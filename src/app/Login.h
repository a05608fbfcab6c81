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

// The name and password exactly as typed; `remember` is the Chk_rememberMe box.
Outcome logIn(AppContext& context, const QString& userName, const QString& password, bool remember);

// Copies an account into the current user. Only ever sets marks, never clears them; an
// administrator gets every grant whatever the grant columns hold.
void grantAccount(CurrentUser& user, const UserAccount& account);

// "Login time " + today "dd/MM/yyyy" + " " + now "hh:nn AM/PM".
QString loginTimeText(AppContext& context);

} // namespace Login
