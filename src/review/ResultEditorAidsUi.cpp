#include "review/ResultEditorWindow.h"

#include "core/AppContext.h"
#include "core/Grants.h"
#include "core/GridTextUi.h"
#include "db/Databases.h"
#include "link/ResultHistory.h"
#include "review/EditorMessages.h"
#include "review/LisWorklistWidget.h"

#include <QComboBox>
#include <QDialog>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QVBoxLayout>

// The result editor's aids around its form: the suggestion lists of past names, the keys and
// double-clicks of its fields, the history of changes, and the LIS panel's take-over.

void ResultEditorWindow::showSuggestions(bool doctor)
{
    QListWidget* list = doctor ? m_doctorList : m_nameList;
    QLineEdit* edit = doctor ? m_docName : m_patientName;
    list->clear();
    list->addItems(doctor ? ResultEdit::doctorSuggestions(m_context, edit->text())
                          : ResultEdit::nameSuggestions(m_context, edit->text()));
    placeSuggestions(list, edit);
    (doctor ? m_nameList : m_doctorList)->hide();
}

void ResultEditorWindow::placeSuggestions(QListWidget* list, QLineEdit* edit)
{
    const QPoint below = edit->mapTo(this, QPoint(0, edit->height()));
    list->setGeometry(below.x(), below.y(), edit->width(), 130);
    list->show();
    list->raise();
}

void ResultEditorWindow::takeSuggestion(bool doctor)
{
    QListWidget* list = doctor ? m_doctorList : m_nameList;
    const QListWidgetItem* item = list->currentItem();
    list->hide();
    if (!item)
        return;
    collect();
    if (doctor)
        ResultEdit::takePastDoctor(m_context, item->text(), m_fields);
    else
        ResultEdit::takePastPatient(m_context, item->text(), m_fields);
    showFields();
    updateVisits();
    patientDataChanged();
    (doctor ? m_docName : m_patientName)->setFocus();
}

void ResultEditorWindow::updateVisits()
{
    m_visits->setText(QString::number(ResultEdit::visits(m_context, m_patientName->text())));
}

