#pragma once

#include "users/UserAccounts.h"

#include <QWidget>

class AppContext;
class NavigationWidget;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

// Frm_users: administrators keep the accounts here. Browsing (list enabled, fields disabled),
// adding or editing (fields enabled, list disabled), back to browsing on save or cancel.
class UsersWindow final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UsersWindow)

public:
    explicit UsersWindow(AppContext& context, QWidget* parent = nullptr);

    NavigationWidget* navigation() const { return m_navigation; }

private:
    enum class Mode
    {
        Browsing,
        Adding,
        Editing
    };

    void buildControls();
    void reloadList();
    void showSelected();
    void showAccount(const std::optional<UserAccount>& account);
    void selectInList(qint64 id);
    void setMode(Mode mode);
    void clearFields();
    UserAccount fields() const;
    void focusField(UserAccounts::Field field);
    void chooseAdministrator();
    void grantTicked();

    void add();
    void save();
    void edit();
    void saveChanges();
    void remove();
    void cancel();

    AppContext& m_context;
    UserAccounts m_accounts;
    NavigationWidget* m_navigation;
    Mode m_mode = Mode::Browsing;
    qint64 m_selectedId = 0;

    QListWidget* m_list1 = nullptr;
    QLabel* m_lblCount = nullptr;
    QLineEdit* m_txtUsername = nullptr;
    QLineEdit* m_txtPassword = nullptr;
    QButtonGroup* m_kind = nullptr;
    QRadioButton* m_optx = nullptr;
    QRadioButton* m_opty = nullptr;
    QList<QCheckBox*> m_grants;
    QWidget* m_fields = nullptr;
    QPushButton* m_cmdAdd = nullptr;
    QPushButton* m_cmdEdit = nullptr;
    QPushButton* m_cmdDel = nullptr;
    QPushButton* m_cmdSave = nullptr;
    QPushButton* m_cmdSave2 = nullptr;
    QPushButton* m_cmdCancel = nullptr;
    QPushButton* m_cmdCancel2 = nullptr;
};
