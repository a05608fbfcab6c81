#include "refdata/CatalogueWindow.h"

#include "core/AppContext.h"
#include "core/Grants.h"
#include "core/NavigationWidget.h"
#include "core/WindowCodes.h"
#include "refdata/RefDataWidgetsUi.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace RefDataWidgets;

CatalogueWindow::CatalogueWindow(AppContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window), m_context(context), m_catalogue(context),
      m_navigation(new NavigationWidget(context, WindowCode::Catalogue, this))
{
    setObjectName(QStringLiteral("Frm_correctfactors"));
    setAttribute(Qt::WA_DeleteOnClose);
    setLayoutDirection(Qt::RightToLeft);
    setWindowTitle(QStringLiteral("التحاليل ومعاملات التصحيح"));
    buildControls();
    m_navigation->keepEntry(NavEntry::ResultOptions);
    connect(m_navigation, &NavigationWidget::keptEntryActivated, this, [this](NavEntry) { openRanges(); });
    m_navigation->windowLoaded();
    relist(m_catalogue.list());
    setEditing(false);
    // The first test is shown at once, so that its ranges are one click away.
    if (m_grid->rowCount() > 0) {
        m_grid->setCurrentCell(0, 0);
        rowChosen();
    }
}

void CatalogueWindow::buildControls()
{
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(m_navigation);
    auto* body = new QHBoxLayout;
    body->setContentsMargins(14, 14, 14, 14);
    body->setSpacing(14);
    root->addLayout(body, 1);

    // The test's fields and the buttons.
    auto* left = new QVBoxLayout;
    m_fields = new QGroupBox(QStringLiteral("بيانات التحليل"), this);
    auto* form = new QFormLayout(m_fields);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    const auto line = [this](const char* name, int maxLength) {
        auto* edit = new QLineEdit(m_fields);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setMaxLength(maxLength);
        return edit;
    };
    m_txt0 = line("Txt0", 12);
    m_txt0->setReadOnly(true);
    m_txt1 = line("Txt1", 255);
    m_txtTestcode = line("Txt_testcode", 9);
    m_txtShortAssay = line("Txt_shortAssay", 50);
    m_txtCorrectfactors = line("Txt_correctfactors", 20);
    m_txt2 = line("Txt2", 50);
    m_cmbRefrange = new QComboBox(m_fields);
    m_cmbRefrange->setObjectName(QStringLiteral("CmbREFRANGE"));
    m_cmbRefrange->addItems(RangeKinds::catalogueTexts());
    m_txt9 = line("Txt9", 9);
    m_comb4 = new QComboBox(m_fields);
    m_comb4->setObjectName(QStringLiteral("Comb4"));
    m_comb4->setEditable(true);
    m_comb4->setInsertPolicy(QComboBox::NoInsert);
    m_check1 = new QCheckBox(QStringLiteral("التحليل مفعل"), m_fields);
    m_check1->setObjectName(QStringLiteral("Check1"));
    for (QLineEdit* numeric : {m_txt0, m_txtTestcode, m_txtShortAssay, m_txtCorrectfactors, m_txt9})
        numeric->setLayoutDirection(Qt::LeftToRight);
    form->addRow(QStringLiteral("كود التحليل"), m_txt0);
    form->addRow(QStringLiteral("اسم التحليل"), m_txt1);
    form->addRow(QStringLiteral("كود التحليل فى كورفانا سيستم"), m_txtTestcode);
    form->addRow(QStringLiteral("رمز التحليل على الجهاز"), m_txtShortAssay);
    form->addRow(QStringLiteral("معامل التصحيح"), m_txtCorrectfactors);
    form->addRow(QStringLiteral("الاسم المختصر"), m_txt2);
    form->addRow(QStringLiteral("نوع المدى الطبيعي"), m_cmbRefrange);
    form->addRow(QStringLiteral("الترتيب"), m_txt9);
    form->addRow(QStringLiteral("المجموعة"), m_comb4);
    form->addRow(QString(), m_check1);
    left->addWidget(m_fields);
    filterKeys(m_txtCorrectfactors, QStringLiteral("0123456789."));
    filterKeys(m_txtTestcode, QStringLiteral("0123456789"));
    filterKeys(m_txt9, QStringLiteral("0123456789"));

    auto* buttons = new QGridLayout;
    m_cmdAdd = makeButton("cmd_add", QStringLiteral("اضافة"), this);
    m_cmdEdit = makeButton("cmd_edit", QStringLiteral("تعديل"), this);
    m_cmdSave = makeButton("cmd_save", QStringLiteral("حفظ"), this);
    m_cmdDel = makeButton("cmd_del", QStringLiteral("حذف"), this);
    m_cmdCancel = makeButton("cmd_Cancel", QStringLiteral("الغاء"), this);
    m_cmdRanges = makeButton("cmd_ranges", QStringLiteral("المعدلات الطبيعية لهذا التحليل"), this);
    buttons->addWidget(m_cmdAdd, 0, 0);
    buttons->addWidget(m_cmdEdit, 0, 1);
    buttons->addWidget(m_cmdDel, 0, 2);
    buttons->addWidget(m_cmdSave, 1, 0);
    buttons->addWidget(m_cmdCancel, 1, 1);
    buttons->addWidget(m_cmdRanges, 2, 0, 1, 3);
    left->addLayout(buttons);
    left->addStretch(1);
    body->addLayout(left);
    connect(m_cmdAdd, &QPushButton::clicked, this, &CatalogueWindow::add);
    connect(m_cmdEdit, &QPushButton::clicked, this, &CatalogueWindow::edit);
    connect(m_cmdSave, &QPushButton::clicked, this, &CatalogueWindow::save);
    connect(m_cmdDel, &QPushButton::clicked, this, &CatalogueWindow::remove);
    connect(m_cmdCancel, &QPushButton::clicked, this, &CatalogueWindow::cancel);
    connect(m_cmdRanges, &QPushButton::clicked, this, &CatalogueWindow::openRanges);

    // The searches, the list and its count.
    auto* right = new QVBoxLayout;
    auto* search = new QHBoxLayout;
    const auto searchBox = [this, search](const char* name, const QString& label) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setPlaceholderText(label);
        edit->setClearButtonEnabled(true);
        search->addWidget(new QLabel(label, this));
        search->addWidget(edit, 1);
        onFocus(edit, [this] { SetKeyboardLayout(m_context.keyboardLayout(), 2); });
        return edit;
    };
    m_text1 = searchBox("Text1", QStringLiteral("بحث بالاسم"));
    m_text2 = searchBox("Text2", QStringLiteral("بالمجموعة"));
    m_text3 = searchBox("Text3", QStringLiteral("برمز الجهاز"));
    right->addLayout(search);
    m_grid = makeGrid(QStringLiteral("DataGrid1"), this);
    right->addWidget(m_grid, 1);
    m_lblCount = new QLabel(this);
    m_lblCount->setObjectName(QStringLiteral("Lbl_count"));
    m_lblCount->setLayoutDirection(Qt::LeftToRight);
    right->addWidget(m_lblCount);
    body->addLayout(right, 1);
    connect(m_text1, &QLineEdit::textChanged, this, [this](const QString& text) { relist(m_catalogue.list(text)); });
    connect(m_text2, &QLineEdit::textChanged, this,
            [this](const QString& text) { relist(m_catalogue.list({}, text)); });
    connect(m_text3, &QLineEdit::textChanged, this,
            [this](const QString& text) { relist(m_catalogue.listByAssay(text)); });
    connect(m_grid, &QTableWidget::itemSelectionChanged, this, &CatalogueWindow::rowChosen);

    resize(1220, 640);
}

