#pragma once

#include "refdata/TestCatalogue.h"

#include <QWidget>

class AppContext;
class NavigationWidget;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

// Frm_correctfactors: the test catalogue with its correction factors. Browsing (grid enabled,
// fields read-only) or editing (grid disabled, fields enabled); Add and Edit enter editing, a
// successful save and Cancel return to browsing. Its cmd_resultopt opens the reference ranges of
// the test it shows.
class CatalogueWindow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CatalogueWindow)

public:
    explicit CatalogueWindow(AppContext& context, QWidget* parent = nullptr);

    NavigationWidget* navigation() const { return m_navigation; }

signals:
    // cmd_resultopt with a test shown: the range editor should open for it.
    void rangesRequested(const RangeOpening& opening);

private:
    void buildControls();
    void relist(const SqlRun::Rows& rows);
    void rowChosen();
    void showFields(const std::optional<CatalogueFields>& fields);
    CatalogueFields fields() const;
    void clearFields();
    void setEditing(bool editing);
    void focus(TestCatalogue::Field field);

    void add();
    void edit();
    void save();
    void remove();
    void cancel();
    void openRanges();

    AppContext& m_context;
    TestCatalogue m_catalogue;
    NavigationWidget* m_navigation;

    QTableWidget* m_grid = nullptr;
    QLabel* m_lblCount = nullptr;
    QLineEdit* m_text1 = nullptr;
    QLineEdit* m_text2 = nullptr;
    QLineEdit* m_text3 = nullptr;
    QWidget* m_fields = nullptr;
    QLineEdit* m_txt0 = nullptr;
    QLineEdit* m_txt1 = nullptr;
    QLineEdit* m_txtTestcode = nullptr;
    QLineEdit* m_txtShortAssay = nullptr;
    QLineEdit* m_txtCorrectfactors = nullptr;
    QLineEdit* m_txt2 = nullptr;
    QComboBox* m_cmbRefrange = nullptr;
    QLineEdit* m_txt9 = nullptr;
    QComboBox* m_comb4 = nullptr;
    QCheckBox* m_check1 = nullptr;
    QPushButton* m_cmdAdd = nullptr;
    QPushButton* m_cmdEdit = nullptr;
    QPushButton* m_cmdSave = nullptr;
    QPushButton* m_cmdDel = nullptr;
    QPushButton* m_cmdCancel = nullptr;
    QPushButton* m_cmdRanges = nullptr;
};
