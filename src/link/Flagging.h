#pragma once

#include "link/CurrentResult.h"

#include <QColor>

// The flag of a result against its reference range, the comment that goes with it, and the colours
// the receive window gives the evaluated result. The result editor re-flags with the same rules.
namespace Flagging {

// Which rule decides the flag, in the order they are tried.
enum class Outcome
{
    NoResult,  // no reported result: no flag
    Positive,  // reading "Positive": " *"
    Negative,  // reading "Negative": no flag
    NoLimits,  // neither limit known: the flag is left as it is
    Normal,    // no sign, inside the limits: no flag, no comment
    Low,       // below the low limit, or "<" at it, with a low flag text
    High,      // above the high limit, or ">" at it, with a high flag text (wins over low)
    Unflagged, // anything else: a signed value inside the range, or no flag text for its side
};

// The rule that applies to the record as it stands (reads the result, reading, value and range).
Outcome classify(const CurrentResult& record);

// Flag: sets Txt_TEST_F and, with `autoComment`, txt_comment from the range's low or high comment.
Outcome Flag(CurrentResult& record, bool autoComment);

// How the receive window shows an evaluated result.
enum class Shade
{
    NoResult, // white
    Flagged,  // pale red: the result carries a flag
    Normal,   // pale green: normal or negative
    Plain,    // neither: left white
};

Shade shadeOf(const CurrentResult& record);
QColor background(Shade shade);
// The flag text is written in blue.
inline QColor flagColour()
{
    return QColor(0, 0, 255);
}

} // namespace Flagging
