#include "review/ResultEditorWindow.h"

#include "common/DateFormats.h"
#include "common/Numbers.h"
#include "core/AppContext.h"
#include "core/ColourRef.h"
#include "core/Grants.h"
#include "core/NavigationWidget.h"
#include "core/WindowCodes.h"
#include "review/EditorMessages.h"
#include "review/LisWorklistWidget.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace {

template <typename T> T* named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QDateEdit* datePicker(QWidget* parent, const char* name)
{
    auto* picker = named(new QDateEdit(parent), name);
    picker->setLayoutDirection(Qt::LeftToRight);
    picker->setCalendarPopup(true);
    picker->setLocale(QLocale::c());
    picker->setDisplayFormat(QStringLiteral("dd-MMM-yyyy"));
    return picker;
}

QComboBox* editableList(QWidget* parent, const char* name, const QStringList& items)
{
    auto* box = named(new QComboBox(parent), name);
    box->setEditable(true);
    box->addItems(items);
    box->setCurrentIndex(-1);
    return box;
}

void setListText(QComboBox* box, const QString& text)
{
    const int at = box->findText(text);
    box->setCurrentIndex(at);
    if (box->isEditable())
        box->setEditText(text);
}

// The hidden fields, by the editor's names, and where each lives in the fields.
struct HiddenField
{
    const char* name;
    QString ResultEdit::Fields::*field;
};
const HiddenField hiddenFields[] = {
    {"Txt_shortAssay", &ResultEdit::Fields::Txt_shortAssay},
    {"Txt_CODE", &ResultEdit::Fields::Txt_CODE},
    {"Txt_CRVTESTCODE", &ResultEdit::Fields::Txt_CRVTESTCODE},
    {"Txt_REFRANGE", &ResultEdit::Fields::Txt_REFRANGE},
    {"Txt_testabrev", &ResultEdit::Fields::Txt_testabrev},
    {"Txt_subgroupname", &ResultEdit::Fields::Txt_subgroupname},
    {"Txt_TEST_min", &ResultEdit::Fields::Txt_TEST_min},
    {"Txt_TEST_max", &ResultEdit::Fields::Txt_TEST_max},
    {"Txt_TEST_minEX", &ResultEdit::Fields::Txt_TEST_minEX},
    {"Txt_TEST_maxEX", &ResultEdit::Fields::Txt_TEST_maxEX},
    {"Txt_TESTUNIT", &ResultEdit::Fields::Txt_TESTUNIT},
    {"Txt_TESTNOTRMAL", &ResultEdit::Fields::Txt_TESTNOTRMAL},
    {"Txt_LOWCOMMENT", &ResultEdit::Fields::Txt_LOWCOMMENT},
    {"Txt_HIGHCOMMENT", &ResultEdit::Fields::Txt_HIGHCOMMENT},
};

} // namespace

ResultEditorWindow::~ResultEditorWindow()
{
    // The window's own widgets still change focus while they go; this object is gone by then.
    disconnect(qApp, nullptr, this, nullptr);
}

ResultEditorWindow::ResultEditorWindow(AppContext& context, qint64 autoNum, QWidget* parent)
    : QWidget(parent, Qt::Window), m_context(context),
      m_navigation(new NavigationWidget(context, WindowCode::ResultEditor, this))
{
    setObjectName(QStringLiteral("Frm_editresult"));
    setAttribute(Qt::WA_DeleteOnClose);
    setLayoutDirection(Qt::RightToLeft);
    setWindowTitle(QStringLiteral("تعديل النتيجة"));
    build();
    applyGrants();
    m_navigation->windowLoaded();
    load(autoNum);
}

