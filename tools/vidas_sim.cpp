// vidas-sim: a simulated VIDAS on a serial line. For each transmission session it sends ENQ, waits
// for the host's ACK (with a timeout and retries), then sends the session's bytes in chunks with
// delays and ends with EOT. The sessions come from capture files or are made up.
//
//   vidas-sim --device PATH   | --pty-link FILE      the line: a serial device, or a pseudo-terminal
//                                                    this program creates (its slave path goes to FILE)
//             --file CAPTURE ... | --generate N      what to send (--file may be repeated)
//             [--per-session K] [--seed S] [--chunk BYTES] [--delay MS] [--pause MS]
//             [--ack-timeout MS] [--retries N] [--baud RATE] [--wait-open MS] [--no-hold]
//             [--layout mini|tag] [--line N] [--crlf] [--decimal-comma] [--date-order DMY|MDY|YMD]
//             [--two-digit-year] [--unit-twice] [--instrument ID] [--serial SN]
//             [--frame-ack] [--damage N]
//
// --layout tag sends the records as the larger models do (fields by tag, lines cut at --line
// characters, each opened by RS); captures already in that layout go as they are. --frame-ack
// waits for ACK or NAK after each frame and sends a refused frame again, six times at most.
// --damage N flips one byte of each frame's first N sendings (one with --frame-ack off), to show
// refused and held frames.

#include "link/AnalyserCapture.h"
#include "link/TagRecord.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>
#include <QSerialPort>
#include <QThread>
#include <csignal>
#include <cstdio>
#include <memory>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int)
{
    g_stop = 1;
}

void say(const QString& text)
{
    std::fprintf(stderr, "vidas-sim: %s\n", qUtf8Printable(text));
    std::fflush(stderr);
}

// The analyser's end of the line.
class Line
{
public:
    virtual ~Line() = default;
    virtual bool write(const QByteArray& bytes) = 0;
    // Whatever arrives within `timeoutMs`; empty when nothing did.
    virtual QByteArray read(int timeoutMs) = 0;
    // Waits until the host has the line open; false after `timeoutMs`.
    virtual bool waitForHost(int timeoutMs) { return timeoutMs >= 0; }
};

class SerialLine final : public Line
{
public:
    bool open(const QString& device, qint32 baud)
    {
        m_port.setPortName(device);
        m_port.setBaudRate(baud);
        m_port.setDataBits(QSerialPort::Data8);
        m_port.setParity(QSerialPort::NoParity);
        m_port.setStopBits(QSerialPort::OneStop);
        m_port.setFlowControl(QSerialPort::NoFlowControl);
        if (!m_port.open(QIODevice::ReadWrite)) {
            say(QStringLiteral("cannot open %1: %2").arg(device, m_port.errorString()));
            return false;
        }
        return true;
    }
    bool write(const QByteArray& bytes) override
    {
        if (m_port.write(bytes) != bytes.size())
            return false;
        return m_port.waitForBytesWritten(5000) || m_port.bytesToWrite() == 0;
    }
    QByteArray read(int timeoutMs) override
    {
        if (m_port.bytesAvailable() == 0 && !m_port.waitForReadyRead(timeoutMs))
            return {};
        return m_port.readAll();
    }

private:
    QSerialPort m_port;
};