bool ResultEditorWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn) {
        KeyboardLayout& keyboard = m_context.keyboardLayout();
        if (watched == m_patientName || watched == m_docName) {
            keyboard.activate(KeyboardLayouts::arabic);
            const bool doctor = watched == m_docName;
            if (!m_keepListsClosed && !(doctor ? m_doctorList : m_nameList)->isVisible())
                showSuggestions(doctor);
        } else if (watched == m_sampleId || watched == m_patientId || watched == m_ageN || watched == m_testTime ||
                   watched == m_comment) {
            keyboard.activate(KeyboardLayouts::englishUs);
        }
    } else if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
        if (key == Qt::Key_Escape &&
            (watched == m_patientName || watched == m_nameList || watched == m_docName || watched == m_doctorList)) {
            const bool doctor = watched == m_docName || watched == m_doctorList;
            QListWidget* list = doctor ? m_doctorList : m_nameList;
            if (list->isVisible()) {
                list->hide();
                // Back in its field without the list opening again on the way in.
                m_keepListsClosed = true;
                (doctor ? m_docName : m_patientName)->setFocus();
                m_keepListsClosed = false;
                return true;
            }
        }
        if ((watched == m_patientName || watched == m_docName) && (enter || key == Qt::Key_Down)) {
            QListWidget* list = watched == m_docName ? m_doctorList : m_nameList;
            if (list->isVisible() && list->count() > 0) {
                list->setFocus();
                list->setCurrentRow(0);
            } else if (enter) {
                focusNextChild();
            }
            return true;
        }
        if ((watched == m_nameList || watched == m_doctorList) && enter) {
            takeSuggestion(watched == m_doctorList);
            return true;
        }
        if (watched == m_ageN && enter) {
            m_ageU->setFocus();
            return true;
        }
        if (watched == m_patientId && enter) {
            m_patientName->setFocus();
            return true;
        }
    } else if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == m_comment->viewport() && !m_value->text().isEmpty()) {
            collect();
            const ResultEdit::Fields& f = m_fields;
            if (f.Txt_TEST_F == f.Txt_TEST_minEX) {
                if (!f.Txt_LOWCOMMENT.isEmpty())
                    m_comment->setPlainText(f.Txt_LOWCOMMENT);
            } else if (f.Txt_TEST_F == f.Txt_TEST_maxEX && !f.Txt_HIGHCOMMENT.isEmpty()) {
                m_comment->setPlainText(f.Txt_HIGHCOMMENT);
            }
            return true;
        }
        if (watched == m_range) {
            m_range->setText(m_fields.Txt_TESTNOTRMAL);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ResultEditorWindow::showChanges()
{
    const QSqlDatabase db = m_context.databases().OpenInterfaceDbQuiet(1);
    if (!db.isOpen())
        return;
    const auto entries = ResultHistory::of(db, m_fields.Txt_AUTOID);
    if (!entries)
        return;
    if (entries->isEmpty()) {
        m_context.dialogs().information(EditorMessages::noChangesTitle, EditorMessages::noChangesText);
        return;
    }
    auto* dialog = new QDialog(this);
    dialog->setObjectName(QStringLiteral("Frm_resulthistory"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(EditorMessages::noChangesTitle);
    auto* layout = new QVBoxLayout(dialog);
    auto* grid = new QTableWidget(static_cast<int>(entries->size()), 5, dialog);
    grid->setObjectName(QStringLiteral("DGd_history"));
    grid->setHorizontalHeaderLabels({QStringLiteral("الوقت"), QStringLiteral("المستخدم"), QStringLiteral("الحقل"),
                                     QStringLiteral("القيمة السابقة"), QStringLiteral("القيمة الجديدة")});
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setItemDelegate(new CellDirectionDelegate(grid));
    grid->verticalHeader()->hide();
    for (int i = 0; i < entries->size(); ++i) {
        const ResultHistory::Entry& e = entries->at(i);
        const QStringList cells{e.changedAt, e.changedBy, e.change.column, e.change.before, e.change.after};
        for (int c = 0; c < cells.size(); ++c)
            grid->setItem(i, c, new QTableWidgetItem(cells[c]));
    }
    grid->resizeColumnsToContents();
    grid->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(grid);
    dialog->resize(760, 360);
    dialog->show();
}

void ResultEditorWindow::setPanelMode(bool on)
{
    m_panel->setVisible(on);
    m_info->setEnabled(!on);
    m_buttons->setEnabled(!on);
}

void ResultEditorWindow::toggleLisPanel()
{
    if (!checkGrant(m_context.currentUser, Grant::Grant1, m_context.dialogs()))
        return;
    if (m_context.settings.lisActive != 1) {
        m_context.dialogs().warning(EditorMessages::lisOffTitle, EditorMessages::lisOffText);
        return;
    }
    if (m_panel->isVisible()) {
        setPanelMode(false);
        return;
    }
    setPanelMode(true);
    // The same worklist as the main window's, on the active tests of the catalogue.
    m_panel->setActiveCodes(LisWorklist::loadActiveTests(m_context).codeList);
    m_panel->openOn(m_context.clock().today());
}

void ResultEditorWindow::takeWorklistRow()
{
    const LisWorklist::WorklistRow* row = m_panel->currentRow();
    setPanelMode(false);
    if (!row)
        return;
    collect();
    const LisWorklist::WorklistRow w = *row;
    ResultEdit::Fields& f = m_fields;
    f.LblPatID = w.patientId;
    f.LblPatName = w.patientName;
    f.Cmb_sex = w.sex;
    f.LblAgeN = w.age;
    f.Cmb_AgeU = w.ageUnit;
    f.LblDocName = w.referredBy;
    f.Cmb_patientsefa = w.patientSefa;
    f.Cmb_drsefa = w.referredBySefa;
    f.Txt_TEST_C = w.testName;
    f.Txt_CRVTESTCODE = QString::number(w.testCode);
    if (w.requestDate.isValid())
        f.DTPicker_testdate = w.requestDate;
    f.LblTestTime = w.timeIn;
    // The receive chain's rule, so that both paths give one patient one range.
    f.Chk_pregsmok = ResultEdit::pregnantByLis(w.moreInfo);
    ResultEdit::takeCatalogueOfLisCode(m_context, f);
    showFields();
    updateVisits();
    patientDataChanged();
}

void ResultEditorWindow::cancelWorklist()
{
    ResultEdit::Fields& f = m_fields;
    collect();
    f.Cmb_sex = m_loaded.Cmb_sex;
    f.LblPatID = m_loaded.LblPatID;
    f.Cmb_patientsefa = m_loaded.Cmb_patientsefa;
    f.LblPatName = m_loaded.LblPatName;
    f.LblAgeN = m_loaded.LblAgeN;
    f.Cmb_AgeU = m_loaded.Cmb_AgeU;
    f.LblDocName = m_loaded.LblDocName;
    f.Cmb_drsefa = f.LblDocName.isEmpty() ? EditorMessages::defaultDoctorTitle : m_loaded.Cmb_drsefa;
    showFields();
    setPanelMode(false);
}
