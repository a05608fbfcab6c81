#pragma once

#include <QString>

class AppContext;

// cmd_ok of the password window: the logged-in user sets a new password for their own account.
namespace PasswordChange {

enum class Field
{
    None,
    OldPassword,    // Text2
    NewPassword,    // Text3
    RepeatPassword, // Text4
};

struct Outcome
{
    bool changed = false;
    Field focus = Field::None;
};

// `userName` is Text1 (the logged-in user); the passwords exactly as typed.
Outcome change(AppContext& context, const QString& userName, const QString& oldPassword, const QString& newPassword,
               const QString& repeat);

} // namespace PasswordChange
