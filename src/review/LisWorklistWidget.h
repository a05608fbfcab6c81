#pragma once

#include "review/LisWorklist.h"

#include <QWidget>

class AppContext;
class QDateEdit;
class QHBoxLayout;
class QLabel;
class QTableWidget;

// The LIS worklist panel (Frm_CRVdata) of the main window and of the result editor: the request
// date, the busy indicator (Frame_load) and the worklist grid (DGd_patientname) with its thirteen
// captioned columns. The owner puts its own buttons into the panel's bar and acts on the rows.
class LisWorklistWidget final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LisWorklistWidget)

public:
    // `datePickerName` is the owner's name for the request date (DTPicker_testdate, DTPickersersh).
    LisWorklistWidget(AppContext& context, const char* datePickerName, QWidget* parent = nullptr);

    // The bar above the grid: the request date first, the busy indicator last.
    QHBoxLayout* bar() const { return m_bar; }
    QDateEdit* datePicker() const { return m_date; }
    QTableWidget* grid() const { return m_grid; }

    // The LIS codes of the active catalogue tests that filter the worklist.
    void setActiveCodes(const QList<qint64>& codes) { m_codes = codes; }
    // Sets the request date without loading.
    void showDate(const QDate& day);
    // Shows the panel on `day` and loads its worklist.
    void openOn(const QDate& day);
    // Loads the worklist of the picked date and selects its first row; false when the LIS could
    // not be read (the grid is then empty).
    bool load();

    const QList<LisWorklist::WorklistRow>& rows() const { return m_rows; }
    // The chosen row, or nullptr.
    const LisWorklist::WorklistRow* currentRow() const;
    int currentIndex() const;

    // The thirteen captions, in column order.
    static QStringList captions();

signals:
    // A double-click on a row.
    void rowActivated(int row);
    // A load failed (after a change of the date, too).
    void loadFailed();

private:
    AppContext& m_context;
    QHBoxLayout* m_bar;
    QDateEdit* m_date;
    QLabel* m_loading;
    QTableWidget* m_grid;
    QList<qint64> m_codes;
    QList<LisWorklist::WorklistRow> m_rows;
    bool m_filling = false;
};