void CatalogueWindow::relist(const SqlRun::Rows& rows)
{
    fillGrid(m_grid, rows, QStringLiteral("testcode"));
    m_lblCount->setText(TestCatalogue::countText(rows.records.size()));
    const QString typed = m_comb4->currentText();
    m_comb4->clear();
    m_comb4->addItems(m_catalogue.subgroups());
    m_comb4->setCurrentText(typed);
}

void CatalogueWindow::rowChosen()
{
    const int row = m_grid->currentRow();
    if (row >= 0)
        showFields(m_catalogue.load(keyAt(m_grid, row)));
}

void CatalogueWindow::showFields(const std::optional<CatalogueFields>& f)
{
    if (!f) {
        clearFields();
        return;
    }
    m_txt0->setText(f->Txt0);
    m_txt1->setText(f->Txt1);
    m_txtTestcode->setText(f->Txt_testcode);
    m_txtShortAssay->setText(f->Txt_shortAssay);
    m_txtCorrectfactors->setText(f->Txt_correctfactors);
    m_txt2->setText(f->Txt2);
    m_cmbRefrange->setCurrentText(f->CmbREFRANGE);
    m_txt9->setText(f->Txt9);
    m_comb4->setCurrentText(f->Comb4);
    m_check1->setChecked(f->Check1);
}

