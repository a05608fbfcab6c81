#include "PgSandbox.h"
#include "ProgramRun.h"
#include "ReceiveLab.h"
#include "app/DailyWorklist.h"
#include "config/IniFile.h"
#include "link/LisOutbox.h"
#include "review/ResultEdit.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTest>
#include <csignal>

using Db = TestInstall::Db;

// Several stations on one PostgreSQL server, as a lab with more than one PC runs them: two
// receivers, each on its own line and fed by its own analyser, and the review side reading and
// correcting, all at once on one database. Every count must come out right.
class it_ManyStations : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void twoReceiversAndAReviewStation();
    void serverAwayForAMinute();

private:
    QString m_socket;
};

namespace {

const QString binary = QStringLiteral(CORVANA_BINARY_DIR "/src/corvana-vidas");
const QString simulator = QStringLiteral(CORVANA_BINARY_DIR "/tools/vidas-sim");
constexpr int kSessions = 500; // per receiver

// The sample of patient `n` of today's requests (12 digits; the LIS patient adds a check digit).
QByteArray sampleOf(int n)
{
    return "2612" + QByteArray::number(n).rightJustified(8, '0');
}

// A receiver's station: an install folder on the shared databases, its analyser on a line of its own.
struct Station
{
    QTemporaryDir dir;
    QProcess sim;
    QProcess receiver;

    ~Station()
    {
        for (QProcess* p : {&receiver, &sim}) {
            if (p->state() != QProcess::NotRunning) {
                p->terminate();
                if (!p->waitForFinished(10000))
                    p->kill();
                p->waitForFinished(5000);
            }
        }
    }

    // Copies the settings of `install`, starts the analyser with `capture` and the receiver on its line.
    bool start(const TestInstall& install, const QString& capture, const QStringList& pacing = {"--pause", "2"})
    {
        if (!QFile::copy(install.settingsIni(), dir.filePath("VIDASSETING.INI")) ||
            !QFile::copy(install.memoryIni(), dir.filePath("MEMORYVIDAS.ini")) || !QDir(dir.path()).mkpath("PROC"))
            return false;
        const QString link = dir.filePath("line");
        sim.start(simulator,
                  QStringList{"--pty-link", link, "--file", capture, "--chunk", "256", "--delay", "0"} + pacing);
        if (!QTest::qWaitFor([&] { return QFileInfo(link).size() > 0; }, 10000))
            return false;
        QFile named(link);
        if (!named.open(QIODevice::ReadOnly))
            return false;
        WriteIni(dir.filePath("VIDASSETING.INI"), "comsetup", "device",
                 QString::fromLocal8Bit(named.readAll()).trimmed());
        receiver.setProcessChannelMode(QProcess::MergedChannels);
        receiver.start(binary, {"--home", dir.path(), "receive"});
        return QTest::qWaitFor(
            [this] {
                receiver.waitForReadyRead(20);
                return receiver.peek(1 << 20).contains("receiving on");
            },
            15000);
    }

    bool stop()
    {
        receiver.terminate();
        return receiver.waitForFinished(20000) && receiver.exitCode() == 0;
    }
};

// One result a session for patients first..first+count-1; the file's path.
QString writeCapture(const QString& path, int first, int count)
{
    QByteArray bytes;
    for (int n = first; n < first + count; ++n)
        bytes += AnalyserCapture::session(
            {ReceiveLab::result(sampleOf(n), "TSH", QByteArray::number(0.5 + n % 40 / 10.0, 'f', 2))});
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? path : QString();
}

// Today's LIS requests (a TSH each) for patients 1..count, and a log of every write into them.
bool addRequests(TestInstall& install, int count)
{
    for (const QString& sql :
         {QString("INSERT INTO patientinfo (patientid, patientnamear, patientsex, patientage, patientageunit, "
                  "requestdate, moreinfo) SELECT '2612' || lpad(n::text, 8, '0') || '0', 'Patient ' || n, "
                  "CASE WHEN n % 2 = 0 THEN 'Male' ELSE 'Female' END, 20 + n % 50, 'Years', ?, '0000000000' "
                  "FROM generate_series(1, %1) AS n")
              .arg(count),
          QString("INSERT INTO patienttest (patientid, requestdate, testcode, testsimp, resultfinsh) SELECT patientid, "
                  "requestdate, 501, 'TSH', 0 FROM patientinfo WHERE patientid LIKE '2612%'"),
          QString("CREATE TABLE liswrites (patientid text, testcode int, resultt text)"),
          QString("CREATE FUNCTION logwrite() RETURNS trigger LANGUAGE plpgsql AS 'BEGIN INSERT INTO liswrites "
                  "VALUES (NEW.patientid, NEW.testcode, NEW.resultt); RETURN NEW; END'"),
          QString("CREATE TRIGGER logwrite AFTER UPDATE ON patienttest FOR EACH ROW EXECUTE FUNCTION logwrite()")}) {
        if (!install.exec(TestInstall::Db::Lis, sql,
                          sql.contains('?') ? QVariantList{QDate::currentDate()} : QVariantList{}))
            return false;
    }
    return true;
}

} // namespace

