#include "PtyPair.h"
#include "TestInstall.h"
#include "db/ScopedConnection.h"
#include "db/SqlRun.h"
#include "link/AnalyserCapture.h"
#include "link/CaptureArchive.h"
#include "link/ReceiveWindow.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QPointer>
#include <QProcess>
#include <QTest>
#include <QThread>
#include <algorithm>
#include <memory>

namespace {

using Result = AnalyserCapture::Result;

const QString binary = QStringLiteral(CORVANA_BINARY_DIR "/src/corvana-vidas");
const QString yes = QStringLiteral("     Yes");

// A query's first value, through a connection of the test's own (reads pass a writer's lock in WAL).
QVariant scalar(const QString& file, const QString& sql, const QVariantList& values = {})
{
    ScopedConnection c(QStringLiteral("QSQLITE"));
    if (!c.openSqlite(file))
        return {};
    const auto row = SqlRun::first(c.db(), sql, values);
    return row ? row->value(0) : QVariant();
}

int count(const QString& file, const QString& sql, const QVariantList& values = {})
{
    const QVariant v = scalar(file, sql, values);
    return v.isValid() ? v.toInt() : -1;
}

// One LIS patient with a TSH request per result: sample "26120500" + 4 digits, patient that + "0".
// Every write into patienttest is logged, so that a repeated write shows.
QList<Result> requestTsh(const QString& lisFile, int first, int n)
{
    ScopedConnection lis(QStringLiteral("QSQLITE"));
    if (!lis.openSqlite(lisFile))
        return {};
    SqlRun::exec(lis.db(), "CREATE TABLE IF NOT EXISTS liswrite (patientid TEXT, testcode INTEGER, resultt TEXT)");
    SqlRun::exec(lis.db(), "CREATE TRIGGER IF NOT EXISTS liswritten AFTER UPDATE ON patienttest BEGIN "
                           "INSERT INTO liswrite VALUES (new.patientid, new.testcode, new.resultt); END");
    QList<Result> results;
    for (int i = first; i < first + n; ++i) {
        Result r;
        r.sampleId = "26120500" + QByteArray::number(i).rightJustified(4, '0');
        r.shortAssay = r.longAssay = "TSH";
        r.at = QDateTime(QDate(2026, 12, 5), QTime(9, 0)).addSecs(60 * i);
        r.value = QByteArray::number(0.5 + 0.01 * i, 'f', 2) + " uUI/ml";
        const QString id = QString::fromLatin1(r.sampleId + '0');
        const QVariantList row{id, QDate(2026, 12, 5)};
        const bool added = SqlRun::exec(lis.db(),
                                        "INSERT INTO patientinfo (patientid, patientsex, patientage, patientageunit, "
                                        "requestdate) VALUES (?, 'Male', 40, 'Years', ?)",
                                        row) &&
                           SqlRun::exec(lis.db(),
                                        "INSERT INTO patienttest (patientid, requestdate, testcode, testsimp, "
                                        "resultfinsh) VALUES (?, ?, 501, 'TSH', 0)",
                                        row);
        if (!added)
            return {};
        results.append(r);
    }
    return results;
}

// Plays the analyser for one session: the ENQ alone and, once it is answered, the frames and EOT.
// An ENQ that reaches the receiver in one read with the end of the previous session is data, not a
// question, so the analyser asks again after a second (`tries` times in all). How long the answer
// took in ms; -1 when none came.
double sendSession(PtyPair& pty, const QByteArray& session, int tries = 1)
{
    pty.readAvailable();
    QElapsedTimer t;
    for (int attempt = 0; attempt < tries; ++attempt) {
        t.start();
        if (!pty.write(session.left(1)))
            return -1;
        while (t.elapsed() < 1000) {
            QCoreApplication::processEvents();
            const QByteArray got = pty.readAvailable();
            if (!got.isEmpty()) {
                const double ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
                return got == QByteArray(1, AnalyserCapture::ACK) && pty.write(session.mid(1)) ? ms : -1;
            }
            QThread::usleep(200);
        }
    }
    return -1;
}

// A write lock on a SQLite file from another program, until released.
struct WriteLock
{
    explicit WriteLock(const QString& file) { held = c.openSqlite(file) && SqlRun::exec(c.db(), "BEGIN EXCLUSIVE"); }
    ~WriteLock() { release(); }
    void release()
    {
        if (std::exchange(held, false))
            SqlRun::exec(c.db(), "ROLLBACK");
    }
    ScopedConnection c{QStringLiteral("QSQLITE")};
    bool held = false;
};

} // namespace

