#include "ProgramRun.h"
#include "ReceiveLab.h"
#include "link/CaptureArchive.h"
#include "link/LineReceiver.h"
#include "link/LisExport.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using Db = TestInstall::Db;

namespace {

const QString binary = QStringLiteral(CORVANA_BINARY_DIR "/src/corvana-vidas");

// Starts `corvana-vidas receive` and waits until it listens.
bool startReceiver(QProcess& receiver, const QString& home)
{
    receiver.setProcessChannelMode(QProcess::MergedChannels);
    receiver.start(binary, {"--home", home, "receive"});
    return QTest::qWaitFor(
        [&receiver] {
            receiver.waitForReadyRead(20);
            return receiver.peek(1 << 16).contains("receiving on");
        },
        10000);
}

// Points the stable name `path` at `target` in one step, as udev re-points /dev/serial/by-id/...
// when an adapter comes back.
bool pointTo(const QString& path, const QString& target)
{
    const QString next = path + ".new";
    QFile::remove(next);
    return QFile::link(target, next) && std::rename(qPrintable(next), qPrintable(path)) == 0;
}

// A resident-memory figure of a running process, in kB.
qint64 residentKb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Starts the simulator on a pseudo-terminal of its own and gives its path.
QString startSimulator(QProcess& sim, const QString& linkFile, const QStringList& captures, const QStringList& pacing)
{
    QStringList arguments{"--pty-link", linkFile};
    arguments << pacing;
    for (const QString& name : captures)
        arguments << "--file" << QDir(QStringLiteral(CORVANA_SAMPLES_DIR)).filePath(name);
    sim.start(QStringLiteral(CORVANA_BINARY_DIR "/tools/vidas-sim"), arguments);
    if (!QTest::qWaitFor([&linkFile] { return QFileInfo(linkFile).size() > 0; }, 10000))
        return {};
    QFile named(linkFile);
    return named.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(named.readAll()).trimmed() : QString();
}

// What `receive` wrote to standard error so far, when that is a pipe that was full when it started:
// it stops at its first message (the ready line, with the port open) until the test reads.
class HeldReceiver
{
public:
    explicit HeldReceiver(const QString& home) : m_fifo(QDir(home).filePath("stderr.fifo"))
    {
        if (::mkfifo(qPrintable(m_fifo), 0600) != 0)
            return;
        m_read = ::open(qPrintable(m_fifo), O_RDONLY | O_NONBLOCK);
        const int fill = ::open(qPrintable(m_fifo), O_WRONLY | O_NONBLOCK);
        const QByteArray block(4096, 'x');
        while (::write(fill, block.constData(), static_cast<size_t>(block.size())) > 0) {
        }
        ::close(fill);
        process.setStandardErrorFile(m_fifo);
        process.start(binary, {"--home", home, "receive"});
    }
    ~HeldReceiver()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
        if (m_read >= 0)
            ::close(m_read);
    }
    // Whether it waits, blocked on its standard error.
    bool held()
    {
        return QTest::qWaitFor(
            [this] {
                QFile wchan(QStringLiteral("/proc/%1/wchan").arg(process.processId()));
                return wchan.open(QIODevice::ReadOnly) && wchan.readAll().contains("pipe_write");
            },
            10000);
    }
    // Reads the pipe, so that it goes on; its first line.
    QByteArray release()
    {
        const bool line = QTest::qWaitFor(
            [this] {
                char buffer[4096];
                for (ssize_t n; (n = ::read(m_read, buffer, sizeof buffer)) > 0;)
                    m_text.append(buffer, n);
                while (m_text.startsWith('x'))
                    m_text.remove(0, 1);
                return m_text.contains('\n');
            },
            5000);
        return line ? m_text.left(m_text.indexOf('\n') + 1) : m_text;
    }

    QProcess process;

private:
    QString m_fifo;
    int m_read = -1;
    QByteArray m_text;
};

} // namespace

