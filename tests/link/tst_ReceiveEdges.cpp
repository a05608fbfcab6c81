#include "ReceiveLab.h"
#include "db/Databases.h"
#include "db/SqlTransaction.h"
#include "link/CaptureArchive.h"
#include "link/LineIntake.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <cstdio>

using Db = TestInstall::Db;

namespace {

const auto sessionOf = &ReceiveLab::sessionOf;

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

// The receive chain at its edges: frames the line cut around their GS, database errors in the
// middle of a session, a database file replaced under the chain, the program killed in the middle
// of a session, and bytes the archive's disk cannot take when the receiver stops.
class tst_ReceiveEdges : public QObject
{
    Q_OBJECT

private slots:
    void framesCutAroundGs_data();
    void framesCutAroundGs();
    void databaseErrorsMidSession_data();
    void databaseErrorsMidSession();
    void replacedDatabaseFile();
    void killPointsDuringASession_data();
    void killPointsDuringASession();
    void stoppingWithAFullDisk();
};

void tst_ReceiveEdges::framesCutAroundGs_data()
{
    QTest::addColumn<int>("frame"); // which GS of the session
    QTest::addColumn<int>("cut");   // how many bytes the line lost
    for (int frame : {0, 2}) {
        for (int cut : {1, 2})
            QTest::addRow("frame %d, %d bytes lost", frame + 1, cut) << frame << cut;
    }
}

// A glitch that eats bytes at every position around a frame's GS: what is stored is what was
// sent, and every result not stored is named in the list as held, so it can be asked for again.
void tst_ReceiveEdges::framesCutAroundGs()
{
    QFETCH(int, frame);
    QFETCH(int, cut);
    ReceiveLab lab;
    QVERIFY(lab.ready);
    const QList<QByteArray> samples{"260114000123", "2601140007", "260114000124"};
    const QByteArray capture = sessionOf("260114000123|TSH|22.39 uUI/ml+2601140007|FT4|12.5+260114000124|TSH|2.35");
    const QString query = "SELECT SampleID, shortAssay, resultt1 FROM Result ORDER BY AutoNum";
    QCOMPARE(lab.process(capture), ReceiveChain::Result::Done);
    const QStringList expected = lab.install.texts(Db::Interface, query);
    QCOMPARE(expected.size(), 3);
    const QString lisQuery = "SELECT resultt FROM patienttest WHERE resultt IS NOT NULL ORDER BY resultt";
    const QStringList written = lab.install.texts(Db::Lis, lisQuery);
    qsizetype gs = -1;
    for (int i = 0; i <= frame; ++i)
        gs = capture.indexOf('\x1d', gs + 1);
    for (qsizetype at = gs - 2; at <= gs + 2; ++at) {
        const QByteArray damaged = QByteArray(capture).remove(at, cut);
        QVERIFY(lab.install.exec(Db::Interface, "DELETE FROM Result"));
        QVERIFY(lab.install.exec(Db::Lis, "UPDATE patienttest SET resultt=NULL"));
        lab.lines.clear();
        const QString where = QString("%1 bytes at %2: ").arg(cut).arg(at - gs);
        QCOMPARE(lab.process(damaged), ReceiveChain::Result::Done);
        const QStringList stored = lab.install.texts(Db::Interface, query);
        for (const QString& row : stored)
            QVERIFY2(expected.contains(row), qPrintable(where + row));
        for (const QString& value : lab.install.texts(Db::Lis, lisQuery))
            QVERIFY2(written.contains(value), qPrintable(where + value));
        const QString held = lab.lines.filter("Held: ").join('|');
        for (int i = 0; i < 3; ++i) {
            if (!stored.contains(expected[i]))
                QVERIFY2(held.contains(samples[i]), qPrintable(where + lab.lines.join('|')));
        }
        // The frame that lost bytes next to its GS never passes as verified.
        QVERIFY2(stored.size() < 3, qPrintable(where + stored.join('|')));
    }
}

void tst_ReceiveEdges::databaseErrorsMidSession_data()
{
    QTest::addColumn<QStringList>("breaks"); // statements before the session; "lis:" on the LIS
    QTest::addColumn<QStringList>("mends");  // and after its first try
    QTest::addColumn<QString>("why");        // what the first try says
    QTest::addColumn<QStringList>("stored"); // samples stored in the end
    QTest::addColumn<QString>("held");       // the held line, when a record is refused for good

    const QStringList all{"260114000123", "2601140007", "260114000124"};
    QTest::newRow("the LIS's patient table away") << QStringList{"lis:ALTER TABLE patientinfo RENAME TO away"}
                                                  << QStringList{"lis:ALTER TABLE away RENAME TO patientinfo"}
                                                  << "LIS database: the file has no LIS tables" << all << QString();
    QTest::newRow("the catalogue away") << QStringList{"ALTER TABLE testtable RENAME TO away"}
                                        << QStringList{"ALTER TABLE away RENAME TO testtable"}
                                        << "catalogue: no such table: testtable" << all << QString();
    QTest::newRow("Result away") << QStringList{"ALTER TABLE Result RENAME TO away"}
                                 << QStringList{"ALTER TABLE away RENAME TO Result"} << "no such table: Result" << all
                                 << QString();
    QTest::newRow("the outbox away") << QStringList{"ALTER TABLE lisoutbox RENAME TO away"}
                                     << QStringList{"ALTER TABLE away RENAME TO lisoutbox"}
                                     << "LIS outbox: no such table: lisoutbox" << all << QString();
    QTest::newRow("the journal away") << QStringList{"ALTER TABLE receivedsession RENAME TO away"}
                                      << QStringList{"ALTER TABLE away RENAME TO receivedsession"}
                                      << "journal: no such table: receivedsession" << all << QString();
    QTest::newRow("a trigger that fails")
        << QStringList{"CREATE TRIGGER t AFTER INSERT ON Result BEGIN "
                       "SELECT * FROM nowhere; END"}
        << QStringList{"DROP TRIGGER t"} << "no such table: main.nowhere" << all << QString();
    // Only what the record itself can never meet is held, and the session's other records stored.
    QTest::newRow("a record refused for good")
        << QStringList{"CREATE TRIGGER t BEFORE INSERT ON Result WHEN NEW.SampleID='2601140007' BEGIN "
                       "SELECT RAISE(ABORT, 'not this one'); END"}
        << QStringList{} << QString() << QStringList{"260114000123", "260114000124"}
        << "2601140007 FT4     Held: refused: storing the result: not this one";
}

// A database error in the middle of a session: nothing of the session is kept and it is tried
// again, whatever the error, until its cause has passed; only a record the database refuses for
// good is held, with its reason.
void tst_ReceiveEdges::databaseErrorsMidSession()
{
    QFETCH(QStringList, breaks);
    QFETCH(QStringList, mends);
    QFETCH(QString, why);
    QFETCH(QString, held);
    ReceiveLab lab;
    QVERIFY(lab.ready);
    const auto run = [&lab](const QStringList& statements) {
        for (const QString& sql : statements) {
            if (!(sql.startsWith("lis:") ? lab.install.exec(Db::Lis, sql.mid(4))
                                         : lab.install.exec(Db::Interface, sql)))
                return false;
        }
        return true;
    };
    const QByteArray capture = sessionOf("260114000123|TSH|2.35+2601140007|FT4|12+260114000124|TSH|2.4");
    ReceivedSession s{
        capture, lab.install.clock.now(), "2026-12-05.bin", 100, ReceivedSession::Origin::Line, false, true, {}};
    // The connections are open (a session before), so the error meets the session midway.
    QCOMPARE(lab.process(sessionOf("2601140009|CRP|1")), ReceiveChain::Result::Done);
    QVERIFY(run(breaks));
    const ReceiveChain::Outcome first = lab.chain().processSession(s);
    if (!why.isEmpty()) {
        QCOMPARE(first.result, ReceiveChain::Result::Retry);
        QVERIFY2(first.reason.contains(why), qPrintable(first.reason));
        QVERIFY(run(mends));
        QCOMPARE(lab.install.text(Db::Interface, "SELECT count(*) FROM Result"), "1");
        QCOMPARE(lab.install.text(Db::Interface, "SELECT count(*) FROM receivedsession WHERE archivefile IS NOT NULL"),
                 "0");
        QCOMPARE(lab.chain().processSession(s).result, ReceiveChain::Result::Done);
    } else {
        QCOMPARE(first.result, ReceiveChain::Result::Done);
    }
    QTEST(lab.install.texts(Db::Interface, "SELECT SampleID FROM Result WHERE AutoNum>1 ORDER BY AutoNum"), "stored");
    QVERIFY2(lab.lines.filter("Held").value(0).startsWith(held) && lab.lines.filter("Held").size() == !held.isEmpty(),
             qPrintable(lab.lines.join('|')));
    QCOMPARE(lab.install.text(Db::Interface, "SELECT state FROM receivedsession WHERE archivefile IS NOT NULL"),
             held.isEmpty() ? "stored" : "held");
    QCOMPARE(lab.chain().processSession(s).result, ReceiveChain::Result::Skipped);
}

// A backup restored over the interface database while the chain has it open: the next session
// goes into the file now at the path, not into the one that was replaced; a unit of work that
// began on the old file fails as a whole and is tried again.
void tst_ReceiveEdges::replacedDatabaseFile()
{
    ReceiveLab lab;
    QVERIFY(lab.ready);
    QCOMPARE(lab.process(sessionOf("2601140009|CRP|1")), ReceiveChain::Result::Done);
    const QString file = lab.install.interfaceDbFile();
    const QString backup = file + ".bak";
    const auto restore = [&] {
        QFile::remove(backup);
        return lab.install.exec(Db::Interface, "VACUUM INTO '" + backup + "'") &&
               std::rename(qPrintable(backup), qPrintable(file)) == 0 && QFile::remove(file + "-wal") &&
               QFile::remove(file + "-shm") && (lab.install.reconnect(), true);
    };
    QVERIFY(lab.install.exec(Db::Interface, "DELETE FROM Result"));
    QVERIFY(restore());
    QCOMPARE(lab.process(sessionOf("2601140007|CRP|2")), ReceiveChain::Result::Done);
    QCOMPARE(lab.install.texts(Db::Interface, "SELECT SampleID FROM Result"), QStringList{"2601140007"});

    Databases& databases = lab.context->databases();
    QSqlDatabase db = databases.OpenInterfaceDbQuiet(4);
    QVERIFY(SqlTransaction::begin(db, SqlEngine::Sqlite));
    QVERIFY(restore());
    QVERIFY(!databases.OpenInterfaceDbQuiet(4).isOpen());
    QVERIFY2(databases.lastError(DbSlot::InterfaceQuiet4).contains("replaced"),
             qPrintable(databases.lastError(DbSlot::InterfaceQuiet4)));
    QVERIFY(databases.OpenInterfaceDbQuiet(4).isOpen());
    QCOMPARE(lab.process(sessionOf("2601140009|CRP|3")), ReceiveChain::Result::Done);
    QCOMPARE(lab.install.text(Db::Interface, "SELECT count(*) FROM Result"), "2");
}

void tst_ReceiveEdges::killPointsDuringASession_data()
{
    QTest::addColumn<int>("killedAt"); // bytes of the session that arrived before the kill
    QTest::addColumn<QString>("held"); // the list's line for the session cut short
    QTest::addColumn<int>("stored");   // its results stored
    const QByteArray s = sessionOf("260114000123|TSH|2.35+2601140007|FT4|12");
    const qsizetype secondGs = s.indexOf('\x1d', s.indexOf('\x1d') + 1);
    const QString both = "260114000123 TSH, 2601140007 FT4     Held: session without EOT";
    QTest::newRow("after the ENQ") << 1 << QString() << 0;
    QTest::newRow("before the first sample") << int(s.indexOf("ci")) << "?     Held: session without EOT" << 0;
    QTest::newRow("after the first sample")
        << int(s.indexOf("rt")) << "260114000123     Held: session without EOT" << 0;
    QTest::newRow("after the first frame")
        << int(s.indexOf('\x03') + 1) << "260114000123 TSH     Held: session without EOT" << 0;
    QTest::newRow("in the second checksum") << int(secondGs + 2) << both << 0;
    QTest::newRow("after the EOT") << int(s.size()) << QString() << 2;
}

// The program dies in the middle of a session: every byte that arrived is on disk, and the next
// start holds and names the session cut short, never stores it, and finds the next session whole.
void tst_ReceiveEdges::killPointsDuringASession()
{
    QFETCH(int, killedAt);
    QFETCH(QString, held);
    QFETCH(int, stored);
    ReceiveLab lab;
    QVERIFY(lab.ready);
    AppContext& context = lab.makeContext();
    const QByteArray s = sessionOf("260114000123|TSH|2.35+2601140007|FT4|12");
    const QString file = CaptureArchive(context.installFolder(), lab.install.clock).fileFor(lab.install.clock.today());
    {
        LineIntake killed(context);
        QCOMPARE(killed.receive(s.left(1)), QByteArray(1, AnalyserCapture::ACK));
        killed.receive(s.mid(1, killedAt - 1));
        // On disk within the flush interval, without any stop or EOT.
        QTRY_COMPARE_WITH_TIMEOUT(contents(file), s.left(killedAt), LineIntake::kFlushMs * 4);
    }
    QStringList lines;
    LineIntake next(context);
    connect(&next, &LineIntake::listLineAdded, [&lines](const QString& line) { lines << line; });
    next.start();
    const QByteArray later = sessionOf("260114000124|TSH|2.4");
    next.receive(later.left(1));
    next.receive(later.mid(1));
    QTRY_COMPARE(lab.install.text(Db::Interface, "SELECT count(*) FROM Result WHERE SampleID='260114000124'"), "1");
    QVERIFY(next.stop().isEmpty());
    QCOMPARE(lab.install.text(Db::Interface, "SELECT count(*) FROM Result"), QString::number(stored + 1));
    QCOMPARE(lines.filter("Held").value(0), held);
    QCOMPARE(lines.filter("Held").size(), held.isEmpty() ? 0 : 1);
    QCOMPARE(contents(file), s.left(killedAt) + later);
}

// The receiver stops while the archive's disk refuses (here a folder stands where the day's file
// should be): the bytes waiting in memory are not dropped but written to a second place, said so,
// and taken up into the archive, and their session stored, at the next start.
void tst_ReceiveEdges::stoppingWithAFullDisk()
{
    ReceiveLab lab;
    QVERIFY(lab.ready);
    AppContext& context = lab.makeContext();
    const QString file = CaptureArchive(context.installFolder(), lab.install.clock).fileFor(lab.install.clock.today());
    QVERIFY(QDir().mkpath(file));
    const QByteArray s = sessionOf("260114000123|TSH|2.35");
    QString said;
    {
        LineIntake stopped(context);
        stopped.setStopPatience(100);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^receiver: capture archive: "));
        stopped.receive(s.left(1));
        stopped.receive(s.mid(1));
        QVERIFY(!stopped.alarm().isEmpty());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^receiver: .* written to "));
        said = stopped.stop();
    }
    const QString pending = QDir(lab.install.path()).filePath("captures-pending");
    const QStringList spilled = QDir(pending).entryList({"*.bin"}, QDir::Files);
    QCOMPARE(spilled.size(), 1);
    QVERIFY2(said.contains(QDir::toNativeSeparators(QDir(pending).filePath(spilled.first()))), qPrintable(said));
    QCOMPARE(contents(QDir(pending).filePath(spilled.first())), s);

    QVERIFY(QDir(file).removeRecursively()); // space again
    LineIntake next(context);
    next.start();
    QTRY_COMPARE(lab.install.text(Db::Interface, "SELECT count(*) FROM Result WHERE SampleID='260114000123'"), "1");
    QVERIFY(next.stop().isEmpty());
    QCOMPARE(contents(file), s);
    QVERIFY2(contents(CaptureArchive::indexFileFor(file)).startsWith("# from 0 "),
             contents(CaptureArchive::indexFileFor(file)).constData());
    QVERIFY(QDir(pending).entryList({"*.bin"}, QDir::Files).isEmpty());
}

QTEST_GUILESS_MAIN(tst_ReceiveEdges)
#include "tst_ReceiveEdges.moc"
