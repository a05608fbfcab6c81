#include "users/UsersWindow.h"

#include "core/AppContext.h"
#include "core/FieldFocusUi.h"
#include "core/NavigationWidget.h"
#include "core/WindowCodes.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
// The database keeps up to 100 characters of a name or a password.
constexpr int kMaxText = 100;
// What the password box shows for an account's kept password: the password itself is not stored.
const QString kKeptPassword = QStringLiteral("********");

struct GrantBox
{
    const char* name;
    const char* caption;
};

const GrantBox grantBoxes[] = {
    {"Check1", "اضافة المرضى وبياناتهم"},
    {"Check2", "تعديل النتائج"},
    {"Check4", "طباعة التقارير"},
    {"Check5", "حذف النتائج"},
    {"Check6", "صلاحية اضافية"},
    {"Check7", "البيانات الاساسية"},
    {"Check8", "الاعدادات"},
};
} // namespace

UsersWindow::UsersWindow(AppContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window), m_context(context), m_accounts(context),
      m_navigation(new NavigationWidget(context, WindowCode::Users, this))
{
    setObjectName(QStringLiteral("Frm_users"));
    setAttribute(Qt::WA_DeleteOnClose);
    setLayoutDirection(Qt::RightToLeft);
    setWindowTitle(QStringLiteral("المستخدمين وصلاحياتهم"));
    buildControls();
    m_navigation->windowLoaded();
    reloadList();
    setMode(Mode::Browsing);
}

