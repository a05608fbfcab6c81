#pragma once

#include "refdata/CommentLibrary.h"

#include <QWidget>

class AppContext;
class NavigationWidget;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

// Frm_comments: the library of ready-made comments, each for one test of the catalogue. Browsing
// (grid enabled, fields disabled) or adding and editing (fields enabled, grid disabled).
class CommentsWindow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CommentsWindow)

public:
    explicit CommentsWindow(AppContext& context, QWidget* parent = nullptr);

    NavigationWidget* navigation() const { return m_navigation; }

private:
    void buildControls();
    void relist();
    void rowChosen();
    void showFields(const CommentFields& fields);
    CommentFields fields() const;
    void setEditing(bool editing);
    void testNameChanged(const QString& name);

    void add();
    void edit();
    void save();
    void remove();
    void cancel();

    AppContext& m_context;
    CommentLibrary m_library;
    NavigationWidget* m_navigation;
    qint64 m_commentId = 0;
    bool m_adding = false;

    QTableWidget* m_grid = nullptr;
    QLineEdit* m_search = nullptr;
    QLineEdit* m_text1 = nullptr;
    QComboBox* m_combo2 = nullptr;
    QPlainTextEdit* m_text3 = nullptr;
    QPushButton* m_cmdAdd = nullptr;
    QPushButton* m_cmdEdit = nullptr;
    QPushButton* m_cmdSave = nullptr;
    QPushButton* m_cmdDel = nullptr;
    QPushButton* m_cmdCancel = nullptr;
};
