#include "app/MainWindow.h"

#include "common/DateFormats.h"
#include "core/AppContext.h"
#include "core/NavigationWidget.h"
#include "core/WindowCodes.h"

#include <QLabel>
#include <QVBoxLayout>

MainWindow::MainWindow(AppContext& context, QWidget* parent)
    : QWidget(parent, Qt::Window), m_context(context),
      m_navigation(new NavigationWidget(context, WindowCode::Main, this)), m_workArea(new QWidget(this))
{
    setObjectName(QStringLiteral("Form1"));
    setAttribute(Qt::WA_DeleteOnClose);
    setLayoutDirection(Qt::RightToLeft);
    setWindowTitle(QStringLiteral("Corvana Interface VIDAS"));

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(m_navigation);

    m_workArea->setObjectName(QStringLiteral("Pct_work"));
    auto* work = new QVBoxLayout(m_workArea);
    work->setContentsMargins(16, 16, 16, 16);
    auto* heading = new QLabel(QStringLiteral("نتائج اليوم"), m_workArea);
    heading->setObjectName(QStringLiteral("Lbl_heading"));
    QFont big = heading->font();
    big.setPointSizeF(big.pointSizeF() * 1.5);
    big.setBold(true);
    heading->setFont(big);
    work->addWidget(heading);
    auto* day = new QLabel(DateFormats::longDate(context.clock().today()), m_workArea);
    day->setObjectName(QStringLiteral("Lbl_today"));
    day->setLayoutDirection(Qt::LeftToRight);
    day->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    work->addWidget(day);
    work->addStretch(1);
    root->addWidget(m_workArea, 1);

    resize(1000, 640);
    m_navigation->windowLoaded();
}