#ifdef Q_OS_UNIX
// A pseudo-terminal of our own: the host opens the slave path, we play the analyser on the master.
class PtyLine final : public Line
{
public:
    ~PtyLine() override
    {
        if (m_master >= 0)
            ::close(m_master);
    }
    bool open(const QString& linkFile)
    {
        int slave = -1;
        char name[256] = {};
        if (openpty(&m_master, &slave, name, nullptr, nullptr) != 0) {
            say(QStringLiteral("openpty failed"));
            return false;
        }
        // Raw from the start, so that nothing written before the host opens the line is echoed
        // or changed; then let go of the slave so that the host's opening can be seen.
        termios tio{};
        if (tcgetattr(slave, &tio) == 0) {
            cfmakeraw(&tio);
            tcsetattr(slave, TCSANOW, &tio);
        }
        ::close(slave);
        fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
        QSaveFile file(linkFile);
        if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray(name) + '\n') < 0 || !file.commit()) {
            say(QStringLiteral("cannot write %1").arg(linkFile));
            return false;
        }
        say(QStringLiteral("line %1 (path written to %2)").arg(QString::fromLocal8Bit(name), linkFile));
        return true;
    }
    bool write(const QByteArray& bytes) override
    {
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_master, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
            if (n < 0) {
                if (errno != EAGAIN && errno != EINTR)
                    return false;
                pollFor(POLLOUT, 50);
                continue;
            }
            done += n;
        }
        return true;
    }
    QByteArray read(int timeoutMs) override
    {
        QByteArray out;
        if (!pollFor(POLLIN, timeoutMs))
            return out;
        char buffer[512];
        for (;;) {
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n <= 0)
                break;
            out.append(buffer, n);
        }
        return out;
    }
    // With no slave open, the master reports a hang-up.
    bool waitForHost(int timeoutMs) override
    {
        QElapsedTimer waited;
        waited.start();
        bool told = false;
        while (!g_stop) {
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, 0) >= 0 && !(p.revents & POLLHUP))
                return true;
            if (waited.elapsed() > timeoutMs)
                return false;
            if (!told && waited.elapsed() > 1000) {
                say(QStringLiteral("waiting for the host to open the line"));
                told = true;
            }
            QThread::msleep(50);
        }
        return false;
    }

private:
    bool pollFor(short events, int timeoutMs)
    {
        pollfd p{m_master, events, 0};
        return ::poll(&p, 1, timeoutMs) > 0 && (p.revents & events);
    }

    int m_master = -1;
};
#endif

struct Pacing
{
    int chunk = 16;
    int delayMs = 20;
    int pauseMs = 300;
    int ackTimeoutMs = 2000;
    int retries = 5;
    int waitOpenMs = 30000;
    bool frameAck = false;
    int damage = 0;
};

constexpr char NAK = 0x15;
constexpr int kFrameTries = 6;

// The session's frames in the larger models' layout; frames already in it stay as they are.
QByteArray asTagLayout(const QByteArray& body, const TagRecord::WriteOptions& options)
{
    using namespace AnalyserCapture;
    const QList<Frame> found = frames(body);
    if (found.isEmpty() || !body.contains("\x1emtrsl|\x1e"))
        return body;
    QByteArray out;
    for (const Frame& f : found)
        out += TagRecord::frame(TagRecord::fromMini(f.record, options), options);
    return out + EOT;
}

// One byte of the record changed, as a noisy line would: the checksum no longer holds.
QByteArray damaged(QByteArray frame)
{
    for (qsizetype at = frame.size() / 2; at < frame.size(); ++at) {
        if (static_cast<unsigned char>(frame[at]) >= 0x20) {
            frame[at] = static_cast<char>(frame[at] ^ 0x01);
            break;
        }
    }
    return frame;
}

bool writeChunks(Line& line, const QByteArray& bytes, const Pacing& pacing)
{
    for (qsizetype at = 0; at < bytes.size() && !g_stop; at += pacing.chunk) {
        if (!line.write(bytes.mid(at, pacing.chunk)))
            return false;
        if (pacing.delayMs > 0)
            QThread::msleep(static_cast<unsigned long>(pacing.delayMs));
    }
    return true;
}

// The host's answer to a frame: ACK, NAK, or 0 when none came in time.
char frameAnswer(Line& line, int timeoutMs)
{
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < timeoutMs && !g_stop) {
        const QByteArray answer = line.read(static_cast<int>(timeoutMs - waited.elapsed()));
        for (const char c : answer) {
            if (c == AnalyserCapture::ACK || c == NAK)
                return c;
        }
    }
    return 0;
}

