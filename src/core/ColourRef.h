#pragma once

#include <QColor>

// Colours are kept as the settings and the forms give them: 24-bit, red in the low byte.
inline QColor fromColourRef(int value)
{
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}
