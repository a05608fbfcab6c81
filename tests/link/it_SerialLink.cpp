#include "PtyPair.h"
#include "TestInstall.h"
#include "link/LineIntake.h"
#include "link/ReceiveChain.h"
#include "link/ReceiveWindow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

// The receive window on a real serial line: QSerialPort on a pseudo-terminal's slave side, the
// analyser played on the master side (or by the simulator).
class TestSerialLink : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestInstall> m_install;
    AppContext* m_context = nullptr;
    QPointer<ReceiveWindow> m_window;

    // Opens the window on `device` and waits until the port is open.
    bool openOn(const QString& device)
    {
        m_install->setSetting(QStringLiteral("comsetup"), QStringLiteral("device"), device);
        m_context = &m_install->context();
        m_window = new ReceiveWindow(*m_context);
        return QTest::qWaitFor([this] { return m_context->receiverOn() == 1; }, 5000) && m_window->portIsOpen();
    }

    static QByteArray drain(PtyPair& pty, int ms)
    {
        QByteArray got;
        for (int waited = 0; waited < ms; waited += 20) {
            QTest::qWait(20);
            got += pty.readAvailable();
        }
        return got;
    }

    static QStringList sampleIds(const QSignalSpy& spy)
    {
        QStringList ids;
        for (const QList<QVariant>& arguments : spy)
            ids << arguments.at(0).value<CurrentResult>().LblSampID;
        return ids;
    }

private slots:
    void initTestCase() { qRegisterMetaType<CurrentResult>(); }
    void init()
    {
        m_install = std::make_unique<TestInstall>();
        QVERIFY(m_install->createDatabases());
    }
    void cleanup()
    {
        delete m_window;
        m_install.reset();
    }

    void loneEnqGetsExactlyOneAck()
    {
        PtyPair pty;
        QVERIFY(pty.isOpen());
        QVERIFY(openOn(pty.slavePath()));
        QVERIFY(pty.write("\x05"));
        QCOMPARE(drain(pty, 800), QByteArray("\x06"));
        QVERIFY(m_window->session().buffer().isEmpty());

        // With data behind it in the same read, the ENQ is not answered.
        QVERIFY(pty.write("\x05\x02"
                          "abc"));
        QTRY_COMPARE_WITH_TIMEOUT(m_window->session().buffer(),
                                  QByteArray("\x05\x02"
                                             "abc"),
                                  5000);
        QVERIFY(drain(pty, 300).isEmpty());
    }

    void messageInSmallChunksIsParsedOnce()
    {
        PtyPair pty;
        QVERIFY(pty.isOpen());
        QVERIFY(openOn(pty.slavePath()));
        QSignalSpy parsing(m_window.data(), &ReceiveWindow::parsingMessages);
        QSignalSpy records(&m_window->intake(), &LineIntake::recordParsed);

        const QByteArray capture = sampleBytes(QStringLiteral("three-results-one-session.bin"));
        QVERIFY(capture.startsWith('\x05') && capture.endsWith('\x04'));
        QVERIFY(pty.write(capture.left(1)));
        QCOMPARE(drain(pty, 500), QByteArray("\x06"));
        for (qsizetype at = 1; at < capture.size(); at += 7) {
            QVERIFY(pty.write(capture.mid(at, 7)));
            QTest::qWait(3);
        }
        QTRY_COMPARE_WITH_TIMEOUT(parsing.size(), 1, 10000);
        QCOMPARE(parsing.at(0).at(0).toByteArray(), capture.mid(1));
        QTRY_COMPARE_WITH_TIMEOUT(records.size(), 3, 5000);
        QCOMPARE(sampleIds(records), (QStringList{"260114000123", "", "260114000124"}));

        QTest::qWait(300);
        QCOMPARE(parsing.size(), 1);
        QCOMPARE(records.size(), 3);
        QVERIFY(m_window->session().buffer().isEmpty());
        QVERIFY(m_window->session().messageArea().isEmpty());
        QVERIFY(drain(pty, 100).isEmpty()); // nothing but the ACK is ever sent
        QCOMPARE(m_window->findChild<QLabel*>(QStringLiteral("lblLastSample"))->text().remove(QChar(0x200E)),
                 QStringLiteral("260114000124"));
    }

    // The simulator, on a pseudo-terminal of its own, sends every composed capture.
    void simulatorDeliversEveryCapture()
    {
        const QString simulator = QStringLiteral(CORVANA_BINARY_DIR "/tools/vidas-sim");
        if (!QFileInfo(simulator).isExecutable())
            QSKIP("vidas-sim is not built");
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("line"));
        const QDir samples(QStringLiteral(CORVANA_SAMPLES_DIR));
        QStringList arguments{"--pty-link", link, "--chunk",       "11", "--delay", "2",
                              "--pause",    "50", "--ack-timeout", "500"};
        for (const char* name : {"quantitative-unit.bin", "qualitative-positive.bin", "sign-and-unit.bin",
                                 "three-results-one-session.bin", "qualitative-only.bin", "noise-then-result.bin"})
            arguments << "--file" << samples.filePath(QString::fromLatin1(name));
        QProcess sim;
        sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        sim.start(simulator, arguments);
        QVERIFY(sim.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(link).size() > 0, 5000);
        QFile linkFile(link);
        QVERIFY(linkFile.open(QIODevice::ReadOnly));
        const QString device = QString::fromLocal8Bit(linkFile.readAll()).trimmed();

        QVERIFY(openOn(device));
        QSignalSpy records(&m_window->intake(), &LineIntake::recordParsed);
        QTRY_COMPARE_WITH_TIMEOUT(records.size(), 8, 30000);
        QCOMPARE(sampleIds(records), (QStringList{"260114000123", "2601140007", "0042", "260114000123", "",
                                                  "260114000124", "2601140009", "260114000125"}));
        sim.terminate();
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(sim.exitCode(), 0);
    }
};

QTEST_MAIN(TestSerialLink)
#include "it_SerialLink.moc"
