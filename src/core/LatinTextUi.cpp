#include "core/LatinTextUi.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace LatinText {

namespace {

// The same place on the screen, said in absolute terms.
Qt::Alignment absolute(Qt::Alignment align, bool wasRightToLeft)
{
    if (align & Qt::AlignAbsolute || !wasRightToLeft)
        return align;
    const Qt::Alignment vertical = align & Qt::AlignVertical_Mask;
    const Qt::Alignment horizontal = align & Qt::AlignHorizontal_Mask;
    if (horizontal & (Qt::AlignHCenter | Qt::AlignJustify))
        return align;
    // In a right-to-left widget "left" is the leading edge, which stands on the right.
    const Qt::Alignment side = horizontal & Qt::AlignRight ? Qt::AlignLeft : Qt::AlignRight;
    return side | Qt::AlignAbsolute | vertical;
}

bool allLatin(const QComboBox* box)
{
    bool any = false;
    for (int i = 0; i < box->count(); ++i) {
        const QString text = box->itemText(i);
        if (text.isRightToLeft())
            return false;
        any = any || !text.trimmed().isEmpty();
    }
    return any || isLatin(box->currentText());
}

} // namespace

bool isLatin(const QString& text)
{
    return !text.trimmed().isEmpty() && !text.isRightToLeft();
}

void keepLeftToRight(QWidget* widget)
{
    if (!widget || widget->layoutDirection() == Qt::LeftToRight)
        return;
    const bool wasRightToLeft = widget->isRightToLeft();
    if (auto* label = qobject_cast<QLabel*>(widget))
        label->setAlignment(absolute(label->alignment(), wasRightToLeft));
    else if (auto* field = qobject_cast<QLineEdit*>(widget))
        field->setAlignment(absolute(field->alignment(), wasRightToLeft));
    widget->setLayoutDirection(Qt::LeftToRight);
    if (auto* box = qobject_cast<QComboBox*>(widget); box && box->lineEdit())
        box->lineEdit()->setAlignment(absolute(box->lineEdit()->alignment(), wasRightToLeft));
}

void applyTo(QWidget* window)
{
    if (!window || !window->isRightToLeft())
        return;
    for (QLabel* label : window->findChildren<QLabel*>())
        if (isLatin(label->text()))
            keepLeftToRight(label);
    for (QPushButton* button : window->findChildren<QPushButton*>())
        if (isLatin(button->text()))
            keepLeftToRight(button);
    for (QComboBox* box : window->findChildren<QComboBox*>())
        if (allLatin(box))
            keepLeftToRight(box);
    for (QLineEdit* field : window->findChildren<QLineEdit*>())
        if (!qobject_cast<QComboBox*>(field->parentWidget()) && isLatin(field->text()))
            keepLeftToRight(field);
}

} // namespace LatinText
