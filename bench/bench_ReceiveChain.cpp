// The receive chain per record on SQLite, with a laboratory's worth of data: 100 catalogue tests,
// 1,000 reference ranges, 1,000,000 stored results and 100,000 LIS patients with 3 requests each.
// Each measured record goes the whole way: parsing, evaluation (catalogue, factor, LIS patient,
// range), flag, storage in Result and the write into the LIS request. Prints the median and the
// 99th percentile per record, for new results and for results that overwrite their row, and how
// that compares with the record's time on the wire at 9600 baud.
//
//   bench_ReceiveChain [--dir DIR] [--today N] [--engine postgresql]
//     --dir DIR   keep the generated install folder in DIR and reuse it on the next run
//     --today N   LIS patients requested today, whose results are measured (default 500)

#include "BenchLab.h"

namespace {

int sent(const QStringList& lines)
{
    return static_cast<int>(
        std::count_if(lines.begin(), lines.end(), [](const QString& l) { return l.endsWith(QLatin1String("Yes")); }));
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QString folder;
    int todays = 500;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--dir") && i + 1 < args.size())
            folder = args[++i];
        else if (args[i] == QLatin1String("--today") && i + 1 < args.size())
            todays = std::clamp(args[++i].toInt(), 1, kPatients);
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
    if (!ensureGenerated(engine, install, today, todays))
        return 1;
    SilentDialogs dialogs;
    FixedClock clock;
    clock.at = QDateTime(today, QTime(14, 7));
    AppContext context(install, &dialogs, &clock);
    context.loadSettings();
    context.buildConnectionStrings();
    ReceiveChain chain(context);
    QStringList lines;
    QObject::connect(&chain, &ReceiveChain::listLineAdded, [&lines](const QString& line) { lines << line; });

    // Each of today's patients has three requests (consecutive test codes); one record per request.
    QList<QByteArray> messages;
    {
        const QSqlDatabase lis = context.databases().OpenLisDbForReceiver();
        QSqlQuery q(lis);
        q.prepare(QStringLiteral("SELECT patientid, testcode FROM patienttest WHERE requestdate=? ORDER BY patientid, "
                                 "testcode"));
        q.addBindValue(today);
        q.exec();
        QRandomGenerator random(99);
        while (q.next()) {
            AnalyserCapture::Result r;
            r.sampleId = q.value(0).toString().left(12).toLatin1();
            r.shortAssay = assayOf(q.value(1).toInt() - 1000).toLatin1();
            r.longAssay = "Long name of " + r.shortAssay;
            r.at = clock.at;
            r.value = QByteArray::number(5.0 + random.bounded(20.0), 'f', 2) + " ng/ml";
            messages << AnalyserCapture::session({r});
        }
    }
    if (messages.isEmpty()) {
        say(QStringLiteral("no LIS requests for today"));
        return 1;
    }
    const auto measure = [&](QList<double>& ms) {
        lines.clear();
        for (const QByteArray& message : messages) {
            QByteArray area = message;
            QElapsedTimer t;
            t.start();
            chain.ParseMessages(area);
            ms << t.nsecsElapsed() / 1e6;
        }
        return sent(lines);
    };
    const auto forgetToday = [&context, &today] {
        SqlRun::exec(context.databases().OpenInterfaceDbQuiet(4), QStringLiteral("DELETE FROM Result WHERE Testdate=?"),
                     {today});
    };
    // Results measured on an earlier run of a kept folder would be overwritten, not new.
    forgetToday();
    QList<double> fresh;
    QList<double> overwriting;
    const int sentNew = measure(fresh);
    const int sentAgain = measure(overwriting);

    // The same again without waiting for the disk at each commit, to tell the work of the chain
    // from the flushes that make a stored result survive a power cut (the program always waits).
    forgetToday();
    Databases& databases = context.databases();
    for (const DbSlot slot : {DbSlot::InterfaceQuiet4, DbSlot::LisReceiver})
        SqlRun::exec(databases.connection(slot), QStringLiteral("PRAGMA synchronous=OFF"));
    QList<double> freshNoSync;
    QList<double> overwritingNoSync;
    measure(freshNoSync);
    measure(overwritingNoSync);

    double bytes = 0;
    for (const QByteArray& m : messages)
        bytes += m.size();
    bytes /= messages.size();
    const double wireMs = bytes * kBitsPerByte * 1000.0 / kBaud;

    std::printf("receive chain per record, SQLite (%d tests, %d ranges, %d results, %d LIS patients x %d requests)\n",
                kTests, kTests * kRangesPerTest, kResults, kPatients, kRequestsPerPatient);
    std::printf("records measured: %lld new (%d sent to the LIS), %lld overwriting (%d sent)\n",
                static_cast<long long>(fresh.size()), sentNew, static_cast<long long>(overwriting.size()), sentAgain);
    std::printf("record on the wire at %d baud: %.0f bytes, %.1f ms\n", kBaud, bytes, wireMs);
    std::printf("%-30s %10s %10s %10s %12s %12s\n", "", "median ms", "p99 ms", "max ms", "median/wire", "p99/wire");
    const QList<std::pair<const char*, Figures>> rows{{"new", figuresOf(fresh)},
                                                      {"overwriting", figuresOf(overwriting)},
                                                      {"new, no disk flush", figuresOf(freshNoSync)},
                                                      {"overwriting, no disk flush", figuresOf(overwritingNoSync)}};
    for (const auto& [name, f] : rows)
        std::printf("%-30s %10.3f %10.3f %10.3f %11.1f%% %11.1f%%\n", name, f.median, f.p99, f.max,
                    100.0 * f.median / wireMs, 100.0 * f.p99 / wireMs);
    std::printf("messages shown: %d\n", dialogs.shown);
    return 0;
}
