#include "platform/StylePickerUi.h"

#include <QColorDialog>
#include <QFontDialog>

std::optional<StylePicker::Style> StylePickerUi::pickFont(const Style& current)
{
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, current.font, m_parent, QStringLiteral("الخط"));
    if (!ok)
        return std::nullopt;
    // Qt's font dialog has no colour box: the text colour follows in the colour dialog, where
    // Cancel keeps the colour the sample had.
    const QColor colour = QColorDialog::getColor(current.colour, m_parent, QStringLiteral("لون الخط"));
    return Style{font, colour.isValid() ? colour : current.colour};
}

std::optional<QColor> StylePickerUi::pickColour(const QColor& current)
{
    const QColor colour = QColorDialog::getColor(current, m_parent, QStringLiteral("اللون"));
    if (!colour.isValid())
        return std::nullopt;
    return colour;
}
