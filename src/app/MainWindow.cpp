#include "app/MainWindow.h"

#include "app/WorklistMessages.h"
#include "common/DateFormats.h"
#include "common/Numbers.h"
#include "config/IniFile.h"
#include "core/AppContext.h"
#include "core/ColourRef.h"
#include "core/Grants.h"
#include "core/GridTextUi.h"
#include "core/NavigationWidget.h"
#include "core/WindowCodes.h"
#include "reports/ReportCommandsUi.h"
#include "review/LisWorklistWidget.h"
#include "review/ResultSearch.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

// Sizes are given in twips; the screen has 15 to the pixel at the usual 96 dots per inch.
constexpr int px(int twips)
{
    return twips / 15;
}

constexpr int headerGrey = 0x808080;
constexpr int patientCellColour = 0xC0E0FF;
constexpr int resultRowTwips = 855;

struct Column
{
    const char* header;
    int twips;
    Qt::Alignment align;
};

QTableWidget* makeGrid(QWidget* parent, const char* name, std::initializer_list<Column> columns)
{
    auto* grid = new QTableWidget(0, int(columns.size()), parent);
    grid->setObjectName(QLatin1String(name));
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->verticalHeader()->hide();
    grid->setItemDelegate(new CellDirectionDelegate(grid));
    grid->horizontalHeader()->setFixedHeight(px(300));
    grid->horizontalHeader()->setStyleSheet(
        QStringLiteral("QHeaderView::section { background-color: %1; color: white; border: 1px solid #a0a0a0; }")
            .arg(fromColourRef(headerGrey).name()));
    int i = 0;
    for (const Column& c : columns) {
        auto* item = new QTableWidgetItem(QString::fromUtf8(c.header));
        item->setTextAlignment(c.align | Qt::AlignVCenter);
        grid->setHorizontalHeaderItem(i, item);
        if (c.twips == 0)
            grid->setColumnHidden(i, true);
        else // at least as wide as a 13-digit identifier in this font
            grid->setColumnWidth(
                i, std::max(px(c.twips),
                            std::min(grid->fontMetrics().horizontalAdvance(QStringLiteral("0000000000000")) + 16,
                                     px(c.twips) * 3 / 2)));
        ++i;
    }
    return grid;
}

QTableWidgetItem* cell(const QString& text, Qt::Alignment align, int background = -1, int foreground = -1)
{
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(align | Qt::AlignVCenter);
    if (background >= 0)
        item->setBackground(fromColourRef(background));
    if (foreground >= 0)
        item->setForeground(fromColourRef(foreground));
    return item;
}

QLabel* headerValue(QWidget* parent, const char* name)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setMinimumWidth(80);
    // Identifiers and dates as well as names start at the right edge of their place.
    label->setAlignment(Qt::AlignRight | Qt::AlignAbsolute | Qt::AlignVCenter);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

QComboBox* titleBox(QWidget* parent, const char* name)
{
    // Titles shown as labels: they are edited in the result editor, not here.
    auto* box = new QComboBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setEditable(true);
    box->lineEdit()->setReadOnly(true);
    box->setFrame(false);
    box->setFocusPolicy(Qt::NoFocus);
    box->setMinimumWidth(60);
    return box;
}

QPushButton* button(QWidget* parent, const char* name, const QString& caption)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    b->setMinimumHeight(30);
    return b;
}

} // namespace

