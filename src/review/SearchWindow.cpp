#include "review/SearchWindow.h"

#include "common/DateFormats.h"
#include "core/AppContext.h"
#include "core/GridTextUi.h"
#include "core/LatinTextUi.h"
#include "core/NavigationWidget.h"
#include "core/WindowCodes.h"
#include "review/SearchMessages.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QDateEdit* datePicker(QWidget* parent, const char* name)
{
    auto* picker = new QDateEdit(parent);
    picker->setObjectName(QLatin1String(name));
    picker->setLayoutDirection(Qt::LeftToRight); // before the format: it orders the sections
    picker->setCalendarPopup(true);
    picker->setLocale(QLocale::c());
    picker->setDisplayFormat(QStringLiteral("dd-MMM-yyyy"));
    return picker;
}

template <typename T> T* named(T* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// The hit list's columns, in the order of the statement's fields.
const char* const hitColumns[] = {"AutoNum", "SampleID", "patientid", "Patientname", "Sex",     "ageN",
                                  "ageU",    "Testdate", "sending",   "testsimp",    "resultt1"};

} // namespace

SearchWindow::SearchWindow(AppContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window), m_context(context),
      m_navigation(new NavigationWidget(context, WindowCode::Search, this))
{
    setObjectName(QStringLiteral("Frm_search"));
    setAttribute(Qt::WA_DeleteOnClose);
    setLayoutDirection(Qt::RightToLeft);
    setWindowTitle(QStringLiteral("البحث عن النتائج"));

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(m_navigation);
    auto* work = new QWidget(this);
    root->addWidget(work, 1);
    auto* layout = new QVBoxLayout(work);
    layout->setContentsMargins(10, 8, 10, 8);

    auto* criteria = new QGroupBox(QStringLiteral("البحث بـ"), work);
    auto* form = new QGridLayout(criteria);
    m_bySample = named(new QRadioButton(QStringLiteral(" Sample ID"), criteria), "Opt_SamID");
    m_byPatient = named(new QRadioButton(QStringLiteral(" Patient ID"), criteria), "Opt_PatID");
    m_byData = named(new QRadioButton(QStringLiteral(" Patient data"), criteria), "Opt_namesex");
    m_byTest = named(new QRadioButton(QStringLiteral(" Test"), criteria), "Opt_testx");
    auto* kinds = new QButtonGroup(this);
    for (QRadioButton* option : {m_bySample, m_byPatient, m_byData, m_byTest})
        kinds->addButton(option);
    m_sampleId = named(new QLineEdit(criteria), "Txt_SampID");
    m_patientId = named(new QLineEdit(criteria), "Txt_PatID");
    m_useName = named(new QCheckBox(QStringLiteral("Names"), criteria), "Chk_name");
    m_name = named(new QLineEdit(criteria), "Txt_Name");
    m_useSex = named(new QCheckBox(QStringLiteral("Gender"), criteria), "Chk_sex");
    m_sex = named(new QComboBox(criteria), "Comb_sex");
    m_sex->addItems({QStringLiteral("Male"), QStringLiteral("Female")});
    m_useDate = named(new QCheckBox(QStringLiteral("Test date"), criteria), "Chk_testdate");
    m_first = datePicker(criteria, "DTPicker1");
    m_last = datePicker(criteria, "DTPicker2");
    m_test = named(new QComboBox(criteria), "Cmb_test");
    m_test->setMinimumWidth(140);
    m_compare = named(new QComboBox(criteria), "Text_RETICS_L");
    // Each entry shows the comparison the search makes: ">" finds values of at least the number.
    // The entry's data is what the search is asked for.
    m_compare->addItem(QString(), QString());
    m_compare->addItem(QStringLiteral("Positive"), QStringLiteral("Positive"));
    m_compare->addItem(QStringLiteral("Negative"), QStringLiteral("Negative"));
    m_compare->addItem(QStringLiteral("≥"), QStringLiteral(">"));
    m_compare->addItem(QStringLiteral("<"), QStringLiteral("<"));
    m_number = named(new QLineEdit(criteria), "Text_RETICS_H");
    m_number->setMaximumWidth(90);
    // Signs, numbers, codes and test names read left to right as they are stored.
    for (QWidget* latin : std::initializer_list<QWidget*>{m_compare, m_number, m_test, m_sampleId, m_patientId})
        LatinText::keepLeftToRight(latin);

    form->addWidget(m_bySample, 0, 0);
    form->addWidget(m_sampleId, 0, 1, 1, 2);
    form->addWidget(m_byPatient, 0, 3);
    form->addWidget(m_patientId, 0, 4, 1, 2);
    form->addWidget(m_byData, 1, 0);
    form->addWidget(m_useName, 1, 1);
    form->addWidget(m_name, 1, 2, 1, 2);
    form->addWidget(m_useSex, 1, 4);
    form->addWidget(m_sex, 1, 5);
    form->addWidget(m_useDate, 2, 1);
    form->addWidget(m_first, 2, 2);
    form->addWidget(new QLabel(QStringLiteral("إلى"), criteria), 2, 3, Qt::AlignCenter);
    form->addWidget(m_last, 2, 4);
    form->addWidget(m_byTest, 3, 0);
    form->addWidget(m_test, 3, 1, 1, 2);
    form->addWidget(m_compare, 3, 3);
    form->addWidget(m_number, 3, 4);
    form->setColumnStretch(6, 1);
    layout->addWidget(criteria);

    auto* bar = new QHBoxLayout;
    auto* find = named(new QPushButton(QStringLiteral("Search"), work), "cmd_search");
    auto* refresh = named(new QPushButton(QStringLiteral("Refresh"), work), "cmd_refresh");
    auto* view = named(new QPushButton(QStringLiteral("View Pat"), work), "Cmd_viewresult");
    auto* all = named(new QPushButton(QStringLiteral("View all"), work), "Cmd_ViewAll");
    auto* back = named(new QPushButton(QStringLiteral("Back"), work), "Cmd_exit");
    for (QPushButton* b : {find, refresh, view, all, back}) {
        b->setAutoDefault(false);
        b->setMinimumHeight(30);
        bar->addWidget(b);
    }
    bar->addStretch(1);
    m_loading = named(new QLabel(QStringLiteral("جاري البحث ..."), work), "Frame_load");
    m_loading->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold;"));
    m_loading->hide();
    bar->addWidget(m_loading);
    bar->addWidget(new QLabel(QStringLiteral("عدد النتائج:"), work));
    m_count = named(new QLabel(QStringLiteral("0"), work), "Lab_patient_no");
    QFont bold = m_count->font();
    bold.setBold(true);
    m_count->setFont(bold);
    m_count->setMinimumWidth(50);
    bar->addWidget(m_count);
    layout->addLayout(bar);

    m_grid = named(new QTableWidget(0, int(std::size(hitColumns)), work), "DGd_patientname");
    QStringList headers;
    for (const char* column : hitColumns)
        headers.append(QLatin1String(column));
    m_grid->setHorizontalHeaderLabels(headers);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->verticalHeader()->hide();
    m_grid->setItemDelegate(new CellDirectionDelegate(m_grid));
    m_grid->setColumnHidden(0, true);
    m_grid->horizontalHeader()->setStretchLastSection(true);
    m_grid->setColumnWidth(1, 130);
    m_grid->setColumnWidth(2, 130);
    m_grid->setColumnWidth(3, 240);
    m_grid->setColumnWidth(7, 110);
    layout->addWidget(m_grid, 1);

    connect(kinds, &QButtonGroup::buttonClicked, this, [this] { chooseKind(); });
    for (QCheckBox* box : {m_useName, m_useSex, m_useDate}) {
        connect(box, &QCheckBox::clicked, this, [this, box](bool on) {
            chooseKind();
            if (!on)
                return;
            if (box == m_useName)
                m_name->setFocus();
            else if (box == m_useSex)
                m_sex->setFocus();
            else
                m_first->setFocus();
        });
    }
    for (QLineEdit* box : {m_sampleId, m_patientId, m_name})
        connect(box, &QLineEdit::returnPressed, this, &SearchWindow::search);
    connect(find, &QPushButton::clicked, this, &SearchWindow::search);
    connect(refresh, &QPushButton::clicked, this, &SearchWindow::reset);
    connect(view, &QPushButton::clicked, this, &SearchWindow::viewHit);
    connect(m_grid, &QTableWidget::cellDoubleClicked, this, &SearchWindow::viewHit);
    connect(all, &QPushButton::clicked, this, &SearchWindow::viewAll);
    connect(back, &QPushButton::clicked, this, [this] {
        emit backRequested();
        close();
    });

    resize(1000, 640);
    m_navigation->windowLoaded();
    reset();
    QTimer::singleShot(0, this, &SearchWindow::fillTests);
}