void ResultEditorWindow::build()
{
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(m_navigation);
    auto* work = new QWidget(this);
    root->addWidget(work, 1);
    auto* layout = new QVBoxLayout(work);
    layout->setContentsMargins(10, 8, 10, 8);

    m_info = named(new QWidget(work), "Frm_info");
    auto* infoLayout = new QVBoxLayout(m_info);
    infoLayout->setContentsMargins(0, 0, 0, 0);

    auto* patient = new QGroupBox(QStringLiteral("بيانات المريض"), m_info);
    auto* p = new QGridLayout(patient);
    m_sampleId = named(new QLineEdit(patient), "LblSampID");
    m_patientId = named(new QLineEdit(patient), "LblPatID");
    m_patientId->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this));
    m_patientSefa = editableList(patient, "Cmb_patientsefa",
                                 {QStringLiteral("السيد/ "), QStringLiteral("السيدة/ "), QStringLiteral("الآنسة/ "),
                                  QStringLiteral("الطفل/ "), QStringLiteral("الطفلة/ ")});
    m_patientName = named(new QLineEdit(patient), "LblPatName");
    // The suggestion lists float over the form below their field, so the form never moves.
    m_nameList = named(new QListWidget(this), "LblPatNameX");
    m_visits = named(new QLabel(QStringLiteral("0"), patient), "Lbl_visitno");
    m_sex = named(new QComboBox(patient), "Cmb_sex");
    m_sex->addItems({QStringLiteral("Male"), QStringLiteral("Female")});
    m_sex->setCurrentIndex(-1);
    m_ageN = named(new QLineEdit(patient), "LblAgeN");
    m_ageN->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[.0-9]*")), this));
    m_ageN->setMaximumWidth(70);
    m_ageU = named(new QComboBox(patient), "Cmb_AgeU");
    m_ageU->addItems({QStringLiteral("Days"), QStringLiteral("Mons."), QStringLiteral("Years")});
    m_ageU->setCurrentIndex(-1);
    m_drSefa = editableList(patient, "Cmb_drsefa",
                            {EditorMessages::defaultDoctorTitle, QStringLiteral("د/ "), QStringLiteral("أ.د/ ")});
    m_docName = named(new QLineEdit(patient), "LblDocName");
    m_doctorList = named(new QListWidget(this), "LblDocNameX");
    m_testDate = datePicker(patient, "DTPicker_testdate");
    m_testTime = named(new QLineEdit(patient), "LblTestTime");
    m_testTime->setMaximumWidth(100);
    m_pregnant = named(new QCheckBox(QStringLiteral("Pregnant"), patient), "Chk_pregsmok");
    for (QListWidget* list : {m_nameList, m_doctorList}) {
        list->hide();
        list->setMaximumHeight(130);
    }
    p->addWidget(new QLabel(QStringLiteral("رقم العينة"), patient), 0, 0);
    p->addWidget(m_sampleId, 0, 1);
    p->addWidget(new QLabel(QStringLiteral("رقم المريض"), patient), 0, 2);
    p->addWidget(m_patientId, 0, 3, 1, 2);
    p->addWidget(new QLabel(QStringLiteral("اسم المريض"), patient), 1, 0);
    p->addWidget(m_patientSefa, 1, 1);
    p->addWidget(m_patientName, 1, 2, 1, 3);
    p->addWidget(new QLabel(QStringLiteral("عدد الزيارات"), patient), 1, 5);
    p->addWidget(m_visits, 1, 6);
    p->addWidget(new QLabel(QStringLiteral("الجنس"), patient), 3, 0);
    p->addWidget(m_sex, 3, 1);
    p->addWidget(new QLabel(QStringLiteral("السن"), patient), 3, 2);
    p->addWidget(m_ageN, 3, 3);
    p->addWidget(m_ageU, 3, 4);
    p->addWidget(m_pregnant, 3, 5, 1, 2);
    p->addWidget(new QLabel(QStringLiteral("الطبيب"), patient), 4, 0);
    p->addWidget(m_drSefa, 4, 1);
    p->addWidget(m_docName, 4, 2, 1, 3);
    p->addWidget(new QLabel(QStringLiteral("تاريخ التحليل"), patient), 6, 0);
    p->addWidget(m_testDate, 6, 1);
    p->addWidget(new QLabel(QStringLiteral("الوقت"), patient), 6, 2);
    p->addWidget(m_testTime, 6, 3);
    for (QWidget* w :
         {static_cast<QWidget*>(m_patientSefa), static_cast<QWidget*>(m_sex), static_cast<QWidget*>(m_drSefa),
          static_cast<QWidget*>(m_testDate), static_cast<QWidget*>(m_sampleId)})
        w->setMaximumWidth(170);
    p->setColumnStretch(2, 1);
    p->setColumnStretch(3, 1);
    infoLayout->addWidget(patient);

    auto* result = new QGroupBox(QStringLiteral("النتيجة"), m_info);
    auto* r = new QGridLayout(result);
    m_testName = named(new QLabel(result), "Txt_TEST_C");
    QFont bold = m_testName->font();
    bold.setBold(true);
    m_testName->setFont(bold);
    m_assayLabel = named(new QLabel(QStringLiteral("اختر التحليل"), result), "Lbl_Assyname");
    m_assay = named(new QComboBox(result), "Cmb_Assyname");
    m_assayLabel->hide();
    m_assay->hide();
    m_value = named(new QLineEdit(result), "Txt_TEST_R");
    m_unit = named(new QLineEdit(result), "Txt_TEST_U");
    m_unit->setMaximumWidth(170);
    m_flag = named(new QLineEdit(result), "Txt_TEST_F");
    m_flag->setMaximumWidth(70);
    m_range = named(new QLineEdit(result), "Txt_TEST_N");
    m_instrument = named(new QLineEdit(result), "Txt_instrument");
    m_instrument->setReadOnly(true);
    for (QLineEdit* e : {m_value, m_unit, m_flag, m_range, m_sampleId, m_patientId, m_ageN, m_testTime, m_instrument})
        e->setLayoutDirection(Qt::LeftToRight);
    m_comment = named(new QPlainTextEdit(result), "txt_comment");
    m_comment->setMaximumHeight(80);
    m_comments = named(new QListWidget(result), "Cmb_comment");
    m_comments->setMaximumHeight(110);
    m_comments->hide();
    r->addWidget(new QLabel(QStringLiteral("التحليل"), result), 0, 0);
    r->addWidget(m_testName, 0, 1, 1, 3);
    r->addWidget(m_assayLabel, 1, 0);
    r->addWidget(m_assay, 1, 1, 1, 3);
    r->addWidget(new QLabel(QStringLiteral("النتيجة"), result), 2, 0);
    r->addWidget(m_value, 2, 1);
    r->addWidget(new QLabel(QStringLiteral("الوحدة"), result), 2, 2);
    r->addWidget(m_unit, 2, 3);
    r->addWidget(new QLabel(QStringLiteral("العلامة"), result), 3, 0);
    r->addWidget(m_flag, 3, 1);
    r->addWidget(new QLabel(QStringLiteral("المعدل الطبيعي"), result), 3, 2);
    r->addWidget(m_range, 3, 3);
    r->addWidget(new QLabel(QStringLiteral("تعليق"), result), 4, 0);
    r->addWidget(m_comment, 4, 1, 1, 3);
    r->addWidget(m_comments, 5, 1, 1, 3);
    r->addWidget(new QLabel(QStringLiteral("الجهاز"), result), 6, 0);
    r->addWidget(m_instrument, 6, 1, 1, 3);
    r->setColumnStretch(3, 1);
    infoLayout->addWidget(result);

    // The fields the editor keeps without showing them.
    auto* autoId = named(new QLineEdit(m_info), "Txt_AUTOID");
    m_hidden.append(autoId);
    for (const HiddenField& h : hiddenFields)
        m_hidden.append(named(new QLineEdit(m_info), h.name));
    for (QLineEdit* e : m_hidden) {
        e->hide();
        e->setReadOnly(true);
    }
    layout->addWidget(m_info);

    auto* bar = new QHBoxLayout;
    m_buttons = named(new QWidget(work), "Frm_buttons");
    auto* buttons = new QHBoxLayout(m_buttons);
    buttons->setContentsMargins(0, 0, 0, 0);
    m_save = named(new QPushButton(QStringLiteral("Save"), m_buttons), "cmd_save");
    m_cancel = named(new QPushButton(QStringLiteral("Cancel"), m_buttons), "cmd_Cancel");
    m_commentButton = named(new QPushButton(QStringLiteral("Comment."), m_buttons), "cmd_comment");
    m_history = named(new QPushButton(QStringLiteral("History"), m_buttons), "cmd_History");
    m_changes = named(new QPushButton(QStringLiteral("سجل التعديلات"), m_buttons), "cmd_changes");
    for (QPushButton* b : {m_save, m_cancel, m_commentButton, m_history, m_changes}) {
        b->setAutoDefault(false);
        b->setMinimumHeight(30);
        buttons->addWidget(b);
    }
    bar->addWidget(m_buttons);
    bar->addStretch(1);
    m_crvData = named(new QPushButton(QStringLiteral("From CRV"), work), "cmd_CRVdata");
    m_crvData->setMinimumHeight(30);
    m_crvData->setAutoDefault(false);
    bar->addWidget(m_crvData);
    layout->addLayout(bar);

    m_panel = new LisWorklistWidget(m_context, "DTPickersersh", work);
    auto* ok = named(new QPushButton(QStringLiteral("Ok"), m_panel), "cmd_crvokget");
    auto* cancelGet = named(new QPushButton(QStringLiteral("Cancel"), m_panel), "cmd_cancelcrvget");
    m_panel->bar()->addWidget(ok);
    m_panel->bar()->addWidget(cancelGet);
    m_panel->bar()->addStretch(1);
    m_panel->hide();
    layout->addWidget(m_panel, 1);
    layout->addStretch(0);

    // Input aids: the keyboard layout per field, Enter moving on, the suggestion lists.
    for (QWidget* w :
         {static_cast<QWidget*>(m_patientName), static_cast<QWidget*>(m_docName), static_cast<QWidget*>(m_sampleId),
          static_cast<QWidget*>(m_patientId), static_cast<QWidget*>(m_ageN), static_cast<QWidget*>(m_testTime),
          static_cast<QWidget*>(m_comment), static_cast<QWidget*>(m_nameList), static_cast<QWidget*>(m_doctorList),
          static_cast<QWidget*>(m_comments), m_comment->viewport(), static_cast<QWidget*>(m_range)})
        w->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        if (old == m_patientName && now != m_nameList)
            updateVisits();
        if (now && now != m_patientName && now != m_nameList)
            m_nameList->hide();
        if (now && now != m_docName && now != m_doctorList)
            m_doctorList->hide();
        if (old == m_comments && now != m_comments)
            m_comments->hide();
    });
    connect(m_patientName, &QLineEdit::textEdited, this, [this] {
        if (m_nameList->isVisible())
            showSuggestions(false);
    });
    connect(m_docName, &QLineEdit::textEdited, this, [this] {
        if (m_doctorList->isVisible())
            showSuggestions(true);
    });
    connect(m_nameList, &QListWidget::itemClicked, this, [this] { takeSuggestion(false); });
    connect(m_doctorList, &QListWidget::itemClicked, this, [this] { takeSuggestion(true); });

    connect(m_value, &QLineEdit::textChanged, this, [this] {
        if (!m_filling)
            reflag();
    });
    connect(m_sex, &QComboBox::currentIndexChanged, this, &ResultEditorWindow::patientDataChanged);
    connect(m_ageU, &QComboBox::currentIndexChanged, this, &ResultEditorWindow::patientDataChanged);
    connect(m_ageN, &QLineEdit::textChanged, this, &ResultEditorWindow::patientDataChanged);
    connect(m_pregnant, &QCheckBox::clicked, this, &ResultEditorWindow::patientDataChanged);
    connect(m_assay, &QComboBox::activated, this, [this](int at) { chooseAssay(m_assay->itemText(at)); });
    connect(m_comments, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        QString text = m_comment->toPlainText();
        if (!text.isEmpty())
            text += QLatin1Char('\n');
        m_comment->setPlainText(text + item->text());
    });

    connect(m_save, &QPushButton::clicked, this, &ResultEditorWindow::save);
    connect(m_cancel, &QPushButton::clicked, this, &ResultEditorWindow::cancel);
    connect(m_commentButton, &QPushButton::clicked, this, &ResultEditorWindow::offerComments);
    connect(m_history, &QPushButton::clicked, this,
            [this] { m_context.dialogs().warning(EditorMessages::historyTitle, EditorMessages::historyText); });
    connect(m_changes, &QPushButton::clicked, this, &ResultEditorWindow::showChanges);
    connect(m_crvData, &QPushButton::clicked, this, &ResultEditorWindow::toggleLisPanel);
    connect(ok, &QPushButton::clicked, this, &ResultEditorWindow::takeWorklistRow);
    connect(cancelGet, &QPushButton::clicked, this, &ResultEditorWindow::cancelWorklist);
    connect(m_panel, &LisWorklistWidget::rowActivated, this, [this] { takeWorklistRow(); });
    connect(m_panel, &LisWorklistWidget::loadFailed, this, [this] { setPanelMode(false); });
    resize(900, 640);
}

