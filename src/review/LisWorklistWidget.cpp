#include "review/LisWorklistWidget.h"

#include "core/AppContext.h"
#include "core/ColourRef.h"
#include "core/GridTextUi.h"

#include <QApplication>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

struct Column
{
    const char* caption;
    int twips;
    Qt::Alignment align;
};

// The worklist's columns with their captions; the fourth (the age) has none.
const Column kColumns[] = {
    {"Patient ID", 1700, Qt::AlignLeft},
    {"Patient name", 2800, Qt::AlignLeft},
    {"Gender", 900, Qt::AlignHCenter},
    {"", 600, Qt::AlignHCenter},
    {"Unit", 800, Qt::AlignHCenter},
    {"Test name", 1600, Qt::AlignLeft},
    {"Referred by", 2200, Qt::AlignLeft},
    {"requestdate", 1400, Qt::AlignHCenter},
    {"timein", 900, Qt::AlignHCenter},
    {"patientsefa", 1000, Qt::AlignHCenter},
    {"referredbysefa", 1200, Qt::AlignHCenter},
    {"testcode", 900, Qt::AlignHCenter},
    {"moreinfo", 1400, Qt::AlignLeft},
};
constexpr int kColumnCount = int(std::size(kColumns));
constexpr int headerGrey = 0x808080;

// Twips to pixels at the usual 96 dots per inch.
constexpr int px(int twips)
{
    return twips / 15;
}

} // namespace

QStringList LisWorklistWidget::captions()
{
    QStringList list;
    for (const Column& c : kColumns)
        list.append(QString::fromUtf8(c.caption));
    return list;
}

LisWorklistWidget::LisWorklistWidget(AppContext& context, const char* datePickerName, QWidget* parent)
    : QWidget(parent), m_context(context), m_bar(new QHBoxLayout), m_date(new QDateEdit(this)),
      m_loading(new QLabel(QStringLiteral("جاري تحميل قائمة كورفانا سيستم ..."), this)),
      m_grid(new QTableWidget(0, kColumnCount, this))
{
    setObjectName(QStringLiteral("Frm_CRVdata"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 6, 0, 0);

    m_date->setObjectName(QLatin1String(datePickerName));
    m_date->setLayoutDirection(Qt::LeftToRight); // before the format: it orders the sections
    m_date->setCalendarPopup(true);
    m_date->setLocale(QLocale::c());
    m_date->setDisplayFormat(QStringLiteral("dd-MMM-yyyy"));
    m_loading->setObjectName(QStringLiteral("Frame_load"));
    m_loading->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold;"));
    m_loading->hide();
    m_bar->addWidget(new QLabel(QStringLiteral("تاريخ الطلب:"), this));
    m_bar->addWidget(m_date);
    layout->addLayout(m_bar);

    m_grid->setObjectName(QStringLiteral("DGd_patientname"));
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->verticalHeader()->hide();
    m_grid->setItemDelegate(new CellDirectionDelegate(m_grid));
    m_grid->horizontalHeader()->setFixedHeight(px(300));
    m_grid->horizontalHeader()->setStyleSheet(
        QStringLiteral("QHeaderView::section { background-color: %1; color: white; border: 1px solid #a0a0a0; }")
            .arg(fromColourRef(headerGrey).name()));
    for (int i = 0; i < kColumnCount; ++i) {
        auto* item = new QTableWidgetItem(QString::fromUtf8(kColumns[i].caption));
        item->setTextAlignment(kColumns[i].align | Qt::AlignVCenter);
        m_grid->setHorizontalHeaderItem(i, item);
        m_grid->setColumnWidth(i, px(kColumns[i].twips));
    }
    m_grid->setMinimumHeight(200);
    layout->addWidget(m_grid, 1);

    connect(m_date, &QDateEdit::dateChanged, this, [this] {
        if (!m_filling && isVisibleTo(parentWidget()) && !load())
            emit loadFailed();
    });
    connect(m_grid, &QTableWidget::cellDoubleClicked, this, [this](int row) { emit rowActivated(row); });
}

void LisWorklistWidget::showDate(const QDate& day)
{
    m_filling = true;
    m_date->setDate(day);
    m_filling = false;
}

void LisWorklistWidget::openOn(const QDate& day)
{
    // The busy indicator ends the bar, after the owner's buttons.
    if (m_bar->indexOf(m_loading) != m_bar->count() - 1) {
        m_bar->removeWidget(m_loading);
        m_bar->addWidget(m_loading);
    }
    show();
    showDate(day);
    if (!load())
        emit loadFailed();
}

bool LisWorklistWidget::load()
{
    m_loading->show();
    m_grid->setRowCount(0);
    m_rows.clear();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    const LisWorklist::Worklist list = LisWorklist::loadLisWorklist(m_context, m_date->date(), m_codes);
    m_rows = list.rows;
    m_grid->setRowCount(int(m_rows.size()));
    for (int i = 0; i < m_rows.size(); ++i) {
        const QStringList cells = m_rows[i].columns();
        for (int c = 0; c < kColumnCount; ++c) {
            auto* item = new QTableWidgetItem(cells.value(c));
            item->setTextAlignment(kColumns[c].align | Qt::AlignVCenter);
            m_grid->setItem(i, c, item);
        }
    }
    if (!m_rows.isEmpty())
        m_grid->setCurrentCell(0, 0);
    m_loading->hide();
    return list.ok;
}

int LisWorklistWidget::currentIndex() const
{
    const int row = m_grid->currentRow();
    return row >= 0 && row < m_rows.size() ? row : -1;
}

const LisWorklist::WorklistRow* LisWorklistWidget::currentRow() const
{
    const int row = currentIndex();
    return row < 0 ? nullptr : &m_rows[row];
}
