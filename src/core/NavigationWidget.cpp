#include "core/NavigationWidget.h"

#include "core/ColourRef.h"

#include "core/AppContext.h"
#include "core/LatinTextUi.h"

#include <QColor>
#include <QEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
QString caption(NavEntry entry)
{
    switch (entry) {
    case NavEntry::Patient:
        return QStringLiteral("شاشة المرضى");
    case NavEntry::ReceiveData:
        return Navigation::receiverCaption(false);
    case NavEntry::Setting:
        return QStringLiteral("Setting");
    case NavEntry::Ranges:
        return QStringLiteral("Basic data");
    case NavEntry::Factors:
        return QStringLiteral("معاملات التصحيح");
    case NavEntry::Comments:
        return QStringLiteral("التعليقات");
    case NavEntry::ResultOptions:
        return QStringLiteral("خيارات النتائج");
    case NavEntry::Users:
        return QStringLiteral("المستخدمين");
    case NavEntry::PasswordModi:
        return QStringLiteral("تغيير كلمة المرور");
    case NavEntry::AboutUs:
        return QStringLiteral("About Us");
    case NavEntry::Exit:
        return QStringLiteral("خروج");
    case NavEntry::Mini:
        return QStringLiteral("تصغير");
    }
    return {};
}

} // namespace

NavigationWidget::NavigationWidget(AppContext& context, qint16 windowCode, QWidget* parent)
    : QWidget(parent), m_context(context), m_windowCode(windowCode)
{
    setObjectName(QStringLiteral("PictureCmd"));
    // Each time its window is shown, the window's Latin texts are made to read left to right.
    if (parent)
        parent->installEventFilter(this);
    // A band of its own colour, so that the strip reads as one thing on every window.
    setAutoFillBackground(true);
    QPalette band = palette();
    band.setColor(QPalette::Window, QColor(215, 230, 232));
    setPalette(band);
    // The entries on one row that fits a 1024-pixel screen with all of them shown; the user and
    // the login time on a line of their own below.
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(8, 6, 8, 4);
    rows->setSpacing(2);
    auto* layout = new QHBoxLayout;
    layout->setSpacing(4);
    rows->addLayout(layout);
    for (const NavEntry entry : allNavEntries) {
        auto* b = new QPushButton(caption(entry), this);
        b->setObjectName(Navigation::objectName(entry));
        b->setAutoDefault(false);
        b->setFocusPolicy(Qt::TabFocus);
        // Room around the caption, and no wider than that when the screen is narrow.
        b->setMinimumHeight(b->sizeHint().height() + 6);
        b->setMinimumWidth(b->fontMetrics().horizontalAdvance(b->text()) + 16);
        b->setSizePolicy(QSizePolicy::Preferred, b->sizePolicy().verticalPolicy());
        layout->addWidget(b);
        m_buttons.insert(entry, b);
        connect(b, &QPushButton::clicked, this, [this, entry] {
            if (m_kept.contains(entry))
                emit keptEntryActivated(entry);
            else
                emit entryActivated(entry);
        });
    }
    QPushButton* receiver = m_buttons.value(NavEntry::ReceiveData);
    QFont bold = receiver->font();
    bold.setBold(true);
    receiver->setFont(bold);
    receiver->setMinimumWidth(QFontMetrics(bold).horizontalAdvance(Navigation::receiverCaption(false)) + 24);
    layout->addStretch(1);

    auto* info = new QHBoxLayout;
    rows->addLayout(info);
    m_lblUsername = new QLabel(this);
    m_lblUsername->setObjectName(QStringLiteral("Lbl_username"));
    m_lblUsername->setFont(bold);
    m_lblLogin = new QLabel(this);
    m_lblLogin->setObjectName(QStringLiteral("Lbl_login"));
    // Login time is English text; keep its words in their own order.
    m_lblLogin->setLayoutDirection(Qt::LeftToRight);
    info->addWidget(m_lblUsername);
    info->addSpacing(7); // 100 twips
    info->addWidget(m_lblLogin);
    info->addStretch(1);

    connect(&m_context, &AppContext::receiverIndicatorChanged, this, [this](bool on) {
        // Only the window in front draws the indicator.
        if (m_context.activeWindowCode() == m_windowCode)
            showReceiver(on);
    });
    connect(&m_context, &AppContext::lineStatusChanged, this, [this] {
        if (m_context.activeWindowCode() == m_windowCode)
            showReceiver(m_receiverShownOn);
    });
}

bool NavigationWidget::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show && watched == parentWidget())
        LatinText::applyTo(parentWidget());
    return QWidget::eventFilter(watched, event);
}

void NavigationWidget::windowLoaded()
{
    m_context.setActiveWindowCode(m_windowCode);
    showReceiver(m_context.receiverOn() == 1);
    m_lblUsername->setText(m_context.currentUser.name);
    m_lblLogin->setText(m_context.currentUser.loginTime);
}

void NavigationWidget::setEntryShown(NavEntry entry, bool shown)
{
    if (QPushButton* b = m_buttons.value(entry))
        b->setVisible(shown);
}

void NavigationWidget::showReceiver(bool on)
{
    m_receiverShownOn = on;
    QPushButton* b = m_buttons.value(NavEntry::ReceiveData);
    b->setText(Navigation::receiverCaption(on));
    const bool reconnecting = on && m_context.lineStatus().state == LineState::Reconnecting;
    b->setToolTip(reconnecting ? Navigation::receiverToolTip(m_context.lineStatus()) : QString());
    const QColor colour =
        fromColourRef(reconnecting ? Navigation::reconnectingColour() : Navigation::receiverColour(on));
    const QColor background = fromColourRef(Navigation::receiverBackground(on));
    b->setStyleSheet(
        QStringLiteral("QPushButton { color: %1; background-color: %2; border: %3; "
                       "border-radius: 3px; padding: 4px 8px; font-weight: bold; }")
            .arg(colour.name(), background.name(),
                 reconnecting ? QStringLiteral("2px dashed ") + colour.name() : QStringLiteral("1px solid #808080")));
}