void ResultEditorWindow::applyGrants()
{
    const CurrentUser& user = m_context.currentUser;
    const bool patient = hasGrant(user, Grant::Grant1);
    for (QWidget* w :
         {static_cast<QWidget*>(m_sampleId), static_cast<QWidget*>(m_patientId), static_cast<QWidget*>(m_patientName),
          static_cast<QWidget*>(m_ageN), static_cast<QWidget*>(m_ageU), static_cast<QWidget*>(m_testTime),
          static_cast<QWidget*>(m_sex), static_cast<QWidget*>(m_docName), static_cast<QWidget*>(m_patientSefa),
          static_cast<QWidget*>(m_drSefa), static_cast<QWidget*>(m_testDate)})
        w->setEnabled(patient);
    // These re-run the range look-up and so change the flag: they need the result grant too.
    const bool rangeFields = ResultEdit::mayChangeRangeFields(user);
    for (QWidget* w : {static_cast<QWidget*>(m_sex), static_cast<QWidget*>(m_ageN), static_cast<QWidget*>(m_ageU),
                       static_cast<QWidget*>(m_pregnant)})
        w->setEnabled(rangeFields);
    const bool result = hasGrant(user, Grant::Grant2);
    for (QWidget* w : {static_cast<QWidget*>(m_commentButton), static_cast<QWidget*>(m_testName),
                       static_cast<QWidget*>(m_assay), static_cast<QWidget*>(m_value), static_cast<QWidget*>(m_unit),
                       static_cast<QWidget*>(m_flag), static_cast<QWidget*>(m_range)})
        w->setEnabled(result);
}