CatalogueFields CatalogueWindow::fields() const
{
    return {m_txt0->text(),
            m_txt1->text(),
            m_txtTestcode->text(),
            m_txtShortAssay->text(),
            m_txtCorrectfactors->text(),
            m_txt2->text(),
            m_cmbRefrange->currentText(),
            m_txt9->text(),
            m_comb4->currentText(),
            m_check1->isChecked()};
}

void CatalogueWindow::clearFields()
{
    for (QLineEdit* edit : {m_txt0, m_txt1, m_txtTestcode, m_txtShortAssay, m_txtCorrectfactors, m_txt2, m_txt9})
        edit->clear();
    m_cmbRefrange->setCurrentIndex(0);
    m_comb4->setCurrentText(QString());
    m_check1->setChecked(false);
}

void CatalogueWindow::setEditing(bool editing)
{
    m_fields->setEnabled(editing);
    m_grid->setEnabled(!editing);
    for (QLineEdit* search : {m_text1, m_text2, m_text3})
        search->setEnabled(!editing);
    m_cmdAdd->setEnabled(!editing);
    m_cmdEdit->setEnabled(!editing);
    m_cmdDel->setEnabled(!editing);
    m_cmdRanges->setEnabled(!editing);
    m_cmdSave->setEnabled(editing);
    m_cmdCancel->setEnabled(editing);
}

void CatalogueWindow::focus(TestCatalogue::Field field)
{
    switch (field) {
    case TestCatalogue::Field::Txt1:
        m_txt1->setFocus();
        break;
    case TestCatalogue::Field::Txt_testcode:
        m_txtTestcode->setFocus();
        break;
    case TestCatalogue::Field::Txt_shortAssay:
        m_txtShortAssay->setFocus();
        break;
    case TestCatalogue::Field::Txt_correctfactors:
        m_txtCorrectfactors->setFocus();
        break;
    case TestCatalogue::Field::Txt9:
        m_txt9->setFocus();
        break;
    case TestCatalogue::Field::None:
        break;
    }
}

void CatalogueWindow::add()
{
    clearFields();
    clearChoice(m_grid);
    setEditing(true);
    m_txt1->setFocus();
}

void CatalogueWindow::edit()
{
    if (!m_catalogue.mayEdit(fields()))
        return;
    setEditing(true);
    m_txt1->setFocus();
}

void CatalogueWindow::save()
{
    const TestCatalogue::Outcome outcome = m_catalogue.save(fields());
    if (!outcome.done) {
        focus(outcome.focus);
        return;
    }
    setEditing(false);
    relist(m_catalogue.list(m_text1->text(), m_text2->text()));
    // The test as it is stored now (an empty factor shows as 1, an empty order as 9999).
    selectKey(m_grid, outcome.testcode);
    showFields(m_catalogue.load(outcome.testcode));
}

void CatalogueWindow::remove()
{
    if (!m_catalogue.remove(fields()))
        return;
    clearFields();
    relist(m_catalogue.list(m_text1->text(), m_text2->text()));
}

void CatalogueWindow::cancel()
{
    clearChoice(m_grid);
    clearFields();
    setEditing(false);
}

void CatalogueWindow::openRanges()
{
    if (!checkGrant(m_context.currentUser, Grant::Grant7, m_context.dialogs()))
        return;
    if (const std::optional<RangeOpening> opening = m_catalogue.rangesFor(fields()))
        emit rangesRequested(*opening);
}
