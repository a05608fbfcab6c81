#include "reports/ReportPrinting.h"

#include "config/IniFile.h"
#include "core/AppContext.h"
#include "core/Grants.h"
#include "db/Databases.h"
#include "platform/Printers.h"

#include <QFileInfo>

namespace ReportPrinting {

QString chooseLayout(const QString& reportlayout, bool separate)
{
    if (reportlayout == a4Setting)
        return separate ? ReportLayouts::singleA4 : ReportLayouts::fixedA4;
    if (reportlayout == a5Setting)
        return separate ? ReportLayouts::singleA5 : ReportLayouts::allA5;
    return {};
}

QString GetDefaultReportPrinter(const Printers& printers)
{
    QString entry = printers.defaultPrinterEntry();
    entry = entry.left(254);
    if (const auto nul = entry.indexOf(QChar(0)); nul >= 0)
        entry.truncate(nul);
    const QString device = entry.section(QLatin1Char(','), 0, 0);
    for (const QString& name : printers.printerNames())
        if (name == device)
            return name;
    return {};
}

void rememberSeparate(const AppContext& context, bool separate)
{
    const QString ini = context.installFolder().settingsIni();
    if (QFileInfo::exists(ini))
        WriteIni(ini, IniKeys::report, QStringLiteral("putsymbolmark"),
                 separate ? QStringLiteral("1") : QStringLiteral("0"));
}

namespace {

// The printer the report goes to; empty (after the message) when there is none to use.
QString reportPrinter(AppContext& context, Printers& printers)
{
    const QString wanted = context.settings.reportprinter;
    const QString current = GetDefaultReportPrinter(printers);
    if (wanted.isEmpty()) {
        if (current.isEmpty())
            context.dialogs().error(ReportMessages::errorTitle, ReportMessages::noPrinter);
        return current;
    }
    if (!printers.printerNames().contains(wanted)) {
        context.dialogs().error(ReportMessages::errorTitle, ReportMessages::unknownPrinter.arg(wanted));
        return {};
    }
    if (printers.printsToDefault() && current != wanted)
        printers.setDefaultPrinter(wanted);
    return wanted;
}

} // namespace

Outcome run(AppContext& context, Printers& printers, ReportOutput& output, const ReportSelection& selection,
            bool separate, Action action)
{
    Dialogs& dialogs = context.dialogs();
    if (selection.Txt_AUTOID.trimmed().isEmpty()) {
        dialogs.warning(ReportMessages::warningTitle, ReportMessages::noSelection);
        return Outcome::NoSelection;
    }
    if (!checkGrant(context.currentUser, Grant::Grant4, dialogs))
        return Outcome::NotAllowed;
    QString printer;
    if (action == Action::Print) {
        printer = reportPrinter(context, printers);
        if (printer.isEmpty())
            return Outcome::NoPrinter;
    }
    const QString layout = chooseLayout(context.settings.reportlayout, separate);
    if (layout.isEmpty()) {
        dialogs.error(ReportMessages::errorTitle, ReportMessages::noLayout);
        return Outcome::NoLayout;
    }
    // The opener shows its own message when the database cannot be reached.
    const QSqlDatabase db = context.databases().OpenInterfaceDb();
    if (!db.isOpen())
        return Outcome::NotBuilt;
    const ReportBuilder builder(context.settings, context.installFolder(), context.clock().now(), db);
    const BuiltReport report = builder.build(layout, selection);
    if (!report.queryOk) {
        dialogs.error(ReportMessages::errorTitle, ReportMessages::readFailed.arg(report.error));
        return Outcome::NotBuilt;
    }
    // A report without its result would look like a result that was never done.
    if (report.layout.records.isEmpty()) {
        dialogs.warning(ReportMessages::warningTitle, ReportMessages::resultGone);
        return Outcome::NotBuilt;
    }
    if (action == Action::Preview) {
        output.preview(report.layout);
        return Outcome::Done;
    }
    QString error;
    if (!output.print(report.layout, printer, &error)) {
        dialogs.error(ReportMessages::errorTitle, ReportMessages::printFailed.arg(printer, error));
        return Outcome::PrintFailed;
    }
    return Outcome::Done;
}

} // namespace ReportPrinting
