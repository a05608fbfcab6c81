#include "refdata/RangesWindow.h"

#include "core/LatinTextUi.h"

#include "core/AppContext.h"
#include "core/NavigationWidget.h"
#include "core/WindowCodes.h"
#include "refdata/RefDataWidgetsUi.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QVBoxLayout>

using namespace RefDataWidgets;

namespace {
const char* const kKindNames[] = {"optionall", "optionage", "optionsex", "optionsexage"};
const RangeKind kKinds[] = {RangeKind::ForAll, RangeKind::ByAge, RangeKind::BySex, RangeKind::BySexAndAge};
} // namespace

RangesWindow::RangesWindow(AppContext& context, const RangeOpening& opening, QWidget* parent)
    : QWidget(parent, Qt::Window), m_context(context), m_ranges(context), m_opening(opening),
      m_navigation(new NavigationWidget(context, WindowCode::Ranges, this))
{
    setObjectName(QStringLiteral("Form2"));
    setAttribute(Qt::WA_DeleteOnClose);
    setLayoutDirection(Qt::RightToLeft);
    setWindowTitle(QStringLiteral("Reference Ranges"));
    buildControls();
    m_navigation->windowLoaded();
    relist();
    clearFields();
    setEditing(false);
    if (m_grid->rowCount() > 0) {
        m_grid->setCurrentCell(0, 0);
        rowChosen();
    }
}

