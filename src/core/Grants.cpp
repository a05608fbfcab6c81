#include "core/Grants.h"

#include "core/CurrentUser.h"
#include "platform/Dialogs.h"

bool hasGrant(const CurrentUser& user, Grant grant)
{
    switch (grant) {
    case Grant::Administrator:
        return user.administrator;
    case Grant::Grant1:
        return user.grant1;
    case Grant::Grant2:
        return user.grant2;
    case Grant::Grant4:
        return user.grant4;
    case Grant::Grant5:
        return user.grant5;
    case Grant::Grant6:
        return user.grant6;
    case Grant::Grant7:
        return user.grant7;
    case Grant::Grant8:
        return user.grant8;
    }
    return false;
}

bool checkGrant(const CurrentUser& user, Grant grant, Dialogs& dialogs)
{
    if (hasGrant(user, grant))
        return true;
    dialogs.warning(GrantMessages::refusalTitle, GrantMessages::refusalText);
    return false;
}
