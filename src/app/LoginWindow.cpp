#include "app/LoginWindow.h"

#include "app/StartupMessages.h"
#include "core/AppContext.h"
#include "core/FieldFocusUi.h"
#include "users/UserAccounts.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {
QLineEdit* entryBox(const QString& name, QWidget* parent, bool password)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    if (password)
        box->setEchoMode(QLineEdit::Password);
    box->setMinimumWidth(220);
    selectAllOnFocus(box);
    return box;
}
} // namespace

LoginWindow::LoginWindow(AppContext& context, SingleInstance& singleInstance, QWidget* parent)
    : QWidget(parent, Qt::Window), m_context(context), m_sequence(new StartupSequence(context, singleInstance, this))
{
    setObjectName(QStringLiteral("Frm_start"));
    setAttribute(Qt::WA_DeleteOnClose);
    setLayoutDirection(Qt::RightToLeft);
    setWindowTitle(QStringLiteral("Corvana Interface VIDAS - تسجيل الدخول"));
    buildControls();

    connect(m_sequence, &StartupSequence::progressed, this, [this](int step) {
        m_progress->setValue(step);
        // Painted at once; letting events run here could start the next step inside this one.
        m_progress->repaint();
    });
    connect(m_sequence, &StartupSequence::loginRequested, this, &LoginWindow::showLogin);
    connect(m_sequence, &StartupSequence::firstAdministratorRequested, this, &LoginWindow::showFirstAdministrator);
}

void LoginWindow::buildControls()
{
    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 12);
    root->setSpacing(10);

    auto* banner = new QLabel(this);
    banner->setObjectName(QStringLiteral("Lbl_title"));
    banner->setAlignment(Qt::AlignCenter);
    banner->setText(QStringLiteral("<div style='font-size:20pt; font-weight:bold'>Corvana Interface</div>"
                                   "<div style='font-size:11pt'>VIDAS - كورفانا انترفيس</div>"));
    banner->setAutoFillBackground(true);
    QPalette bannerPalette = banner->palette();
    bannerPalette.setColor(QPalette::Window, QColor(32, 135, 147));
    bannerPalette.setColor(QPalette::WindowText, Qt::white);
    banner->setPalette(bannerPalette);
    banner->setMinimumHeight(86);
    root->addWidget(banner);

    auto* body = new QVBoxLayout;
    body->setContentsMargins(24, 0, 24, 0);
    body->setSpacing(8);
    root->addLayout(body);

    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("Pct_progress"));
    m_progress->setRange(0, StartupSequence::kLastStep);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    m_progress->setFixedHeight(12);
    body->addWidget(m_progress);

    // Login boxes, hidden until the start-up steps have checked everything.
    m_loginPanel = new QWidget(this);
    m_loginPanel->setObjectName(QStringLiteral("Frm_login"));
    auto* grid = new QGridLayout(m_loginPanel);
    grid->setContentsMargins(0, 6, 0, 0);
    grid->setHorizontalSpacing(10);
    m_lblUsername = new QLabel(QStringLiteral("اسم المستخدم"), m_loginPanel);
    m_lblUsername->setObjectName(QStringLiteral("Label1"));
    m_lblPassword = new QLabel(QStringLiteral("كلمة المرور"), m_loginPanel);
    m_lblPassword->setObjectName(QStringLiteral("Label2"));
    m_txtUsername = entryBox(QStringLiteral("Txt_username"), m_loginPanel, false);
    m_txtPassword = entryBox(QStringLiteral("Txt_password"), m_loginPanel, true);
    // A remembered token belongs to the remembered name only.
    connect(m_txtUsername, &QLineEdit::textEdited, this, [this] {
        if (m_rememberedToken.isEmpty())
            return;
        m_rememberedToken.clear();
        m_txtPassword->clear();
    });
    m_chkRememberMe = new QCheckBox(QStringLiteral("تذكر بيانات الدخول"), m_loginPanel);
    m_chkRememberMe->setObjectName(QStringLiteral("Chk_rememberMe"));
    grid->addWidget(m_lblUsername, 0, 0);
    grid->addWidget(m_txtUsername, 0, 1);
    grid->addWidget(m_lblPassword, 1, 0);
    grid->addWidget(m_txtPassword, 1, 1);
    grid->addWidget(m_chkRememberMe, 2, 1);
    grid->setColumnStretch(1, 1);
    body->addWidget(m_loginPanel);
    m_txtUsername->installEventFilter(this);
    m_txtPassword->installEventFilter(this);
    setLoginVisible(false);

    // The first administrator of a database without accounts.
    m_adminPanel = new QWidget(this);
    m_adminPanel->setObjectName(QStringLiteral("Frm_firstadmin"));
    auto* admin = new QGridLayout(m_adminPanel);
    admin->setContentsMargins(0, 6, 0, 0);
    admin->setHorizontalSpacing(10);
    auto* heading = new QLabel(QStringLiteral("لا يوجد اي مستخدم بالنظام - رجاء انشاء حساب مدير النظام"), m_adminPanel);
    heading->setObjectName(QStringLiteral("Lbl_firstadmin"));
    heading->setWordWrap(true);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    m_txtAdminName = entryBox(QStringLiteral("Txt_adminname"), m_adminPanel, false);
    m_txtAdminPassword = entryBox(QStringLiteral("Txt_adminpassword"), m_adminPanel, true);
    m_txtAdminRepeat = entryBox(QStringLiteral("Txt_adminpassword2"), m_adminPanel, true);
    m_cmdCreateAdmin = new QPushButton(QStringLiteral("انشاء الحساب"), m_adminPanel);
    m_cmdCreateAdmin->setObjectName(QStringLiteral("cmd_createadmin"));
    admin->addWidget(heading, 0, 0, 1, 2);
    admin->addWidget(new QLabel(QStringLiteral("اسم المستخدم"), m_adminPanel), 1, 0);
    admin->addWidget(m_txtAdminName, 1, 1);
    admin->addWidget(new QLabel(QStringLiteral("كلمة المرور"), m_adminPanel), 2, 0);
    admin->addWidget(m_txtAdminPassword, 2, 1);
    admin->addWidget(new QLabel(QStringLiteral("تأكيد كلمة المرور"), m_adminPanel), 3, 0);
    admin->addWidget(m_txtAdminRepeat, 3, 1);
    admin->addWidget(m_cmdCreateAdmin, 4, 1, Qt::AlignLeading);
    admin->setColumnStretch(1, 1);
    body->addWidget(m_adminPanel);
    m_adminPanel->hide();
    for (QLineEdit* box : {m_txtAdminName, m_txtAdminPassword, m_txtAdminRepeat})
        box->installEventFilter(this);
    connect(m_cmdCreateAdmin, &QPushButton::clicked, this, &LoginWindow::createFirstAdministrator);

    // Kept for the settings files' NUL-terminated values; never shown.
    m_txt = new QLineEdit(this);
    m_txt->setObjectName(QStringLiteral("Txt"));
    m_txt->hide();

    body->addStretch(1);
    setMinimumWidth(440);
}

