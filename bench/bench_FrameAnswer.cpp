// How long the receiver takes to answer a frame with frame answers on ([comsetup] FrameAck=1): the
// time of the read that carries a frame's ETX, from the bytes handed in to the ACK or NAK ready to
// write. The database work runs on its own thread and is not on this path. Frames of the larger
// models' layout, two lines each, arrive in reads of 16 bytes; every tenth is damaged and refused.
// Prints the median, the 99th percentile and the longest, against the 50 ms the analyser allows.
//
//   bench_FrameAnswer [--frames N]   (default 20000)

#include "link/AnalyserCapture.h"
#include "link/SerialSession.h"
#include "link/TagRecord.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    int count = 20000;
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--frames"))
            count = std::max(1, args[++i].toInt());
    }
    TagRecord::WriteOptions options;
    options.crlf = true;
    options.decimalComma = true;
    options.instrument = "VIDAS3PC02";
    options.serialNo = "IVD3-77001";
    const QList<AnalyserCapture::Result> results =
        AnalyserCapture::generate(count, 1, QDateTime(QDate(2026, 12, 5), QTime(8, 0)));

    SerialSession session;
    session.setFrameAnswers(true);
    session.onData(QByteArray(1, AnalyserCapture::ENQ));
    QList<double> micros;
    micros.reserve(count);
    int refused = 0;
    QElapsedTimer timer;
    for (int i = 0; i < count; ++i) {
        const AnalyserCapture::Frame mini = AnalyserCapture::frames(AnalyserCapture::frame(results[i])).first();
        QByteArray frame = TagRecord::frame(TagRecord::fromMini(mini.record, options), options);
        if (i % 10 == 9)
            frame[frame.size() / 2] = static_cast<char>(frame[frame.size() / 2] ^ 0x01);
        for (qsizetype at = 0; at < frame.size(); at += 16) {
            const QByteArray read = frame.mid(at, 16);
            timer.start();
            const SerialSession::Actions actions = session.onData(read);
            const qint64 ns = timer.nsecsElapsed();
            if (!actions.reply.isEmpty()) {
                micros.append(static_cast<double>(ns) / 1000.0);
                refused += actions.reply.count(SerialSession::NAK);
            }
        }
        // One session per hundred frames, as a busy analyser would send them.
        if (i % 100 == 99) {
            session.onData(QByteArray(1, AnalyserCapture::EOT));
            session.messageArea().clear();
        }
    }
    std::sort(micros.begin(), micros.end());
    const auto at = [&micros](double q) { return micros[static_cast<qsizetype>(q * double(micros.size() - 1))]; };
    std::printf("frames answered: %lld (%d refused)\n", static_cast<long long>(micros.size()), refused);
    std::printf("answer time per frame: median %.1f us, 99th percentile %.1f us, longest %.1f us\n", at(0.5), at(0.99),
                micros.last());
    std::printf("the analyser allows 50 ms: the longest answer uses %.3f%% of it\n", micros.last() / 500.0);
    return 0;
}