// Frame by frame (each up to its ETX), each sent again while the host refuses it.
bool sendFrames(Line& line, const QByteArray& bytes, const Pacing& pacing, int number)
{
    qsizetype from = 0;
    int frame = 0;
    for (qsizetype etx = bytes.indexOf(AnalyserCapture::ETX); etx >= 0 && !g_stop;
         etx = bytes.indexOf(AnalyserCapture::ETX, from)) {
        const QByteArray unit = bytes.mid(from, etx + 1 - from);
        from = etx + 1;
        ++frame;
        char answer = 0;
        for (int attempt = 0; attempt < kFrameTries && answer != AnalyserCapture::ACK && !g_stop; ++attempt) {
            if (!writeChunks(line, attempt < pacing.damage ? damaged(unit) : unit, pacing))
                return false;
            answer = frameAnswer(line, pacing.ackTimeoutMs);
            say(QStringLiteral("session %1 frame %2: %3")
                    .arg(number)
                    .arg(frame)
                    .arg(answer == AnalyserCapture::ACK ? "ACK"
                         : answer == NAK                ? "NAK"
                                                        : "no answer"));
        }
    }
    return writeChunks(line, bytes.mid(from), pacing);
}

// ENQ until the host answers ACK, then the session in chunks, EOT last.
bool sendSession(Line& line, const AnalyserCapture::Session& session, const Pacing& pacing, int number)
{
    using namespace AnalyserCapture;
    if (!line.waitForHost(pacing.waitOpenMs)) {
        say(QStringLiteral("session %1: the host did not open the line").arg(number));
        return false;
    }
    if (!session.leading.isEmpty()) {
        line.write(session.leading);
        QThread::msleep(static_cast<unsigned long>(pacing.delayMs + 50));
    }
    bool acknowledged = false;
    for (int attempt = 0; attempt <= pacing.retries && !acknowledged && !g_stop; ++attempt) {
        if (!line.write(QByteArray(1, ENQ))) {
            say(QStringLiteral("session %1: write failed").arg(number));
            return false;
        }
        QElapsedTimer waited;
        waited.start();
        while (!acknowledged && waited.elapsed() < pacing.ackTimeoutMs) {
            const QByteArray answer = line.read(static_cast<int>(pacing.ackTimeoutMs - waited.elapsed()));
            acknowledged = answer.contains(ACK);
        }
        if (!acknowledged)
            say(QStringLiteral("session %1: no ACK within %2 ms").arg(number).arg(pacing.ackTimeoutMs));
    }
    if (!acknowledged) {
        say(QStringLiteral("session %1: given up after %2 retries").arg(number).arg(pacing.retries));
        return false;
    }
    QByteArray bytes = session.body;
    if (!bytes.endsWith(EOT))
        bytes.append(EOT);
    if (pacing.damage > 0 && !pacing.frameAck) {
        QByteArray once;
        for (const QByteArray& unit : bytes.split(ETX))
            once += (unit.contains(GS) ? damaged(unit) : unit) + ETX;
        once.chop(1);
        bytes = once;
    }
    const bool sent = pacing.frameAck ? sendFrames(line, bytes, pacing, number) : writeChunks(line, bytes, pacing);
    if (!sent) {
        say(QStringLiteral("session %1: write failed").arg(number));
        return false;
    }
    say(QStringLiteral("session %1: sent %2 bytes").arg(number).arg(bytes.size()));
    return true;
}