MainWindow::MainWindow(AppContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window), m_context(context),
      m_navigation(new NavigationWidget(context, WindowCode::Main, this)), m_workArea(new QWidget(this))
{
    setObjectName(QStringLiteral("Form1"));
    setAttribute(Qt::WA_DeleteOnClose);
    setLayoutDirection(Qt::RightToLeft);
    setWindowTitle(QStringLiteral("Corvana Interface VIDAS"));

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(m_navigation);
    m_workArea->setObjectName(QStringLiteral("Pct_work"));
    root->addWidget(m_workArea, 1);
    auto* work = new QVBoxLayout(m_workArea);
    work->setContentsMargins(10, 8, 10, 8);

    // The command buttons.
    m_buttons = new QWidget(m_workArea);
    m_buttons->setObjectName(QStringLiteral("Frm_buttons"));
    auto* bar = new QHBoxLayout(m_buttons);
    bar->setContentsMargins(0, 0, 0, 0);
    m_day = new QDateEdit(m_buttons);
    m_day->setObjectName(QStringLiteral("DTPicker_day"));
    m_day->setLayoutDirection(Qt::LeftToRight); // before the format: it orders the sections
    m_day->setCalendarPopup(true);
    m_day->setLocale(QLocale::c());
    m_day->setDisplayFormat(QStringLiteral("dd-MMM-yyyy"));
    m_day->setMinimumWidth(130);
    m_refresh = button(m_buttons, "cmd_refresh", QStringLiteral("Refresh"));
    m_search = button(m_buttons, "cmd_search", QStringLiteral("Search"));
    m_add = button(m_buttons, "cmd_addpatient", QStringLiteral("Add"));
    m_edit = button(m_buttons, "cmd_edit", QStringLiteral("Edit"));
    m_delete = button(m_buttons, "cmd_deletetpatient", QStringLiteral("Delete"));
    auto* print = button(m_buttons, "Cmd_print", QStringLiteral("Print"));
    auto* preview = button(m_buttons, "Cmd_report", QStringLiteral("Preview"));
    m_separateReport = new QCheckBox(QStringLiteral("Separate-Report"), m_buttons);
    m_separateReport->setObjectName(QStringLiteral("chk_separeteRPT"));
    bar->addWidget(m_day);
    for (QPushButton* b : {m_refresh, m_search, m_add, m_edit, m_delete, print, preview})
        bar->addWidget(b);
    bar->addStretch(1);
    // What waits for the LIS (corrections saved here included), shown only while something does.
    m_outboxWaiting = new QLabel(m_buttons);
    m_outboxWaiting->setObjectName(QStringLiteral("Lbl_outboxnum"));
    m_outboxWaiting->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold;"));
    m_outboxWaiting->hide();
    bar->addWidget(m_outboxWaiting);
    bar->addWidget(m_separateReport);
    // The program's own information, as the strip's About entry shows it.
    auto* about = button(m_buttons, "cmd_reportview", QStringLiteral("About"));
    connect(about, &QPushButton::clicked, m_navigation,
            [this] { emit m_navigation->entryActivated(NavEntry::AboutUs); });
    bar->addWidget(about);
    work->addWidget(m_buttons);

    auto* split = new QSplitter(Qt::Horizontal, m_workArea);
    work->addWidget(split, 1);

    m_patients = makeGrid(split, "MSFG_Patient",
                          {{"Patient ID", 1450, Qt::AlignLeft},
                           {"Patient name                 ", 2550, Qt::AlignHCenter},
                           {"", 0, Qt::AlignLeft}});
    m_patients->setMinimumWidth(m_patients->columnWidth(0) + m_patients->columnWidth(1) + 24);
    split->addWidget(m_patients);

    auto* right = new QWidget(split);
    auto* rightLayout = new QVBoxLayout(right);
    rightLayout->setContentsMargins(8, 0, 0, 0);
    auto* header = new QWidget(right);
    header->setObjectName(QStringLiteral("Pct_header"));
    auto* form = new QGridLayout(header);
    form->setContentsMargins(0, 0, 0, 0);
    m_sampleId = headerValue(header, "LblSampID");
    m_patientId = headerValue(header, "LblPatID");
    m_patientId->setCursor(Qt::PointingHandCursor);
    m_patientId->setToolTip(QStringLiteral("انقر لنسخ كود المريض"));
    m_patientId->installEventFilter(this);
    m_patientName = headerValue(header, "LblPatName");
    m_sex = headerValue(header, "LblSex");
    m_ageN = headerValue(header, "LblAgeN");
    m_ageU = headerValue(header, "LblAgeU");
    m_docName = headerValue(header, "LblDocName");
    m_testDate = headerValue(header, "LblTestDate");
    m_testTime = headerValue(header, "LblTestTime");
    m_patientSefa = titleBox(header, "Cmb_patientsefa");
    m_drSefa = titleBox(header, "Cmb_drsefa");
    const auto caption = [header](const QString& text) { return new QLabel(text, header); };
    form->addWidget(caption(QStringLiteral("رقم العينة:")), 0, 0);
    form->addWidget(m_sampleId, 0, 1);
    form->addWidget(caption(QStringLiteral("كود المريض:")), 0, 2);
    form->addWidget(m_patientId, 0, 3, 1, 2);
    form->addWidget(caption(QStringLiteral("اسم المريض:")), 1, 0);
    form->addWidget(m_patientSefa, 1, 1);
    form->addWidget(m_patientName, 1, 2, 1, 3);
    form->addWidget(caption(QStringLiteral("النوع:")), 2, 0);
    form->addWidget(m_sex, 2, 1);
    form->addWidget(caption(QStringLiteral("السن:")), 2, 2);
    form->addWidget(m_ageN, 2, 3);
    form->addWidget(m_ageU, 2, 4);
    form->addWidget(caption(QStringLiteral("الطبيب:")), 3, 0);
    form->addWidget(m_drSefa, 3, 1);
    form->addWidget(m_docName, 3, 2, 1, 3);
    form->addWidget(caption(QStringLiteral("تاريخ التحليل:")), 4, 0);
    form->addWidget(m_testDate, 4, 1);
    form->addWidget(caption(QStringLiteral("الوقت:")), 4, 2);
    form->addWidget(m_testTime, 4, 3, 1, 2);
    m_pregnant = new QCheckBox(QStringLiteral("Pregnant"), header);
    m_pregnant->setObjectName(QStringLiteral("Chk_pregsmok"));
    m_pregnant->setAttribute(Qt::WA_TransparentForMouseEvents); // it shows the rows' state
    m_pregnant->setFocusPolicy(Qt::NoFocus);
    form->addWidget(m_pregnant, 5, 0, 1, 2);
    form->setColumnStretch(4, 1);
    m_autoId = new QLineEdit(header);
    m_autoId->setObjectName(QStringLiteral("Txt_AUTOID"));
    m_autoId->hide();
    rightLayout->addWidget(header);

    m_results = makeGrid(right, "MSFlexGrid1",
                         {{"Test", 1900, Qt::AlignLeft},
                          {"Value", 1500, Qt::AlignHCenter},
                          {"Unit", 1000, Qt::AlignHCenter},
                          {"Flag", 610, Qt::AlignHCenter},
                          {"Reference range", 2530, Qt::AlignLeft},
                          {"", 0, Qt::AlignLeft},
                          {"", 0, Qt::AlignLeft}});
    m_results->verticalHeader()->setDefaultSectionSize(px(resultRowTwips));
    m_results->setWordWrap(true);
    rightLayout->addWidget(m_results, 1);
    split->addWidget(right);
    split->setStretchFactor(1, 1);

    // The LIS worklist panel.
    m_crvPanel = new LisWorklistWidget(context, "DTPicker_testdate", m_workArea);
    m_assay = new QComboBox(m_crvPanel);
    m_assay->setObjectName(QStringLiteral("Cmb_Assay"));
    m_assay->setMinimumWidth(120);
    auto* save = button(m_crvPanel, "cmd_savepatient", QStringLiteral("Save Sample"));
    auto* fresh = button(m_crvPanel, "cmd_Newpatient", QStringLiteral("New Sample"));
    auto* cancel = button(m_crvPanel, "cmd_canceladd", QStringLiteral("Cancel"));
    QHBoxLayout* panelBar = m_crvPanel->bar();
    panelBar->addStretch(1);
    panelBar->addWidget(new QLabel(QStringLiteral("التحليل:"), m_crvPanel));
    panelBar->addWidget(m_assay);
    panelBar->addWidget(fresh);
    panelBar->addWidget(save);
    panelBar->addWidget(cancel);
    m_crvPanel->hide();
    work->addWidget(m_crvPanel, 1);

    connect(m_refresh, &QPushButton::clicked, this, &MainWindow::refresh);
    connect(m_day, &QDateEdit::dateChanged, this, [this](QDate day) {
        if (!m_filling)
            showDay(day);
    });
    connect(m_patients, &QTableWidget::currentCellChanged, this, [this](int row) {
        if (!m_filling)
            showPatient(row);
    });
    connect(m_results, &QTableWidget::cellClicked, this, [this](int row) { selectResult(row); });
    connect(m_results, &QTableWidget::currentCellChanged, this, [this](int row) {
        if (!m_filling)
            selectResult(row);
    });
    connect(m_results, &QTableWidget::cellDoubleClicked, this, [this](int row) {
        selectResult(row);
        if (m_openEditor)
            edit();
    });
    connect(m_search, &QPushButton::clicked, this, [this] {
        emit searchRequested();
        hide();
    });
    connect(m_edit, &QPushButton::clicked, this, &MainWindow::edit);
    connect(m_delete, &QPushButton::clicked, this, &MainWindow::deleteResult);
    connect(m_add, &QPushButton::clicked, this, &MainWindow::addPatient);
    connect(m_crvPanel, &LisWorklistWidget::rowActivated, this, &MainWindow::addWorklistTest);
    // A grid without rows has no cell to double-click: its empty area answers instead.
    m_crvPanel->grid()->viewport()->installEventFilter(this);
    m_results->viewport()->installEventFilter(this);
    connect(save, &QPushButton::clicked, this, &MainWindow::saveWorklistPatient);
    connect(fresh, &QPushButton::clicked, this, &MainWindow::newSample);
    connect(cancel, &QPushButton::clicked, this, [this] { setWorklistMode(false); });
    connect(m_separateReport, &QCheckBox::clicked, this, &MainWindow::separateReportClicked);
    m_reports = std::make_unique<ReportCommandsUi>(context, this);
    connect(print, &QPushButton::clicked, this,
            [this] { m_reports->print(reportSelection(), m_separateReport->isChecked()); });
    connect(preview, &QPushButton::clicked, this,
            [this] { m_reports->preview(reportSelection(), m_separateReport->isChecked()); });

    setEditorOpener({});
    resize(1180, 720);
    m_navigation->windowLoaded();

    // Window load: the separate-report option, today's list, then the active tests.
    const QString ini = context.installFolder().settingsIni();
    if (QFileInfo::exists(ini))
        m_separateReport->setChecked(
            Numbers::toInt16(ReadIni(ini, QStringLiteral("report"), QStringLiteral("putsymbolmark"))) != 0);
    refresh();
    m_active = DailyWorklist::loadActiveTests(context);
    m_crvPanel->setActiveCodes(m_active.codeList);
    m_assay->addItems(m_active.assays);
    m_assay->setCurrentIndex(-1);

    // Results the receiver stores appear by themselves in today's list.
    m_mark = DailyWorklist::changeMark(context);
    m_watch = new QTimer(this);
    m_watch->setInterval(2000);
    connect(m_watch, &QTimer::timeout, this, &MainWindow::lookForNewResults);
    m_watch->start();
}

