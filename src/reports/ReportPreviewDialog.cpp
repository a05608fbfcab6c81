#include "reports/ReportPreviewDialog.h"

#include "reports/ReportRenderer.h"

#include <QGuiApplication>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QScreen>

ReportPreviewDialog::ReportPreviewDialog(ReportLayout layout, QWidget* parent)
    : QPrintPreviewDialog(parent), m_layout(std::move(layout))
{
    setObjectName(m_layout.name);
    setWindowTitle(QStringLiteral("معاينة التقرير"));
    QPrinter* paper = printer();
    paper->setFullPage(true);
    paper->setPageLayout(QPageLayout(QPageSize(m_layout.paper == Paper::A4 ? QPageSize::A4 : QPageSize::A5),
                                     QPageLayout::Portrait, QMarginsF()));
    paper->setDocName(m_layout.name);
    connect(this, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* device) {
        QPainter painter;
        if (!painter.begin(device))
            return;
        m_pages = ReportRenderer::paint(
            m_layout,
            [&](int page) {
                if (page > 0)
                    device->newPage();
                return &painter;
            },
            device->resolution());
        painter.end();
    });
    const double pixelsPerTwip = logicalDpiX() / 1440.0;
    const QRect screen =
        (parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen())->availableGeometry();
    setGeometry(screen.left(), screen.top(), std::min(screen.width(), int(13000 * pixelsPerTwip)),
                screen.height() - int(400 * logicalDpiY() / 1440.0));
}
