#include "core/AppContext.h"
#include "db/Databases.h"
#include "db/SqlRun.h"
#include "platform/StreamDialogs.h"
#include "reports/Barcodes.h"
#include "reports/ReportBuilder.h"
#include "reports/ReportCommands.h"
#include "reports/ReportPrinting.h"
#include "reports/ReportRenderer.h"

namespace {

const char* const reportUsage =
    "usage: corvana-vidas [--home DIR] report AUTONUM [--pdf FILE] [--png FILE] [--separate] [--layout NAME]\n"
    "  the report of the stored result AUTONUM (its patient and day, or the one result with --separate),\n"
    "  on the paper the settings choose ([report] reportlayout); --layout Dpt_CRV_Fixed, Rpt_CRV2,\n"
    "  Rpt_CRVA5 or Rpt_CRVA5All overrides both. --png writes each page as an image (FILE, FILE-2, ...).\n";

struct Options
{
    QString autoNum;
    QString pdf;
    QString png;
    QString layout;
    bool separate = false;
    QString problem;
};

Options readOptions(const QStringList& words)
{
    Options o;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const QString& w = words[i];
        const auto value = [&](QString& into) {
            if (i + 1 >= words.size() || words[i + 1].startsWith(QLatin1String("--")))
                o.problem = w + QStringLiteral(" needs a value");
            else
                into = words[++i];
        };
        if (w == QLatin1String("--pdf"))
            value(o.pdf);
        else if (w == QLatin1String("--png"))
            value(o.png);
        else if (w == QLatin1String("--layout"))
            value(o.layout);
        else if (w == QLatin1String("--separate"))
            o.separate = true;
        else if (w.startsWith(QLatin1String("--")) || !o.autoNum.isEmpty())
            o.problem = QStringLiteral("unexpected \"%1\"").arg(w);
        else
            o.autoNum = w;
    }
    if (o.problem.isEmpty() && o.autoNum.isEmpty())
        o.problem = QStringLiteral("which result? give its AutoNum");
    if (o.problem.isEmpty() && o.pdf.isEmpty() && o.png.isEmpty())
        o.problem = QStringLiteral("give --pdf FILE or --png FILE");
    bool number = false;
    if (o.problem.isEmpty() && (o.autoNum.toLongLong(&number), !number))
        o.problem = QStringLiteral("\"%1\" is not an AutoNum").arg(o.autoNum);
    if (o.problem.isEmpty() && !o.layout.isEmpty() && ReportLayouts::byName(o.layout).sections.isEmpty())
        o.problem = QStringLiteral("no layout \"%1\"").arg(o.layout);
    return o;
}

} // namespace

bool reportCommandDraws(const QStringList& arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QLatin1String("--home")) {
            ++i;
            continue;
        }
        if (!arguments[i].startsWith(QLatin1String("--home=")))
            return arguments[i] == QLatin1String("report");
    }
    return false;
}

// report: builds the report of a stored result as the main window would for it and writes it as
// PDF and/or PNG.
int commandReport(const CommandArgs& args)
{
    const Options o = readOptions(args.words);
    if (!o.problem.isEmpty()) {
        args.err << "corvana-vidas: report: " << o.problem << '\n' << reportUsage;
        return 2;
    }
    StreamDialogs dialogs(args.err);
    SystemClock clock;
    AppContext context(InstallFolder(args.home), &dialogs, &clock);
    if (!context.installFolder().exists()) {
        args.err << "corvana-vidas: " << args.home << ": no such install folder\n";
        return 1;
    }
    context.loadSettings();
    context.buildConnectionStrings();
    const QString layout =
        o.layout.isEmpty() ? ReportPrinting::chooseLayout(context.settings.reportlayout, o.separate) : o.layout;
    if (layout.isEmpty()) {
        dialogs.error(ReportMessages::errorTitle, ReportMessages::noLayout);
        args.err << "corvana-vidas: report: [report] reportlayout is \"" << context.settings.reportlayout
                 << "\"; set it to \"" << ReportPrinting::a4Setting << "\" or \"" << ReportPrinting::a5Setting
                 << "\", or give --layout\n";
        return 1;
    }
    const QSqlDatabase db = context.databases().OpenInterfaceDb();
    if (!db.isOpen()) {
        args.err << "corvana-vidas: interface database: " << context.databases().lastError(DbSlot::Interface) << '\n';
        return 1;
    }
    QSqlError error;
    const auto row =
        SqlRun::first(db, QStringLiteral("SELECT * FROM Result where AutoNum=?"), {o.autoNum.toLongLong()}, &error);
    if (!row) {
        args.err << "corvana-vidas: report: "
                 << (error.isValid() ? error.text() : QStringLiteral("no stored result has AutoNum ") + o.autoNum)
                 << '\n';
        return 1;
    }
    const ReportBuilder builder(context.settings, context.installFolder(), clock.now(), db);
    const BuiltReport report = builder.build(layout, ReportSelection::fromResultRow(*row));
    if (!report.queryOk) {
        args.err << "corvana-vidas: report: the results cannot be read: " << report.error << '\n';
        return 1;
    }
    QString problem;
    if (!o.pdf.isEmpty() && !ReportRenderer::toPdf(report.layout, o.pdf, &problem)) {
        args.err << "corvana-vidas: report: " << problem << '\n';
        return 1;
    }
    if (!o.png.isEmpty() && !ReportRenderer::toPng(report.layout, o.png, 150, &problem)) {
        args.err << "corvana-vidas: report: " << problem << '\n';
        return 1;
    }
    args.out << layout << ": " << report.layout.records.size() << " result(s) of "
             << row->value(QStringLiteral("Patientname")).toString();
    for (const QString& file : {o.pdf, o.png})
        if (!file.isEmpty())
            args.out << " -> " << file;
    args.out << '\n';
    return 0;
}

// ean13: the text the barcode font draws for DIGITS.
int commandEan13(const CommandArgs& args)
{
    if (args.words.size() != 1) {
        args.err << "usage: corvana-vidas ean13 DIGITS   (12 to 18 digits, not 16)\n";
        return 2;
    }
    const QString digits = args.words.first();
    const QString symbol = Barcodes::EncodeEAN13(digits);
    if (symbol.isEmpty()) {
        args.err << "corvana-vidas: ean13: \"" << digits
                 << "\" cannot be encoded: it takes 12 to 18 digits (not 16) and nothing else\n";
        return 1;
    }
    args.out << symbol << '\n';
    return 0;
}
