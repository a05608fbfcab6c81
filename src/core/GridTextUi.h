#pragma once

#include <QStyledItemDelegate>

// Draws each grid cell in the direction of its own text: in a right-to-left window a Latin text
// such as "06-Dec-2026" or "0.3 - 4.2" keeps its order, an Arabic name stays right to left.
class CellDirectionDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->direction = option->text.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight;
    }
};
