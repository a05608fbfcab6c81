#pragma once

#include "refdata/ReferenceRanges.h"
#include "refdata/TestCatalogue.h"

#include <QWidget>

class AppContext;
class NavigationWidget;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;

// Form2, "Reference Ranges": the ranges of one catalogue test, for the range kind the catalogue
// gives it. Browsing (list enabled, fields read-only) or editing (list disabled, the fields the
// range kind uses enabled).
class RangesWindow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RangesWindow)

public:
    RangesWindow(AppContext& context, const RangeOpening& opening, QWidget* parent = nullptr);

    NavigationWidget* navigation() const { return m_navigation; }

private:
    void buildControls();
    void relist();
    void rowChosen();
    void showFields(const RangeFields& fields);
    RangeFields fields() const;
    void clearFields();
    void setEditing(bool editing);
    void setSex(bool male, bool female);
    void focus(ReferenceRanges::Field field);

    void add();
    void edit();
    void save();
    void remove();
    void cancel();

    AppContext& m_context;
    ReferenceRanges m_ranges;
    RangeOpening m_opening;
    NavigationWidget* m_navigation;

    QTableWidget* m_grid = nullptr;
    QLabel* m_lblCount = nullptr;
    QComboBox* m_comb1 = nullptr;
    QLineEdit* m_txt0 = nullptr;
    QLineEdit* m_normid = nullptr;
    QList<QRadioButton*> m_kinds;
    QButtonGroup* m_sexGroup = nullptr;
    QRadioButton* m_option1 = nullptr;
    QRadioButton* m_option2 = nullptr;
    QLineEdit* m_txt1 = nullptr;
    QLineEdit* m_txt2 = nullptr;
    QComboBox* m_comb3 = nullptr;
    QLineEdit* m_txt3 = nullptr;
    QComboBox* m_comb2 = nullptr;
    QLineEdit* m_txt4 = nullptr;
    QLineEdit* m_txt5 = nullptr;
    QComboBox* m_comb4 = nullptr;
    QComboBox* m_comb5 = nullptr;
    QLineEdit* m_txt6 = nullptr;
    QLineEdit* m_txt7 = nullptr;
    QCheckBox* m_check1 = nullptr;
    QPushButton* m_cmdAdd = nullptr;
    QPushButton* m_cmdEdit = nullptr;
    QPushButton* m_cmdSave = nullptr;
    QPushButton* m_cmdDel = nullptr;
    QPushButton* m_cmdCancel = nullptr;
};
