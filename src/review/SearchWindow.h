#pragma once

#include "review/ResultSearch.h"

#include <QWidget>

class AppContext;
class NavigationWidget;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;

// Frm_search: finds results by sample, patient, patient data or test and value, and hands one hit
// or all of them to the main window.
class SearchWindow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SearchWindow)

public:
    explicit SearchWindow(AppContext& context, QWidget* parent = nullptr);

    NavigationWidget* navigation() const { return m_navigation; }

    void search();
    // Resets the window to a name search (cmd_refresh).
    void reset();

signals:
    // View Pat: the main window shows this result alone.
    void hitChosen(const ResultSearch::Hit& hit);
    // View all: the main window lists every hit.
    void allHitsChosen(const QList<ResultSearch::Hit>& hits);
    // Back: the main window shows again.
    void backRequested();

private:
    void chooseKind();
    void showHits(const QList<ResultSearch::Hit>& hits);
    void viewHit();
    void viewAll();
    void fillTests();
    ResultSearch::Request request() const;

    AppContext& m_context;
    NavigationWidget* m_navigation;
    QRadioButton *m_bySample, *m_byPatient, *m_byData, *m_byTest;
    QLineEdit *m_sampleId, *m_patientId, *m_name;
    QCheckBox *m_useName, *m_useSex, *m_useDate;
    QComboBox* m_sex;
    QDateEdit *m_first, *m_last;
    QComboBox *m_test, *m_compare;
    QLineEdit* m_number;
    QTableWidget* m_grid;
    QLabel* m_count;
    QLabel* m_loading;
    QList<ResultSearch::Hit> m_hits;
};