void SearchWindow::fillTests()
{
    m_test->clear();
    m_test->addItems(ResultSearch::testNames(m_context));
    m_test->setCurrentIndex(-1);
}

void SearchWindow::reset()
{
    showHits({});
    m_byData->setChecked(true);
    m_useName->setChecked(true);
    m_useSex->setChecked(false);
    m_useDate->setChecked(false);
    m_sampleId->clear();
    m_patientId->clear();
    m_name->clear();
    m_first->setDate(m_context.clock().today());
    m_last->setDate(m_context.clock().today());
    chooseKind();
    m_name->setFocus();
}

void SearchWindow::chooseKind()
{
    const bool sample = m_bySample->isChecked();
    const bool patient = m_byPatient->isChecked();
    const bool data = m_byData->isChecked();
    const bool test = m_byTest->isChecked();
    // The inputs of the other kinds are emptied and switched off.
    if (!sample)
        m_sampleId->clear();
    if (!patient)
        m_patientId->clear();
    if (!data) {
        m_name->clear();
        m_useName->setChecked(false);
        m_useSex->setChecked(false);
        m_useDate->setChecked(false);
    }
    if (!test) {
        m_test->setCurrentIndex(-1);
        m_compare->setCurrentIndex(0);
        m_number->clear();
    }
    m_sampleId->setEnabled(sample);
    m_patientId->setEnabled(patient);
    for (QWidget* w :
         {static_cast<QWidget*>(m_useName), static_cast<QWidget*>(m_useSex), static_cast<QWidget*>(m_useDate)})
        w->setEnabled(data);
    m_name->setEnabled(data && m_useName->isChecked());
    m_sex->setEnabled(data && m_useSex->isChecked());
    m_first->setEnabled(data && m_useDate->isChecked());
    m_last->setEnabled(data && m_useDate->isChecked());
    m_test->setEnabled(test);
    m_compare->setEnabled(test);
    m_number->setEnabled(test);
    if (sample)
        m_sampleId->setFocus();
    else if (patient)
        m_patientId->setFocus();
    else if (test)
        m_test->setFocus();
}

