#include "ProgramRun.h"
#include "TestInstall.h"
#include "link/AnalyserCapture.h"
#include "link/LisExport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString binary = QStringLiteral(CORVANA_BINARY_DIR "/src/corvana-vidas");

QString writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qWarning("cannot write %s", qPrintable(path));
    return path;
}

// How many rows a query on one of the install's SQLite files gives.
int count(const QString& file, const QString& sql)
{
    int n = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("count"));
        db.setDatabaseName(file);
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(sql) && q.next())
                n = q.value(0).toInt();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("count"));
    return n;
}

} // namespace

class TestReceiveCommands : public QObject
{
    Q_OBJECT

private slots:
    void replayStoresExportsAndOverwrites();
    void replayWithTheLisOffTellsStandardError();
    void replayRefusesBadInput();
    void receiveFromTheSimulator();
};

void TestReceiveCommands::replayStoresExportsAndOverwrites()
{
    TestInstall install;
    QVERIFY(install.installDemoData());
    install.setSetting("comsetup", "autsavecrv", "1");
    // Every composed capture, a real one with its ENQ and EOT, and a real one that stops short.
    QByteArray capture;
    for (const char* name :
         {"noise-then-result.bin", "qualitative-only.bin", "qualitative-positive.bin", "quantitative-unit.bin",
          "sign-and-unit.bin", "three-results-one-session.bin", "real/minividas-2.bin", "real/minividas-1.bin"})
        capture += sampleBytes(QString::fromLatin1(name));
    const QString file = writeFile(QDir(install.path()).filePath("capture.bin"), capture);

    const QStringList expected{"2601140001254     Yes", "2601140009     No",     "2601140007     No",
                               "2601140001230     Yes", "0042     No",           "2601140001230     Yes",
                               "FER   08:05 AM     No", "2601140001247     Yes", "TIC21103806     No"};
    const ProgramRun first = runCorvanaVidas({"--home", install.path(), "replay", file});
    QCOMPARE(first.exitCode, 0);
    QCOMPARE(first.out.split('\n', Qt::SkipEmptyParts), expected);
    QVERIFY2(first.err.contains("without EOT"), qPrintable(first.err));
    QCOMPARE(count(install.interfaceDbFile(), "SELECT count(*) FROM Result"), 9);
    QCOMPARE(count(install.lisDbFile(), "SELECT count(*) FROM patienttest WHERE resultfinsh=1"), 4);
    QCOMPARE(count(install.interfaceDbFile(), "SELECT count(*) FROM Result WHERE shortAssay='ATPO' AND "
                                              "testsimp='Anti-TPO' AND resultt1='274' AND testunit='IU/ml' AND "
                                              "RESULTCASEPRINT='H'"),
             1);

    // The same capture again is known and changes nothing; with --force every row is overwritten,
    // none added.
    const ProgramRun second = runCorvanaVidas({"--home", install.path(), "replay", file});
    QCOMPARE(second.exitCode, 0);
    QVERIFY(second.out.isEmpty());
    QVERIFY2(second.err.contains("8 already stored"), qPrintable(second.err));
    const ProgramRun forced = runCorvanaVidas({"--home", install.path(), "replay", file, "--force"});
    QCOMPARE(forced.exitCode, 0);
    QCOMPARE(forced.out.split('\n', Qt::SkipEmptyParts), expected);
    QCOMPARE(count(install.interfaceDbFile(), "SELECT count(*) FROM Result"), 9);
    QCOMPARE(count(install.lisDbFile(), "SELECT count(*) FROM patienttest WHERE resultfinsh=1"), 4);
    // The command line plays no sound and writes no archive of a replay.
    QVERIFY(!QFileInfo::exists(QDir(install.path()).filePath("captures")));
}

