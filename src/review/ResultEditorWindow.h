#pragma once

#include "review/LisWorklist.h"
#include "review/ResultEdit.h"

#include <QWidget>

class AppContext;
class LisWorklistWidget;
class NavigationWidget;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

// Frm_editresult: one stored result, its patient and its value, corrected, re-flagged with the
// receive chain's rules and saved, with its write into the LIS; the LIS panel takes a requested
// test's patient over.
class ResultEditorWindow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ResultEditorWindow)

public:
    // Opens the editor on the Result row `autoNum`.
    ResultEditorWindow(AppContext& context, qint64 autoNum, QWidget* parent = nullptr);
    ~ResultEditorWindow() override;

    NavigationWidget* navigation() const { return m_navigation; }
    const ResultEdit::Fields& fields() const { return m_fields; }

    void save();
    void cancel();
    void toggleLisPanel();
    void takeWorklistRow();
    void cancelWorklist();

signals:
    // The editor is done (Save or Cancel); the main window shows again. `saved` with the row as
    // it was written.
    void finished(bool saved, const ResultEdit::Fields& fields);

private:
    void build();
    void load(qint64 autoNum);
    void applyGrants();
    void showFields();
    void collect();
    void reflag();
    void showShade(Flagging::Shade shade);
    void patientDataChanged();
    void lookUpRange();
    void chooseAssay(const QString& testName);
    void offerComments();
    void showSuggestions(bool doctor);
    void takeSuggestion(bool doctor);
    void updateVisits();
    void showChanges();
    void showConflict(const QList<RowVersion::Change>& changes);
    void placeSuggestions(QListWidget* list, QLineEdit* edit);
    void setPanelMode(bool on);
    void done(bool saved);
    bool eventFilter(QObject* watched, QEvent* event) override;

    AppContext& m_context;
    NavigationWidget* m_navigation;
    ResultEdit::Fields m_fields;
    ResultEdit::Fields m_loaded; // the patient data as opened, for the LIS panel's Cancel
    bool m_rangeLookupArmed = false;
    bool m_filling = false;
    bool m_done = false;
    bool m_keepListsClosed = false;

    QWidget *m_info, *m_buttons;
    QLineEdit *m_sampleId, *m_patientId, *m_patientName, *m_ageN, *m_docName, *m_testTime;
    QComboBox *m_patientSefa, *m_sex, *m_ageU, *m_drSefa;
    QListWidget *m_nameList, *m_doctorList;
    QLabel* m_visits;
    QDateEdit* m_testDate;
    QCheckBox* m_pregnant;
    QLabel* m_testName;
    QLabel* m_assayLabel;
    QComboBox* m_assay;
    QLineEdit *m_value, *m_unit, *m_flag, *m_range, *m_instrument;
    QPlainTextEdit* m_comment;
    QListWidget* m_comments;
    QPushButton *m_save, *m_cancel, *m_commentButton, *m_history, *m_changes, *m_crvData;
    QList<QLineEdit*> m_hidden;

    LisWorklistWidget* m_panel;
};
