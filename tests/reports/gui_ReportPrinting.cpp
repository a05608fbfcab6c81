#include "ReportLab.h"
#include "config/IniFile.h"
#include "core/Grants.h"
#include "platform/Printers.h"
#include "platform/SystemPrintersUi.h"
#include "reports/ReportCommandsUi.h"
#include "reports/ReportPreviewDialog.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QTimer>

using Outcome = ReportPrinting::Outcome;
Q_DECLARE_METATYPE(Outcome)

namespace {

// Printers of a station: "name,name;default;windows" (windows: printing goes through the default).
class FakePrinters final : public Printers
{
public:
    explicit FakePrinters(const QString& spec)
    {
        names = spec.section(u';', 0, 0).split(u',', Qt::SkipEmptyParts);
        entry = spec.section(u';', 1, 1);
        windows = spec.section(u';', 2, 2) == u"windows";
    }
    QStringList printerNames() const override { return names; }
    QString defaultPrinterEntry() const override { return entry; }
    bool printsToDefault() const override { return windows; }
    bool setDefaultPrinter(const QString& name) override
    {
        madeDefault << name;
        entry = name + QStringLiteral(",winspool,Ne01:");
        return true;
    }
    QStringList names;
    QString entry;
    bool windows = false;
    QStringList madeDefault;
};

class RecordingOutput final : public ReportOutput
{
public:
    bool print(const ReportLayout& layout, const QString& printer, QString*) override
    {
        done << QStringLiteral("print %1 on %2").arg(layout.name, printer);
        return true;
    }
    void preview(const ReportLayout& layout) override { done << QStringLiteral("preview ") + layout.name; }
    QStringList done;
};

QStringList messages(const FakeDialogs& dialogs)
{
    QStringList out;
    for (const DialogRequest& r : dialogs.shown)
        out << r.title + u'|' + r.text;
    return out;
}

bool run(const QString& program, const QStringList& arguments, QByteArray* output = nullptr)
{
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(30000))
        return false;
    if (output)
        *output = p.readAllStandardOutput();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace

// Printing and preview as the main window's buttons run them: the refusals and their order, the
// layout choice, the report printer, the modal preview window, and a report printed on a real
// CUPS queue.
class gui_ReportPrinting : public QObject
{
    Q_OBJECT

private slots:
    void commands_data();
    void commands();
    void defaultPrinterAndCheckBox();
    void previewWindow();
    void printsOnARealQueue();
};

void gui_ReportPrinting::commands_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("autoNum"); // 0: nothing selected
    QTest::addColumn<bool>("grant4");
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<QString>("printers");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<QStringList>("shown"); // title|text of each message
    QTest::addColumn<QStringList>("done");  // what the output did
    QTest::addColumn<QStringList>("madeDefault");

    const QString warn = ReportMessages::warningTitle + u'|', err = ReportMessages::errorTitle + u'|';
    const QStringList a4{"report/reportlayout=A4 large paper", "report/reportprinter=Lab"};
    const QStringList a5{"report/reportlayout=A5 small paper", "report/reportprinter=Lab"};
    const QString lab = "Lab,Office;Office,winspool,Ne00:;windows";
    QTest::newRow("nothing selected, even without grant 4")
        << "print" << 0 << false << a4 << lab << Outcome::NoSelection << QStringList{warn + ReportMessages::noSelection}
        << QStringList{} << QStringList{};
    QTest::newRow("without grant 4") << "print" << 1 << false << a4 << lab << Outcome::NotAllowed
                                     << QStringList{warn + GrantMessages::refusalText} << QStringList{}
                                     << QStringList{};
    QTest::newRow("layout never configured")
        << "print" << 1 << true << QStringList{"report/reportlayout=", "report/reportprinter=Lab"} << lab
        << Outcome::NoLayout << QStringList{err + ReportMessages::noLayout} << QStringList{} << QStringList{"Lab"};
    QTest::newRow("preview: layout never configured")
        << "preview" << 1 << true << QStringList{"report/reportlayout=A4"} << lab << Outcome::NoLayout
        << QStringList{err + ReportMessages::noLayout} << QStringList{} << QStringList{};
    QTest::newRow("Windows: report printer made the default")
        << "print" << 1 << true << a4 << lab << Outcome::Done << QStringList{}
        << QStringList{"print Dpt_CRV_Fixed on Lab"} << QStringList{"Lab"};
    QTest::newRow("Windows: already the default")
        << "print" << 2 << true << a4 << "Office,Lab;Lab,winspool,Ne01:;windows" << Outcome::Done << QStringList{}
        << QStringList{"print Dpt_CRV_Fixed on Lab"} << QStringList{};
    QTest::newRow("elsewhere: named printer, default untouched")
        << "print" << 1 << true << a4 << "Lab,Office;Office;cups" << Outcome::Done << QStringList{}
        << QStringList{"print Dpt_CRV_Fixed on Lab"} << QStringList{};
    QTest::newRow("printer not installed: nothing printed")
        << "print" << 1 << true << QStringList{"report/reportlayout=A4 large paper", "report/reportprinter=Gone"} << lab
        << Outcome::NoPrinter << QStringList{err + ReportMessages::unknownPrinter.arg("Gone")} << QStringList{}
        << QStringList{};
    QTest::newRow("no report printer: the default one")
        << "print" << 1 << true << QStringList{"report/reportlayout=A4 large paper"} << lab << Outcome::Done
        << QStringList{} << QStringList{"print Dpt_CRV_Fixed on Office"} << QStringList{};
    QTest::newRow("no printer at all") << "print" << 1 << true << QStringList{"report/reportlayout=A4 large paper"}
                                       << ";,,,;cups" << Outcome::NoPrinter
                                       << QStringList{err + ReportMessages::noPrinter} << QStringList{}
                                       << QStringList{};
    QTest::newRow("A4, one result per report")
        << "print-separate" << 1 << true << a4 << lab << Outcome::Done << QStringList{}
        << QStringList{"print Rpt_CRV2 on Lab"} << QStringList{"Lab"};
    QTest::newRow("A5, all results") << "preview" << 1 << true << a5 << ";,,,;cups" << Outcome::Done << QStringList{}
                                     << QStringList{"preview Rpt_CRVA5All"} << QStringList{};
    QTest::newRow("A5, one result per report") << "preview-separate" << 1 << true << a5 << ";,,,;cups" << Outcome::Done
                                               << QStringList{} << QStringList{"preview Rpt_CRVA5"} << QStringList{};
    QTest::newRow("result deleted before printing")
        << "print-separate" << 99 << true << a4 << lab << Outcome::NotBuilt
        << QStringList{warn + ReportMessages::resultGone} << QStringList{} << QStringList{"Lab"};
}

