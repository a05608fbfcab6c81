// The login window's start-up steps on SQLite, from the start of the steps to the moment the login
// boxes are asked for (step 9): what a user waits before typing. Prints the median and the slowest
// of the runs in milliseconds; the target is 300 ms on the station.
//
//   bench_Startup [--runs N]   (default 20)

#include "app/StartupSequence.h"
#include "config/IniFile.h"
#include "core/AppContext.h"
#include "db/Databases.h"
#include "db/Schema.h"
#include "db/ScopedConnection.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/InstallFolder.h"
#include "platform/SingleInstance.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

namespace {

class NoOtherCopy final : public SingleInstance
{
public:
    bool anotherCopyRuns() override { return false; }
};

class SilentDialogs final : public Dialogs
{
public:
    DialogAnswer show(const DialogRequest& request) override
    {
        std::fprintf(stderr, "message: %s: %s\n", qUtf8Printable(request.title), qUtf8Printable(request.text));
        return DialogAnswer::No;
    }
};

class FixedClock final : public Clock
{
public:
    QDateTime now() const override { return QDateTime(QDate(2026, 12, 5), QTime(14, 7)); }
};

void say(const QString& text)
{
    std::fprintf(stderr, "%s\n", qUtf8Printable(text));
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    int runs = 20;
    const QStringList args = app.arguments();
    if (const auto i = args.indexOf(QStringLiteral("--runs")); i >= 0 && i + 1 < args.size())
        runs = std::max(1, args[i + 1].toInt());

    QTemporaryDir dir;
    const InstallFolder install(dir.path());
    WriteIni(install.settingsIni(), QStringLiteral("server"), QStringLiteral("engine"), QStringLiteral("sqlite"));
    WriteIni(install.settingsIni(), QStringLiteral("corvanaserver"), QStringLiteral("active"), QStringLiteral("0"));
    WriteIni(install.memoryIni(), QStringLiteral("reportdata"), QStringLiteral("colorTIT1"), QStringLiteral("0"));
    {
        ScopedConnection db(QStringLiteral("QSQLITE"));
        QString error;
        if (!db.openSqlite(install.filePath(QStringLiteral("InterfaceVIDAS.db")), &error) ||
            !Schema::ensureInterface(db.db(), SqlEngine::Sqlite)) {
            say(QStringLiteral("database: ") + error);
            return 1;
        }
    }

    QList<double> ms;
    for (int run = 0; run < runs; ++run) {
        SilentDialogs dialogs;
        FixedClock clock;
        AppContext context(install, &dialogs, &clock);
        NoOtherCopy single;
        StartupSequence sequence(context, single);
        bool asked = false;
        QObject::connect(&sequence, &StartupSequence::loginRequested, [&asked] { asked = true; });
        QObject::connect(&sequence, &StartupSequence::firstAdministratorRequested, [&asked] { asked = true; });
        QElapsedTimer timer;
        timer.start();
        if (!sequence.load())
            return 1;
        sequence.start();
        while (!asked && timer.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        if (!asked) {
            say(QStringLiteral("the login was never asked for (step %1)").arg(sequence.step()));
            return 1;
        }
        ms << timer.nsecsElapsed() / 1e6;
        context.databases().closeAll();
    }
    std::sort(ms.begin(), ms.end());
    std::printf("start-up steps to the login boxes: median %.1f ms, slowest %.1f ms over %d runs (target 300 ms)\n",
                ms[ms.size() / 2], ms.last(), int(ms.size()));
    return 0;
}