void UsersWindow::buildControls()
{
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(m_navigation);

    auto* body = new QHBoxLayout;
    body->setContentsMargins(14, 14, 14, 14);
    body->setSpacing(14);
    root->addLayout(body, 1);

    // The accounts.
    auto* listBox = new QGroupBox(QStringLiteral("المستخدمين"), this);
    auto* listLayout = new QVBoxLayout(listBox);
    m_list1 = new QListWidget(listBox);
    m_list1->setObjectName(QStringLiteral("List1"));
    m_list1->setMinimumWidth(200);
    listLayout->addWidget(m_list1, 1);
    m_lblCount = new QLabel(listBox);
    m_lblCount->setObjectName(QStringLiteral("Lbl_count"));
    listLayout->addWidget(m_lblCount);
    body->addWidget(listBox);
    connect(m_list1, &QListWidget::itemSelectionChanged, this, &UsersWindow::showSelected);

    // The account's fields.
    auto* form = new QVBoxLayout;
    form->setSpacing(10);
    body->addLayout(form, 1);
    m_fields = new QGroupBox(QStringLiteral("بيانات المستخدم"), this);
    m_fields->setObjectName(QStringLiteral("Frm_fields"));
    auto* grid = new QGridLayout(m_fields);
    grid->setHorizontalSpacing(10);
    m_txtUsername = new QLineEdit(m_fields);
    m_txtUsername->setObjectName(QStringLiteral("Txt_username"));
    m_txtUsername->setMaxLength(kMaxText);
    m_txtPassword = new QLineEdit(m_fields);
    m_txtPassword->setObjectName(QStringLiteral("Txt_password"));
    m_txtPassword->setMaxLength(kMaxText);
    m_txtPassword->setEchoMode(QLineEdit::Password);
    selectAllOnFocus(m_txtUsername);
    selectAllOnFocus(m_txtPassword);
    grid->addWidget(new QLabel(QStringLiteral("اسم المستخدم"), m_fields), 0, 0);
    grid->addWidget(m_txtUsername, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("كلمة المرور"), m_fields), 1, 0);
    grid->addWidget(m_txtPassword, 1, 1);

    m_optx = new QRadioButton(QStringLiteral("مدير النظام (كل الصلاحيات)"), m_fields);
    m_optx->setObjectName(QStringLiteral("Optx"));
    m_opty = new QRadioButton(QStringLiteral("مستخدم بصلاحيات محددة"), m_fields);
    m_opty->setObjectName(QStringLiteral("Opty"));
    m_kind = new QButtonGroup(this);
    m_kind->addButton(m_optx);
    m_kind->addButton(m_opty);
    auto* kindRow = new QHBoxLayout;
    kindRow->addWidget(m_optx);
    kindRow->addWidget(m_opty);
    kindRow->addStretch(1);
    grid->addWidget(new QLabel(QStringLiteral("نوع الصلاحية"), m_fields), 2, 0);
    grid->addLayout(kindRow, 2, 1);
    connect(m_optx, &QRadioButton::clicked, this, &UsersWindow::chooseAdministrator);

    auto* grantsBox = new QGroupBox(QStringLiteral("الصلاحيات"), m_fields);
    auto* grantsGrid = new QGridLayout(grantsBox);
    int i = 0;
    for (const GrantBox& g : grantBoxes) {
        auto* box = new QCheckBox(QString::fromUtf8(g.caption), grantsBox);
        box->setObjectName(QString::fromLatin1(g.name));
        grantsGrid->addWidget(box, i / 2, i % 2);
        connect(box, &QCheckBox::clicked, this, &UsersWindow::grantTicked);
        m_grants.append(box);
        ++i;
    }
    grid->addWidget(grantsBox, 3, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    form->addWidget(m_fields);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    const auto button = [this, buttons](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    m_cmdAdd = button("cmd_add", QStringLiteral("اضافة"));
    m_cmdEdit = button("cmd_edit", QStringLiteral("تعديل"));
    m_cmdDel = button("cmd_del", QStringLiteral("حذف"));
    m_cmdSave = button("cmd_save", QStringLiteral("حفظ"));
    m_cmdSave2 = button("cmd_save2", QStringLiteral("حفظ التعديل"));
    m_cmdCancel = button("cmd_Cancel", QStringLiteral("الغاء"));
    m_cmdCancel2 = button("cmd_Cancel2", QStringLiteral("الغاء"));
    buttons->addStretch(1);
    form->addLayout(buttons);
    form->addStretch(1);
    connect(m_cmdAdd, &QPushButton::clicked, this, &UsersWindow::add);
    connect(m_cmdSave, &QPushButton::clicked, this, &UsersWindow::save);
    connect(m_cmdEdit, &QPushButton::clicked, this, &UsersWindow::edit);
    connect(m_cmdSave2, &QPushButton::clicked, this, &UsersWindow::saveChanges);
    connect(m_cmdDel, &QPushButton::clicked, this, &UsersWindow::remove);
    connect(m_cmdCancel, &QPushButton::clicked, this, &UsersWindow::cancel);
    connect(m_cmdCancel2, &QPushButton::clicked, this, &UsersWindow::cancel);

    resize(1000, 560);
}

void UsersWindow::reloadList()
{
    const QSignalBlocker blocker(m_list1);
    m_list1->clear();
    m_list1->addItems(m_accounts.names());
    m_lblCount->setText(QStringLiteral("عدد المستخدمين: %1").arg(m_list1->count()));
}

void UsersWindow::setMode(Mode mode)
{
    m_mode = mode;
    const bool browsing = mode == Mode::Browsing;
    m_fields->setEnabled(!browsing);
    m_list1->setEnabled(browsing);
    m_cmdAdd->setEnabled(browsing);
    m_cmdEdit->setEnabled(browsing);
    m_cmdDel->setEnabled(browsing);
    m_cmdSave->setVisible(mode == Mode::Adding);
    m_cmdCancel->setVisible(mode == Mode::Adding);
    m_cmdSave2->setVisible(mode == Mode::Editing);
    m_cmdCancel2->setVisible(mode == Mode::Editing);
}

void UsersWindow::clearFields()
{
    m_txtUsername->clear();
    m_txtPassword->clear();
    // Neither kind chosen: the group has to let go of its checked button for a moment.
    m_kind->setExclusive(false);
    m_optx->setChecked(false);
    m_opty->setChecked(false);
    m_kind->setExclusive(true);
    for (QCheckBox* box : std::as_const(m_grants))
        box->setChecked(false);
}

UserAccount UsersWindow::fields() const
{
    UserAccount a;
    a.id = m_selectedId;
    a.name = m_txtUsername->text();
    a.password = m_txtPassword->text();
    a.administrator = m_optx->isChecked();
    a.ordinaryUser = m_opty->isChecked();
    a.grant1 = m_grants[0]->isChecked();
    a.grant2 = m_grants[1]->isChecked();
    a.grant4 = m_grants[2]->isChecked();
    a.grant5 = m_grants[3]->isChecked();
    a.grant6 = m_grants[4]->isChecked();
    a.grant7 = m_grants[5]->isChecked();
    a.grant8 = m_grants[6]->isChecked();
    return a;
}

void UsersWindow::showSelected()
{
    const QList<QListWidgetItem*> selected = m_list1->selectedItems();
    if (selected.isEmpty())
        return;
    showAccount(m_accounts.select(selected.first()->text()));
}

void UsersWindow::showAccount(const std::optional<UserAccount>& account)
{
    if (!account) {
        m_selectedId = 0;
        clearFields();
        return;
    }
    m_selectedId = account->id;
    m_txtUsername->setText(account->name);
    // setText leaves the box unmodified: a save keeps the stored password unless one is typed.
    m_txtPassword->setText(kKeptPassword);
    m_kind->setExclusive(false);
    m_optx->setChecked(account->administrator);
    m_opty->setChecked(account->ordinaryUser);
    m_kind->setExclusive(true);
    const bool grants[] = {account->grant1, account->grant2, account->grant4, account->grant5,
                           account->grant6, account->grant7, account->grant8};
    for (int i = 0; i < m_grants.size(); ++i)
        m_grants[i]->setChecked(grants[i]);
}

void UsersWindow::focusField(UserAccounts::Field field)
{
    switch (field) {
    case UserAccounts::Field::Name:
        m_txtUsername->setFocus();
        break;
    case UserAccounts::Field::Password:
        m_txtPassword->setFocus();
        break;
    case UserAccounts::Field::Kind:
        m_optx->setFocus();
        break;
    default:
        break;
    }
}

void UsersWindow::chooseAdministrator()
{
    // An administrator holds every grant anyway; the boxes would only mislead.
    for (QCheckBox* box : std::as_const(m_grants))
        box->setChecked(false);
}

void UsersWindow::grantTicked()
{
    m_opty->setChecked(true);
}

void UsersWindow::add()
{
    // A new account starts blank and least privileged, whatever account was shown before.
    clearFields();
    m_opty->setChecked(true);
    setMode(Mode::Adding);
    m_txtUsername->setFocus();
}

void UsersWindow::save()
{
    const UserAccounts::Outcome outcome = m_accounts.add(fields());
    if (!outcome.done) {
        focusField(outcome.focus);
        return;
    }
    reloadList();
    setMode(Mode::Browsing);
    selectInList(outcome.id);
}

void UsersWindow::edit()
{
    if (!m_accounts.mayEdit(m_selectedId))
        return;
    setMode(Mode::Editing);
    m_txtUsername->setFocus();
}

void UsersWindow::saveChanges()
{
    const UserAccounts::Outcome outcome = m_accounts.saveChanges(fields(), m_txtPassword->isModified());
    if (!outcome.done) {
        focusField(outcome.focus);
        return;
    }
    reloadList();
    setMode(Mode::Browsing);
    selectInList(outcome.id);
}

void UsersWindow::remove()
{
    if (!m_accounts.remove(m_selectedId))
        return;
    m_selectedId = 0;
    reloadList();
    clearFields();
}

void UsersWindow::cancel()
{
    // Back to the account shown before Add or Edit, as it is stored: what Edit and Delete act on.
    setMode(Mode::Browsing);
    if (m_selectedId != 0)
        selectInList(m_selectedId);
    else
        clearFields();
}

void UsersWindow::selectInList(qint64 id)
{
    const std::optional<UserAccount> account = m_accounts.selectById(id);
    showAccount(account);
    const QSignalBlocker blocker(m_list1);
    m_list1->clearSelection();
    if (!account)
        return;
    const QList<QListWidgetItem*> items = m_list1->findItems(account->name, Qt::MatchExactly);
    if (!items.isEmpty()) {
        m_list1->setCurrentItem(items.first());
        items.first()->setSelected(true);
    }
}