void TestReceiveCommands::replayWithTheLisOffTellsStandardError()
{
    TestInstall install;
    QVERIFY(install.installDemoData());
    install.setSetting("comsetup", "autsavecrv", "1");
    install.setSetting("comsetup", "soudorno", "1");
    install.setSetting("corvanaserver", "active", "0");
    AnalyserCapture::Result r;
    r.sampleId = "2601140001230";
    r.shortAssay = "TSH";
    r.longAssay = "TSH";
    r.at = QDateTime(QDate(2026, 12, 5), QTime(9, 42));
    r.value = "7.2 uUI/ml";
    AnalyserCapture::Result again = r;
    again.shortAssay = "FT4";
    const QString file = writeFile(QDir(install.path()).filePath("capture.bin"), AnalyserCapture::session({r, again}));

    const ProgramRun run = runCorvanaVidas({"--home", install.path(), "replay", file});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out.split('\n', Qt::SkipEmptyParts), (QStringList{"2601140001230     No", "2601140001230     No"}));
    const QString message = LisExport::lisOffTitle + ": " + LisExport::lisOffText;
    QCOMPARE(run.err.count(message), 2);
    QCOMPARE(count(install.interfaceDbFile(), "SELECT count(*) FROM Result WHERE RESULTCASEPRINT='H'"), 1);
}

void TestReceiveCommands::replayRefusesBadInput()
{
    TestInstall install;
    QVERIFY(install.createDatabases());
    ProgramRun run = runCorvanaVidas({"--home", install.path(), "replay"});
    QCOMPARE(run.exitCode, 2);
    run = runCorvanaVidas({"--home", install.path(), "replay", QDir(install.path()).filePath("missing.bin")});
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.err.contains("no such file"));
    run = runCorvanaVidas({"--home", install.path(), "replay", install.path()});
    QCOMPARE(run.exitCode, 1);

    QTemporaryDir empty;
    const QString file = writeFile(QDir(empty.path()).filePath("c.bin"), sampleBytes("quantitative-unit.bin"));
    run = runCorvanaVidas({"--home", empty.path(), "replay", file});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains("VIDASSETING.INI"), qPrintable(run.err));
    run = runCorvanaVidas({"--home", empty.filePath("nowhere"), "receive"});
    QCOMPARE(run.exitCode, 1);

    // A serial port that does not exist.
    install.setSetting("comsetup", "device", QDir(install.path()).filePath("no-such-tty"));
    run = runCorvanaVidas({"--home", install.path(), "receive"});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.err.contains("serial port"), qPrintable(run.err));
}

void TestReceiveCommands::receiveFromTheSimulator()
{
    const QString simulator = QStringLiteral(CORVANA_BINARY_DIR "/tools/vidas-sim");
    if (!QFileInfo(simulator).isExecutable())
        QSKIP("vidas-sim is not built");
    TestInstall install;
    QVERIFY(install.installDemoData());
    install.setSetting("comsetup", "autsavecrv", "1");

    QTemporaryDir dir;
    const QString link = dir.filePath("line");
    const QString capture = QDir(QStringLiteral(CORVANA_SAMPLES_DIR)).filePath("three-results-one-session.bin");
    QProcess sim;
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start(simulator,
              {"--pty-link", link, "--file", capture, "--chunk", "13", "--delay", "2", "--ack-timeout", "3000"});
    QVERIFY(sim.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(link).size() > 0, 5000);
    QFile linkFile(link);
    QVERIFY(linkFile.open(QIODevice::ReadOnly));
    install.setSetting("comsetup", "device", QString::fromLocal8Bit(linkFile.readAll()).trimmed());

    QProcess receiver;
    receiver.start(binary, {"--home", install.path(), "receive"});
    QVERIFY(receiver.waitForStarted());
    QString out;
    QElapsedTimer waited;
    waited.start();
    while (out.count('\n') < 3 && waited.elapsed() < 30000) {
        receiver.waitForReadyRead(200);
        out += QString::fromUtf8(receiver.readAllStandardOutput());
    }
    receiver.terminate();
    QVERIFY(receiver.waitForFinished(10000));
    QCOMPARE(receiver.exitCode(), 0);
    sim.terminate();
    QVERIFY(sim.waitForFinished(5000));

    QCOMPARE(out.split('\n', Qt::SkipEmptyParts),
             (QStringList{"2601140001230     Yes", "FER   08:05 AM     No", "2601140001247     Yes"}));
    QCOMPARE(count(install.interfaceDbFile(), "SELECT count(*) FROM Result"), 3);
    QFile archive(QDir(install.path()).filePath("captures/" + QDate::currentDate().toString("yyyy-MM-dd") + ".bin"));
    QVERIFY(archive.open(QIODevice::ReadOnly));
    QCOMPARE(archive.readAll(), sampleBytes("three-results-one-session.bin"));
}

QTEST_GUILESS_MAIN(TestReceiveCommands)
#include "it_ReceiveCommands.moc"