void MainWindow::showOutboxWaiting(int waiting, const QString& reason)
{
    m_outboxWaiting->setText(WorklistMessages::outboxWaiting.arg(waiting));
    m_outboxWaiting->setToolTip(reason);
    m_outboxWaiting->setVisible(waiting > 0);
}

void MainWindow::setEditorOpener(EditorOpener opener)
{
    m_openEditor = std::move(opener);
    m_edit->setEnabled(bool(m_openEditor));
    m_edit->setToolTip(m_openEditor ? QString() : QStringLiteral("محرر النتائج غير متاح في هذا الإصدار"));
}

void MainWindow::refresh()
{
    m_filling = true;
    m_day->setDate(m_context.clock().today());
    m_filling = false;
    showDay(m_day->date());
    m_crvPanel->showDate(m_context.clock().today());
}

void MainWindow::clearResultView()
{
    for (QLabel* label :
         {m_sampleId, m_patientId, m_patientName, m_docName, m_sex, m_ageN, m_ageU, m_testDate, m_testTime})
        label->clear();
    m_patientSefa->setEditText(QString());
    m_drSefa->setEditText(QString());
    m_pregnant->setChecked(false);
    m_autoId->clear();
    m_results->setRowCount(0);
}

void MainWindow::showDay(const QDate& day, bool keep)
{
    // What the user was looking at, to find it again in the new list.
    const int row = m_patients->currentRow();
    const QString keptId = keep && row >= 0 ? m_patients->item(row, 0)->text() : QString();
    const QString keptName = keep && row >= 0 ? m_patients->item(row, 1)->text() : QString();
    const int scroll = m_patients->verticalScrollBar()->value();
    const QString keptAuto = m_autoId->text();
    const int resultScroll = m_results->verticalScrollBar()->value();

    m_showsDay = true;
    const QList<DailyWorklist::DayPatient> patients = DailyWorklist::patientsOfDay(m_context, day);
    if (!keep || row < 0) {
        clearResultView();
        fillPatients(patients);
        return;
    }
    fillPatients(patients);
    for (int i = 0; i < patients.size(); ++i) {
        if (patients[i].patientId == keptId && patients[i].name == keptName) {
            m_filling = true;
            m_patients->setCurrentCell(i, 0);
            m_filling = false;
            m_patients->verticalScrollBar()->setValue(scroll);
            loadResultView();
            for (int r = 0; r < m_results->rowCount(); ++r) {
                if (m_results->item(r, 5)->text() == keptAuto) {
                    m_filling = true;
                    m_results->setCurrentCell(r, 0);
                    m_filling = false;
                    selectResult(r);
                }
            }
            m_results->verticalScrollBar()->setValue(resultScroll);
            return;
        }
    }
    clearResultView();
    m_patients->verticalScrollBar()->setValue(scroll);
}

