#pragma once

#include <QColor>
#include <QFont>
#include <optional>

// The platform's common dialog for fonts and colours. The real one shows Qt's font and colour
// dialogs; the tests' fake answers from a script. Nothing is chosen when the user cancels.
class StylePicker
{
public:
    struct Style
    {
        QFont font;
        QColor colour;
    };
    virtual ~StylePicker() = default;
    // Font dialog preset with `current` (its font and text colour).
    virtual std::optional<Style> pickFont(const Style& current) = 0;
    virtual std::optional<QColor> pickColour(const QColor& current) = 0;
};
