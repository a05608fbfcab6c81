#pragma once

#include "app/DailyWorklist.h"

#include <QHash>
#include <QWidget>
#include <functional>
#include <memory>

class AppContext;
class LisWorklistWidget;
class NavigationWidget;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTimer;
class ReportCommandsUi;
struct ReportSelection;

namespace ResultSearch {
struct Hit;
}

// Form1: the day's patients and the selected patient's results, the LIS worklist panel for adding
// patients and tests, and the way to the search, the editor and every other window.
class MainWindow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindow)

public:
    explicit MainWindow(AppContext& context, QWidget* parent = nullptr);
    ~MainWindow() override;

    NavigationWidget* navigation() const { return m_navigation; }
    // The area below the strip that holds the window's own controls.
    QWidget* workArea() const { return m_workArea; }

    // Whoever opens the result editor for a selected result (its AutoNum); without one, Edit and
    // the double-click are off.
    using EditorOpener = std::function<void(qint64 autoNum)>;
    void setEditorOpener(EditorOpener opener);

    // Today's patient list (cmd_refresh).
    void refresh();
    // The patient list of a day, keeping the selection and the scroll position when `keep`.
    void showDay(const QDate& day, bool keep = false);
    // LoadResultView: the header and the result grid from the rows ResultCriteria selects.
    void loadResultView();
    // The editor saved a result of this patient: the selected patient row takes the edited name
    // and date, and the result view is read again.
    void showEdited(const QString& patientId, const QString& name, const QDate& testDate);

    // What the search window hands back: one hit shown alone, or every hit in the patient list.
    void showSearchHit(const ResultSearch::Hit& hit);
    void showSearchHits(const QList<ResultSearch::Hit>& hits);

    // What waits for the LIS by the outbox table, and why (the program's sender reports it).
    void showOutboxWaiting(int waiting, const QString& reason);

    // Looks whether a result was stored since the last look and, for today's list, shows it.
    void lookForNewResults();

signals:
    // The search window is wanted (the main window hides itself).
    void searchRequested();

private:
    void buildGrids();
    void clearResultView();
    void fillPatients(const QList<DailyWorklist::DayPatient>& patients);
    void showPatient(int row);
    void selectResult(int row);
    void edit();
    void deleteResult();
    void addPatient();
    // Adds the worklist row's test (or only its patient); says why not and returns false otherwise.
    bool addFromWorklist(int row, bool withTest);
    void addWorklistTest(int row);
    void saveWorklistPatient();
    void newSample();
    void setWorklistMode(bool on);
    void copyPatientId();
    void separateReportClicked(bool on);
    ReportSelection reportSelection() const;
    void showHeaderFromRow(const DailyWorklist::WorklistRow& row);
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

    AppContext& m_context;
    NavigationWidget* m_navigation;
    QWidget* m_workArea;
    QWidget* m_buttons;
    QDateEdit* m_day;
    QTableWidget* m_patients;
    QTableWidget* m_results;
    QLabel *m_sampleId, *m_patientId, *m_patientName, *m_sex, *m_ageN, *m_ageU, *m_docName, *m_testDate, *m_testTime;
    QComboBox *m_patientSefa, *m_drSefa;
    QCheckBox* m_pregnant;
    QLineEdit* m_autoId;
    QCheckBox* m_separateReport;
    QPushButton *m_refresh, *m_search, *m_add, *m_edit, *m_delete;
    LisWorklistWidget* m_crvPanel;
    QComboBox* m_assay;
    QLabel* m_outboxWaiting;
    QTimer* m_watch = nullptr;

    DailyWorklist::ActiveTests m_active;
    // The shown results as they were read, by AutoNum: Delete removes only such a row.
    QHash<qint64, RowVersion::Version> m_versions;
    EditorOpener m_openEditor;
    std::unique_ptr<ReportCommandsUi> m_reports;
    QVariant m_mark;
    // The patient list shows a day (and follows the receiver when it is today), or search hits.
    bool m_showsDay = true;
    bool m_filling = false;
};