ResultSearch::Request SearchWindow::request() const
{
    ResultSearch::Request r;
    r.kind = m_bySample->isChecked()    ? ResultSearch::Kind::SampleId
             : m_byPatient->isChecked() ? ResultSearch::Kind::PatientId
             : m_byTest->isChecked()    ? ResultSearch::Kind::Test
                                        : ResultSearch::Kind::PatientData;
    r.sampleId = m_sampleId->text().trimmed();
    r.patientId = m_patientId->text().trimmed();
    r.byName = m_useName->isChecked();
    r.name = m_name->text().trimmed();
    r.bySex = m_useSex->isChecked();
    r.sex = m_sex->currentText();
    r.byDate = m_useDate->isChecked();
    r.first = m_first->date();
    r.last = m_last->date();
    r.test = m_test->currentText();
    r.compare = m_compare->currentData().toString();
    r.number = m_number->text();
    return r;
}

void SearchWindow::search()
{
    const ResultSearch::Request asked = request();
    m_loading->show();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    const ResultSearch::Outcome outcome = ResultSearch::search(m_context, asked);
    m_loading->hide();
    switch (outcome.state) {
    case ResultSearch::Outcome::State::Refused:
        if (outcome.clearsGrid)
            showHits({});
        if (!outcome.warning.isEmpty())
            m_context.dialogs().warning(SearchMessages::title, outcome.warning);
        return;
    case ResultSearch::Outcome::State::NothingToRun:
        showHits({});
        return;
    case ResultSearch::Outcome::State::Failed:
    case ResultSearch::Outcome::State::Ran:
        showHits(outcome.hits);
        return;
    }
}

void SearchWindow::showHits(const QList<ResultSearch::Hit>& hits)
{
    m_hits = hits;
    m_grid->setRowCount(0);
    m_grid->setRowCount(int(hits.size()));
    for (int i = 0; i < hits.size(); ++i) {
        const ResultSearch::Hit& h = hits[i];
        const QStringList texts{QString::number(h.autoNum),
                                h.sampleId,
                                h.patientId,
                                h.patientName,
                                h.sex,
                                h.ageN,
                                h.ageU,
                                h.testDate.isValid() ? DateFormats::dayMonthYear(h.testDate) : QString(),
                                h.sending ? QStringLiteral("True") : QStringLiteral("False"),
                                h.test,
                                h.value};
        for (int c = 0; c < texts.size(); ++c)
            m_grid->setItem(i, c, new QTableWidgetItem(texts[c]));
    }
    m_count->setText(ResultSearch::countText(int(hits.size())));
    if (!hits.isEmpty())
        m_grid->setCurrentCell(0, 1);
}

void SearchWindow::viewHit()
{
    const int row = m_grid->currentRow();
    if (m_hits.isEmpty() || row < 0 || row >= m_hits.size()) {
        m_context.dialogs().warning(SearchMessages::title, SearchMessages::noHitSelected);
        return;
    }
    emit hitChosen(m_hits[row]);
    close();
}

void SearchWindow::viewAll()
{
    if (m_hits.isEmpty()) {
        m_context.dialogs().warning(SearchMessages::title, SearchMessages::noHits);
        return;
    }
    emit allHitsChosen(m_hits);
    close();
}
