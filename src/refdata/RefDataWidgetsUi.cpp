#include "refdata/RefDataWidgetsUi.h"

#include "refdata/RefDataValues.h"

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTableWidget>

namespace RefDataWidgets {

namespace {

class KeyFilter final : public QObject
{
public:
    KeyFilter(QWidget* box, QString allowed) : QObject(box), m_allowed(std::move(allowed))
    {
        box->installEventFilter(this);
    }

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
            return false;
        const QString text = key->text();
        if (text.isEmpty() || !text.at(0).isPrint())
            return false; // backspace, arrows, Tab, Enter, Delete
        for (const QChar c : text) {
            if (!m_allowed.contains(c))
                return true;
        }
        return false;
    }

private:
    QString m_allowed;
};

class FocusWatch final : public QObject
{
public:
    FocusWatch(QWidget* widget, std::function<void()> gotFocus) : QObject(widget), m_gotFocus(std::move(gotFocus))
    {
        widget->installEventFilter(this);
    }

    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::FocusIn)
            m_gotFocus();
        return false;
    }

private:
    std::function<void()> m_gotFocus;
};

constexpr int kKeyRole = Qt::UserRole + 1;

bool hasRightToLeft(const QString& text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) {
        const QChar::Direction d = c.direction();
        return d == QChar::DirR || d == QChar::DirAL;
    });
}

// A cell without Arabic reads left to right whatever the window's direction: "0.25 - 5.00" must
// never show as "5.00 - 0.25". Every cell keeps the column's right edge.
class CellDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!hasRightToLeft(option->text))
            option->direction = Qt::LeftToRight;
        option->displayAlignment = Qt::AlignRight | Qt::AlignAbsolute | Qt::AlignVCenter;
    }
};

} // namespace

QTableWidget* makeGrid(const QString& objectName, QWidget* parent)
{
    auto* grid = new QTableWidget(parent);
    grid->setObjectName(objectName);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setAlternatingRowColors(true);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 8);
    grid->verticalHeader()->setVisible(false);
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->setItemDelegate(new CellDelegate(grid));
    return grid;
}

void fillGrid(QTableWidget* grid, const SqlRun::Rows& rows, const QString& keyColumn)
{
    const QSignalBlocker blocker(grid);
    grid->clearContents();
    grid->setRowCount(0);
    if (!rows.records.isEmpty()) {
        const QSqlRecord& first = rows.records.first();
        grid->setColumnCount(first.count());
        QStringList headers;
        for (int c = 0; c < first.count(); ++c)
            headers << first.fieldName(c);
        grid->setHorizontalHeaderLabels(headers);
    }
    grid->setRowCount(static_cast<int>(rows.records.size()));
    for (int r = 0; r < rows.records.size(); ++r) {
        const QSqlRecord& record = rows.records[r];
        const qint64 key = record.value(keyColumn).toLongLong();
        for (int c = 0; c < record.count() && c < grid->columnCount(); ++c) {
            auto* item = new QTableWidgetItem(RefDataValues::text(record.value(c)));
            item->setData(kKeyRole, key);
            grid->setItem(r, c, item);
        }
    }
    grid->resizeColumnsToContents();
    for (int c = 0; c < grid->columnCount(); ++c)
        grid->setColumnWidth(c, qMin(grid->columnWidth(c), 260));
}

qint64 keyAt(const QTableWidget* grid, int row)
{
    const QTableWidgetItem* item = grid->item(row, 0);
    return item ? item->data(kKeyRole).toLongLong() : 0;
}

bool selectKey(QTableWidget* grid, qint64 key)
{
    const QSignalBlocker blocker(grid);
    for (int r = 0; r < grid->rowCount(); ++r) {
        if (keyAt(grid, r) == key) {
            grid->setCurrentCell(r, 0);
            grid->selectRow(r);
            grid->scrollToItem(grid->item(r, 0));
            return true;
        }
    }
    grid->clearSelection();
    return false;
}

void clearChoice(QTableWidget* grid)
{
    const QSignalBlocker blocker(grid);
    grid->clearSelection();
    grid->setCurrentCell(-1, -1);
}

void filterKeys(QWidget* box, const QString& allowed)
{
    new KeyFilter(box, allowed);
}

void onFocus(QWidget* widget, std::function<void()> gotFocus)
{
    new FocusWatch(widget, std::move(gotFocus));
}

QPushButton* makeButton(const char* objectName, const QString& caption, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(objectName));
    b->setAutoDefault(false);
    b->setMinimumWidth(b->sizeHint().width() + 16);
    return b;
}

} // namespace RefDataWidgets
