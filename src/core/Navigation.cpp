#include "core/Navigation.h"

namespace Navigation {

QString objectName(NavEntry entry)
{
    switch (entry) {
    case NavEntry::Patient:
        return QStringLiteral("Opt_patient");
    case NavEntry::ReceiveData:
        return QStringLiteral("Opt_receivedata");
    case NavEntry::Setting:
        return QStringLiteral("Opt_setting");
    case NavEntry::Ranges:
        return QStringLiteral("Opt_ranges");
    case NavEntry::Factors:
        return QStringLiteral("cmd_FACTORSS");
    case NavEntry::Comments:
        return QStringLiteral("cmd_comments");
    case NavEntry::ResultOptions:
        return QStringLiteral("cmd_resultopt");
    case NavEntry::Users:
        return QStringLiteral("cmd_users");
    case NavEntry::PasswordModi:
        return QStringLiteral("cmd_passwordModi");
    case NavEntry::AboutUs:
        return QStringLiteral("opt_aboutus");
    case NavEntry::Exit:
        return QStringLiteral("Opt_exit");
    case NavEntry::Mini:
        return QStringLiteral("Cmd_mini");
    }
    return {};
}

std::optional<Grant> requiredGrant(NavEntry entry)
{
    switch (entry) {
    case NavEntry::Setting:
        return Grant::Grant8;
    case NavEntry::Factors:
    case NavEntry::Comments:
    case NavEntry::ResultOptions:
        return Grant::Grant7;
    case NavEntry::Users:
        return Grant::Administrator;
    default:
        return std::nullopt;
    }
}

QString receiverCaption(bool on)
{
    return on ? QStringLiteral("Data receiver/ON") : QStringLiteral("Data receiver/OFF");
}

int receiverColour(bool on)
{
    return on ? 2152759 : 873237;
}

int receiverBackground(bool on)
{
    return on ? 0x202020 : 0xFFFFFF;
}

int reconnectingColour()
{
    return 0x00B4FF; // RGB 255, 180, 0
}

QString receiverToolTip(const LineStatus& status)
{
    if (status.state != LineState::Reconnecting)
        return {};
    return QStringLiteral("انقطع خط الجهاز منذ %1 ويعاد الاتصال به تلقائياً\n%2")
        .arg(status.since.toString(QStringLiteral("HH:mm")), QChar(0x2066) + status.lastError + QChar(0x2069));
}

} // namespace Navigation
