#pragma once

#include "reports/ReportLayout.h"

#include <QPrintPreviewDialog>

// The report shown as its pages, from which the user can print: at the screen's top-left corner,
// 13000 twips wide and as high as the screen less 400 twips. Its objectName is the layout's name.
class ReportPreviewDialog final : public QPrintPreviewDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ReportPreviewDialog)

public:
    explicit ReportPreviewDialog(ReportLayout layout, QWidget* parent = nullptr);

    const ReportLayout& layout() const { return m_layout; }
    // Pages painted by the last paint of the preview.
    int pagesShown() const { return m_pages; }

private:
    ReportLayout m_layout;
    int m_pages = 0;
};