void ResultEditorWindow::load(qint64 autoNum)
{
    m_fields.Txt_AUTOID = autoNum;
    m_fields.DTPicker_testdate = m_context.clock().today();
    const ResultEdit::LoadOutcome loaded = ResultEdit::load(m_context, autoNum, m_fields);
    m_loaded = m_fields;
    showFields();
    if (loaded == ResultEdit::LoadOutcome::Gone) {
        m_context.dialogs().warning(EditorMessages::goneTitle, EditorMessages::goneText);
        m_save->setEnabled(false);
        return;
    }
    if (ResultEdit::isAmbiguous(m_fields.Txt_TEST_C)) {
        m_assayLabel->show();
        m_assay->show();
        m_assay->addItems(ResultEdit::assayChoices(m_context, m_fields.Txt_shortAssay));
        m_assay->setCurrentIndex(-1);
    }
    m_visits->setText(QString::number(ResultEdit::visits(m_context, m_fields.LblPatName)));
    // The stored flag is shown as it is; its colour follows it.
    ResultEdit::Fields shown = m_fields;
    const Flagging::Shade shade = ResultEdit::reflag(shown, false);
    showShade(m_fields.Txt_TEST_F.isEmpty() || m_fields.Txt_TEST_R.isEmpty() ? shade : Flagging::Shade::Flagged);
}