void it_ManyStations::initTestCase()
{
    QString error;
    m_socket = PgSandbox::socketFolder(&error);
    QVERIFY2(!m_socket.isEmpty(), qPrintable(error));
    qputenv("CORVANA_TEST_ENGINE", "postgresql");
}

void it_ManyStations::twoReceiversAndAReviewStation()
{
    ReceiveLab lab;
    QVERIFY(lab.ready);
    QVERIFY(lab.install.onPostgres());
    const QDate today = QDate::currentDate(); // the receivers run on the computer's clock
    // Today's requests: a TSH for each of 2 x 500 patients. Every write into the LIS leaves a line
    // in a log of the test's own, so that a request written twice shows.
    QVERIFY(addRequests(lab.install, 2 * kSessions));
    // Each analyser's day: 500 sessions of one result each.
    QString captures[2];
    for (int station = 0; station < 2; ++station) {
        captures[station] = writeCapture(QDir(lab.install.path()).filePath(QStringLiteral("day-%1.bin").arg(station)),
                                         station * kSessions + 1, kSessions);
        QVERIFY(!captures[station].isEmpty());
    }

    Station stations[2];
    for (int i = 0; i < 2; ++i)
        QVERIFY2(stations[i].start(lab.install, captures[i]), qPrintable(stations[i].receiver.readAll()));

    // The review station: the main window's day on a connection of a third program, corrections
    // saved through the editor's rules, and the program's own outbox sender.
    lab.install.clock.set(QDateTime::currentDateTime());
    AppContext& review = lab.makeContext();
    review.currentUser.name = QStringLiteral("Huda");
    review.currentUser.grant1 = review.currentUser.grant2 = true;
    LisOutbox::Sender sender(review, {200, 50, 500});
    const auto stored = [&] { return lab.install.text(Db::Interface, "SELECT count(*) FROM Result").toInt(); };
    QVERIFY(QTest::qWaitFor([&] { return stored() >= 20; }, 60000));
    const qsizetype early = DailyWorklist::patientsOfDay(review, today).size();
    QVERIFY2(early >= 20 && early <= 2 * kSessions, qPrintable(QString::number(early)));

    // Twenty results corrected while the receivers go on storing.
    QVERIFY(QTest::qWaitFor([&] { return stored() >= kSessions / 2; }, 60000));
    const QStringList corrected =
        lab.install.texts(Db::Interface, "SELECT AutoNum FROM Result ORDER BY AutoNum DESC LIMIT 20");
    for (const QString& autoNum : corrected) {
        ResultEdit::Fields fields;
        QCOMPARE(ResultEdit::load(review, autoNum.toLongLong(), fields), ResultEdit::LoadOutcome::Loaded);
        fields.Txt_TEST_R = QStringLiteral("9.99");
        ResultEdit::reflag(fields, true);
        const ResultEdit::SaveOutcome saved = ResultEdit::save(review, fields, QDateTime::currentDateTime());
        QVERIFY2(saved.state == ResultEdit::SaveState::Saved && saved.lis == ResultEdit::LisState::Queued,
                 qPrintable(saved.error));
        sender.deliverSoon();
    }
    const bool allStored = QTest::qWaitFor([&] { return stored() >= 2 * kSessions; }, 120000);
    QVERIFY2(allStored, qPrintable(QStringLiteral("%1 stored; %2")
                                       .arg(stored())
                                       .arg(QString::fromLocal8Bit(stations[0].receiver.peek(1 << 20).right(2000) +
                                                                   stations[1].receiver.peek(1 << 20).right(2000)))));
    QVERIFY(QTest::qWaitFor(
        [&] { return lab.install.text(Db::Interface, "SELECT count(*) FROM lisoutbox WHERE doneat IS NULL") == "0"; },
        60000));
    for (Station& s : stations)
        QVERIFY2(s.stop(), qPrintable(s.receiver.readAll()));

    // Every session stored once, under its own number, and written into its LIS request once.
    QCOMPARE(lab.install.text(Db::Interface, "SELECT count(*) || '|' || count(DISTINCT SampleID) || '|' || "
                                             "count(DISTINCT AutoNum) FROM Result"),
             QString("%1|%1|%1").arg(2 * kSessions));
    QCOMPARE(lab.install.text(Db::Interface, "SELECT count(*) FROM receivedsession WHERE state='stored'"),
             QString::number(2 * kSessions));
    QCOMPARE(lab.install.text(Db::Lis, "SELECT count(*) || '|' || count(DISTINCT patientid) FROM liswrites"),
             QString("%1|%2").arg(2 * kSessions + corrected.size()).arg(2 * kSessions));
    // A corrected result was written twice, the analyser's value first; the LIS keeps the correction.
    QCOMPARE(lab.install.text(Db::Lis, "SELECT count(*) FROM patienttest WHERE resultt='9.99'"),
             QString::number(corrected.size()));
    QCOMPARE(lab.install.text(Db::Interface, "SELECT count(*) FROM Result WHERE resultt1='9.99' AND editedby='Huda'"),
             QString::number(corrected.size()));
    QCOMPARE(lab.install.text(Db::Interface, "SELECT count(*) || '|' || count(DISTINCT outboxid) FROM lisoutbox"),
             QString("%1|%1").arg(2 * kSessions + corrected.size()));
    QCOMPARE(lab.install.text(Db::Lis, "SELECT count(*) FROM patienttest WHERE patientid LIKE '2612%' AND "
                                       "(resultfinsh <> 1 OR resultt IS NULL)"),
             "0");
    QCOMPARE(DailyWorklist::patientsOfDay(review, today).size(), qsizetype(2 * kSessions));
}

