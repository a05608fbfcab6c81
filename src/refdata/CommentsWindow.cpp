#include "refdata/CommentsWindow.h"

#include "core/AppContext.h"
#include "core/NavigationWidget.h"
#include "core/WindowCodes.h"
#include "refdata/RefDataWidgetsUi.h"

#include <QComboBox>
#include <QCompleter>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace RefDataWidgets;

CommentsWindow::CommentsWindow(AppContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window), m_context(context), m_library(context),
      m_navigation(new NavigationWidget(context, WindowCode::Comments, this))
{
    setObjectName(QStringLiteral("Frm_comments"));
    setAttribute(Qt::WA_DeleteOnClose);
    setLayoutDirection(Qt::RightToLeft);
    setWindowTitle(QStringLiteral("مكتبة التعليقات"));
    buildControls();
    m_navigation->windowLoaded();
    relist();
    // The catalogue's test names, once.
    m_combo2->addItems(m_library.testNames());
    showFields({});
    setEditing(false);
}

void CommentsWindow::buildControls()
{
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(m_navigation);
    auto* body = new QHBoxLayout;
    body->setContentsMargins(14, 14, 14, 14);
    body->setSpacing(14);
    root->addLayout(body, 1);

    auto* left = new QVBoxLayout;
    auto* fieldsBox = new QGroupBox(QStringLiteral("التعليق"), this);
    auto* form = new QFormLayout(fieldsBox);
    m_combo2 = new QComboBox(fieldsBox);
    m_combo2->setObjectName(QStringLiteral("Combo2"));
    m_combo2->setEditable(true);
    m_combo2->setInsertPolicy(QComboBox::NoInsert);
    m_combo2->completer()->setCompletionMode(QCompleter::InlineCompletion);
    m_combo2->completer()->setCaseSensitivity(Qt::CaseInsensitive);
    m_combo2->setMinimumWidth(260);
    onFocus(m_combo2, [this] { SetKeyboardLayout(m_context.keyboardLayout(), 2); });
    m_text1 = new QLineEdit(fieldsBox);
    m_text1->setObjectName(QStringLiteral("Text1"));
    m_text1->setReadOnly(true);
    m_text1->setMaximumWidth(90);
    m_text3 = new QPlainTextEdit(fieldsBox);
    m_text3->setObjectName(QStringLiteral("Text3"));
    m_text3->setTabChangesFocus(true);
    m_text3->setMinimumHeight(120);
    form->addRow(QStringLiteral("التحليل"), m_combo2);
    form->addRow(QStringLiteral("كود التحليل"), m_text1);
    form->addRow(QStringLiteral("نص التعليق"), m_text3);
    left->addWidget(fieldsBox);
    // Typing, choosing an entry and Enter alike: the code always belongs to the name shown.
    connect(m_combo2, &QComboBox::editTextChanged, this, &CommentsWindow::testNameChanged);

    auto* buttons = new QHBoxLayout;
    m_cmdAdd = makeButton("cmd_add", QStringLiteral("اضافة"), this);
    m_cmdEdit = makeButton("cmd_edit", QStringLiteral("تعديل"), this);
    m_cmdSave = makeButton("cmd_save", QStringLiteral("حفظ"), this);
    m_cmdDel = makeButton("cmd_del", QStringLiteral("حذف"), this);
    m_cmdCancel = makeButton("cmd_Cancel", QStringLiteral("الغاء"), this);
    for (QPushButton* b : {m_cmdAdd, m_cmdEdit, m_cmdSave, m_cmdDel, m_cmdCancel})
        buttons->addWidget(b);
    left->addLayout(buttons);
    left->addStretch(1);
    body->addLayout(left);
    connect(m_cmdAdd, &QPushButton::clicked, this, &CommentsWindow::add);
    connect(m_cmdEdit, &QPushButton::clicked, this, &CommentsWindow::edit);
    connect(m_cmdSave, &QPushButton::clicked, this, &CommentsWindow::save);
    connect(m_cmdDel, &QPushButton::clicked, this, &CommentsWindow::remove);
    connect(m_cmdCancel, &QPushButton::clicked, this, &CommentsWindow::cancel);

    auto* right = new QVBoxLayout;
    auto* searchRow = new QHBoxLayout;
    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("txt_search"));
    m_search->setClearButtonEnabled(true);
    m_search->setPlaceholderText(QStringLiteral("بداية اسم التحليل"));
    searchRow->addWidget(new QLabel(QStringLiteral("بحث"), this));
    searchRow->addWidget(m_search, 1);
    right->addLayout(searchRow);
    m_grid = makeGrid(QStringLiteral("DataGrid"), this);
    right->addWidget(m_grid, 1);
    body->addLayout(right, 1);
    connect(m_search, &QLineEdit::textChanged, this, [this] {
        relist();
        showFields({});
    });
    connect(m_grid, &QTableWidget::itemSelectionChanged, this, &CommentsWindow::rowChosen);

    resize(1100, 600);
}

void CommentsWindow::relist()
{
    fillGrid(m_grid, m_library.list(m_search->text()), QStringLiteral("commentid"));
}

void CommentsWindow::rowChosen()
{
    const int row = m_grid->currentRow();
    if (row < 0)
        return;
    showFields(m_library.load(keyAt(m_grid, row)).value_or(CommentFields{}));
}

void CommentsWindow::showFields(const CommentFields& f)
{
    m_commentId = f.commentid;
    {
        const QSignalBlocker blocker(m_combo2);
        m_combo2->setCurrentText(f.Combo2);
    }
    m_text1->setText(f.Text1);
    m_text3->setPlainText(f.Text3);
}

CommentFields CommentsWindow::fields() const
{
    return {m_commentId, m_text1->text(), m_combo2->currentText(), m_text3->toPlainText()};
}

void CommentsWindow::setEditing(bool editing)
{
    m_combo2->setEnabled(editing);
    m_text1->setEnabled(editing);
    m_text3->setEnabled(editing);
    m_grid->setEnabled(!editing);
    m_search->setEnabled(!editing);
    m_cmdAdd->setEnabled(!editing);
    m_cmdEdit->setEnabled(!editing);
    m_cmdDel->setEnabled(!editing);
    m_cmdSave->setEnabled(editing);
    m_cmdCancel->setEnabled(editing);
}

void CommentsWindow::testNameChanged(const QString& name)
{
    m_text1->setText(m_library.codeFor(name));
}

void CommentsWindow::add()
{
    m_adding = true;
    showFields({});
    clearChoice(m_grid);
    setEditing(true);
    m_combo2->setFocus();
}

void CommentsWindow::edit()
{
    if (!m_library.mayEdit(fields()))
        return;
    m_adding = false;
    setEditing(true);
    m_text3->setFocus();
}

void CommentsWindow::save()
{
    const CommentLibrary::Outcome outcome = m_library.save(fields(), m_adding);
    if (!outcome.done) {
        if (outcome.focus == CommentLibrary::Field::Combo2)
            m_combo2->setFocus();
        else if (outcome.focus == CommentLibrary::Field::Text3)
            m_text3->setFocus();
        return;
    }
    showFields({});
    relist();
    setEditing(false);
}

void CommentsWindow::remove()
{
    if (!m_library.remove(fields()))
        return;
    showFields({});
    relist();
}

void CommentsWindow::cancel()
{
    clearChoice(m_grid);
    showFields({});
    setEditing(false);
}