void ResultEditorWindow::showFields()
{
    m_filling = true;
    const ResultEdit::Fields& f = m_fields;
    m_hidden[0]->setText(QString::number(f.Txt_AUTOID));
    for (std::size_t i = 0; i < std::size(hiddenFields); ++i)
        m_hidden[static_cast<qsizetype>(i) + 1]->setText(f.*(hiddenFields[i].field));
    m_sampleId->setText(f.LblSampID);
    m_patientId->setText(f.LblPatID);
    setListText(m_patientSefa, f.Cmb_patientsefa);
    m_patientName->setText(f.LblPatName);
    setListText(m_sex, f.Cmb_sex);
    m_ageN->setText(f.LblAgeN);
    setListText(m_ageU, f.Cmb_AgeU);
    setListText(m_drSefa, f.Cmb_drsefa);
    m_docName->setText(f.LblDocName);
    if (f.DTPicker_testdate.isValid())
        m_testDate->setDate(f.DTPicker_testdate);
    m_testTime->setText(f.LblTestTime);
    m_pregnant->setChecked(f.Chk_pregsmok);
    m_testName->setText(f.Txt_TEST_C);
    m_value->setText(f.Txt_TEST_R);
    m_unit->setText(f.Txt_TEST_U);
    m_flag->setText(f.Txt_TEST_F);
    m_range->setText(f.Txt_TEST_N);
    m_instrument->setText(f.Txt_instrument);
    if (m_comment->toPlainText() != f.txt_comment)
        m_comment->setPlainText(f.txt_comment);
    m_filling = false;
}

