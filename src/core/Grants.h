#pragma once

#include <QString>

class Dialogs;
struct CurrentUser;

// What an action needs of the logged-in user: the administrator mark or one of the seven grants
// (there is no grant 3).
enum class Grant
{
    Administrator,
    Grant1,
    Grant2,
    Grant4,
    Grant5,
    Grant6,
    Grant7,
    Grant8
};

namespace GrantMessages {
inline const QString refusalTitle = QStringLiteral("تنبية !!");
inline const QString refusalText = QStringLiteral("انت لا تملك صلاحية لهذا العمل - يرجي مراجعة مدير النظام");
} // namespace GrantMessages

bool hasGrant(const CurrentUser& user, Grant grant);

// True when the user holds `grant`; otherwise shows the common refusal and returns false, and the
// caller leaves the action undone.
bool checkGrant(const CurrentUser& user, Grant grant, Dialogs& dialogs);
