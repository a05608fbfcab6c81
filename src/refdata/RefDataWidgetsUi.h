#pragma once

#include "db/SqlRun.h"

#include <QString>
#include <functional>

class QPushButton;
class QTableWidget;
class QWidget;

// What the three reference-data windows share on screen.
namespace RefDataWidgets {

// A read-only grid of whole rows, one row chosen at a time.
QTableWidget* makeGrid(const QString& objectName, QWidget* parent);
// Fills the grid with the rows, a column per column of the statement; the key column's value is
// what keyAt gives back. Choosing a row is not signalled while it fills.
void fillGrid(QTableWidget* grid, const SqlRun::Rows& rows, const QString& keyColumn);
qint64 keyAt(const QTableWidget* grid, int row);
// Makes the row holding `key` the current one (without signalling); false when no row holds it.
bool selectKey(QTableWidget* grid, qint64 key);
// No row chosen (without signalling): a click on any row then loads it.
void clearChoice(QTableWidget* grid);

// The key filter of a box: a typed character outside `allowed` is dropped; backspace, the keys that
// move or delete, and shortcuts (paste too: a save checks what was pasted) pass.
void filterKeys(QWidget* box, const QString& allowed);
// Calls `gotFocus` whenever the widget gets the focus.
void onFocus(QWidget* widget, std::function<void()> gotFocus);

QPushButton* makeButton(const char* objectName, const QString& caption, QWidget* parent);

} // namespace RefDataWidgets
