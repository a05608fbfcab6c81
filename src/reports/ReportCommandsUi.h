#pragma once

// The main window's report commands: print (Cmd_print) and preview (Cmd_report) of the selected
// sample, and the one-result-per-report check box (chk_separeteRPT). Wiring in Form1:
//
//     m_reports = std::make_unique<ReportCommandsUi>(context, this);
//     connect(Cmd_print, &QPushButton::clicked, this,
//             [this] { m_reports->print(reportSelection(), chk_separeteRPT->isChecked()); });
//     connect(Cmd_report, &QPushButton::clicked, this,
//             [this] { m_reports->preview(reportSelection(), chk_separeteRPT->isChecked()); });
//     connect(chk_separeteRPT, &QCheckBox::clicked, this,
//             [this](bool on) { ReportPrinting::rememberSeparate(m_context, on); });
//
// where reportSelection() fills a ReportSelection from the window's labels (LblPatID, LblPatName,
// LblTestDate, LblTestTime, LblAgeN, LblAgeU, LblSex, LblDocName, Cmb_patientsefa, Cmb_drsefa and
// Txt_AUTOID, the AutoNum of the selected result; empty when none is selected).
//
// Both commands do everything else: the refusal without a selection, grant 4 with the common
// refusal, the layout from [report] reportlayout and the check box, the report printer
// ([report] reportprinter: the default one on Windows, the named one elsewhere; a printer that is
// not installed is refused and nothing is printed), the build from the interface database, and
// the print without a dialog or the modal preview window. Every message goes through the
// context's dialogs. Each returns what happened.

#include "reports/ReportPrinting.h"

#include <memory>

class AppContext;
class QWidget;

class ReportCommandsUi final
{
public:
    ReportCommandsUi(AppContext& context, QWidget* window);
    ~ReportCommandsUi();
    ReportCommandsUi(const ReportCommandsUi&) = delete;
    ReportCommandsUi& operator=(const ReportCommandsUi&) = delete;

    ReportPrinting::Outcome print(const ReportSelection& selection, bool separate);
    ReportPrinting::Outcome preview(const ReportSelection& selection, bool separate);

    // Other printers or another output in place of the station's (not owned).
    void setPrinters(Printers* printers) { m_printers = printers; }
    void setOutput(ReportOutput* output) { m_output = output; }

private:
    AppContext& m_context;
    std::unique_ptr<Printers> m_systemPrinters;
    std::unique_ptr<ReportOutput> m_systemOutput;
    Printers* m_printers;
    ReportOutput* m_output;
};

// Reports on paper through QPrinter and in ReportPreviewDialog, parented to `window`.
class PrinterOutputUi final : public ReportOutput
{
public:
    explicit PrinterOutputUi(QWidget* window) : m_window(window) {}
    bool print(const ReportLayout& layout, const QString& printer, QString* error) override;
    void preview(const ReportLayout& layout) override;

private:
    QWidget* m_window;
};
