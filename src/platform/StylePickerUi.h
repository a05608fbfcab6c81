#pragma once

#include "platform/StylePicker.h"

class QWidget;

// Qt's font dialog (the colour of the text is asked for after the font) and colour dialog.
class StylePickerUi final : public StylePicker
{
public:
    explicit StylePickerUi(QWidget* parent) : m_parent(parent) {}
    std::optional<Style> pickFont(const Style& current) override;
    std::optional<QColor> pickColour(const QColor& current) override;

private:
    QWidget* m_parent;
};
