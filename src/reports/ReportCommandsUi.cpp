#include "reports/ReportCommandsUi.h"

#include "platform/SystemPrintersUi.h"
#include "reports/ReportPreviewDialog.h"
#include "reports/ReportRenderer.h"

#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>

ReportCommandsUi::ReportCommandsUi(AppContext& context, QWidget* window)
    : m_context(context), m_systemPrinters(std::make_unique<SystemPrintersUi>()),
      m_systemOutput(std::make_unique<PrinterOutputUi>(window)), m_printers(m_systemPrinters.get()),
      m_output(m_systemOutput.get())
{
}

ReportCommandsUi::~ReportCommandsUi() = default;

ReportPrinting::Outcome ReportCommandsUi::print(const ReportSelection& selection, bool separate)
{
    return ReportPrinting::run(m_context, *m_printers, *m_output, selection, separate, ReportPrinting::Action::Print);
}

ReportPrinting::Outcome ReportCommandsUi::preview(const ReportSelection& selection, bool separate)
{
    return ReportPrinting::run(m_context, *m_printers, *m_output, selection, separate, ReportPrinting::Action::Preview);
}

bool PrinterOutputUi::print(const ReportLayout& layout, const QString& printerName, QString* error)
{
    QPrinter printer(QPrinterInfo::printerInfo(printerName), QPrinter::HighResolution);
    if (!printer.isValid() || printer.printerName() != printerName) {
        *error = QStringLiteral("the printer cannot be reached");
        return false;
    }
    printer.setFullPage(true);
    printer.setPageLayout(QPageLayout(QPageSize(layout.paper == Paper::A4 ? QPageSize::A4 : QPageSize::A5),
                                      QPageLayout::Portrait, QMarginsF()));
    printer.setDocName(layout.name);
    printer.setCreator(QStringLiteral("Corvana Interface"));
    QPainter painter;
    if (!painter.begin(&printer)) {
        *error = QStringLiteral("the printer refused the job");
        return false;
    }
    ReportRenderer::paint(
        layout,
        [&](int page) {
            if (page > 0)
                printer.newPage();
            return &painter;
        },
        printer.resolution());
    if (!painter.end()) {
        *error = QStringLiteral("the job could not be finished");
        return false;
    }
    return true;
}

void PrinterOutputUi::preview(const ReportLayout& layout)
{
    ReportPreviewDialog dialog(layout, m_window);
    dialog.exec();
}
