#include "ProgramRun.h"
#include "ReportLab.h"
#include "reports/ReportPrinting.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace {

QString tool(const QString& program, const QStringList& arguments)
{
    QProcess p;
    p.start(program, arguments);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QStringLiteral("<%1 failed: %2>").arg(program, QString::fromUtf8(p.readAllStandardError()));
    return QString::fromUtf8(p.readAllStandardOutput());
}

// The words of a text in order: Arabic presentation forms made plain, direction marks dropped.
QString plain(const QString& text)
{
    QString t = text.normalized(QString::NormalizationForm_KC);
    t.remove(QRegularExpression(QStringLiteral("[\\x{200E}\\x{200F}\\x{202A}-\\x{202E}]")));
    return t.simplified();
}

// Standard error without the platform's notes about the environment.
QString firstMessage(const QString& err)
{
    for (const QString& line : err.split(u'\n'))
        if (!line.startsWith(u"QStandardPaths:"))
            return line;
    return {};
}

} // namespace

// The report and ean13 commands as the IT person runs them: PDFs whose text reads in order and
// whose barcode scans at 300 dpi for both papers, page images, and clear refusals.
class it_ReportCommand : public QObject
{
    Q_OBJECT

private slots:
    void reports_data();
    void reports();
    void refusals_data();
    void refusals();
};

void it_ReportCommand::reports_data()
{
    QTest::addColumn<QStringList>("arguments"); // after "--home DIR report"
    QTest::addColumn<QString>("out");
    QTest::addColumn<QStringList>("reading"); // pieces the PDF text shows, in this order
    QTest::addColumn<QString>("scanned");     // what zbarimg reads at 300 dpi

    QTest::newRow("A4 all results") << QStringList{"1"} << "Dpt_CRV_Fixed: 2 result(s) of أحمد محمود علي"
                                    << QStringList{"Name",
                                                   "السيد أحمد محمود علي",
                                                   "Patient ID.",
                                                   "Test Result Report",
                                                   "TSH",
                                                   "7.5",
                                                   "uUI/ml",
                                                   "H",
                                                   "0.25 - 5.00",
                                                   "FT4",
                                                   "12.79",
                                                   "pmol/l",
                                                   "9 - 19",
                                                   "Comment:",
                                                   "Repeat after 3 months"}
                                    << "EAN-13:2601140001230";
    QTest::newRow("A5 one result") << QStringList{"2", "--separate", "--layout", "Rpt_CRVA5"}
                                   << "Rpt_CRVA5: 1 result(s) of أحمد محمود علي"
                                   << QStringList{"Printed In", "FT4", "12.79", "pmol/l", "9 - 19", "Dr. Director"}
                                   << "EAN-13:2601140001230";
    QTest::newRow("A5 all results, settings' paper")
        << QStringList{"1", "--png"} << "Rpt_CRVA5All: 2 result(s) of أحمد محمود علي"
        << QStringList{"TSH", "7.5", "FT4", "12.79"} << "EAN-13:2601140001230";
    QTest::newRow("A4 one result, a name with a quote")
        << QStringList{"5", "--separate"} << "Rpt_CRV2: 1 result(s) of O'Brien 100% Smith"
        << QStringList{"O'Brien 100% Smith", "O1", "CRP", "3.4", "mg/l", "L"} << "";
}

void it_ReportCommand::reports()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, out);
    QFETCH(QStringList, reading);
    QFETCH(QString, scanned);
    ReportLab lab;
    QVERIFY(lab.ready);
    if (arguments.contains("--png"))
        lab.install.setSettings({"report/reportlayout=A5 small paper"});
    const QString pdf = lab.install.path() + "/report.pdf", png = lab.install.path() + "/report.png";
    if (arguments.removeAll("--png"))
        arguments << "--png" << png;
    const ProgramRun run =
        runCorvanaVidas(QStringList{"--home", lab.install.path(), "report"} + arguments + QStringList{"--pdf", pdf});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, out + " -> " + pdf + (arguments.contains("--png") ? " -> " + png : QString()) + "\n");

    const QString text = plain(tool("pdftotext", {"-layout", pdf, "-"}));
    qsizetype at = 0;
    for (const QString& piece : reading) {
        const qsizetype found = text.indexOf(plain(piece), at);
        QVERIFY2(found >= 0, qPrintable(QStringLiteral("\"%1\" after %2 in: %3").arg(piece).arg(at).arg(text)));
        at = found + plain(piece).size();
    }
    const QString raster = lab.install.path() + "/scan";
    tool("pdftoppm", {"-r", "300", "-png", "-singlefile", pdf, raster});
    QProcess zbar;
    zbar.start("zbarimg", {"-q", raster + ".png"});
    QVERIFY(zbar.waitForFinished(60000));
    QCOMPARE(QString::fromUtf8(zbar.readAllStandardOutput()).trimmed(), scanned);
    if (arguments.contains("--png")) {
        const QImage page(png);
        QCOMPARE(page.size(), QSize(874, 1240)); // A5 at 150 dpi
    }
}

void it_ReportCommand::refusals_data()
{
    QTest::addColumn<QStringList>("arguments"); // after "--home DIR"
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err"); // its first line

    QTest::newRow("ean13") << QStringList{"ean13", "590123412345"} << QStringList{} << 0 << "v{{{|JQRCDU{|{123457|\n"
                           << "";
    QTest::newRow("ean13 of letters") << QStringList{"ean13", "59012341234A"} << QStringList{} << 1 << ""
                                      << "corvana-vidas: ean13: \"59012341234A\" cannot be encoded: it takes 12 to 18 "
                                         "digits (not 16) and nothing else";
    QTest::newRow("ean13 without digits") << QStringList{"ean13"} << QStringList{} << 2 << ""
                                          << "usage: corvana-vidas ean13 DIGITS   (12 to 18 digits, not 16)";
    QTest::newRow("no such result") << QStringList{"report", "77", "--pdf", "x.pdf"} << QStringList{} << 1 << ""
                                    << "corvana-vidas: report: no stored result has AutoNum 77";
    QTest::newRow("no file named") << QStringList{"report", "1"} << QStringList{} << 2 << ""
                                   << "corvana-vidas: report: give --pdf FILE or --png FILE";
    QTest::newRow("unknown layout") << QStringList{"report", "1", "--pdf", "x.pdf", "--layout", "Big"} << QStringList{}
                                    << 2 << ""
                                    << "corvana-vidas: report: no layout \"Big\"";
    QTest::newRow("paper never chosen") << QStringList{"report", "1", "--pdf", "x.pdf"}
                                        << QStringList{"report/reportlayout="} << 1 << ""
                                        << ReportMessages::errorTitle + ": " + ReportMessages::noLayout;
    QTest::newRow("PDF cannot be written")
        << QStringList{"report", "1", "--pdf", "/nonexistent/dir/x.pdf"} << QStringList{} << 1 << ""
        << "corvana-vidas: report: cannot write /nonexistent/dir/x.pdf: No such file or directory";
}

void it_ReportCommand::refusals()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, settings);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    ReportLab lab;
    QVERIFY(lab.ready);
    lab.install.setSettings(settings);
    const QString home = lab.install.path();
    const ProgramRun run = runCorvanaVidas(QStringList{"--home", home} + arguments);
    QCOMPARE(run.exitCode, exitCode);
    QCOMPARE(run.out, out);
    QCOMPARE(firstMessage(run.err), err);
    QVERIFY(!QFileInfo::exists(home + "/x.pdf"));
}

QTEST_MAIN(it_ReportCommand)
#include "it_ReportCommand.moc"
