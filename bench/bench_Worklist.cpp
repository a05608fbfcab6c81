// The main window's and the search's reads on SQLite with a laboratory's worth of data (1,000,000
// results over 1,000 days, 100,000 LIS patients): the day's patient list, the result view of one
// patient, each kind of search (top 100), and the LIS worklist of one request date. Prints the
// median and the slowest of each over varied inputs.
//
//   bench_Worklist [--dir DIR] [--runs N] [--engine postgresql]
//     --dir DIR   keep the generated install folder in DIR and reuse it on the next run
//     --runs N    inputs per figure (default 25)

#include "BenchLab.h"
#include "app/DailyWorklist.h"
#include "review/ResultSearch.h"

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QString folder;
    int runs = 25;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--dir") && i + 1 < args.size())
            folder = args[++i];
        else if (args[i] == QLatin1String("--runs") && i + 1 < args.size())
            runs = std::max(3, args[++i].toInt());
    }
    std::unique_ptr<QTemporaryDir> temporary;
    if (folder.isEmpty()) {
        temporary = std::make_unique<QTemporaryDir>();
        folder = temporary->path();
    }
    QDir().mkpath(folder);
    const QDate today(2026, 12, 5);
    const InstallFolder install(folder);
    BenchEngine engine;
    if (!chooseEngine(args, engine))
        return 1;
    std::printf("engine: %s\n", qUtf8Printable(engine.name()));
    if (!ensureGenerated(engine, install, today, 500))
        return 1;

    SilentDialogs dialogs;
    FixedClock clock;
    clock.at = QDateTime(today, QTime(14, 7));
    AppContext context(install, &dialogs, &clock);
    context.loadSettings();
    context.buildConnectionStrings();
    const DailyWorklist::ActiveTests active = DailyWorklist::loadActiveTests(context);

    const auto report = [](const char* what, QList<double> ms, double target, const QString& rows) {
        const Figures f = figuresOf(std::move(ms));
        std::printf("%-34s median %7.2f ms   max %7.2f ms   target %5.0f ms   %s   (%s)\n", what, f.median, f.max,
                    target, f.median <= target ? "met" : "MISSED", qUtf8Printable(rows));
        std::fflush(stdout);
    };
    const auto timed = [](auto&& work) {
        QElapsedTimer t;
        t.start();
        work();
        return t.nsecsElapsed() / 1e6;
    };

    QList<double> ms;
    qsizetype rows = 0;
    QList<DailyWorklist::DayPatient> someDay;
    for (int i = 0; i < runs; ++i) {
        const QDate day = today.addDays(-1 - i * 37 % 1000);
        ms << timed([&] { someDay = DailyWorklist::patientsOfDay(context, day); });
        rows = someDay.size();
    }
    report("day's patient list", ms, 20, QStringLiteral("%1 patients a day").arg(rows));

    ms.clear();
    for (int i = 0; i < runs && !someDay.isEmpty(); ++i) {
        const DailyWorklist::DayPatient& p = someDay[i * 7 % someDay.size()];
        context.ResultCriteria = ResultSelection::forPatient(p.patientId, p.name, p.testDate);
        DailyWorklist::ResultView view;
        ms << timed([&] { view = DailyWorklist::loadResultView(context); });
        rows = view.lines.size();
    }
    report("result view of one patient", ms, 10, QStringLiteral("%1 results").arg(rows));

    struct Kind
    {
        const char* name;
        std::function<ResultSearch::Request(int)> make;
    };
    const QList<Kind> kinds{
        {"search: sample ID",
         [&](int i) {
             ResultSearch::Request r;
             r.kind = ResultSearch::Kind::SampleId;
             r.sampleId = sampleOf(today.addDays(-1 - i * 13 % 1000), i * 11 % 300);
             return r;
         }},
        {"search: patient ID",
         [&](int i) {
             ResultSearch::Request r;
             r.kind = ResultSearch::Kind::PatientId;
             r.patientId = patientOf(today.addDays(-1 - i * 13 % 1000), i * 11 % 300);
             return r;
         }},
        {"search: name (rare)",
         [&](int i) {
             ResultSearch::Request r;
             r.byName = true;
             r.name = QStringLiteral("Patient %1").arg(40000 + i * 97);
             return r;
         }},
        {"search: name part (common)",
         [&](int i) {
             ResultSearch::Request r;
             r.byName = true;
             r.name = QStringLiteral("nt %1").arg(i % 10);
             return r;
         }},
        {"search: sex and a month",
         [&](int i) {
             ResultSearch::Request r;
             r.bySex = r.byDate = true;
             r.sex = i % 2 ? QStringLiteral("Male") : QStringLiteral("Female");
             r.first = today.addDays(-30 - i * 20);
             r.last = r.first.addDays(30);
             return r;
         }},
        {"search: test and value",
         [&](int i) {
             ResultSearch::Request r;
             r.kind = ResultSearch::Kind::Test;
             r.test = QStringLiteral("Test %1").arg(1 + i * 7 % 100);
             r.compare = QStringLiteral(">");
             r.number = QString::number(10 + i % 14);
             return r;
         }},
    };
    for (const Kind& kind : kinds) {
        ms.clear();
        for (int i = 0; i < runs; ++i) {
            const ResultSearch::Request request = kind.make(i);
            ResultSearch::Outcome outcome;
            ms << timed([&] { outcome = ResultSearch::search(context, request); });
            rows = outcome.hits.size();
        }
        report(kind.name, ms, 100, QStringLiteral("%1 hits").arg(rows));
    }

    ms.clear();
    for (int i = 0; i < runs; ++i) {
        const QDate day = i == 0 ? today : today.addDays(-1 - i * 29 % 1000);
        DailyWorklist::Worklist list;
        ms << timed([&] { list = DailyWorklist::loadLisWorklist(context, day, active.codeList); });
        if (i == 0)
            rows = list.rows.size();
    }
    report("LIS worklist of a request date", ms, 50, QStringLiteral("%1 rows today").arg(rows));
    return dialogs.shown == 0 ? 0 : 1;
}