void MainWindow::fillPatients(const QList<DailyWorklist::DayPatient>& patients)
{
    m_filling = true;
    m_patients->clearSelection();
    m_patients->setRowCount(0);
    m_patients->setRowCount(int(patients.size()));
    for (int i = 0; i < patients.size(); ++i) {
        const DailyWorklist::DayPatient& p = patients[i];
        m_patients->setItem(i, 0, cell(p.patientId, Qt::AlignLeft, patientCellColour));
        m_patients->setItem(i, 1, cell(p.name, Qt::AlignHCenter, patientCellColour));
        m_patients->setItem(
            i, 2, cell(p.testDate.isValid() ? DateFormats::dayMonthYear(p.testDate) : QString(), Qt::AlignLeft));
    }
    m_patients->setCurrentCell(-1, -1);
    m_filling = false;
}

void MainWindow::showPatient(int row)
{
    if (row < 0 || row >= m_patients->rowCount())
        return;
    m_autoId->clear();
    m_sampleId->clear();
    const QString id = m_patients->item(row, 0)->text();
    const QString name = m_patients->item(row, 1)->text();
    const QDate date = QLocale::c().toDate(m_patients->item(row, 2)->text(), QStringLiteral("dd-MMM-yyyy"));
    m_context.ResultCriteria = ResultSelection::forPatient(id, name, date);
    loadResultView();
    if (m_results->rowCount() > 0) {
        m_filling = true;
        m_results->setCurrentCell(0, 0);
        m_filling = false;
        selectResult(0);
    }
}