// The receiver when things go wrong around it: a database locked by another program, a LIS with a
// request twice, a receiver killed while it works. The line goes on being answered, and every
// session ends up stored once and written into the LIS once.
class TestReceiveFaults : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestInstall> m_install;
    std::unique_ptr<PtyPair> m_pty;
    QPointer<ReceiveWindow> m_window;

    void openWindow()
    {
        m_window = new ReceiveWindow(m_install->context());
        QVERIFY(QTest::qWaitFor([this] { return m_window->portIsOpen(); }, 5000));
    }

    // One session per result, about every 400 ms; every ENQ must be answered. The latencies are
    // appended to `latencies`; returns every byte sent.
    QByteArray sendEvery400ms(const QList<Result>& results, QList<double>& latencies)
    {
        QByteArray sent;
        for (const Result& r : results) {
            QElapsedTimer pace;
            pace.start();
            const QByteArray session = AnalyserCapture::session({r});
            latencies.append(sendSession(*m_pty, session));
            sent += session;
            QTest::qWait(static_cast<int>(std::max<qint64>(0, 400 - pace.elapsed())));
        }
        return sent;
    }

    static void checkLatencies(QList<double> ms)
    {
        std::sort(ms.begin(), ms.end());
        QVERIFY(!ms.isEmpty());
        QVERIFY2(ms.first() >= 0, "an ENQ was not answered");
        const double median = ms.at(ms.size() / 2);
        qInfo("ENQ answered in %.2f ms (median), %.2f ms (worst) over %lld", median, ms.last(),
              static_cast<long long>(ms.size()));
        QVERIFY(median < 50);
        QVERIFY(ms.last() < 250);
    }

    QStringList listLines() const
    {
        auto* list = m_window->findChild<QListWidget*>(QStringLiteral("Lst_NotSentID"));
        QStringList lines;
        for (int i = 0; list && i < list->count(); ++i)
            lines << list->item(i)->text();
        return lines;
    }

    static QStringList expectedLines(const QList<Result>& results, const QString& status)
    {
        QStringList lines;
        for (const Result& r : results)
            lines << QString::fromLatin1(r.sampleId + '0') + status;
        return lines;
    }

    // Every result is in the LIS once, with the value the analyser sent.
    void checkWrittenOnce(const QList<Result>& results)
    {
        const QString lis = m_install->lisDbFile();
        QCOMPARE(count(lis, "SELECT count(*) FROM liswrite"), results.size());
        for (const Result& r : results) {
            const QVariantList id{QString::fromLatin1(r.sampleId + '0')};
            QCOMPARE(count(lis, "SELECT count(*) FROM liswrite WHERE patientid=?", id), 1);
            const QString written =
                scalar(lis, "SELECT resultt FROM patienttest WHERE patientid=? AND resultfinsh=1", id).toString();
            QCOMPARE(written.toDouble(), r.value.split(' ').first().toDouble());
            QCOMPARE(written,
                     scalar(m_install->interfaceDbFile(), "SELECT resultt1 FROM Result WHERE patientid=?", id));
        }
        QCOMPARE(count(m_install->interfaceDbFile(), "SELECT count(*) FROM lisoutbox WHERE state='queued'"), 0);
    }

