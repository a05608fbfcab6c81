#pragma once

#include <QString>

// The logged-in user: name, administrator mark, grants and the login time shown in every window.
struct CurrentUser
{
    QString name;
    bool administrator = false;
    bool grant1 = false;
    bool grant2 = false;
    bool grant4 = false;
    bool grant5 = false;
    bool grant6 = false;
    bool grant7 = false;
    bool grant8 = false;
    QString loginTime;
};