void MainWindow::showEdited(const QString& patientId, const QString& name, const QDate& testDate)
{
    const int row = m_patients->currentRow();
    if (m_showsDay && row >= 0 && m_patients->item(row, 0)->text() == patientId) {
        m_patients->item(row, 1)->setText(name);
        m_patients->item(row, 2)->setText(DateFormats::dayMonthYear(testDate));
        // The selection follows the edited patient, or the grid would lose the row it showed.
        m_context.ResultCriteria = ResultSelection::forPatient(patientId, name, testDate);
    }
    loadResultView();
    if (m_results->rowCount() > 0) {
        m_filling = true;
        m_results->setCurrentCell(0, 0);
        m_filling = false;
        selectResult(0);
    }
}

void MainWindow::loadResultView()
{
    clearResultView();
    const DailyWorklist::ResultView view = DailyWorklist::loadResultView(m_context);
    m_versions.clear();
    for (const DailyWorklist::ResultLine& line : view.lines)
        m_versions.insert(line.autoNum, line.version);
    if (view.lines.isEmpty())
        return;
    const DailyWorklist::ResultHeader& h = view.header;
    m_sampleId->setText(h.sampleId);
    m_patientId->setText(h.patientId);
    m_patientSefa->setEditText(h.patientSefa);
    m_patientName->setText(h.patientName);
    m_drSefa->setEditText(h.drSefa);
    m_docName->setText(h.docName);
    m_sex->setText(h.sex);
    m_ageN->setText(h.ageN);
    m_ageU->setText(h.ageU);
    m_testDate->setText(h.testDate);
    m_testTime->setText(h.testTime);
    m_pregnant->setChecked(h.pregnant);

    m_filling = true;
    m_results->setRowCount(int(view.lines.size()));
    const int window = -1; // the value cell keeps the window's own background
    for (int i = 0; i < view.lines.size(); ++i) {
        const DailyWorklist::ResultLine& l = view.lines[i];
        m_results->setItem(i, 0, cell(l.test, Qt::AlignLeft, 0x404040, 0xFFFFFF));
        m_results->setItem(
            i, 1, cell(l.value, Qt::AlignHCenter, window, DailyWorklist::valueColour(l.value, l.flag, l.range)));
        m_results->setItem(i, 2, cell(l.unit, Qt::AlignHCenter, 0x0080FF, 0xFFFFFF));
        m_results->setItem(i, 3, cell(l.flag, Qt::AlignHCenter, 0x29E0FA, 0x0000FF));
        m_results->setItem(i, 4, cell(l.range, Qt::AlignLeft, 0x938720, 0xFFFFFF));
        m_results->setItem(i, 5, cell(QString::number(l.autoNum), Qt::AlignLeft));
        m_results->setItem(i, 6, cell(l.sampleId, Qt::AlignLeft));
        QFont big = m_results->item(i, 1)->font();
        big.setBold(true);
        big.setPointSizeF(big.pointSizeF() * 1.3);
        m_results->item(i, 1)->setFont(big);
    }
    m_results->setCurrentCell(-1, -1);
    m_filling = false;
}

