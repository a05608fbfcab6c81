// Build and PDF of an A4 report with 20 results, as printing does it: the layout filled from the
// interface database (SQLite) and painted into a PDF in memory. Prints the median and the slowest
// of the runs in milliseconds.
//
//   bench_Report [--runs N]   (default 50)

#include "config/AppSettings.h"
#include "config/IniFile.h"
#include "db/Schema.h"
#include "db/ScopedConnection.h"
#include "db/SqlRun.h"
#include "platform/InstallFolder.h"
#include "reports/ReportBuilder.h"
#include "reports/ReportRenderer.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    int runs = 50;
    const QStringList args = app.arguments();
    if (const auto i = args.indexOf("--runs"); i >= 0 && i + 1 < args.size())
        runs = std::max(1, args[i + 1].toInt());

    QTemporaryDir dir;
    const InstallFolder folder(dir.path());
    for (const char* kv : {"showrpttitle=1", "showrpttitlettxt=Test Result Report", "showtestditals=1",
                           "showtestditals1=Test", "showtestditals2=Result", "showtestditals3=Unit",
                           "showtestditals4=Normal range", "showtestditals5=Flag", "showdoctorsig1=Dr. Director"}) {
        const QString pair = QString::fromLatin1(kv);
        WriteIni(folder.settingsIni(), "report", pair.section('=', 0, 0), pair.section('=', 1));
    }
    AppSettings settings;
    settings.resulflag = 1;
    settings.Barcodes_T = 1;
    settings.showtopline = settings.showbuttomline = 1;
    ScopedConnection db(QStringLiteral("QSQLITE"));
    QString error;
    if (!db.openSqlite(folder.filePath("InterfaceVIDAS.db"), &error) ||
        !Schema::ensureInterface(db.db(), SqlEngine::Sqlite)) {
        std::fprintf(stderr, "database: %s\n", qPrintable(error));
        return 1;
    }
    const QDate day(2026, 12, 5);
    for (int i = 0; i < 20; ++i)
        SqlRun::exec(db.db(),
                     "INSERT INTO Result (patientid, Patientname, Testdate, testabrev, resultt1, testunit, "
                     "RESULTCASEPRINT, normalrang, comment) VALUES (?,?,?,?,?,?,?,?,?)",
                     {"2601140001230", QStringLiteral("أحمد محمود علي"), day, QStringLiteral("TEST%1").arg(i),
                      QString::number(1.5 * i), "mg/l", i % 3 ? "" : "H", "0.5 - 12.0",
                      i ? QVariant() : QVariant("Repeat after 3 months")});
    ReportSelection selection;
    selection.LblPatID = "2601140001230";
    selection.LblPatName = QStringLiteral("أحمد محمود علي");
    selection.LblTestDate = day;
    selection.LblSex = "Male";
    selection.LblAgeN = "45";
    selection.LblAgeU = "Years";
    selection.Txt_AUTOID = "1";

    QList<double> times;
    qint64 bytes = 0;
    for (int r = 0; r < runs + 3; ++r) {
        QElapsedTimer timer;
        timer.start();
        const ReportBuilder builder(settings, folder, QDateTime(day, QTime(14, 7)), db.db());
        const BuiltReport report = builder.MakeReportFixed(selection);
        const QString pdf = folder.filePath("bench.pdf");
        if (report.layout.records.size() != 20 || !ReportRenderer::toPdf(report.layout, pdf)) {
            std::fprintf(stderr, "the report was not made\n");
            return 1;
        }
        const double ms = timer.nsecsElapsed() / 1e6;
        bytes = QFileInfo(pdf).size();
        if (r >= 3) // the first runs load fonts
            times << ms;
    }
    std::sort(times.begin(), times.end());
    std::printf("A4 report, 20 results, build + PDF (%lld bytes): median %.1f ms, slowest %.1f ms over %d runs\n",
                static_cast<long long>(bytes), times[times.size() / 2], times.last(), int(times.size()));
    return 0;
}
