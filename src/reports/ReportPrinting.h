#pragma once

#include "reports/ReportBuilder.h"

#include <QString>

class AppContext;
class Printers;

// What prints and shows reports: the real one draws on a QPrinter and in a preview window (ui
// layer); tests record what they were given.
class ReportOutput
{
public:
    virtual ~ReportOutput() = default;
    // Prints every page, no dialog, on the printer named `printer`. False with `error` set when the
    // printer cannot take the job.
    virtual bool print(const ReportLayout& layout, const QString& printer, QString* error) = 0;
    // Shows the report in a modal preview window until the user closes it.
    virtual void preview(const ReportLayout& layout) = 0;
};

namespace ReportMessages {
inline const QString warningTitle = QStringLiteral("تنبية !!");
inline const QString errorTitle = QStringLiteral("خطأ..");
inline const QString noSelection = QStringLiteral("قم بإختيار التحليل أولاً");
inline const QString noLayout = QStringLiteral("قم بإختيار شكل التقرير اولا من اعدادات ثم مظهر التقرير");
// Ours: a printer or a result that is not there is said plainly, and nothing is printed.
inline const QString unknownPrinter = QStringLiteral("طابعة التقارير \"%1\" غير موجودة على هذا الجهاز - لم تتم "
                                                     "الطباعة. قم باختيار الطابعة من اعدادات ثم مظهر التقرير");
inline const QString noPrinter = QStringLiteral("لا توجد طابعة معرفة على هذا الجهاز - لم تتم الطباعة");
inline const QString printFailed = QStringLiteral("تعذرت الطباعة على الطابعة \"%1\"\n%2");
inline const QString resultGone = QStringLiteral("التحليل المختار لم يعد موجوداً - قم بتحديث القائمة ثم اختر التحليل "
                                                 "من جديد");
inline const QString readFailed = QStringLiteral("تعذرت قراءة النتائج من قاعدة البيانات - لم يتم إعداد التقرير\n%1");
} // namespace ReportMessages

namespace ReportPrinting {

inline const QString a4Setting = QStringLiteral("A4 large paper");
inline const QString a5Setting = QStringLiteral("A5 small paper");

// The layout for the `reportlayout` setting and the one-result-per-report check box; empty when
// the setting names neither paper.
QString chooseLayout(const QString& reportlayout, bool separate);

// The installed printer whose device name is the default-printer entry's (its first part, up to
// a comma or NUL); empty when none is.
QString GetDefaultReportPrinter(const Printers& printers);

// Remembers the check box in the settings (putsymbolmark "1" or "0"), when the settings file exists.
void rememberSeparate(const AppContext& context, bool separate);

enum class Action
{
    Print,
    Preview
};

enum class Outcome
{
    Done,
    NoSelection,
    NotAllowed,
    NoPrinter,
    NoLayout,
    NotBuilt, // the database could not be read, or the result is gone
    PrintFailed
};

// Print (Cmd_print) or preview (Cmd_report) of the selection: checks the selection and grant 4,
// chooses the printer (print only) and the layout, builds the report from the interface database
// and hands it to `output`. Every refusal is a message through the context's dialogs.
Outcome run(AppContext& context, Printers& printers, ReportOutput& output, const ReportSelection& selection,
            bool separate, Action action);

} // namespace ReportPrinting
