#pragma once

#include <QString>

class QWidget;

// Latin text in the right-to-left windows. A widget lays its text out in its own direction, and in
// a right-to-left one the bidirectional rules mirror "<" and ">", brackets and slashes and move a
// closing dot or sign to the other end: "< 6" reads "6 >", "Mons." reads ".Mons". A widget that
// shows a comparison, a range, a unit, a code or another Latin text gets the left-to-right
// direction, its place on the window kept.
namespace LatinText {

// Something to show and no right-to-left letter in it.
bool isLatin(const QString& text);

// Lays `widget`'s text out left to right; an alignment that was relative to the right-to-left
// direction is made absolute, so the text stays where it stood.
void keepLeftToRight(QWidget* widget);

// Every control of `window` that shows Latin text now: push buttons' and labels' captions, lists
// whose entries are all Latin, text fields holding Latin text. Check boxes and option buttons keep
// their direction (it places their box); their captions have nothing to mirror.
void applyTo(QWidget* window);

} // namespace LatinText
