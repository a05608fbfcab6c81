#include "app/AppContext.h"
#include "app/CommandLine.h"
#include "db/Databases.h"
#include "link/AnalyserCapture.h"
#include "link/LineReceiver.h"
#include "link/ReceiveChain.h"
#include "link/SerialSession.h"
#include "platform/StreamDialogs.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
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
    AppContext& context = setup.context;
    if (!context.installFolder().exists()) {
        args.err << "corvana-vidas: " << context.installFolder().path() << ": no such install folder\n";
        return false;
    }
    context.loadSettings();
    if (!context.settings.settingsFileFound) {
        args.err << "corvana-vidas: " << context.installFolder().settingsIni() << " is missing\n";
        return false;
    }
    context.buildConnectionStrings();
    Databases& databases = context.databases();
    if (!databases.OpenInterfaceDbQuiet(4).isOpen()) {
        args.err << "corvana-vidas: interface database: " << databases.lastError(DbSlot::InterfaceQuiet4) << '\n';
        return false;
    }
    return true;
}

bool readCapture(const QString& path, QByteArray& bytes, QTextStream& err)
{
    const QFileInfo info(path);
    if (!info.exists() || info.isDir()) {
        err << "corvana-vidas: " << path << (info.isDir() ? ": is a folder, not a capture file\n" : ": no such file\n");
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        err << "corvana-vidas: " << path << ": cannot be read (" << file.errorString() << ")\n";
        return false;
    }
    bytes = file.readAll();
    return true;
}

volatile std::sig_atomic_t g_stopRequested = 0;

void onStopSignal(int)
{
    g_stopRequested = 1;
}

} // namespace

// replay FILE: the capture as the analyser would send it (line noise, each lone ENQ, then the rest
// of its session up to its EOT) through the serial session and the whole chain into the configured
// databases. Each line the receive window would list is printed. The capture archive is not
// written: the file is a capture already.
int commandReplay(const CommandArgs& args)
{
    if (args.words.size() != 1) {
        args.err << "corvana-vidas: replay needs exactly one capture file: corvana-vidas replay FILE\n";
        return 2;
    }
    QByteArray capture;
    if (!readCapture(args.words.first(), capture, args.err))
        return 1;
    ChainSetup setup(args);
    if (!prepare(setup, args))
        return 1;

    ReceiveChain chain(setup.context);
    int stored = 0;
    QObject::connect(&chain, &ReceiveChain::resultCounted, [&stored] { ++stored; });
    QObject::connect(&chain, &ReceiveChain::listLineAdded, [&args](const QString& line) {
        args.out << line << '\n';
        args.out.flush();
    });
    SerialSession session;
    int messages = 0;
    const auto deliver = [&](const QByteArray& read) {
        if (!session.onData(read).messageCut)
            return;
        ++messages;
        chain.ParseMessages(session.messageArea());
    };

    qsizetype at = 0;
    for (const AnalyserCapture::Session& s : AnalyserCapture::splitSessions(capture)) {
        const bool hasEnq =
            at + s.leading.size() < capture.size() && capture.at(at + s.leading.size()) == AnalyserCapture::ENQ;
        at += s.leading.size() + (hasEnq ? 1 : 0) + s.body.size();
        if (!s.leading.isEmpty())
            deliver(s.leading);
        if (hasEnq)
            deliver(QByteArray(1, AnalyserCapture::ENQ));
        if (!s.body.isEmpty())
            deliver(s.body);
    }
    // Noise before an ENQ may have held an EOT of its own; a line would cut it at the next arrival.
    while (session.buffer().contains(SerialSession::EOT))
        deliver(QByteArray());
    if (!session.buffer().isEmpty())
        args.err << "corvana-vidas: " << args.words.first() << ": the last " << session.buffer().size()
                 << " bytes end without EOT and were not parsed\n";
    args.err << "corvana-vidas: " << messages << " messages, " << stored << " results stored\n";
    return 0;
}

// receive: the receiver without a window on the configured port, until interrupted (Ctrl+C or
// SIGTERM). Each line the receive window would list is printed.
int commandReceive(const CommandArgs& args)
{
    if (!args.words.isEmpty()) {
        args.err << "corvana-vidas: receive takes no arguments: corvana-vidas [--home DIR] receive\n";
        return 2;
    }
    ChainSetup setup(args);
    if (!prepare(setup, args))
        return 1;
    LineReceiver receiver(setup.context);
    QObject::connect(&receiver.chain(), &ReceiveChain::listLineAdded, [&args](const QString& line) {
        args.out << line << '\n';
        args.out.flush();
    });
    QString error;
    if (!receiver.open(&error)) {
        args.err << "corvana-vidas: the serial port cannot be opened: " << error << '\n';
        return 1;
    }
    args.err << "corvana-vidas: receiving on " << receiver.device() << " (" << receiver.statusLine()
             << "); stop with Ctrl+C\n";
    args.err.flush();

    int code = 0;
    QObject::connect(&receiver, &LineReceiver::lineLost, [&](const QString& reason) {
        args.err << "corvana-vidas: the line was lost: " << reason << '\n';
        code = 1;
        QCoreApplication::quit();
    });
    g_stopRequested = 0;
    std::signal(SIGINT, onStopSignal);
    std::signal(SIGTERM, onStopSignal);
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [] {
        if (g_stopRequested)
            QCoreApplication::quit();
    });
    watch.start(100);
    QCoreApplication::exec();
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    receiver.close();
    return code;
}
