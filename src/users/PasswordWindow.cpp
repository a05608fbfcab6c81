#include "users/PasswordWindow.h"

#include "core/AppContext.h"
#include "core/FieldFocusUi.h"
#include "core/NavigationWidget.h"
#include "core/WindowCodes.h"
#include "users/PasswordChange.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

PasswordWindow::PasswordWindow(AppContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window), m_context(context),
      m_navigation(new NavigationWidget(context, WindowCode::Password, this))
{
    setObjectName(QStringLiteral("Frm_userspw"));
    setAttribute(Qt::WA_DeleteOnClose);
    setLayoutDirection(Qt::RightToLeft);
    setWindowTitle(QStringLiteral("تغيير كلمة المرور"));

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(m_navigation);

    auto* body = new QHBoxLayout;
    body->setContentsMargins(14, 20, 14, 14);
    root->addLayout(body, 1);
    auto* box = new QGroupBox(QStringLiteral("تغيير كلمة المرور"), this);
    box->setMinimumWidth(460);
    auto* grid = new QGridLayout(box);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(8);
    const auto field = [box](const char* name, bool password) {
        auto* edit = new QLineEdit(box);
        edit->setObjectName(QString::fromLatin1(name));
        if (password)
            edit->setEchoMode(QLineEdit::Password);
        selectAllOnFocus(edit);
        return edit;
    };
    m_text1 = field("Text1", false);
    m_text1->setReadOnly(true);
    m_text1->setFocusPolicy(Qt::NoFocus);
    m_text2 = field("Text2", true);
    m_text3 = field("Text3", true);
    m_text4 = field("Text4", true);
    grid->addWidget(new QLabel(QStringLiteral("اسم المستخدم"), box), 0, 0);
    grid->addWidget(m_text1, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("كلمة المرور القديمة"), box), 1, 0);
    grid->addWidget(m_text2, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("كلمة المرور الجديدة"), box), 2, 0);
    grid->addWidget(m_text3, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("تأكيد كلمة المرور الجديدة"), box), 3, 0);
    grid->addWidget(m_text4, 3, 1);
    m_cmdOk = new QPushButton(QStringLiteral("حفظ كلمة المرور"), box);
    m_cmdOk->setObjectName(QStringLiteral("cmd_ok"));
    m_cmdOk->setAutoDefault(false);
    grid->addWidget(m_cmdOk, 4, 1, Qt::AlignLeading);
    grid->setColumnStretch(1, 1);
    body->addWidget(box, 0, Qt::AlignTop);
    body->addStretch(1);
    connect(m_cmdOk, &QPushButton::clicked, this, &PasswordWindow::change);
    for (QLineEdit* edit : {m_text2, m_text3, m_text4})
        edit->installEventFilter(this);

    resize(1000, 420);
    m_navigation->windowLoaded();
    m_text1->setText(m_context.currentUser.name);
    m_text2->setFocus();
}

void PasswordWindow::change()
{
    const PasswordChange::Outcome outcome =
        PasswordChange::change(m_context, m_text1->text(), m_text2->text(), m_text3->text(), m_text4->text());
    switch (outcome.focus) {
    case PasswordChange::Field::OldPassword:
        m_text2->setFocus();
        break;
    case PasswordChange::Field::NewPassword:
        m_text3->setFocus();
        break;
    case PasswordChange::Field::RepeatPassword:
        m_text4->setFocus();
        break;
    case PasswordChange::Field::None:
        break;
    }
}

bool PasswordWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    const bool forward = key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Down;
    if (watched == m_text2 && forward) {
        m_text3->setFocus();
        return true;
    }
    if (watched == m_text3 && forward) {
        m_text4->setFocus();
        return true;
    }
    if (watched == m_text3 && key == Qt::Key_Up) {
        m_text2->setFocus();
        return true;
    }
    if (watched == m_text4 && key == Qt::Key_Up) {
        m_text3->setFocus();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