void ResultEditorWindow::collect()
{
    ResultEdit::Fields& f = m_fields;
    f.LblSampID = m_sampleId->text();
    f.LblPatID = m_patientId->text();
    f.Cmb_patientsefa = m_patientSefa->currentText();
    f.LblPatName = m_patientName->text();
    f.Cmb_sex = m_sex->currentText();
    f.LblAgeN = m_ageN->text();
    f.Cmb_AgeU = m_ageU->currentText();
    f.Cmb_drsefa = m_drSefa->currentText();
    f.LblDocName = m_docName->text();
    f.DTPicker_testdate = m_testDate->date();
    f.LblTestTime = m_testTime->text();
    f.Chk_pregsmok = m_pregnant->isChecked();
    f.Txt_TEST_R = m_value->text();
    f.Txt_TEST_U = m_unit->text();
    f.Txt_TEST_F = m_flag->text();
    f.Txt_TEST_N = m_range->text();
    f.txt_comment = m_comment->toPlainText();
}

void ResultEditorWindow::showShade(Flagging::Shade shade)
{
    const QColor background = Flagging::background(shade);
    m_value->setStyleSheet(QStringLiteral("QLineEdit { background: %1; }").arg(background.name()));
    m_flag->setStyleSheet(
        shade == Flagging::Shade::Flagged
            ? QStringLiteral("QLineEdit { color: %1; font-weight: bold; }").arg(Flagging::flagColour().name())
            : QString());
}

void ResultEditorWindow::reflag()
{
    collect();
    const Flagging::Shade shade = ResultEdit::reflag(m_fields, m_context.settings.autoComment == 1);
    showFields();
    showShade(shade);
}