bool LoginWindow::start(const QString& programFolder)
{
    show();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    m_sequence->setProgramFolder(programFolder);
    if (!m_sequence->load())
        return false;
    m_sequence->start();
    return true;
}

void LoginWindow::setLoginVisible(bool visible)
{
    m_loginPanel->setVisible(visible);
}

void LoginWindow::showLogin(const RememberedLogin& remembered)
{
    m_adminPanel->hide();
    m_chkRememberMe->setChecked(remembered.remember);
    // The box shows the remembered token as dots; typing anything into it makes it a password.
    m_rememberedToken = remembered.token;
    if (remembered.remember || !remembered.userName.isEmpty()) {
        m_txtUsername->setText(remembered.userName);
        m_txtPassword->setText(remembered.token);
    }
    setLoginVisible(true);
    activateWindow();
    // After the first administrator was made the name is there already: the password is next.
    if (!remembered.remember && !remembered.userName.isEmpty())
        m_txtPassword->setFocus();
    else
        m_txtUsername->setFocus();
}

void LoginWindow::showFirstAdministrator()
{
    setLoginVisible(false);
    m_adminPanel->show();
    activateWindow();
    m_txtAdminName->setFocus();
}

void LoginWindow::createFirstAdministrator()
{
    UserAccounts accounts(m_context);
    const UserAccounts::Outcome outcome =
        accounts.createFirstAdministrator(m_txtAdminName->text(), m_txtAdminPassword->text(), m_txtAdminRepeat->text());
    if (!outcome.done) {
        switch (outcome.focus) {
        case UserAccounts::Field::Name:
            m_txtAdminName->setFocus();
            break;
        case UserAccounts::Field::Password:
            m_txtAdminPassword->setFocus();
            break;
        case UserAccounts::Field::Repeat:
            m_txtAdminRepeat->setFocus();
            break;
        default:
            break;
        }
        return;
    }
    const QString name = m_txtAdminName->text().trimmed();
    m_txtAdminPassword->clear();
    m_txtAdminRepeat->clear();
    m_sequence->firstAccountCreated(name);
}

void LoginWindow::logIn()
{
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    const bool byToken = !m_rememberedToken.isEmpty() && m_txtPassword->text() == m_rememberedToken;
    const Login::Outcome outcome =
        m_sequence->logIn(m_txtUsername->text(), m_txtPassword->text(), m_chkRememberMe->isChecked(), byToken);
    if (!outcome.loggedIn && byToken)
        m_rememberedToken.clear();
    if (outcome.loggedIn) {
        setLoginVisible(false);
        return;
    }
    if (outcome.focus == Login::Field::UserName) {
        m_txtUsername->setFocus();
    } else if (outcome.focus == Login::Field::Password) {
        m_txtPassword->setFocus();
        if (outcome.selectPassword)
            m_txtPassword->selectAll();
    }
}

bool LoginWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    if (key == Qt::Key_Escape) {
        emit endRequested();
        return true;
    }
    if (watched == m_txtUsername) {
        if (enter) {
            if (!m_txtUsername->text().isEmpty() && m_txtPassword->text().isEmpty())
                m_txtPassword->setFocus();
            else
                logIn();
            return true;
        }
        if (key == Qt::Key_Down) {
            m_txtPassword->setFocus();
            return true;
        }
    } else if (watched == m_txtPassword) {
        if (enter) {
            if (m_txtPassword->text().isEmpty())
                m_context.dialogs().warning(StartupMessages::loginTitle, StartupMessages::passwordEmpty);
            else
                logIn();
            return true;
        }
        if (key == Qt::Key_Up) {
            if (m_txtUsername->isVisible())
                m_txtUsername->setFocus();
            return true;
        }
    } else if (enter) {
        // First administrator: Enter moves down the boxes and creates the account at the last one.
        if (watched == m_txtAdminName)
            m_txtAdminPassword->setFocus();
        else if (watched == m_txtAdminPassword)
            m_txtAdminRepeat->setFocus();
        else
            createFirstAdministrator();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