void RangesWindow::buildControls()
{
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(m_navigation);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(14, 10, 14, 14);
    body->setSpacing(10);
    root->addLayout(body, 1);

    // The test and its range kind: set by the catalogue, shown here.
    auto* head = new QHBoxLayout;
    m_comb1 = new QComboBox(this);
    m_comb1->setObjectName(QStringLiteral("Comb1"));
    m_comb1->addItem(m_opening.testName);
    m_comb1->setEnabled(false);
    m_comb1->setMinimumWidth(220);
    m_txt0 = new QLineEdit(QString::number(m_opening.testcode), this);
    m_txt0->setObjectName(QStringLiteral("Txt0"));
    m_txt0->setReadOnly(true);
    m_txt0->setMaximumWidth(80);
    m_normid = new QLineEdit(this);
    m_normid->setObjectName(QStringLiteral("normid"));
    m_normid->hide();
    head->addWidget(new QLabel(QStringLiteral("التحليل"), this));
    head->addWidget(m_comb1);
    head->addWidget(m_txt0);
    head->addSpacing(20);
    auto* kindGroup = new QButtonGroup(this);
    for (int i = 0; i < 4; ++i) {
        auto* kind = new QRadioButton(RangeKinds::text(kKinds[i]), this);
        kind->setObjectName(QString::fromLatin1(kKindNames[i]));
        kind->setChecked(kKinds[i] == m_opening.kind);
        // The kind is the catalogue's: a range of another kind would never be chosen for a result.
        kind->setEnabled(false);
        kindGroup->addButton(kind);
        head->addWidget(kind);
        m_kinds << kind;
    }
    head->addStretch(1);
    body->addLayout(head);

    // The range's fields.
    auto* fieldsBox = new QGroupBox(QStringLiteral("بيانات المدى"), this);
    auto* grid = new QGridLayout(fieldsBox);
    grid->setHorizontalSpacing(10);
    const auto line = [fieldsBox](const char* name, int maxLength) {
        auto* edit = new QLineEdit(fieldsBox);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setMaxLength(maxLength);
        return edit;
    };
    const auto combo = [fieldsBox](const char* name, const QStringList& items, bool editable) {
        auto* box = new QComboBox(fieldsBox);
        box->setObjectName(QString::fromLatin1(name));
        box->setEditable(editable);
        if (editable)
            box->setInsertPolicy(QComboBox::NoInsert);
        box->addItems(items);
        return box;
    };
    m_option1 = new QRadioButton(QStringLiteral("Male"), fieldsBox);
    m_option1->setObjectName(QStringLiteral("option1"));
    m_option2 = new QRadioButton(QStringLiteral("Female"), fieldsBox);
    m_option2->setObjectName(QStringLiteral("option2"));
    m_sexGroup = new QButtonGroup(this);
    m_sexGroup->addButton(m_option1);
    m_sexGroup->addButton(m_option2);
    m_txt1 = line("Txt1", 12);
    m_txt2 = line("Txt2", 12);
    // The age unit is picked from its list; the empty entry clears it.
    m_comb3 = combo("Comb3", QStringList{QString()} + ReferenceRanges::ageUnits(), false);
    m_txt3 = line("Txt3", 255);
    m_comb2 = combo("Comb2", ReferenceRanges::units(), true);
    m_txt4 = line("Txt4", 20);
    m_txt5 = line("Txt5", 20);
    m_comb4 = combo("Comb4", ReferenceRanges::lowFlags(), true);
    m_comb5 = combo("Comb5", ReferenceRanges::highFlags(), true);
    m_txt6 = line("Txt6", 4000);
    m_txt7 = line("Txt7", 4000);
    m_check1 = new QCheckBox(QStringLiteral("حامل / مدخن"), fieldsBox);
    m_check1->setObjectName(QStringLiteral("Check1"));
    for (QLineEdit* numeric : {m_txt1, m_txt2, m_txt4, m_txt5})
        filterKeys(numeric, QStringLiteral("0123456789."));
    for (QWidget* latin : {static_cast<QWidget*>(m_txt1), static_cast<QWidget*>(m_txt2), static_cast<QWidget*>(m_txt3),
                           static_cast<QWidget*>(m_txt4), static_cast<QWidget*>(m_txt5)})
        latin->setLayoutDirection(Qt::LeftToRight);
    // Units, age units ("Mons.") and flag texts too, their lists with them.
    for (QComboBox* latin : {m_comb2, m_comb3, m_comb4, m_comb5})
        LatinText::keepLeftToRight(latin);

    const auto label = [fieldsBox](const QString& text) { return new QLabel(text, fieldsBox); };
    auto* sexRow = new QHBoxLayout;
    sexRow->addWidget(m_option1);
    sexRow->addWidget(m_option2);
    sexRow->addStretch(1);
    grid->addWidget(label(QStringLiteral("الجنس")), 0, 0);
    grid->addLayout(sexRow, 0, 1);
    grid->addWidget(m_check1, 0, 2, 1, 2);
    grid->addWidget(label(QStringLiteral("العمر من")), 1, 0);
    grid->addWidget(m_txt1, 1, 1);
    grid->addWidget(label(QStringLiteral("إلى")), 1, 2);
    grid->addWidget(m_txt2, 1, 3);
    grid->addWidget(label(QStringLiteral("وحدة العمر")), 1, 4);
    grid->addWidget(m_comb3, 1, 5);
    grid->addWidget(label(QStringLiteral("المعدل الطبيعي")), 2, 0);
    grid->addWidget(m_txt3, 2, 1, 1, 3);
    grid->addWidget(label(QStringLiteral("الوحدة")), 2, 4);
    grid->addWidget(m_comb2, 2, 5);
    grid->addWidget(label(QStringLiteral("الحد الأدنى")), 3, 0);
    grid->addWidget(m_txt4, 3, 1);
    grid->addWidget(label(QStringLiteral("الحد الأعلى")), 3, 2);
    grid->addWidget(m_txt5, 3, 3);
    grid->addWidget(label(QStringLiteral("علامة المنخفض")), 4, 0);
    grid->addWidget(m_comb4, 4, 1);
    grid->addWidget(label(QStringLiteral("علامة المرتفع")), 4, 2);
    grid->addWidget(m_comb5, 4, 3);
    grid->addWidget(label(QStringLiteral("تعليق المنخفض")), 5, 0);
    grid->addWidget(m_txt6, 5, 1, 1, 5);
    grid->addWidget(label(QStringLiteral("تعليق المرتفع")), 6, 0);
    grid->addWidget(m_txt7, 6, 1, 1, 5);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    grid->setColumnStretch(5, 1);
    body->addWidget(fieldsBox);

    auto* buttons = new QHBoxLayout;
    m_cmdAdd = makeButton("cmd_add", QStringLiteral("اضافة"), this);
    m_cmdEdit = makeButton("cmd_edit", QStringLiteral("تعديل"), this);
    m_cmdSave = makeButton("cmd_save", QStringLiteral("حفظ"), this);
    m_cmdDel = makeButton("cmd_del", QStringLiteral("حذف"), this);
    m_cmdCancel = makeButton("cmd_Cancel", QStringLiteral("الغاء"), this);
    for (QPushButton* b : {m_cmdAdd, m_cmdEdit, m_cmdSave, m_cmdDel, m_cmdCancel})
        buttons->addWidget(b);
    buttons->addStretch(1);
    m_lblCount = new QLabel(this);
    m_lblCount->setObjectName(QStringLiteral("Lbl_count"));
    m_lblCount->setLayoutDirection(Qt::LeftToRight);
    buttons->addWidget(m_lblCount);
    body->addLayout(buttons);
    connect(m_cmdAdd, &QPushButton::clicked, this, &RangesWindow::add);
    connect(m_cmdEdit, &QPushButton::clicked, this, &RangesWindow::edit);
    connect(m_cmdSave, &QPushButton::clicked, this, &RangesWindow::save);
    connect(m_cmdDel, &QPushButton::clicked, this, &RangesWindow::remove);
    connect(m_cmdCancel, &QPushButton::clicked, this, &RangesWindow::cancel);

    m_grid = makeGrid(QStringLiteral("DataGrid1"), this);
    body->addWidget(m_grid, 1);
    connect(m_grid, &QTableWidget::itemSelectionChanged, this, &RangesWindow::rowChosen);

    resize(1220, 700);
}