void gui_ReportPrinting::commands()
{
    QFETCH(QString, action);
    QFETCH(int, autoNum);
    QFETCH(bool, grant4);
    QFETCH(QStringList, settings);
    QFETCH(QString, printers);
    QFETCH(Outcome, outcome);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, done);
    QFETCH(QStringList, madeDefault);
    ReportLab lab;
    QVERIFY(lab.ready);
    lab.install.setSettings(settings);
    ReportSelection selection = autoNum ? lab.selection(autoNum) : lab.selection(1);
    if (!autoNum)
        selection.Txt_AUTOID.clear();
    AppContext& context = lab.install.context();
    context.currentUser.grant4 = grant4;
    FakePrinters station(printers);
    RecordingOutput output;
    ReportCommandsUi commands(context, nullptr);
    commands.setPrinters(&station);
    commands.setOutput(&output);
    const bool separate = action.endsWith(u"-separate");
    const Outcome got =
        action.startsWith(u"print") ? commands.print(selection, separate) : commands.preview(selection, separate);
    QCOMPARE(messages(lab.install.dialogs), shown);
    QCOMPARE(output.done, done);
    QCOMPARE(station.madeDefault, madeDefault);
    QCOMPARE(got, outcome);
}

void gui_ReportPrinting::defaultPrinterAndCheckBox()
{
    // The default printer is the installed one the profile entry names, up to its first comma.
    FakePrinters station("Lab,HP LaserJet 4;HP LaserJet 4,winspool,Ne01:;windows");
    QCOMPARE(ReportPrinting::GetDefaultReportPrinter(station), QString("HP LaserJet 4"));
    station.entry = QString("HP LaserJet 4") + QChar(0) + QString(",x");
    QCOMPARE(ReportPrinting::GetDefaultReportPrinter(station), QString("HP LaserJet 4"));
    station.entry = QStringLiteral(",,,");
    QCOMPARE(ReportPrinting::GetDefaultReportPrinter(station), QString());
    station.entry = QStringLiteral("HP LaserJet,winspool,Ne01:");
    QCOMPARE(ReportPrinting::GetDefaultReportPrinter(station), QString());

    // The check box is remembered in the settings file, never in a file made for it.
    TestInstall install;
    ReportPrinting::rememberSeparate(install.context(), true);
    QCOMPARE(ReadIni(install.settingsIni(), "report", "putsymbolmark"), QString("1"));
    ReportPrinting::rememberSeparate(install.context(), false);
    QCOMPARE(ReadIni(install.settingsIni(), "report", "putsymbolmark"), QString("0"));
    AppContext& context = install.context();
    QVERIFY(QFile::remove(install.settingsIni()));
    ReportPrinting::rememberSeparate(context, true);
    QVERIFY(!QFileInfo::exists(install.settingsIni()));
}