// The whole receive path with the programs as they ship: the simulated analyser on a
// pseudo-terminal, the receive window and `corvana-vidas receive` on the line, `replay` of captures,
// and a receiver killed while it works.
class TestReceiveEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void simulatorThroughTheWindowToTheDatabases()
    {
        ReceiveLab lab;
        QVERIFY(lab.ready);
        lab.install.setSetting("comsetup", "autoComment", "1");
        // The simulator on a pseudo-terminal of its own, which it names in `line`.
        const QString line = QDir(lab.install.path()).filePath("line");
        const QStringList captures{"three-results-one-session.bin", "quantitative-unit.bin"};
        QStringList arguments{"--pty-link", line, "--chunk", "9", "--delay", "2", "--pause", "50"};
        for (const QString& name : captures)
            arguments << "--file" << QDir(QStringLiteral(CORVANA_SAMPLES_DIR)).filePath(name);
        QProcess sim;
        sim.start(QStringLiteral(CORVANA_BINARY_DIR "/tools/vidas-sim"), arguments);
        QTRY_VERIFY(QFileInfo(line).size() > 0);
        QFile named(line);
        QVERIFY(named.open(QIODevice::ReadOnly));
        lab.install.setSetting("comsetup", "device", QString::fromLocal8Bit(named.readAll()).trimmed());
        lab.window();
        QTRY_COMPARE_WITH_TIMEOUT(lab.shown("Lbl_samplenum"), "4", 30000);
        sim.terminate();
        QVERIFY(sim.waitForFinished(5000));

        QCOMPARE(lab.listLines(), (QStringList{"2601140001230     Yes", "FER   08:05 AM     No",
                                               "2601140001247     Yes", "2601140001230     Yes"}));
        QCOMPARE(
            lab.install.texts(Db::Interface,
                              "SELECT SampleID, patientid, Patientname, patientsefa, DocName, Drsefa, sex, ageN, "
                              "ageU, Testdate, TestTime, sending, testsimp, testabrev, subgroupname, REFRANGE, "
                              "shortAssay, LongAssay, resultt1, resultt2, resultt3, testunit, lowlimit, highlimit, "
                              "nolowexe, nohighexe, normalrang, RESULTCASEPRINT, comment, crvtestid, arrangnum, "
                              "testcode = (SELECT testcode FROM testtable t WHERE t.shortAssay=Result.shortAssay) "
                              "FROM Result ORDER BY AutoNum"),
            (QStringList{"260114000123|2601140001230|أحمد محمود علي|السيد|سامي حسن|د/|Male|45|Years|2026-12-05|02:07 "
                         "PM|0|Free T4|FT4|Thyroid|1|FT4|Free T4|12.79||12.79|pmol/l|9|19|L|H|9 - 19||null|null|"
                         "null|1",
                         "||FER   08:05 AM|null|null|null|null|null|null|2026-12-05|02:07 PM|0|Ferritin|FER|Anaemia|0|"
                         "FER|Ferritin|> 1200||> 1200|ng/ml|0|0|||||null|null|null|1",
                         "260114000124|2601140001247|فاطمة عبد الله|السيدة|منى إبراهيم|د/|Female|32|Years|2026-12-05|"
                         "02:07 PM|1|Prolactin|PRL|Hormones|3|PRL|Prolactin|Negative|Negative||ng/ml|9.7|208.5|L|H|"
                         "9.7 - 208.5||null|null|null|1",
                         "260114000123|2601140001230|أحمد محمود علي|السيد|سامي حسن|د/|Male|45|Years|2026-12-05|02:07 "
                         "PM|0|TSH|TSH|Thyroid|1|TSH|TSH|2.35||2.35|uUI/ml|0.25|5|L|H|0.25 - 5.00||null|null|null|"
                         "1"}));
        // The requests measured are written, every other one is left as it was.
        const QString written = "VIDAS INTERFACE|Saturday, 05 Dec 2026   02:07 PM|";
        QCOMPARE(lab.install.texts(Db::Lis,
                                   "SELECT patientid, testcode, edituser, editdate, resultt, resultt1, resultt2, "
                                   "RESULTCASEPRINT, lowlimit, highlimit, nolowexe, nohighexe, normalrang, "
                                   "testunit, commentx, testsimp FROM patienttest WHERE resultfinsh=1 "
                                   "ORDER BY patientid, testcode"),
                 (QStringList{"2601140001230|501|" + written + "2.35||2.35||0.25|5|L|H|0.25 - 5.00|uUI/ml||TSH",
                              "2601140001230|502|" + written + "12.79||12.79||9|19|L|H|9 - 19|pmol/l||Free T4",
                              "2601140001247|503|" + written +
                                  "Negative|Negative|||9.7|208.5|L|H|9.7 - 208.5|ng/ml||Prolactin"}));
        QCOMPARE(lab.install.text(Db::Lis, "SELECT count(*) FROM patienttest WHERE resultfinsh=0 AND resultt IS NULL "
                                           "AND editdate IS NULL"),
                 "6");
    }

    void replayStoresOnceUnlessForced()
    {
        ReceiveLab lab;
        QVERIFY(lab.ready);
        // Every composed capture, a real one with its ENQ and EOT, and a real one that stops short.
        QByteArray capture;
        for (const char* name :
             {"noise-then-result.bin", "qualitative-only.bin", "qualitative-positive.bin", "quantitative-unit.bin",
              "sign-and-unit.bin", "three-results-one-session.bin", "real/minividas-2.bin", "real/minividas-1.bin"})
            capture += sampleBytes(QString::fromLatin1(name));
        QFile file(QDir(lab.install.path()).filePath("capture.bin"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(capture) == capture.size());
        file.close();
        const QStringList replay{"--home", lab.install.path(), "replay", file.fileName()};
        const auto count = [&lab](Db db, const char* sql) { return lab.install.text(db, sql).toInt(); };

        const QStringList expected{"2601140001254     Yes", "2601140009     No",     "2601140007     No",
                                   "2601140001230     Yes", "0042     No",           "2601140001230     Yes",
                                   "FER   08:05 AM     No", "2601140001247     Yes", "TIC21103806     No"};
        const ProgramRun first = runCorvanaVidas(replay);
        QCOMPARE(first.exitCode, 0);
        QCOMPARE(first.out.split('\n', Qt::SkipEmptyParts), expected);
        QCOMPARE(first.err, "corvana-vidas: " + file.fileName() +
                                ": the last 106 bytes end without EOT and were not parsed\n"
                                "corvana-vidas: 8 messages, 9 results stored\n");
        QCOMPARE(count(Db::Interface, "SELECT count(*) FROM Result"), 9);
        QCOMPARE(count(Db::Lis, "SELECT count(*) FROM patienttest WHERE resultfinsh=1"), 4);

        // The same capture again is known and changes nothing; with --force every row is written
        // again, none added.
        const ProgramRun second = runCorvanaVidas(replay);
        QVERIFY(second.exitCode == 0 && second.out.isEmpty());
        QVERIFY2(second.err.contains(", 8 already stored (skipped; --force sends them again)"), qPrintable(second.err));
        const ProgramRun forced = runCorvanaVidas(replay + QStringList{"--force"});
        QCOMPARE(forced.exitCode, 0);
        QCOMPARE(forced.out.split('\n', Qt::SkipEmptyParts), expected);
        QCOMPARE(count(Db::Interface, "SELECT count(*) FROM Result"), 9);
        QCOMPARE(count(Db::Lis, "SELECT count(*) FROM patienttest WHERE resultfinsh=1"), 4);
        QVERIFY(!QFileInfo::exists(QDir(lab.install.path()).filePath("captures"))); // a replay is not archived

        // With the LIS off every result that would go there says so on standard error.
        lab.install.setSetting("corvanaserver", "active", "0");
        QFile off(QDir(lab.install.path()).filePath("off.bin"));
        QVERIFY(off.open(QIODevice::WriteOnly) &&
                off.write(AnalyserCapture::session({ReceiveLab::result("2601140001230", "TSH", "7.2"),
                                                    ReceiveLab::result("2601140001230", "FT4", "12")})));
        off.close();
        const ProgramRun lisOff = runCorvanaVidas({"--home", lab.install.path(), "replay", off.fileName()});
        QCOMPARE(lisOff.out, "2601140001230     No\n2601140001230     No\n");
        QCOMPARE(lisOff.err.count(LisExport::lisOffTitle + ": " + LisExport::lisOffText), 2);

        // Refused: no file, a folder, no install, no settings, a port that is not there.
        const QString home = lab.install.path();
        lab.install.setSetting("comsetup", "device", home + "/no-such-tty");
        for (const auto& [arguments, code, message] : QList<std::tuple<QStringList, int, QString>>{
                 {{"--home", home, "replay"}, 2, "replay needs exactly one capture file"},
                 {{"--home", home, "replay", home + "/missing.bin"}, 1, "missing.bin: no such file"},
                 {{"--home", home, "replay", home}, 1, "is a folder, not a capture file"},
                 {{"--home", home + "/nowhere", "receive"}, 1, "no such install folder"},
                 {{"--home", home + "/PROC", "replay", file.fileName()}, 1, "PROC/VIDASSETING.INI is missing"},
                 {{"--home", home, "receive"}, 1, "the serial port cannot be opened: "},
                 {{"--home", home, "outbox", "x"}, 2, "outbox takes no arguments"},
                 {{"--home", home, "receive", "x"}, 2, "receive takes no arguments"}}) {
            const ProgramRun run = runCorvanaVidas(arguments);
            QCOMPARE(run.exitCode, code);
            QVERIFY2(run.err.contains(message), qPrintable(run.err));
        }
    }

    // Without a window too, a passing read error on a line that is still there changes nothing.
    void lineReceiverKeepsALiveLine()
    {
        ReceiveLab lab;
        QVERIFY(lab.ready);
        LineReceiver receiver(lab.makeContext());
        QString error;
        QVERIFY2(receiver.open(&error), qPrintable(error));
        QVERIFY(lab.keepsLineAfterReadError(*receiver.findChild<QSerialPort*>()));
    }

    // The simulator's line goes in the middle of a session (its adapter pulled out) and a line comes
    // back under the same stable name, with the analyser sending that session again and more: the
    // receive window and `receive`'s receiver each open it again by themselves; the session cut
    // short is not stored, every session sent after the return is, once.
    void lineTakenAwayMidSessionAndGivenBack_data()
    {
        QTest::addColumn<bool>("window");
        QTest::newRow("receive window") << true;
        QTest::newRow("receiver without a window") << false;
    }
    void lineTakenAwayMidSessionAndGivenBack()
    {
        QFETCH(bool, window);
        ReceiveLab lab;
        QVERIFY(lab.ready);
        const QDir home(lab.install.path());
        const QString path = home.filePath("by-id-line");
        const auto count = [&lab](const char* sql) { return lab.install.text(Db::Interface, sql).toInt(); };
        QProcess first;
        const QString firstLine =
            startSimulator(first, home.filePath("line1"), {"quantitative-unit.bin", "three-results-one-session.bin"},
                           {"--chunk", "4", "--delay", "15", "--pause", "50"});
        QVERIFY(!firstLine.isEmpty() && pointTo(path, firstLine));
        lab.install.setSetting("comsetup", "device", path);
        std::unique_ptr<LineReceiver> receiver;
        AnalyserLine* line = nullptr;
        LineIntake* intake = nullptr;
        lab.makeContext();
        if (window) {
            ReceiveWindow& w = lab.window();
            line = &w.line();
            intake = &w.intake();
        } else {
            receiver = std::make_unique<LineReceiver>(*lab.context);
            QString error;
            QVERIFY2(receiver->open(&error), qPrintable(error));
            line = &receiver->line();
            intake = &receiver->intake();
        }
        QTRY_COMPARE_WITH_TIMEOUT(count("SELECT count(*) FROM Result"), 1, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(intake->session().buffer().size() > 40, 10000); // the second is on its way
        if (window)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^receiver: line lost: "));
        first.kill();
        QVERIFY(first.waitForFinished(5000));
        QTRY_COMPARE(line->status().state, LineState::Reconnecting);

        QProcess second;
        const QString secondLine =
            startSimulator(second, home.filePath("line2"), {"three-results-one-session.bin", "sign-and-unit.bin"},
                           {"--chunk", "64", "--delay", "2", "--pause", "50"});
        QVERIFY(!secondLine.isEmpty() && pointTo(path, secondLine));
        QTRY_COMPARE_WITH_TIMEOUT(count("SELECT count(*) FROM receivedsession WHERE origin<>'baseline'"), 3, 20000);
        QCOMPARE(line->status().state, LineState::Receiving);
        second.terminate();
        QVERIFY(second.waitForFinished(5000));
        // The sessions stored are the analyser's own, whole: nothing of the one cut short is in them.
        QStringList sent;
        for (const char* name : {"quantitative-unit.bin", "three-results-one-session.bin", "sign-and-unit.bin"}) {
            for (const AnalyserCapture::Session& s : AnalyserCapture::splitSessions(sampleBytes(name)))
                sent << ReceivedSession{s.body, {}, {}, -1, {}, false}.digest();
        }
        QCOMPARE(lab.install.texts(Db::Interface, "SELECT digest FROM receivedsession WHERE origin<>'baseline' "
                                                  "AND state='stored' ORDER BY sessionid"),
                 sent);
        QCOMPARE(lab.install.texts(Db::Interface, "SELECT count(*), count(DISTINCT coalesce(SampleID, '') || "
                                                  "shortAssay) FROM Result"),
                 QStringList{"5|5"});
    }

    // `receive` loses its line ten times in a row, each time in the middle of a session, and the line
    // comes back under the same name: it says so on standard error with the time, stores each
    // session sent again once, keeps a steady memory size, and ends only when it is stopped.
    void receiveSurvivesTenLosses()
    {
        ReceiveLab lab;
        QVERIFY(lab.ready);
        const QString path = QDir(lab.install.path()).filePath("by-id-line");
        QVERIFY(pointTo(path, lab.pty->slavePath()));
        lab.install.setSetting("comsetup", "device", path);
        QProcess receiver;
        QVERIFY(startReceiver(receiver, lab.install.path()));
        const auto said = [&receiver](const QByteArray& what, int times) {
            return QTest::qWaitFor(
                [&] {
                    receiver.waitForReadyRead(20);
                    return receiver.peek(1 << 20).count(what) >= times;
                },
                10000);
        };
        qint64 firstKb = 0;
        for (int loss = 1; loss <= 10; ++loss) {
            const QByteArray sample = QByteArray::number(2601140100LL + loss);
            const QByteArray s = AnalyserCapture::session({ReceiveLab::result(sample, "TSH", "2.5")});
            QVERIFY(lab.pty->write(s.left(1)));
            QVERIFY2(lab.lineOutput(1000) == QByteArray(1, AnalyserCapture::ACK), qPrintable(QString::number(loss)));
            QVERIFY(lab.pty->write(s.mid(1, s.size() / 2)));
            auto next = std::make_unique<PtyPair>();
            QVERIFY(pointTo(path, next->slavePath()));
            lab.pty = std::move(next); // the old line goes
            QVERIFY2(said(" the line is back: " + path.toLocal8Bit(), loss), receiver.peek(1 << 20).constData());
            QVERIFY(lab.sendOverLine(s) >= 0);
            QVERIFY(said(sample + "     No", 1));
            if (loss == 2)
                firstKb = residentKb(receiver.processId());
        }
        const qint64 lastKb = residentKb(receiver.processId());
        qInfo("receive after the 2nd loss: %lld kB resident, after the 10th: %lld kB", firstKb, lastKb);
        QVERIFY2(firstKb > 0 && lastKb - firstKb < 1024, qPrintable(QString::number(lastKb - firstKb)));
        const QString log = QString::fromUtf8(receiver.peek(1 << 20));
        QCOMPARE(log.count(QRegularExpression("corvana-vidas: \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d the line "
                                              "was lost: [^\\n]+; it is opened again by itself\\n")),
                 10);
        QCOMPARE(log.count(" the line is back: "), 10);
        receiver.terminate();
        QVERIFY(receiver.waitForFinished(10000));
        QCOMPARE(receiver.exitCode(), 0);
        QCOMPARE(lab.install.texts(Db::Interface, "SELECT count(*), count(DISTINCT SampleID), (SELECT count(*) FROM "
                                                  "receivedsession WHERE origin<>'baseline') FROM Result"),
                 QStringList{"10|10|10"});
    }

    // A receiver that died in the middle of a session leaves its end on the line. The next one reads
    // it when it opens the port, so that the analyser's next ENQ comes alone and is answered at
    // once, and stores it; a stop sent the moment it says it is receiving is a clean stop.
    void nextReceiverAfterADeadOne()
    {
        ReceiveLab lab;
        QVERIFY(lab.ready);
        const QByteArray left = AnalyserCapture::session({ReceiveLab::result("260114000123", "TSH", "2.35")});
        QVERIFY(lab.pty->write(left.mid(1)));
        {
            HeldReceiver receiver(lab.install.path());
            QVERIFY(receiver.held());
            QVERIFY(lab.pty->write(QByteArray(1, AnalyserCapture::ENQ)));
            QVERIFY2(receiver.release().startsWith("corvana-vidas: receiving on "), receiver.release().constData());
            QCOMPARE(lab.lineOutput(1000), QByteArray(1, AnalyserCapture::ACK));
            QTRY_COMPARE(lab.install.text(Db::Interface, "SELECT count(*) FROM Result"), "1");
            receiver.process.terminate();
            QTRY_COMPARE_WITH_TIMEOUT(receiver.process.state(), QProcess::NotRunning, 5000);
            QCOMPARE(receiver.process.exitCode(), 0);
        }
        QVERIFY(QFile::remove(QDir(lab.install.path()).filePath("stderr.fifo")));
        HeldReceiver receiver(lab.install.path());
        QVERIFY(receiver.held());
        receiver.process.terminate();
        QVERIFY(receiver.release().startsWith("corvana-vidas: receiving on "));
        QTRY_COMPARE_WITH_TIMEOUT(receiver.process.state(), QProcess::NotRunning, 5000);
        QCOMPARE(receiver.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(receiver.process.exitCode(), 0);
    }

    // `receive` is killed at moments after the last EOT, or loses its line; whatever it archived and
    // had not stored is taken up at the next start, once, and every result reaches the LIS.
    void killedReceiverLeavesNothingBehindOrTwice()
    {
        ReceiveLab lab;
        QVERIFY(lab.ready);
        // A station whose journal began before today: a session of today's file whose index line was
        // not written yet when the receiver died is taken up too.
        QVERIFY(lab.install.exec(Db::Interface, "UPDATE receivedsession SET receivedat='2000-01-01T00:00:00.000' "
                                                "WHERE origin='baseline'"));
        // A session archived before the first start and stored by nobody: that start takes it up.
        CaptureArchive waiting(InstallFolder(lab.install.path()), lab.install.clock);
        const QByteArray unstored = AnalyserCapture::session({ReceiveLab::result("260114000126", "HBS", "5")});
        waiting.received(unstored);
        waiting.sessionCut(unstored.size(), lab.install.clock.now(), unstored.mid(1));
        QVERIFY(waiting.write());
        QList<AnalyserCapture::Result> results; // one per demo request
        for (const char* r : {"123 TSH", "123 FT4", "123 FER", "124 PRL", "124 TSH", "125 CRP", "125 VITD"}) {
            const QList<QByteArray> f = QByteArray(r).split(' ');
            results << ReceiveLab::result("260114000" + f[0], f[1], "5");
        }
        int sent = 0;
        for (const int killAfterMs : {0, 15, -1}) {
            QProcess receiver;
            QVERIFY(startReceiver(receiver, lab.install.path()));
            // The first session stored (from the line or the archive), the second just sent.
            const AnalyserCapture::Result& first = results.at(sent++);
            QVERIFY(lab.sendOverLine(AnalyserCapture::session({first})) >= 0);
            QTRY_COMPARE_WITH_TIMEOUT(lab.install.text(Db::Interface,
                                                       "SELECT count(*) FROM Result WHERE SampleID=? AND "
                                                       "shortAssay=?",
                                                       {QString(first.sampleId), QString(first.shortAssay)}),
                                      "1", 10000);
            QVERIFY(lab.sendOverLine(AnalyserCapture::session({results.at(sent++)})) >= 0);
            if (killAfterMs >= 0) {
                QTest::qWait(killAfterMs);
                receiver.kill();
                QVERIFY(receiver.waitForFinished(5000));
                continue;
            }
            // The line goes away: the receiver says so and goes on until it is stopped.
            lab.pty = std::make_unique<PtyPair>();
            QVERIFY(QTest::qWaitFor([&receiver] {
                receiver.waitForReadyRead(20);
                return receiver.peek(1 << 16).contains(" the line was lost: ");
            }));
            QVERIFY(receiver.state() == QProcess::Running);
            receiver.terminate();
            QVERIFY(receiver.waitForFinished(5000));
            QCOMPARE(receiver.exitCode(), 0);
            lab.install.setSetting("comsetup", "device", lab.pty->slavePath());
        }

        // What the archive holds, session by session, against the journal once a receiver has run.
        const QDir captures(QDir(lab.install.path()).filePath("captures"));
        QList<ReceivedSession> archived;
        for (const QString& file : captures.entryList({"*.bin"}, QDir::Files, QDir::Name))
            archived += CaptureArchive::sessionsIn(captures.filePath(file));
        int kept = static_cast<int>(archived.size()); // the last bytes may not have been read
        QVERIFY(kept >= sent - 2);
        QProcess receiver;
        QVERIFY(startReceiver(receiver, lab.install.path()));
        QTRY_COMPARE_WITH_TIMEOUT(
            lab.install.text(Db::Interface, "SELECT count(*) FROM receivedsession WHERE origin<>'baseline'").toInt(),
            kept, 30000);
        // And it goes on receiving, until it is stopped.
        QVERIFY(lab.sendOverLine(AnalyserCapture::session({results.last()})) >= 0);
        QVERIFY(QTest::qWaitFor([&receiver] { return receiver.peek(1 << 16).contains("2601140001254     Yes"); }));
        receiver.terminate();
        QVERIFY(receiver.waitForFinished(10000));
        QCOMPARE(receiver.exitCode(), 0);
        ++kept;
        for (const ReceivedSession& s : archived)
            QCOMPARE(lab.install.text(Db::Interface,
                                      "SELECT count(*) FROM receivedsession WHERE archivefile=? AND endoffset=?",
                                      {s.archiveFile, s.endOffset}),
                     "1");
        const QString n = QString::number(kept);
        QCOMPARE(lab.install.texts(Db::Interface, "SELECT count(*), count(DISTINCT SampleID || shortAssay), (SELECT "
                                                  "count(*) FROM lisoutbox WHERE state='queued') FROM Result"),
                 QStringList{n + '|' + n + "|0"});
        QCOMPARE(lab.install.text(Db::Lis, "SELECT count(*) FROM patienttest WHERE resultfinsh=1"), n);
    }
};

QTEST_MAIN(TestReceiveEndToEnd)
#include "it_ReceiveEndToEnd.moc"
