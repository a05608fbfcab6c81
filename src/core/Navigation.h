#pragma once

#include "core/Grants.h"

#include <QDateTime>
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

// The analyser line as the receiver shows it: open and receiving, lost and being opened again by
// itself, or closed because the receiver is OFF.
enum class LineState
{
    Stopped,
    Receiving,
    Reconnecting,
};
struct LineStatus
{
    LineState state = LineState::Stopped;
    QDateTime since;   // when it entered this state (for Reconnecting: when the line was lost)
    QString device;    // the device it is (or was) open on
    QString lastError; // Reconnecting: why the line went, then why the last try to reopen it failed

    bool operator==(const LineStatus&) const = default;
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
// While the receiver is ON and its line is lost: the caption stays, its colour turns amber (same
// background, same contrast), and the tip says since when and why.
int reconnectingColour();
QString receiverToolTip(const LineStatus& status);

} // namespace Navigation