// A change of the patient's sex, age or pregnancy state looks the range up again, so that the flag
// follows the patient; a result without a catalogue test keeps the range it was stored with, and
// a user without the result grant cannot change the flag this way (a take-over keeps the range).
void ResultEditorWindow::patientDataChanged()
{
    if (m_filling)
        return;
    collect();
    if (Numbers::toNumber(m_fields.Txt_CODE) != 0.0 && ResultEdit::mayLookUpRangeAgain(m_context.currentUser))
        m_rangeLookupArmed = true;
    lookUpRange();
}

void ResultEditorWindow::lookUpRange()
{
    if (!m_rangeLookupArmed)
        return;
    m_rangeLookupArmed = false;
    collect();
    ResultEdit::lookUpRange(m_context, m_fields);
    showFields();
    reflag();
}

void ResultEditorWindow::chooseAssay(const QString& testName)
{
    collect();
    if (!ResultEdit::takeCatalogueTest(m_context, testName, m_fields))
        return;
    showFields();
    m_rangeLookupArmed = true;
    lookUpRange();
}

void ResultEditorWindow::offerComments()
{
    collect();
    const QStringList comments = ResultEdit::libraryComments(m_context, m_fields.Txt_CODE);
    if (comments.isEmpty())
        return;
    m_comments->clear();
    m_comments->addItems(comments);
    m_comments->show();
    m_comments->setFocus();
}

void ResultEditorWindow::save()
{
    collect();
    if (!ResultEdit::ageAccepted(m_fields.LblAgeN, m_fields.Cmb_AgeU)) {
        m_context.dialogs().warning(EditorMessages::ageTitle, EditorMessages::ageText);
        m_ageN->setFocus();
        return;
    }
    const ResultEdit::SaveOutcome out = ResultEdit::save(m_context, m_fields, m_context.clock().now());
    switch (out.state) {
    case ResultEdit::SaveState::Gone:
        m_context.dialogs().warning(EditorMessages::goneTitle, EditorMessages::goneText);
        return;
    case ResultEdit::SaveState::Failed:
        m_context.dialogs().error(EditorMessages::saveFailedTitle,
                                  EditorMessages::saveFailedText + QStringLiteral("\n") + out.error);
        return;
    case ResultEdit::SaveState::Conflict:
        showConflict(out.changes);
        return;
    case ResultEdit::SaveState::Saved:
        break;
    }
    done(true);
}

// The row changed under the editor: say what, who and when, then show the row as it is now with
// what the user typed kept on top, so that a second Save is an informed one.
void ResultEditorWindow::showConflict(const QList<RowVersion::Change>& changes)
{
    m_context.dialogs().warning(EditorMessages::conflictTitle, EditorMessages::conflictText + QLatin1Char('\n') +
                                                                   RowVersion::describe(changes) + QLatin1Char('\n') +
                                                                   EditorMessages::conflictAfter);
    ResultEdit::Fields fresh;
    fresh.DTPicker_testdate = m_context.clock().today();
    switch (ResultEdit::load(m_context, m_fields.Txt_AUTOID, fresh)) {
    case ResultEdit::LoadOutcome::Loaded:
        break;
    case ResultEdit::LoadOutcome::Gone:
        m_context.dialogs().warning(EditorMessages::goneTitle, EditorMessages::goneText);
        m_save->setEnabled(false);
        return;
    case ResultEdit::LoadOutcome::Failed:
        return;
    }
    m_fields = ResultEdit::mergeTyped(m_loaded, m_fields, fresh);
    m_loaded = fresh;
    showFields();
    ResultEdit::Fields shown = m_fields;
    const Flagging::Shade shade = ResultEdit::reflag(shown, false);
    showShade(m_fields.Txt_TEST_F.isEmpty() || m_fields.Txt_TEST_R.isEmpty() ? shade : Flagging::Shade::Flagged);
}

void ResultEditorWindow::cancel()
{
    done(false);
}

void ResultEditorWindow::done(bool saved)
{
    if (m_done)
        return;
    m_done = true;
    emit finished(saved, m_fields);
    close();
}