void MainWindow::selectResult(int row)
{
    if (m_patients->rowCount() == 0 || row < 0 || row >= m_results->rowCount())
        return;
    m_autoId->setText(m_results->item(row, 5)->text());
    m_sampleId->setText(m_results->item(row, 6)->text());
}

void MainWindow::edit()
{
    if (m_autoId->text().isEmpty()) {
        m_context.dialogs().warning(WorklistMessages::selectFirstTitle, WorklistMessages::selectFirst);
        return;
    }
    if (!m_openEditor)
        return;
    m_openEditor(m_autoId->text().toLongLong());
    hide();
}

void MainWindow::deleteResult()
{
    const qint64 autoNum = m_autoId->text().toLongLong();
    if (autoNum == 0) {
        m_context.dialogs().warning(WorklistMessages::deleteSelectTitle, WorklistMessages::deleteSelect);
        return;
    }
    if (!checkGrant(m_context.currentUser, Grant::Grant5, m_context.dialogs()))
        return;
    const DialogAnswer answer =
        m_context.dialogs().show({DialogIcon::Question, DialogButtons::OkCancel, WorklistMessages::deleteTitle,
                                  WorklistMessages::deleteQuestion});
    if (answer != DialogAnswer::Ok)
        return;
    QList<RowVersion::Change> changes;
    switch (DailyWorklist::deleteResult(m_context, autoNum, m_versions.value(autoNum), &changes)) {
    case DailyWorklist::DeleteOutcome::Deleted:
        break;
    case DailyWorklist::DeleteOutcome::Changed:
        m_context.dialogs().warning(WorklistMessages::deleteSelectTitle,
                                    WorklistMessages::deleteChanged + QLatin1Char('\n') +
                                        RowVersion::describe(changes) + QLatin1Char('\n') +
                                        WorklistMessages::deleteChangedAfter);
        loadResultView();
        for (int row = 0; row < m_results->rowCount(); ++row) {
            if (m_results->item(row, 5)->text().toLongLong() == autoNum) {
                m_results->setCurrentCell(row, 0);
                selectResult(row);
            }
        }
        return;
    case DailyWorklist::DeleteOutcome::Gone:
        m_context.dialogs().information(WorklistMessages::deleteSelectTitle, WorklistMessages::deleteGone);
        break;
    case DailyWorklist::DeleteOutcome::Failed:
        m_context.dialogs().error(WorklistMessages::addFailedTitle, WorklistMessages::deleteFailed);
        return;
    }
    refresh();
}