int positive(const QCommandLineParser& parser, const QCommandLineOption& option, int fallback, bool* ok)
{
    if (!parser.isSet(option))
        return fallback;
    bool valid = false;
    const int value = parser.value(option).toInt(&valid);
    if (!valid || value < 0) {
        say(QStringLiteral("--%1 needs a whole number of 0 or more").arg(option.names().constFirst()));
        *ok = false;
    }
    return value;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("A simulated VIDAS analyser on a serial line."));
    parser.addHelpOption();
    const QCommandLineOption device(QStringLiteral("device"), QStringLiteral("Serial device to talk on."),
                                    QStringLiteral("PATH"));
    const QCommandLineOption ptyLink(QStringLiteral("pty-link"),
                                     QStringLiteral("Create a pseudo-terminal and write its path to FILE."),
                                     QStringLiteral("FILE"));
    const QCommandLineOption file(QStringLiteral("file"), QStringLiteral("Capture to send (repeatable)."),
                                  QStringLiteral("CAPTURE"));
    const QCommandLineOption generate(QStringLiteral("generate"), QStringLiteral("Make up N results."),
                                      QStringLiteral("N"));
    const QCommandLineOption perSession(QStringLiteral("per-session"),
                                        QStringLiteral("Made-up results per session (1)."), QStringLiteral("K"));
    const QCommandLineOption seed(QStringLiteral("seed"), QStringLiteral("Seed of the made-up results (1)."),
                                  QStringLiteral("S"));
    const QCommandLineOption chunk(QStringLiteral("chunk"), QStringLiteral("Bytes per write (16)."),
                                   QStringLiteral("BYTES"));
    const QCommandLineOption delay(QStringLiteral("delay"), QStringLiteral("Pause after each write (20)."),
                                   QStringLiteral("MS"));
    const QCommandLineOption pause(QStringLiteral("pause"), QStringLiteral("Pause between sessions (300)."),
                                   QStringLiteral("MS"));
    const QCommandLineOption ackTimeout(QStringLiteral("ack-timeout"),
                                        QStringLiteral("How long to wait for ACK (2000)."), QStringLiteral("MS"));
    const QCommandLineOption retries(QStringLiteral("retries"), QStringLiteral("ENQ retries without ACK (5)."),
                                     QStringLiteral("N"));
    const QCommandLineOption baud(QStringLiteral("baud"), QStringLiteral("Baud rate on --device (9600)."),
                                  QStringLiteral("RATE"));
    const QCommandLineOption waitOpen(QStringLiteral("wait-open"),
                                      QStringLiteral("How long to wait for the host to open the line (30000)."),
                                      QStringLiteral("MS"));
    const QCommandLineOption noHold(QStringLiteral("no-hold"),
                                    QStringLiteral("With --pty-link: end after the last session instead of "
                                                   "keeping the line until interrupted."));
    const QCommandLineOption layout(QStringLiteral("layout"),
                                    QStringLiteral("Record layout: mini (as captured) or tag (the larger models)."),
                                    QStringLiteral("LAYOUT"), QStringLiteral("mini"));
    const QCommandLineOption lineLength(QStringLiteral("line"), QStringLiteral("Tag layout: characters per line (80)."),
                                        QStringLiteral("N"));
    const QCommandLineOption crlf(QStringLiteral("crlf"), QStringLiteral("Tag layout: CR LF after the checksum."));
    const QCommandLineOption comma(QStringLiteral("decimal-comma"), QStringLiteral("Tag layout: 182,4 for 182.4."));
    const QCommandLineOption dateOrder(QStringLiteral("date-order"),
                                       QStringLiteral("Tag layout: date order DMY, MDY or YMD (DMY)."),
                                       QStringLiteral("ORDER"), QStringLiteral("DMY"));
    const QCommandLineOption shortYear(QStringLiteral("two-digit-year"), QStringLiteral("Tag layout: nn/nn/yy dates."));
    const QCommandLineOption unitTwice(QStringLiteral("unit-twice"),
                                       QStringLiteral("Tag layout: the unit in qn as well as in y3."));
    const QCommandLineOption instrument(QStringLiteral("instrument"), QStringLiteral("Tag layout: instrument id."),
                                        QStringLiteral("ID"), QStringLiteral("VIDAS3PC01"));
    const QCommandLineOption serial(QStringLiteral("serial"), QStringLiteral("Tag layout: serial number."),
                                    QStringLiteral("SN"), QStringLiteral("IVD3-70001"));
    const QCommandLineOption frameAck(QStringLiteral("frame-ack"),
                                      QStringLiteral("Wait for ACK or NAK after each frame; send refused ones again."));
    const QCommandLineOption damage(QStringLiteral("damage"),
                                    QStringLiteral("Flip a byte in each frame's first N sendings (0)."),
                                    QStringLiteral("N"));
    parser.addOptions({device,     ptyLink,   file,      generate,   perSession, seed,     chunk,      delay, pause,
                       ackTimeout, retries,   baud,      waitOpen,   noHold,     layout,   lineLength, crlf,  comma,
                       dateOrder,  shortYear, unitTwice, instrument, serial,     frameAck, damage});
    parser.process(app);

    bool ok = true;
    Pacing pacing;
    pacing.chunk = positive(parser, chunk, pacing.chunk, &ok);
    pacing.delayMs = positive(parser, delay, pacing.delayMs, &ok);
    pacing.pauseMs = positive(parser, pause, pacing.pauseMs, &ok);
    pacing.ackTimeoutMs = positive(parser, ackTimeout, pacing.ackTimeoutMs, &ok);
    pacing.retries = positive(parser, retries, pacing.retries, &ok);
    pacing.waitOpenMs = positive(parser, waitOpen, pacing.waitOpenMs, &ok);
    const int count = positive(parser, generate, 0, &ok);
    const int groupSize = qMax(1, positive(parser, perSession, 1, &ok));
    const int baudRate = positive(parser, baud, 9600, &ok);
    const auto seedValue = static_cast<quint32>(positive(parser, seed, 1, &ok));
    pacing.frameAck = parser.isSet(frameAck);
    pacing.damage = positive(parser, damage, 0, &ok);
    TagRecord::WriteOptions tag;
    tag.lineLength = positive(parser, lineLength, static_cast<int>(tag.lineLength), &ok);
    tag.crlf = parser.isSet(crlf);
    tag.decimalComma = parser.isSet(comma);
    tag.dateOrder = TagRecord::dateOrderFrom(parser.value(dateOrder));
    tag.twoDigitYear = parser.isSet(shortYear);
    tag.unitTwice = parser.isSet(unitTwice);
    tag.instrument = parser.value(instrument).toLatin1();
    tag.serialNo = parser.value(serial).toLatin1();
    const QString layoutName = parser.value(layout);
    if (layoutName != QLatin1String("mini") && layoutName != QLatin1String("tag")) {
        say(QStringLiteral("--layout is mini or tag"));
        ok = false;
    }
    if (!ok)
        return 2;
    if (pacing.chunk == 0)
        pacing.chunk = 1;
    if (parser.isSet(device) == parser.isSet(ptyLink)) {
        say(QStringLiteral("give exactly one of --device PATH and --pty-link FILE"));
        return 2;
    }
    if (parser.values(file).isEmpty() && count == 0) {
        say(QStringLiteral("nothing to send: give --file CAPTURE or --generate N"));
        return 2;
    }

    QList<AnalyserCapture::Session> sessions;
    for (const QString& name : parser.values(file)) {
        QFile capture(name);
        if (!capture.open(QIODevice::ReadOnly)) {
            say(QStringLiteral("cannot read %1").arg(name));
            return 2;
        }
        sessions += AnalyserCapture::splitSessions(capture.readAll());
    }
    if (count > 0) {
        const QDateTime now = QDateTime::currentDateTime();
        const QDateTime start(now.date(), QTime(now.time().hour(), now.time().minute()));
        const QList<AnalyserCapture::Result> results = AnalyserCapture::generate(count, seedValue, start);
        for (qsizetype at = 0; at < results.size(); at += groupSize)
            sessions += AnalyserCapture::splitSessions(AnalyserCapture::session(results.mid(at, groupSize)));
    }

    if (layoutName == QLatin1String("tag")) {
        for (AnalyserCapture::Session& session : sessions)
            session.body = asTagLayout(session.body, tag);
    }

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    std::unique_ptr<Line> line;
    bool hold = false;
    if (parser.isSet(device)) {
        auto serial = std::make_unique<SerialLine>();
        if (!serial->open(parser.value(device), baudRate))
            return 1;
        line = std::move(serial);
    } else {
#ifdef Q_OS_UNIX
        auto pty = std::make_unique<PtyLine>();
        if (!pty->open(parser.value(ptyLink)))
            return 1;
        line = std::move(pty);
        hold = !parser.isSet(noHold);
#else
        say(QStringLiteral("--pty-link needs a Unix system"));
        return 2;
#endif
    }

    int failed = 0;
    for (qsizetype i = 0; i < sessions.size() && !g_stop; ++i) {
        if (!sendSession(*line, sessions[i], pacing, static_cast<int>(i + 1)))
            ++failed;
        QThread::msleep(static_cast<unsigned long>(pacing.pauseMs));
    }
    say(QStringLiteral("%1 of %2 sessions sent").arg(sessions.size() - failed).arg(sessions.size()));

    // The host keeps its end open: closing ours now would hang its line up under it.
    if (hold)
        say(QStringLiteral("holding the line until interrupted"));
    while (hold && !g_stop) {
        // Drain what the host writes; a hung-up line returns at once, so do not spin on it.
        if (line->read(200).isEmpty())
            QThread::msleep(100);
    }
    return failed == 0 ? 0 : 1;
}