void RangesWindow::relist()
{
    const SqlRun::Rows rows = m_ranges.list(m_opening.testcode);
    fillGrid(m_grid, rows, QStringLiteral("normalid"));
    m_lblCount->setText(ReferenceRanges::countText(rows.records.size()));
}

void RangesWindow::rowChosen()
{
    const int row = m_grid->currentRow();
    if (row < 0)
        return;
    if (const std::optional<RangeFields> f = m_ranges.load(keyAt(m_grid, row), m_opening.kind))
        showFields(*f);
    else
        clearFields();
}

void RangesWindow::setSex(bool male, bool female)
{
    m_sexGroup->setExclusive(false);
    m_option1->setChecked(male);
    m_option2->setChecked(female);
    m_sexGroup->setExclusive(true);
}

void RangesWindow::showFields(const RangeFields& f)
{
    m_normid->setText(f.normid);
    setSex(f.option1, f.option2);
    m_txt1->setText(f.Txt1);
    m_txt2->setText(f.Txt2);
    m_comb3->setCurrentIndex(qMax(0, m_comb3->findText(f.Comb3)));
    m_txt3->setText(f.Txt3);
    m_comb2->setCurrentText(f.Comb2);
    m_txt4->setText(f.Txt4);
    m_txt5->setText(f.Txt5);
    m_comb4->setCurrentText(f.Comb4);
    m_comb5->setCurrentText(f.Comb5);
    m_txt6->setText(f.Txt6);
    m_txt7->setText(f.Txt7);
    m_check1->setChecked(f.Check1);
}

RangeFields RangesWindow::fields() const
{
    RangeFields f;
    f.normid = m_normid->text();
    f.Comb1 = m_opening.testName;
    f.Txt0 = m_txt0->text();
    f.option1 = m_option1->isChecked();
    f.option2 = m_option2->isChecked();
    f.Txt1 = m_txt1->text();
    f.Txt2 = m_txt2->text();
    f.Comb3 = m_comb3->currentText();
    f.Txt3 = m_txt3->text();
    f.Comb2 = m_comb2->currentText();
    f.Txt4 = m_txt4->text();
    f.Txt5 = m_txt5->text();
    f.Comb4 = m_comb4->currentText();
    f.Comb5 = m_comb5->currentText();
    f.Txt6 = m_txt6->text();
    f.Txt7 = m_txt7->text();
    f.Check1 = m_check1->isChecked();
    return f;
}

void RangesWindow::clearFields()
{
    RangeFields empty;
    showFields(empty);
}

void RangesWindow::setEditing(bool editing)
{
    m_grid->setEnabled(!editing);
    m_cmdAdd->setEnabled(!editing);
    m_cmdEdit->setEnabled(!editing);
    m_cmdDel->setEnabled(!editing);
    m_cmdSave->setEnabled(editing);
    m_cmdCancel->setEnabled(editing);
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_txt3, m_txt4, m_txt5, m_txt6, m_txt7, m_comb2, m_comb4, m_comb5, m_check1})
        w->setEnabled(editing);
    const bool sex = editing && RangeKinds::hasSex(m_opening.kind);
    const bool age = editing && RangeKinds::hasAge(m_opening.kind);
    m_option1->setEnabled(sex);
    m_option2->setEnabled(sex);
    for (QWidget* w : std::initializer_list<QWidget*>{m_txt1, m_txt2, m_comb3})
        w->setEnabled(age);
    if (editing && !RangeKinds::hasSex(m_opening.kind))
        setSex(false, false);
}

void RangesWindow::focus(ReferenceRanges::Field field)
{
    switch (field) {
    case ReferenceRanges::Field::Txt1:
        m_txt1->setFocus();
        break;
    case ReferenceRanges::Field::Txt2:
        m_txt2->setFocus();
        break;
    case ReferenceRanges::Field::Comb3:
        m_comb3->setFocus();
        break;
    case ReferenceRanges::Field::Txt4:
        m_txt4->setFocus();
        break;
    case ReferenceRanges::Field::Txt5:
        m_txt5->setFocus();
        break;
    case ReferenceRanges::Field::None:
        break;
    }
}

void RangesWindow::add()
{
    clearFields();
    clearChoice(m_grid);
    setEditing(true);
    m_txt3->setFocus();
}

void RangesWindow::edit()
{
    if (!m_ranges.mayChange(fields()))
        return;
    setEditing(true);
    m_txt3->setFocus();
}

void RangesWindow::save()
{
    const ReferenceRanges::Outcome outcome = m_ranges.save(fields(), m_opening.kind);
    if (!outcome.done) {
        focus(outcome.focus);
        return;
    }
    setEditing(false);
    relist();
    // The range as it is stored now: limits of 0 are no limits.
    if (selectKey(m_grid, outcome.normalid))
        rowChosen();
}

void RangesWindow::remove()
{
    if (!m_ranges.remove(fields()))
        return;
    clearFields();
    relist();
}

void RangesWindow::cancel()
{
    clearChoice(m_grid);
    clearFields();
    setEditing(false);
}
