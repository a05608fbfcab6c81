#include "core/AppContext.h"
#include "core/CommandSetup.h"
#include "db/Databases.h"
#include "link/CaptureArchive.h"
#include "link/LineReceiver.h"
#include "link/LinkCommands.h"
#include "link/LisOutbox.h"
#include "link/ReceiveChain.h"
#include "platform/StreamDialogs.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QTimer>
#include <csignal>
#include <memory>

namespace {

// The install folder, its settings and both connection strings, with messages going to standard
// error and the computer's clock. No sound is ever played from the command line.
struct ChainSetup
{
    explicit ChainSetup(const CommandArgs& args)
        : dialogs(args.err), context(InstallFolder(args.home), &dialogs, &clock)
    {
    }
    StreamDialogs dialogs;
    SystemClock clock;
    AppContext context;
};

// Loads the settings and opens the interface database once, so that a folder that cannot work
// is refused with its reason before anything is received.
bool prepare(ChainSetup& setup, const CommandArgs& args)
{
    return CommandSetup::loadInstall(setup.context, args.err) &&
           CommandSetup::openInterface(setup.context, 4, args.err).isOpen();
}

// A capture file is read a piece at a time; a device or a pipe (which may never end) is refused.
bool checkCapture(const QString& path, QTextStream& err)
{
    const QFileInfo info(path);
    if (!info.exists() || info.isDir()) {
        err << "corvana-vidas: " << path << (info.isDir() ? ": is a folder, not a capture file\n" : ": no such file\n");
        return false;
    }
    if (!info.isFile()) {
        err << "corvana-vidas: " << path << ": is not a regular file (a device or a pipe), not a capture file\n";
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        err << "corvana-vidas: " << path << ": cannot be read (" << file.errorString() << ")\n";
        return false;
    }
    return true;
}

volatile std::sig_atomic_t g_stopRequested = 0;

void onStopSignal(int)
{
    g_stopRequested = 1;
}

} // namespace

// replay FILE [--force]: the capture as the analyser would send it (line noise, each lone ENQ,
// then the rest of its session up to its EOT) through the serial session and the whole chain into
// the configured databases. Each line the receive window would list is printed. Sessions already
// stored are skipped unless --force is given: a file of the install's own archive is known by the
// place of each session (and keeps their receive times), any other capture by its content. A
// result a person has edited is never overwritten. The capture archive is not written: the file
// is a capture already.
int commandReplay(const CommandArgs& args)
{
    QStringList words = args.words;
    const bool force = words.removeAll(QStringLiteral("--force")) > 0;
    if (words.size() != 1) {
        args.err << "corvana-vidas: replay needs exactly one capture file: corvana-vidas replay FILE [--force]\n";
        return 2;
    }
    const QString path = words.first();
    if (!checkCapture(path, args.err))
        return 1;
    ChainSetup setup(args);
    if (!prepare(setup, args))
        return 1;

    const QString archiveFolder = CaptureArchive(setup.context.installFolder(), setup.clock).folder();
    const bool ownArchive =
        QFileInfo(QFileInfo(path).absolutePath()).canonicalFilePath() == QFileInfo(archiveFolder).canonicalFilePath();
    ReceiveChain chain(setup.context);
    int stored = 0;
    QObject::connect(&chain, &ReceiveChain::resultCounted, [&stored] { ++stored; });
    int held = 0;
    QObject::connect(&chain, &ReceiveChain::listLineAdded, [&args, &held](const QString& line, qint64, int kind) {
        held += kind == ReceiveChain::HeldLine ? 1 : 0;
        args.out << line << '\n';
        args.out.flush();
    });
    int sessions = 0;
    int skipped = 0;
    QString waiting; // the databases cannot take results: the replay stops there
    CaptureArchive::Tail tail;
    // Each session goes through the chain as it is read, so a file of any size takes little memory.
    const bool read = CaptureArchive::forEachSession(
        path,
        [&](ReceivedSession s) {
            if (!waiting.isEmpty())
                return;
            ++sessions;
            s.origin = ReceivedSession::Origin::Replayed;
            s.force = force;
            if (!ownArchive) {
                s.archiveFile.clear();
                s.endOffset = -1;
                s.receivedAt = setup.clock.now();
            }
            const ReceiveChain::Outcome outcome = chain.processSession(s);
            if (outcome.result == ReceiveChain::Result::Skipped)
                ++skipped;
            else if (outcome.result == ReceiveChain::Result::Retry)
                waiting = outcome.reason;
        },
        0, false, false, &tail);
    if (!waiting.isEmpty()) {
        args.err << "corvana-vidas: the databases cannot take the results now: " << waiting << '\n';
        return 1;
    }
    if (!read) {
        args.err << "corvana-vidas: " << path << ": cannot be read to its end\n";
        return 1;
    }
    if (!tail.blank)
        args.err << "corvana-vidas: " << path << ": the last " << tail.afterLastEot
                 << " bytes end without EOT and were not parsed\n";
    args.err << "corvana-vidas: " << sessions << " messages, " << stored << " results stored";
    if (skipped > 0)
        args.err << ", " << skipped << " already stored (skipped; --force sends them again)";
    args.err << '\n';
    const LisOutbox::SendOutcome outbox = LisOutbox::deliver(setup.context, setup.clock.now());
    if (outbox.waiting > 0)
        args.err << "corvana-vidas: " << outbox.waiting << " results wait for the LIS: " << outbox.reason << '\n';
    // Held frames are results that did not arrive as sent: the exit code says so to a script.
    if (held > 0) {
        args.err << "corvana-vidas: " << held << " held (not stored): ask the analyser to send them again\n";
        return 1;
    }
    return 0;
}