// The server stopped for a minute while both receivers work: the analysers are answered all along,
// each receiver says the database is away, and once the server is back every transmission is
// stored and written into the LIS once.
void it_ManyStations::serverAwayForAMinute()
{
    // A server of this test's own: the suite's other tests share the other one.
    QTemporaryDir serverDir(QStringLiteral("/tmp/corvana-pg-away-XXXXXX"));
    const QString script = QStringLiteral(CORVANA_SOURCE_DIR "/scripts/pg-sandbox.sh");
    const auto server = [&](const char* action) {
        QProcess run;
        run.start(QStringLiteral("bash"), {script, QString::fromLatin1(action), serverDir.path()});
        return run.waitForFinished(120000) && run.exitCode() == 0
                   ? QString::fromLocal8Bit(run.readAllStandardOutput()).trimmed()
                   : QStringLiteral("failed: ") + QString::fromLocal8Bit(run.readAllStandardError());
    };
    const QString socket = server("start");
    QVERIFY2(!socket.startsWith("failed"), qPrintable(socket));
    // Stopped after the receivers (declared before them, so it runs after theirs).
    const auto stopServer = qScopeGuard([&] { server("stop"); });
    const QByteArray shared = qgetenv("CORVANA_PG_SOCKET");
    qputenv("CORVANA_PG_SOCKET", socket.toLocal8Bit());
    ReceiveLab lab;
    qputenv("CORVANA_PG_SOCKET", shared);
    QVERIFY(lab.ready);
    constexpr int kEach = 60; // one a second from each analyser
    QVERIFY(addRequests(lab.install, 2 * kEach));
    Station stations[2];
    for (int i = 0; i < 2; ++i) {
        const QString capture =
            writeCapture(QDir(lab.install.path()).filePath(QStringLiteral("away-%1.bin").arg(i)), i * kEach + 1, kEach);
        QVERIFY2(stations[i].start(lab.install, capture, {"--pause", "1000", "--ack-timeout", "50", "--retries", "5"}),
                 qPrintable(stations[i].receiver.readAll()));
    }
    const auto stored = [&] { return lab.install.text(Db::Interface, "SELECT count(*) FROM Result").toInt(); };
    QVERIFY(QTest::qWaitFor([&] { return stored() >= 10; }, 60000));
    const QString stopped = server("stop");
    QVERIFY2(stopped.isEmpty(), qPrintable(stopped));
    QTest::qWait(60000);
    for (Station& s : stations)
        QVERIFY2(s.receiver.peek(1 << 20).contains("ALARM: "), "the receiver says the database is away");
    QCOMPARE(server("start"), socket);
    lab.install.reconnect();
    QVERIFY(QTest::qWaitFor([&] { return stored() >= 2 * kEach; }, 90000));
    QVERIFY(QTest::qWaitFor(
        [&] { return lab.install.text(Db::Interface, "SELECT count(*) FROM lisoutbox WHERE doneat IS NULL") == "0"; },
        60000));
    for (Station& s : stations) {
        QVERIFY(s.stop());
        // Every ENQ was answered: no transmission was given up for want of an ACK.
        const QByteArray said = s.sim.readAllStandardError();
        QVERIFY2(!said.contains("given up"), said.right(500).constData());
        if (const qsizetype late = said.count("no ACK within"))
            qInfo("%lld ENQ answered later than 50 ms", static_cast<long long>(late));
    }
    QCOMPARE(lab.install.text(Db::Interface, "SELECT count(*) || '|' || count(DISTINCT SampleID) FROM Result"),
             QString("%1|%1").arg(2 * kEach));
    QCOMPARE(lab.install.text(Db::Lis, "SELECT count(*) || '|' || count(DISTINCT patientid) FROM liswrites"),
             QString("%1|%1").arg(2 * kEach));
}

QTEST_GUILESS_MAIN(it_ManyStations)
#include "it_ManyStations.moc"
