#include "ProgramRun.h"
#include "ReceiveLab.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTest>

using Db = TestInstall::Db;

// The larger models with the programs as they ship: a VIDAS 3 that waits for an answer to every
// frame, on a pseudo-terminal, with the receive window on the other end; `replay` of their captures.
class TestTagLayoutLine : public QObject
{
    Q_OBJECT

private slots:
    // Stored under the sample IDs the analysers sent, with the analyser, and written into the LIS.
    void replayStoresAndExports()
    {
        ReceiveLab lab;
        QVERIFY(lab.ready);
        QByteArray capture;
        for (const char* name : {"tag-layout-vidas3.bin", "tag-layout-vidas-pc.bin", "tag-layout-ferritin.bin"})
            capture += sampleBytes(QString::fromLatin1(name));
        QFile file(QDir(lab.install.path()).filePath("capture.bin"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(capture) == capture.size());
        file.close();
        const ProgramRun run = runCorvanaVidas({"--home", lab.install.path(), "replay", file.fileName()});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out.split('\n', Qt::SkipEmptyParts),
                 (QStringList{
                     "2601140001230  [VIDAS3PC02 IVD3-77001]     Yes", "2601140001230  [VIDAS3PC02 IVD3-77001]     Yes",
                     "2601140001247  [VIDASPC-A PC-41122]     Yes", "2601140001261  [VIDASPC-A PC-41122]     Yes",
                     "2601140001254  [VIDAS3PC02 IVD3-77001]     No"}));
        QCOMPARE(lab.install.texts(Db::Interface, "SELECT SampleID, shortAssay, resultt1, testunit, instrumentid, "
                                                  "instrumentsn FROM Result ORDER BY AutoNum"),
                 (QStringList{"2601140001230|FER|45.6|ng/ml|VIDAS3PC02|IVD3-77001",
                              "2601140001230|TSH|1.84|uUI/ml|VIDAS3PC02|IVD3-77001",
                              "2601140001247|PRL|< 0.5|ng/ml|VIDASPC-A|PC-41122",
                              "2601140001261|HIV5|Positive (0.25)||VIDASPC-A|PC-41122",
                              "2601140001254|FER|182.4|ng/ml|VIDAS3PC02|IVD3-77001"}));
        QCOMPARE(lab.install.texts(Db::Lis, "SELECT patientid, testcode, resultt FROM patienttest WHERE resultfinsh=1 "
                                            "ORDER BY patientid, testcode"),
                 (QStringList{"2601140001230|501|1.84", "2601140001230|505|45.6", "2601140001247|503|< 0.5",
                              "2601140001261|507|Positive (0.25)"}));
        QCOMPARE(lab.install.text(Db::Interface, "SELECT count(*) FROM heldframe"), "0");
    }

    // The simulator damages each frame twice: both are refused, the third is taken. The answers go
    // out while the interface database is locked by another program, so they cannot wait for it;
    // the result is stored once when the lock goes, and nothing is held.
    void refusedFramesAreSentAgainAndStoredOnce()
    {
        ReceiveLab lab;
        QVERIFY(lab.ready);
        lab.install.setSetting("comsetup", "FrameAck", "1");
        const QString line = QDir(lab.install.path()).filePath("line");
        QProcess sim;
        sim.start(QStringLiteral(CORVANA_BINARY_DIR "/tools/vidas-sim"),
                  {"--pty-link", line, "--chunk", "9", "--delay", "2", "--pause", "50", "--layout", "tag", "--crlf",
                   "--decimal-comma", "--frame-ack", "--damage", "2", "--instrument", "VIDAS3PC07", "--file",
                   QDir(QStringLiteral(CORVANA_SAMPLES_DIR)).filePath("three-results-one-session.bin")});
        QTRY_VERIFY(QFileInfo(line).size() > 0);
        QFile named(line);
        QVERIFY(named.open(QIODevice::ReadOnly));
        lab.install.setSetting("comsetup", "device", QString::fromLocal8Bit(named.readAll()).trimmed());

        QByteArray said;
        {
            WriteLock lock(lab.install.interfaceDbFile());
            QVERIFY(lock.held);
            lab.window();
            QVERIFY(QTest::qWaitFor(
                [&] {
                    said += sim.readAllStandardError();
                    return said.contains("session 1 frame 3: ACK");
                },
                30000));
            QSqlQuery stored(lock.c.db());
            QVERIFY(stored.exec(QStringLiteral("SELECT count(*) FROM Result")) && stored.next());
            QCOMPARE(stored.value(0).toInt(), 0);
        }
        QStringList answers;
        for (const QByteArray& l : said.split('\n')) {
            if (l.contains(" frame "))
                answers << QString::fromLatin1(l.mid(l.indexOf("frame ")));
        }
        QCOMPARE(answers, (QStringList{"frame 1: NAK", "frame 1: NAK", "frame 1: ACK", "frame 2: NAK", "frame 2: NAK",
                                       "frame 2: ACK", "frame 3: NAK", "frame 3: NAK", "frame 3: ACK"}));

        QTRY_COMPARE_WITH_TIMEOUT(lab.shown("Lbl_samplenum"), "3", 30000);
        sim.terminate();
        QVERIFY(sim.waitForFinished(5000));
        QCOMPARE(lab.install.texts(Db::Interface, "SELECT SampleID, shortAssay, resultt1, instrumentid, instrumentsn "
                                                  "FROM Result ORDER BY AutoNum"),
                 (QStringList{"260114000123|FT4|12.79|VIDAS3PC07|IVD3-70001", "|FER|> 1200|VIDAS3PC07|IVD3-70001",
                              "260114000124|PRL|Negative|VIDAS3PC07|IVD3-70001"}));
        QCOMPARE(lab.install.text(Db::Interface, "SELECT count(*) FROM heldframe"), "0");
        QCOMPARE(lab.listLines().first(), "2601140001230  [VIDAS3PC07 IVD3-70001]     Yes");
    }
};

QTEST_MAIN(TestTagLayoutLine)
#include "it_TagLayoutLine.moc"