private slots:
    void init()
    {
        m_install = std::make_unique<TestInstall>();
        QVERIFY(m_install->installDemoData());
        m_pty = std::make_unique<PtyPair>();
        QVERIFY(m_pty->isOpen());
        m_install->setSetting("comsetup", "device", m_pty->slavePath());
        m_install->setSetting("comsetup", "autsavecrv", "1");
    }

    void cleanup()
    {
        delete m_window;
        m_pty.reset();
        m_install.reset();
    }

    void lockedLisHoldsWritesUntilReleased()
    {
        const QList<Result> results = requestTsh(m_install->lisDbFile(), 1, 25);
        QCOMPARE(results.size(), 25);
        openWindow();
        WriteLock lock(m_install->lisDbFile());
        QVERIFY(lock.held);

        QList<double> latencies;
        sendEvery400ms(results, latencies);
        checkLatencies(latencies);
        // The interface database is free: every result is stored while the LIS stays locked.
        const QString iface = m_install->interfaceDbFile();
        QTRY_COMPARE_WITH_TIMEOUT(count(iface, "SELECT count(*) FROM Result WHERE shortAssay='TSH'"), 25, 20000);
        QCOMPARE(count(m_install->lisDbFile(), "SELECT count(*) FROM liswrite"), 0);
        QCOMPARE(count(m_install->lisDbFile(), "SELECT count(*) FROM patienttest WHERE resultfinsh=1"), 0);
        QTRY_COMPARE(listLines(), expectedLines(results, QStringLiteral("     Queued")));
        QProcess outbox;
        outbox.start(binary, {"--home", m_install->path(), "outbox"});
        QTRY_VERIFY_WITH_TIMEOUT(outbox.state() == QProcess::NotRunning, 30000);
        QCOMPARE(outbox.exitCode(), 0);
        const QString waiting = QString::fromUtf8(outbox.readAllStandardOutput());
        QCOMPARE(waiting.count('\n'), 25);
        for (const Result& r : results)
            QVERIFY2(waiting.contains(QString::fromLatin1(r.sampleId + "0\t501\t")), qPrintable(waiting));

        lock.release();
        QTRY_COMPARE_WITH_TIMEOUT(count(m_install->lisDbFile(), "SELECT count(*) FROM patienttest WHERE resultfinsh=1"),
                                  25, 60000);
        checkWrittenOnce(results);
        QTRY_COMPARE(listLines(), expectedLines(results, yes));
    }

    void lockedInterfaceDatabaseHoldsSessionsUntilReleased()
    {
        const QList<Result> results = requestTsh(m_install->lisDbFile(), 101, 15);
        QCOMPARE(results.size(), 15);
        openWindow();
        const QString iface = m_install->interfaceDbFile();
        // The worker's first look at the journal is done before the lock.
        QTRY_COMPARE(count(iface, "SELECT count(*) FROM receivedsession WHERE origin='baseline'"), 1);
        WriteLock lock(iface);
        QVERIFY(lock.held);

        QList<double> latencies;
        const QByteArray sent = sendEvery400ms(results, latencies);
        checkLatencies(latencies);
        QTest::qWait(300);
        QFile archive(QDir(m_install->path()).filePath("captures/2026-12-05.bin")); // the fake clock's day
        QVERIFY(archive.open(QIODevice::ReadOnly));
        QCOMPARE(archive.readAll(), sent);
        QCOMPARE(count(iface, "SELECT count(*) FROM Result"), 0);
        // Nothing reaches the LIS that is not stored first.
        QCOMPARE(count(m_install->lisDbFile(), "SELECT count(*) FROM liswrite"), 0);

        lock.release();
        QTRY_COMPARE_WITH_TIMEOUT(count(iface, "SELECT count(*) FROM receivedsession WHERE origin<>'baseline'"), 15,
                                  60000);
        QTRY_COMPARE_WITH_TIMEOUT(count(m_install->lisDbFile(), "SELECT count(*) FROM patienttest WHERE resultfinsh=1"),
                                  15, 60000);
        QCOMPARE(count(iface, "SELECT count(DISTINCT endoffset) FROM receivedsession WHERE origin<>'baseline'"), 15);
        QCOMPARE(count(iface, "SELECT count(*) FROM Result"), 15);
        QCOMPARE(count(iface, "SELECT count(DISTINCT SampleID) FROM Result"), 15);
        checkWrittenOnce(results);
        QTRY_COMPARE(listLines(), expectedLines(results, yes));
    }

    void secondLisRowForOneRequestIsLeftAlone()
    {
        const QList<Result> results = requestTsh(m_install->lisDbFile(), 201, 1);
        QCOMPARE(results.size(), 1);
        const QVariantList id{QString::fromLatin1(results.first().sampleId + '0')};
        {
            ScopedConnection lis(QStringLiteral("QSQLITE"));
            QVERIFY(lis.openSqlite(m_install->lisDbFile()));
            QVERIFY(SqlRun::exec(lis.db(), "DROP INDEX ix_patienttest_patient"));
            QVERIFY(
                SqlRun::exec(lis.db(),
                             "INSERT INTO patienttest (patientid, requestdate, testcode, testsimp, resultfinsh) "
                             "SELECT patientid, requestdate, testcode, testsimp, 0 FROM patienttest WHERE patientid=?",
                             id));
        }
        QCOMPARE(count(m_install->lisDbFile(), "SELECT count(*) FROM patienttest WHERE patientid=?", id), 2);
        openWindow();
        QVERIFY(sendSession(*m_pty, AnalyserCapture::session(results)) >= 0);
        QTRY_COMPARE_WITH_TIMEOUT(listLines(), expectedLines(results, yes), 10000);
        checkWrittenOnce(results);
        QCOMPARE(count(m_install->lisDbFile(),
                       "SELECT count(*) FROM patienttest WHERE patientid=? AND resultfinsh=0 AND resultt IS NULL", id),
                 1);
    }

    void killedReceiverLeavesNothingBehindOrTwice()
    {
        constexpr int kPerRound = 6;
        const QList<int> killDelaysMs{0, 15, 80};
        const QList<Result> results =
            requestTsh(m_install->lisDbFile(), 301, kPerRound * static_cast<int>(killDelaysMs.size()));
        QVERIFY(!results.isEmpty());
        const QString iface = m_install->interfaceDbFile();
        const auto start = [this](QProcess& receiver) {
            receiver.start(binary, {"--home", m_install->path(), "receive"});
            QByteArray err;
            QElapsedTimer waited;
            waited.start();
            while (!err.contains("receiving on") && waited.elapsed() < 10000) {
                receiver.waitForReadyRead(100);
                err += receiver.readAllStandardError();
            }
            return err.contains("receiving on");
        };

        for (qsizetype round = 0; round < killDelaysMs.size(); ++round) {
            QProcess receiver;
            QVERIFY(start(receiver));
            for (int i = 0; i < kPerRound; ++i)
                QVERIFY(sendSession(*m_pty, AnalyserCapture::session({results.at(round * kPerRound + i)}), 3) >= 0);
            if (killDelaysMs.at(round) > 0)
                QThread::msleep(static_cast<unsigned long>(killDelaysMs.at(round)));
            receiver.kill();
            QVERIFY(receiver.waitForFinished(5000));
            qInfo("killed %d ms after the last EOT with %d sessions stored", killDelaysMs.at(round),
                  count(iface, "SELECT count(*) FROM receivedsession WHERE origin<>'baseline'"));
        }

        // What the archive holds, session by session, against the journal once a receiver has run.
        const QDir captures(QDir(m_install->path()).filePath("captures"));
        QList<ReceivedSession> archived;
        for (const QString& file : captures.entryList({"*.bin"}, QDir::Files, QDir::Name))
            archived += CaptureArchive::sessionsIn(captures.filePath(file));
        QVERIFY(!archived.isEmpty());
        QProcess receiver;
        QVERIFY(start(receiver));
        QTRY_COMPARE_WITH_TIMEOUT(count(iface, "SELECT count(*) FROM receivedsession WHERE origin<>'baseline'"),
                                  archived.size(), 30000);
        receiver.terminate();
        QVERIFY(receiver.waitForFinished(10000));
        QCOMPARE(receiver.exitCode(), 0);

        int frames = 0;
        for (const ReceivedSession& s : archived) {
            frames += static_cast<int>(AnalyserCapture::frames(s.bytes).size());
            QCOMPARE(count(iface, "SELECT count(*) FROM receivedsession WHERE archivefile=? AND endoffset=?",
                           {s.archiveFile, s.endOffset}),
                     1);
        }
        QCOMPARE(count(iface, "SELECT count(*) FROM receivedsession WHERE origin<>'baseline'"), archived.size());
        QCOMPARE(count(iface, "SELECT count(*) FROM Result"), frames);
        QCOMPARE(count(iface, "SELECT count(DISTINCT SampleID) FROM Result"), frames);
        // After a kill a write may be made twice (the same values); none is missing.
        QCOMPARE(count(m_install->lisDbFile(), "SELECT count(*) FROM patienttest WHERE resultfinsh=1"), frames);
        QCOMPARE(count(iface, "SELECT count(*) FROM lisoutbox WHERE state='queued'"), 0);
    }
};

QTEST_MAIN(TestReceiveFaults)
#include "it_ReceiveFaults.moc"