void MainWindow::addPatient()
{
    if (!checkGrant(m_context.currentUser, Grant::Grant1, m_context.dialogs()))
        return;
    if (m_context.settings.lisActive == 0) {
        if (m_context.dialogs().askYesNo(WorklistMessages::blankSampleTitle, WorklistMessages::blankSampleQuestion))
            newSample();
        return;
    }
    setWorklistMode(true);
    m_crvPanel->openOn(m_context.clock().today());
}

void MainWindow::setWorklistMode(bool on)
{
    m_crvPanel->setVisible(on);
    m_buttons->setEnabled(!on);
    m_navigation->setEnabled(!on);
}

void MainWindow::showHeaderFromRow(const DailyWorklist::WorklistRow& row)
{
    m_sampleId->clear();
    m_patientId->setText(row.patientId);
    m_patientName->setText(row.patientName);
    m_sex->setText(row.sex);
    m_ageN->setText(row.age);
    m_ageU->setText(row.ageUnit);
    m_docName->setText(row.referredBy);
    m_testDate->setText(row.requestDate.isValid() ? DateFormats::dayMonthYear(row.requestDate) : QString());
    m_testTime->setText(row.timeIn);
    m_patientSefa->setEditText(row.patientSefa);
    m_drSefa->setEditText(row.referredBySefa);
}

bool MainWindow::addFromWorklist(int row, bool withTest)
{
    const QList<DailyWorklist::WorklistRow>& rows = m_crvPanel->rows();
    if (rows.isEmpty() || row < 0 || row >= rows.size()) {
        m_context.dialogs().error(WorklistMessages::noWorklistRowTitle, WorklistMessages::noWorklistRow);
        return false;
    }
    const DailyWorklist::WorklistRow& r = rows[row];
    showHeaderFromRow(r);
    switch (withTest ? DailyWorklist::addTest(m_context, r) : DailyWorklist::addPatient(m_context, r)) {
    case DailyWorklist::AddOutcome::AlreadyAdded:
        m_context.dialogs().warning(WorklistMessages::alreadyTitle, withTest ? WorklistMessages::testAlreadyAdded
                                                                             : WorklistMessages::patientAlreadyAdded);
        return false;
    case DailyWorklist::AddOutcome::Failed:
        m_context.dialogs().error(WorklistMessages::addFailedTitle, WorklistMessages::addFailed);
        return false;
    case DailyWorklist::AddOutcome::Added:
        break;
    }
    return true;
}

