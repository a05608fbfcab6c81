#pragma once

#include "core/Grants.h"

#include <QString>
#include <optional>

// The entries of the navigation strip that every window carries.
enum class NavEntry
{
    Patient,       // Opt_patient: the main window
    ReceiveData,   // Opt_receivedata: shows or hides the receive window
    Setting,       // Opt_setting: the settings window
    Ranges,        // Opt_ranges: the test catalogue, or the password window without grant 7
    Factors,       // cmd_FACTORSS: test catalogue and correction factors
    Comments,      // cmd_comments: the comment library
    ResultOptions, // cmd_resultopt: reference ranges / result options
    Users,         // cmd_users: the users window
    PasswordModi,  // cmd_passwordModi: the password window
    AboutUs,       // opt_aboutus
    Exit,          // Opt_exit: asks, then the program ends
    Mini,          // Cmd_mini: minimises the window
};

inline constexpr NavEntry allNavEntries[] = {
    NavEntry::Patient,      NavEntry::ReceiveData, NavEntry::Setting,       NavEntry::Ranges,
    NavEntry::Factors,      NavEntry::Comments,    NavEntry::ResultOptions, NavEntry::Users,
    NavEntry::PasswordModi, NavEntry::AboutUs,     NavEntry::Exit,          NavEntry::Mini,
};

namespace Navigation {

// The control name of an entry ("Opt_patient", "cmd_users", ...).
QString objectName(NavEntry entry);

// What the logged-in user needs for an entry; nothing for the free ones. Opt_ranges needs nothing
// either: it chooses its window by grant 7 without refusing.
std::optional<Grant> requiredGrant(NavEntry entry);

// The receiver indicator: caption and its colour (24-bit, red in the low byte).
QString receiverCaption(bool on);
int receiverColour(bool on);
// The indicator's background (same form), chosen so that the caption's colour reaches a contrast
// of at least 4.5:1: the bright green of ON on near-black, the dark green of OFF on white.
int receiverBackground(bool on);

} // namespace Navigation