// outbox: what waits to be written into the LIS, oldest first, and why.
int commandOutbox(const CommandArgs& args)
{
    if (!args.words.isEmpty()) {
        args.err << "corvana-vidas: outbox takes no arguments: corvana-vidas [--home DIR] outbox\n";
        return 2;
    }
    ChainSetup setup(args);
    if (!prepare(setup, args))
        return 1;
    QSqlError error;
    const auto entries = LisOutbox::waiting(setup.context.databases().OpenInterfaceDbQuiet(4), &error);
    if (!entries) {
        args.err << "corvana-vidas: the outbox cannot be read: " << error.text() << '\n';
        return 1;
    }
    for (const LisOutbox::Entry& e : *entries) {
        args.out << e.outboxId << '\t' << e.queuedAt << '\t' << e.patientid << '\t' << e.testcode << '\t' << e.resultt
                 << '\t' << e.attempts << " tries\t"
                 << (e.lastError.isEmpty() ? QStringLiteral("not tried yet") : e.lastError) << '\n';
    }
    args.err << "corvana-vidas: " << entries->size() << " results wait for the LIS\n";
    return 0;
}

// receive: the receiver without a window on the configured port, until interrupted (Ctrl+C or
// SIGTERM). Each line the receive window would list is printed. A line that is lost is opened
// again by itself; each loss and each return is said on standard error with its time.
int commandReceive(const CommandArgs& args)
{
    if (!args.words.isEmpty()) {
        args.err << "corvana-vidas: receive takes no arguments: corvana-vidas [--home DIR] receive\n";
        return 2;
    }
    // From here on a stop is a clean stop, whenever it comes: also the moment the ready line is out.
    g_stopRequested = 0;
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
    const auto restoreSignals = qScopeGuard([] {
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
    });
    ChainSetup setup(args);
    if (!prepare(setup, args))
        return 1;
    LineReceiver receiver(setup.context);
    LineIntake& intake = receiver.intake();
    QObject::connect(&intake, &LineIntake::listLineAdded, [&args](const QString& line) {
        args.out << line << '\n';
        args.out.flush();
    });
    QObject::connect(&intake, &LineIntake::listLineChanged, [&args](qint64 outboxId, const QString& status) {
        args.out << "LIS write " << outboxId << ':' << status << '\n';
        args.out.flush();
    });
    // Alarms go to standard error, each once when it starts and once when it clears.
    const auto say = [&args](const QString& what) {
        args.err << "corvana-vidas: " << what << '\n';
        args.err.flush();
    };
    QObject::connect(&intake, &LineIntake::alarmChanged, [say](const QString& alarm) {
        say(alarm.isEmpty() ? QStringLiteral("the capture archive is written again")
                            : QStringLiteral("ALARM: ") + alarm);
    });
    QObject::connect(
        &intake, &LineIntake::backlogChanged, [say, last = QString()](int waiting, const QString& reason) mutable {
            if (reason == last)
                return;
            last = reason;
            say(reason.isEmpty()
                    ? QStringLiteral("the databases take results again")
                    : QStringLiteral("ALARM: %1 sessions wait for the database: %2").arg(waiting).arg(reason));
        });
    QObject::connect(
        &intake, &LineIntake::outboxChanged, [say, last = QString()](int waiting, const QString& reason) mutable {
            if (reason == last)
                return;
            last = reason;
            say(reason.isEmpty() ? QStringLiteral("the LIS takes results again")
                                 : QStringLiteral("%1 results wait for the LIS: %2").arg(waiting).arg(reason));
        });
    const auto stamped = [say, &setup](const QString& what) {
        say(setup.clock.now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss ")) + what);
    };
    QObject::connect(&receiver.line(), &AnalyserLine::lost, [stamped](const QString& reason) {
        stamped(QStringLiteral("the line was lost: %1; it is opened again by itself").arg(reason));
    });
    QObject::connect(&receiver.line(), &AnalyserLine::reconnected,
                     [stamped, &receiver] { stamped(QStringLiteral("the line is back: %1").arg(receiver.device())); });
    if (g_stopRequested)
        return 0;
    QString error;
    if (!receiver.open(&error)) {
        args.err << "corvana-vidas: the serial port cannot be opened: " << error << '\n';
        return 1;
    }
    args.err << "corvana-vidas: receiving on " << receiver.device() << " (" << receiver.statusLine()
             << "); stop with Ctrl+C\n";
    args.err.flush();

    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [] {
        if (g_stopRequested)
            QCoreApplication::quit();
    });
    watch.start(100);
    if (!g_stopRequested)
        QCoreApplication::exec();
    const QString spilled = receiver.close();
    if (!spilled.isEmpty()) {
        say(QStringLiteral("ALARM: ") + spilled);
        return 1;
    }
    return 0;
}