void MainWindow::addWorklistTest(int row)
{
    if (!addFromWorklist(row, true))
        return;
    m_context.dialogs().information(WorklistMessages::addedTitle, WorklistMessages::testAdded);
    refresh();
}

void MainWindow::saveWorklistPatient()
{
    if (!addFromWorklist(m_crvPanel->currentIndex(), false))
        return;
    refresh();
    setWorklistMode(false);
}

void MainWindow::newSample()
{
    if (DailyWorklist::newSample(m_context, m_assay->currentText()) == 0) {
        m_context.dialogs().error(WorklistMessages::addFailedTitle, WorklistMessages::addFailed);
        return;
    }
    refresh();
    setWorklistMode(false);
}

void MainWindow::copyPatientId()
{
    if (m_patientId->text().isEmpty())
        return;
    QGuiApplication::clipboard()->setText(m_patientId->text());
    QApplication::beep();
}

void MainWindow::separateReportClicked(bool on)
{
    ReportPrinting::rememberSeparate(m_context, on);
}

ReportSelection MainWindow::reportSelection() const
{
    ReportSelection selection;
    selection.LblPatID = m_patientId->text();
    selection.LblPatName = m_patientName->text();
    selection.LblTestDate = QLocale::c().toDate(m_testDate->text(), QStringLiteral("dd-MMM-yyyy"));
    selection.LblTestTime = m_testTime->text();
    selection.LblAgeN = m_ageN->text();
    selection.LblAgeU = m_ageU->text();
    selection.LblSex = m_sex->text();
    selection.LblDocName = m_docName->text();
    selection.Cmb_patientsefa = m_patientSefa->currentText();
    selection.Cmb_drsefa = m_drSefa->currentText();
    selection.Txt_AUTOID = m_autoId->text();
    return selection;
}

MainWindow::~MainWindow() = default;

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_patientId &&
        (event->type() == QEvent::MouseButtonRelease || event->type() == QEvent::MouseButtonDblClick))
        copyPatientId();
    if (event->type() == QEvent::MouseButtonDblClick) {
        // The LIS worklist says it has no patient to add; the result grid asks for a result first.
        if (watched == m_crvPanel->grid()->viewport() && m_crvPanel->grid()->rowCount() == 0)
            addFromWorklist(-1, true);
        else if (watched == m_results->viewport() && m_results->rowCount() == 0)
            edit();
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::showSearchHit(const ResultSearch::Hit& hit)
{
    m_showsDay = false;
    m_context.ResultCriteria = ResultSelection::forResult(hit.autoNum);
    fillPatients({{hit.patientId, hit.patientName, hit.testDate}});
    loadResultView();
    if (m_results->rowCount() > 0)
        selectResult(0);
}

void MainWindow::showSearchHits(const QList<ResultSearch::Hit>& hits)
{
    m_showsDay = false;
    clearResultView();
    QList<DailyWorklist::DayPatient> patients;
    for (const ResultSearch::Hit& hit : hits)
        patients.append({hit.patientId, hit.patientName, hit.testDate});
    fillPatients(patients);
    m_crvPanel->showDate(m_context.clock().today());
}

void MainWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Back from another window: what arrived meanwhile shows at once.
    if (m_watch)
        lookForNewResults();
}

void MainWindow::lookForNewResults()
{
    if (!isVisible())
        return;
    const QVariant mark = DailyWorklist::changeMark(m_context);
    if (!mark.isValid() || mark == m_mark)
        return;
    m_mark = mark;
    if (m_showsDay && m_day->date() == m_context.clock().today())
        showDay(m_day->date(), true);
}