void gui_ReportPrinting::previewWindow()
{
    ReportLab lab;
    QVERIFY(lab.ready);
    lab.install.setSettings({"report/reportlayout=A4 large paper"});
    const ReportSelection selection = lab.selection(1); // before the context: it makes its own
    AppContext& context = lab.install.context();
    context.currentUser.grant4 = true;
    FakePrinters station(";;cups");
    QWidget mainWindow;
    ReportCommandsUi commands(context, &mainWindow);
    commands.setPrinters(&station);
    // The window is modal: look at it and close it from the event loop it runs.
    QString seen;
    QTimer::singleShot(0, this, [&] {
        auto* preview = qobject_cast<ReportPreviewDialog*>(QApplication::activeModalWidget());
        if (!preview) {
            seen = QStringLiteral("no modal preview");
            return;
        }
        QTest::qWait(50);
        const double twips = preview->logicalDpiX() / 1440.0;
        const QRect screen = preview->screen()->availableGeometry();
        seen = QStringLiteral("%1 at %2,%3 width %4 height %5 pages %6")
                   .arg(preview->objectName())
                   .arg(preview->x() - screen.x())
                   .arg(preview->y() - screen.y())
                   .arg(std::abs(preview->width() - std::min(screen.width(), int(13000 * twips))) <= 1 ? "ok" : "wrong")
                   .arg(std::abs(preview->height() - (screen.height() - int(400 * twips))) <= 1 ? "ok" : "wrong")
                   .arg(preview->pagesShown());
        preview->grab().save(QDir::temp().filePath("corvana-report-preview.png"));
        preview->reject();
    });
    QCOMPARE(commands.preview(selection, false), Outcome::Done);
    QCOMPARE(seen, QString("Dpt_CRV_Fixed at 0,0 width ok height ok pages 1"));
    QVERIFY(lab.install.dialogs.shown.isEmpty());
}

void gui_ReportPrinting::printsOnARealQueue()
{
    // A CUPS scheduler with a PDF queue: the job comes out as a PDF in $HOME/PDF.
    QProcess scheduler;
    QLocalSocket probe;
    probe.connectToServer(QStringLiteral("/run/cups/cups.sock"));
    if (!probe.waitForConnected(1000)) {
        scheduler.start(QStringLiteral("cupsd"), {QStringLiteral("-f")});
        QVERIFY2(scheduler.waitForStarted(5000), "cupsd cannot start: install cups (scripts/install-deps.sh)");
        QElapsedTimer waited;
        waited.start();
        QByteArray status;
        while (waited.elapsed() < 15000 && !(run(QStringLiteral("lpstat"), {QStringLiteral("-r")}, &status) &&
                                             status.startsWith("scheduler is running")))
            QTest::qWait(100);
        QVERIFY2(scheduler.state() == QProcess::Running, "cupsd stopped at once");
    }
    probe.abort();
    const auto stop = qScopeGuard([&scheduler] {
        if (scheduler.state() == QProcess::Running) {
            scheduler.terminate();
            scheduler.waitForFinished(10000);
        }
    });
    const QString queue = QStringLiteral("CorvanaReports");
    QVERIFY2(run(QStringLiteral("lpadmin"),
                 {"-p", queue, "-v", "cups-pdf:/", "-P", "/usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd", "-E"}),
             "the cups-pdf queue cannot be added (printer-driver-cups-pdf)");

    ReportLab lab;
    QVERIFY(lab.ready);
    lab.install.setSettings({"report/reportlayout=A5 small paper", "report/reportprinter=" + queue});
    const ReportSelection selection = lab.selection(1);
    AppContext& context = lab.install.context();
    context.currentUser.grant4 = true;
    const QDir out(QDir::home().filePath("PDF"));
    const QStringList before = out.entryList({"*.pdf"}, QDir::Files);
    ReportCommandsUi commands(context, nullptr);
    QCOMPARE(commands.print(selection, false), Outcome::Done);
    QVERIFY2(lab.install.dialogs.shown.isEmpty(), qPrintable(messages(lab.install.dialogs).join('\n')));
    QString printed;
    QElapsedTimer waited;
    waited.start();
    while (printed.isEmpty() && waited.elapsed() < 60000) {
        for (const QString& f : out.entryList({"*.pdf"}, QDir::Files))
            if (!before.contains(f))
                printed = out.filePath(f);
        if (printed.isEmpty())
            QTest::qWait(200);
    }
    QVERIFY2(!printed.isEmpty(), "no page came out of the queue");
    QTest::qWait(500); // cups-pdf writes the file in one go; give it that moment
    // The queue's own PDF keeps no text to read back (its fonts lose their character maps), so
    // the page is checked as a scanner and a ruler would: A5, one page, and the patient's barcode.
    QByteArray info, scanned;
    QVERIFY(run(QStringLiteral("pdfinfo"), {printed}, &info));
    QVERIFY2(info.contains("Pages:           1") && info.contains("(A5)"), info.constData());
    const QString raster = QDir::temp().filePath(QStringLiteral("corvana-printed"));
    QVERIFY(run(QStringLiteral("pdftoppm"), {"-r", "300", "-png", "-singlefile", printed, raster}));
    QVERIFY(run(QStringLiteral("zbarimg"), {"-q", raster + ".png"}, &scanned));
    QCOMPARE(scanned.trimmed(), QByteArray("EAN-13:2601140001230"));
    QFile::remove(raster + ".png");
    QFile::remove(printed);
}

QTEST_MAIN(gui_ReportPrinting)
#include "gui_ReportPrinting.moc"
