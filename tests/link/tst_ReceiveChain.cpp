#include "ReceiveLab.h"
#include "db/Databases.h"
#include "db/DbMessages.h"
#include "link/AnalyserLine.h"
#include "link/CaptureArchive.h"
#include "link/LisExport.h"
#include "link/SessionJournal.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <unistd.h>

using Db = TestInstall::Db;
using AnalyserCapture::session;
const auto sessionOf = &ReceiveLab::sessionOf;

namespace {

// One data row of `stores`; see there.
void row(const char* name, const QStringList& settings, const QStringList& prep, const QStringList& sent,
         const char* query, const QStringList& stored, const QStringList& lines, const QStringList& written = {},
         int warned = 0)
{
    QTest::newRow(name) << settings << prep << sent << QString::fromLatin1(query) << stored << lines << written
                        << warned;
}

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

} // namespace

// The receive chain on the demo laboratory's SQLite databases: evaluation, patient, storage and
// export; damaged frames; the session journal; a LIS out of reach; and the capture archive: every
// byte as received, the place and time of each session, a full disk.
class tst_ReceiveChain : public QObject
{
    Q_OBJECT

private slots:
    void stores_data();
    void stores();
    void damagedFramesAreHeld();
    void sessionsAreStoredOnce();
    void lisAwayHoldsTheSession();
    void lineReopensByItself();
    void captureArchive();
    void fullDiskKeepsEveryByte();
};

void tst_ReceiveChain::stores_data()
{
    QTest::addColumn<QStringList>("settings"); // section/key=value
    QTest::addColumn<QStringList>("prep");     // statements on the interface database, "lis:" on the LIS
    QTest::addColumn<QStringList>("sent");     // one session each; "@yyyy-MM-dd" moves the clock to that day
    QTest::addColumn<QString>("query");        // columns of the stored Result rows
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QStringList>("lines");   // the list of the receive window
    QTest::addColumn<QStringList>("written"); // LIS requests written: patient, test code, result
    QTest::addColumn<int>("warned");          // "the LIS is off" messages

    const char* tsh = "260114000123|TSH|2.35";
    row("evaluated, stored and written", {}, {}, {"260114000123|TSH|7.5 uUI/ml"},
        "SampleID, patientid, Patientname, patientsefa, DocName, ageN, resultt1, RESULTCASEPRINT, normalrang, "
        "testunit, "
        "TestTime",
        {"260114000123|2601140001230|أحمد محمود علي|السيد|سامي حسن|45|7.5|H|0.25 - 5.00|uUI/ml|02:07 PM"},
        {"2601140001230     Yes"}, {"2601140001230|501|7.5"});
    row("catalogue factor before the result text", {}, {"UPDATE testtable SET correctfactors=2 WHERE shortAssay='TSH'"},
        {"260114000123|TSH|< 0.5 uUI/ml"}, "resultt3, resultt1", {"< 1|< 1"}, {"2601140001230     Yes"},
        {"2601140001230|501|< 1"});
    // Without a LIS code nobody is looked up, and nothing is sent.
    row("an assay the catalogue does not know", {}, {}, {"260114000123|XYZ|7"}, "testcode, testsimp, testabrev",
        {"0|XYZ|XYZ"}, {"260114000123     No"});
    row("an assay the catalogue names twice", {},
        {"INSERT INTO testtable (shortAssay, crvtestid, active, correctfactors, REFRANGE) VALUES ('TSH', 510, 1, 3, "
         "'1')"},
        {tsh}, "testsimp, testcode, resultt3, normalrang", {">> TSH|0|2.35|"}, {"260114000123     No"});
    row("a pregnant patient's range", {}, {}, {"260114000124|TSH|2.35"}, "patientid, sending, normalrang",
        {"2601140001247|1|0.10 - 2.50"}, {"2601140001247     Yes"}, {"2601140001247|501|2.35"});
    row("identifier mode 4", {"report/IDdigitsNo=4"}, {}, {"0123|TSH|2.35"}, "patientid", {"2601140001230"},
        {"2601140001230     Yes"}, {"2601140001230|501|2.35"});
    row("identifier mode 4 finds today's requests only", {"report/IDdigitsNo=4"},
        {"lis:UPDATE patientinfo SET requestdate='2026-12-04'"}, {"0123|TSH|2.35"},
        "patientid, Patientname, patientsefa, DocName, ageN", {"0123|09:42 AM   TSH|null|null|null"}, {"0123     No"});
    row("LIS off: no patient, no message below 13 characters", {"corvanaserver/active=0"}, {}, {tsh}, "patientid",
        {"260114000123"}, {"260114000123     No"});
    row("LIS off: a message for each result that qualifies", {"corvanaserver/active=0"}, {},
        {"2601140001230|TSH|2.35", "2601140001230|FT4|12"}, "patientid", {"2601140001230", "2601140001230"},
        {"2601140001230     No", "2601140001230     No"}, {}, 2);
    row("sending off: no message either", {"comsetup/autsavecrv=0", "corvanaserver/active=0"}, {},
        {"2601140001230|TSH|2.35"}, "patientid", {"2601140001230"}, {"2601140001230     No"});
    row("no request for the test", {}, {}, {"260114000123|CRP|3"}, "patientid", {"2601140001230"},
        {"2601140001230     No"});
    row("a request twice in the LIS: one row is written", {},
        {"lis:DROP INDEX ix_patienttest_patient", "lis:INSERT INTO patienttest (patientid, requestdate, testcode, "
                                                  "resultfinsh) VALUES ('2601140001230', '2026-12-05', 501, 0)"},
        {tsh}, "patientid", {"2601140001230"}, {"2601140001230     Yes"}, {"2601140001230|501|2.35"});
    row("the same sample and assay replace the row", {}, {}, {tsh, "260114000123|TSH|2.5", "260114000123|FT4|12"},
        "shortAssay, resultt1", {"TSH|2.5", "FT4|12"}, QStringList(3, "2601140001230     Yes"),
        {"2601140001230|501|2.5", "2601140001230|502|12"});
    row("the next day makes a row of its own", {}, {}, {tsh, "@2026-12-06", "260114000123|TSH|2.6"},
        "Testdate, resultt1", {"2026-12-05|2.35", "2026-12-06|2.6"}, QStringList(2, "2601140001230     Yes"),
        {"2601140001230|501|2.6"});
    // A short sample number is recycled: weeks later it is another sample, whose result must not
    // take the place of the old one; on the same day it replaces its own row.
    row("no 13-character patient: only today's row is replaced", {}, {},
        {"2601140009|HBS|0.1|Negative", "@2026-12-09", "2601140009|HBS|0.2|Positive", "2601140009|HBS|0.3|Positive"},
        "Testdate, resultt1, RESULTCASEPRINT", {"2026-12-05|Negative (0.1)|", "2026-12-09|Positive (0.3)| *"},
        QStringList(3, "2601140009     No"));
    row("a sample number is one sample whatever its zeros, never with letters", {}, {},
        {"49|TSH|1", "0000000000049|TSH|2", "000000000049A|TSH|3"}, "SampleID, resultt1",
        {"0000000000049|2", "000000000049A|3"}, {"49     No", "0000000000049     No", "000000000049A     No"});
    row("results without sample: no patient, no export", {}, {},
        {"|FER|> 1200 ng/ml", "|FER|> 1200 ng/ml", "|FER|300 ng/ml"}, "Patientname, SampleID, patientid, resultt1",
        {"FER   09:42 AM|||> 1200", "FER   09:42 AM|||300"}, QStringList(3, "FER   09:42 AM     No"));
    row("nothing to report, or no assay: nothing stored", {}, {}, {"260114000124|PRL||", "260114000124||7"}, "SampleID",
        {}, {});
    row("each record of a session starts afresh", {}, {}, {"260114000124|TSH|2.35+2601140009|TSH|3"},
        "patientid, Patientname, sending, normalrang",
        {"2601140001247|فاطمة عبد الله|1|0.10 - 2.50", "2601140009|09:42 AM   TSH|0|0.25 - 5.00"},
        {"2601140001247     Yes", "2601140009     No"}, {"2601140001247|501|2.35"});
    row("the computer's clock instead of the analyser's", {"comsetup/PCdateYN=1"}, {}, {"2601140009|TSH|3"},
        "Patientname", {"02:07 PM   TSH"}, {"2601140009     No"});
}

void tst_ReceiveChain::stores()
{
    QFETCH(QStringList, settings);
    QFETCH(QStringList, prep);
    QFETCH(QStringList, sent);
    QFETCH(QString, query);
    QFETCH(int, warned);
    ReceiveLab lab;
    QVERIFY(lab.ready);
    lab.install.setSettings(settings);
    for (const QString& sql : prep)
        QVERIFY(sql.startsWith("lis:") ? lab.install.exec(Db::Lis, sql.mid(4)) : lab.install.exec(Db::Interface, sql));
    for (const QString& s : sent) {
        if (s.startsWith(u'@'))
            lab.install.clock.set(QDateTime(QDate::fromString(s.mid(1), Qt::ISODate), QTime(14, 7)));
        else
            QCOMPARE(lab.process(sessionOf(s)), ReceiveChain::Result::Done);
    }
    QTEST(lab.install.texts(Db::Interface, "SELECT " + query + " FROM Result ORDER BY AutoNum"), "stored");
    QTEST(lab.lines, "lines");
    QTEST(lab.install.texts(Db::Lis, "SELECT patientid, testcode, resultt FROM patienttest WHERE resultfinsh=1 "
                                     "ORDER BY patientid, testcode"),
          "written");
    QCOMPARE(lab.install.dialogs.shown.size(), warned);
    for (const DialogRequest& shown : std::as_const(lab.install.dialogs.shown))
        QVERIFY(shown.title == "تنبية  !" && shown.text == LisExport::lisOffText && shown.icon == DialogIcon::Warning);
}

// Single-bit flips (one bit of every other byte) between the first RS and the end of a session of three
// results: what is stored is what was sent, or nothing (held), never a changed value, sample,
// assay or patient.
void tst_ReceiveChain::damagedFramesAreHeld()
{
    ReceiveLab lab;
    QVERIFY(lab.ready);
    const QByteArray capture = sessionOf("260114000123|TSH|2.35 uUI/ml+2601140007|TSH|< 0.05+|TSH|7.5 uUI/ml");
    const QString query = "SELECT SampleID, patientid, shortAssay, resultt1, RESULTCASEPRINT FROM Result";
    const QString lisQuery = "SELECT resultt FROM patienttest WHERE testcode=501 AND patientid='2601140001230'";
    QCOMPARE(lab.process(capture), ReceiveChain::Result::Done);
    const QStringList expected = lab.install.texts(Db::Interface, query);
    QCOMPARE(expected.size(), 3);
    QCOMPARE(lab.install.text(Db::Interface, "SELECT state FROM receivedsession WHERE results=3"), "stored");
    int held = 0;
    for (qsizetype i = capture.indexOf('\x1e'); i < capture.lastIndexOf('\x03'); i += 2) {
        QByteArray flipped = capture;
        flipped[i] = static_cast<char>(flipped[i] ^ (1 << (i / 2 % 8)));
        QVERIFY(lab.install.exec(Db::Interface, "DELETE FROM Result"));
        QVERIFY(lab.install.exec(Db::Lis, "UPDATE patienttest SET resultt=NULL"));
        lab.lines.clear();
        QCOMPARE(lab.process(flipped), ReceiveChain::Result::Done);
        const QStringList now = lab.install.texts(Db::Interface, query);
        for (const QString& row : now)
            QVERIFY2(expected.contains(row), qPrintable(QString("byte %1: %2").arg(i).arg(row)));
        QVERIFY(QStringList({"null", "2.35"}).contains(lab.install.text(Db::Lis, lisQuery)));
        if (now.size() < expected.size()) {
            ++held;
            QVERIFY2(lab.lines.join('|').contains("     Held: "), qPrintable(lab.lines.join('|')));
        }
    }
    QVERIFY2(held > 125, qPrintable(QString::number(held)));
    QCOMPARE(lab.install.text(Db::Interface, "SELECT count(*) FROM heldframe WHERE rawframe IS NOT NULL").toInt(),
             held);
    QCOMPARE(lab.install.text(Db::Interface, "SELECT count(*) FROM receivedsession WHERE state='held'").toInt(), held);
}

// A session in the archive without a journal entry (the program stopped between the two) is taken
// up once, with the time it was received, not the time it is found; replayed, it is known by its
// content, and a forced replay keeps what a person edited.
void tst_ReceiveChain::sessionsAreStoredOnce()
{
    ReceiveLab lab;
    QVERIFY(lab.ready);
    ReceiveChain& chain = lab.chain();
    const QString folder = QDir(lab.install.path()).filePath("captures");
    const QSqlDatabase db = lab.context->databases().OpenInterfaceDbQuiet(4);
    // The journal began on the archive's day: what the file held before (no index line) was stored then.
    QVERIFY(lab.install.exec(Db::Interface, "UPDATE receivedsession SET receivedat='2026-12-05T08:00:00.000'"));
    QFile before(folder + "/2026-12-05.bin");
    QVERIFY(QDir().mkpath(folder) && before.open(QIODevice::WriteOnly) && before.write(sessionOf("2601140009|TSH|9")));
    before.close();
    CaptureArchive archive(lab.context->installFolder(), lab.install.clock);
    const QDateTime received(QDate(2026, 12, 5), QTime(23, 50));
    qint64 stream = 0;
    for (const QByteArray id : {"260114000123", "2601140007", "2601140009"}) {
        const QByteArray bytes = session({ReceiveLab::result(id, "TSH", "3.1 uUI/ml")});
        archive.received("noise" + bytes);
        stream += 5 + bytes.size();
        archive.sessionCut(stream, received, "noise" + bytes.mid(1));
    }
    QVERIFY(archive.write());
    const QList<ReceivedSession> durable = archive.takeDurable();
    QCOMPARE(chain.processSession(durable.first()).result, ReceiveChain::Result::Done);
    // Then the program was killed after the last session reached the file, before its index line.
    QFile index(folder + "/2026-12-05.idx");
    QVERIFY(index.open(QIODevice::ReadOnly));
    const QByteArray lines = index.readAll();
    index.close();
    QVERIFY(index.resize(lines.lastIndexOf('\n', lines.size() - 2) + 1));

    lab.install.clock.set(QDateTime(QDate(2026, 12, 6), QTime(7, 30))); // the next morning's start
    const auto missing = SessionJournal::unrecorded(db, folder, nullptr);
    QVERIFY(missing && missing->size() == 2);
    QCOMPARE(missing->at(0).endOffset, durable.at(1).endOffset);
    QCOMPARE(missing->at(1).endOffset, durable.at(2).endOffset);
    QCOMPARE(missing->at(0).receivedAt, received);
    QCOMPARE(missing->at(1).receivedAt, QDateTime(QDate(2026, 12, 5), QTime(23, 59, 59))); // the file's day
    for (const ReceivedSession& s : *missing)
        QCOMPARE(chain.processSession(s).result, ReceiveChain::Result::Done);
    QCOMPARE(lab.install.texts(Db::Interface, "SELECT DISTINCT Testdate FROM Result"), QStringList{"2026-12-05"});
    QVERIFY(SessionJournal::unrecorded(db, folder, nullptr)->isEmpty());
    // Met again (the line and the start-up scan can both hand it over): not stored twice.
    QCOMPARE(chain.processSession(missing->first()).result, ReceiveChain::Result::Skipped);
    // Replayed from a copy of the day's file (another place, the same bytes): known by its content.
    ReceivedSession copy = missing->first();
    copy.archiveFile = "copy.bin";
    copy.origin = ReceivedSession::Origin::Replayed;
    QCOMPARE(chain.processSession(copy).result, ReceiveChain::Result::Skipped);
    QCOMPARE(lab.install.text(Db::Interface, "SELECT count(*) FROM Result"), "3");
    // A session an earlier version journaled as failed (and so never stored) is taken up again: by
    // the next start and by a plain replay.
    QVERIFY(lab.install.exec(Db::Interface, "UPDATE receivedsession SET state='failed' WHERE endoffset=?",
                             {missing->first().endOffset}));
    QVERIFY(lab.install.exec(Db::Interface, "DELETE FROM Result WHERE SampleID='2601140007'"));
    QCOMPARE(SessionJournal::unrecorded(db, folder, nullptr)->size(), 1);
    QCOMPARE(chain.processSession(copy).result, ReceiveChain::Result::Done);
    QCOMPARE(lab.install.text(Db::Interface, "SELECT count(*) FROM Result"), "3");

    using Origin = ReceivedSession::Origin;
    const QByteArray bytes = sessionOf("260114000124|TSH|2.35 uUI/ml");
    const QString edited = "SELECT resultt1 FROM Result WHERE SampleID='260114000124'";
    QCOMPARE(lab.process(bytes, Origin::Replayed), ReceiveChain::Result::Done);
    QCOMPARE(lab.process(bytes, Origin::Replayed), ReceiveChain::Result::Skipped);
    QVERIFY(lab.install.exec(Db::Interface, "UPDATE Result SET resultt1='2.53', editedby='lab'"));
    QCOMPARE(lab.process(bytes, Origin::Replayed, true), ReceiveChain::Result::Done);
    QCOMPARE(lab.install.text(Db::Interface, edited), "2.53");
    QCOMPARE(lab.lines.last(), "2601140001247     Kept");
    // The analyser sending it again on the line is a new result: it replaces the row.
    QCOMPARE(lab.process(bytes, Origin::Line), ReceiveChain::Result::Done);
    QCOMPARE(lab.install.text(Db::Interface, edited), "2.35");
}

// Without the LIS the patient cannot be known: the session waits rather than being stored under
// the bare sample, without its patient, range and LIS write.
void tst_ReceiveChain::lisAwayHoldsTheSession()
{
    ReceiveLab lab;
    QVERIFY(lab.ready);
    QVERIFY(lab.install.setLisAway(true));
    QByteArray area = sessionOf("260114000123|TSH|2.35");
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^receive chain: LIS database: "));
    lab.chain().ParseMessages(area);
    QVERIFY(area.isEmpty() && lab.lines.isEmpty());
    QCOMPARE(lab.install.text(Db::Interface, "SELECT count(*) FROM Result"), "0");
    QCOMPARE(lab.install.dialogs.last().text, DbMessages::lisServerFailed);
    QVERIFY(lab.install.setLisAway(false));
    QCOMPARE(lab.process(sessionOf("260114000123|TSH|2.35")), ReceiveChain::Result::Done);
    QCOMPARE(lab.lines, QStringList{"2601140001230     Yes"});
}

// Lost, the line is tried again at once, then more slowly up to every 30 s, through a stable path
// that dangles or names a plain file, until it leads to a line again; a line that flaps is opened
// at most once a second; Stop ends the tries.
void tst_ReceiveChain::lineReopensByItself()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("by-id-line");
    auto pty = std::make_unique<PtyPair>();
    QVERIFY(ReceiveLab::pointTo(path, pty->slavePath()));
    FakeClock clock;
    AnalyserLine line(clock);
    QSignalSpy lost(&line, &AnalyserLine::lost);
    auto* retry = line.findChild<QTimer*>("Tmr_reconnect");
    QString error;
    QVERIFY2(line.open(path, LineSettings(), &error), qPrintable(error));
    const QDateTime lostAt = clock.now().addSecs(60);
    clock.set(lostAt);
    pty.reset();
    QVERIFY(lost.wait(2000));
    QVERIFY(!line.isOpen() && retry->isActive() && retry->interval() == 0); // at once
    QTRY_COMPARE(retry->interval(), 1000);                                  // the path dangles
    QFile plain(path + ".new");                                             // then names a plain file
    QVERIFY(plain.open(QIODevice::WriteOnly) && QFile::remove(path) && plain.rename(path));
    QList<int> pauses;
    for (int i = 0; i < 7; ++i) {
        QVERIFY(QMetaObject::invokeMethod(retry, "timeout"));
        pauses << retry->interval();
    }
    QCOMPARE(pauses, (QList<int>{2000, 4000, 8000, 16000, 30000, 30000, 30000}));
    QVERIFY(line.status() == (LineStatus{LineState::Reconnecting, lostAt, path, line.status().lastError}));
    QVERIFY2(line.status().lastError.startsWith(path + ": "), qPrintable(line.status().lastError));
    pty = std::make_unique<PtyPair>();
    QVERIFY(ReceiveLab::pointTo(path, pty->slavePath()));
    QVERIFY(QMetaObject::invokeMethod(retry, "timeout"));
    QVERIFY(line.isOpen() && !retry->isActive() && line.status().state == LineState::Receiving);
    pty.reset();
    QVERIFY(lost.wait(2000));
    QCOMPARE(retry->interval(), 1000);
    line.stop();
    QVERIFY(!retry->isActive() && line.status().state == LineState::Stopped);
}

// Every byte as received, appended to a file per day, private; each session with its place and
// its receive time in the index, the file's time standing in for a missing index line.
void tst_ReceiveChain::captureArchive()
{
    QTemporaryDir dir;
    FakeClock clock(QDateTime(QDate(2026, 12, 5), QTime(14, 7)));
    const auto file = [&dir](const char* name) { return dir.filePath(QStringLiteral("captures/") + name); };
    CaptureArchive archive(InstallFolder(dir.path()), clock);
    QVERIFY(archive.write() && !QFile::exists(file("2026-12-05.bin"))); // nothing to write: no file
    const QDateTime at(QDate(2026, 12, 5), QTime(9, 30, 15, 250));
    archive.received(QByteArray("\x00\xff\x05", 3));
    archive.received("\x02one\x04\x05");
    archive.sessionCut(8, at, QByteArray("\x00\xff\x02one\x04", 7));
    QVERIFY(archive.write());
    QCOMPARE(QFile::permissions(file("2026-12-05.bin")) & (QFile::ReadOther | QFile::WriteOther), QFile::Permissions());
    archive.received("\x02two\x04 partial");
    archive.sessionCut(14, at.addSecs(60), "\x02two\x04");
    QVERIFY(archive.write());
    CaptureArchive again(InstallFolder(dir.path()), clock); // appends too
    again.received("\x05");
    QVERIFY(again.write());
    QCOMPARE(contents(file("2026-12-05.bin")), QByteArray("\x00\xff\x05\x02one\x04\x05\x02two\x04 partial\x05", 23));
    QCOMPARE(contents(file("2026-12-05.idx")),
             "# from 0 2026-12-05T14:07:00.000\n8\t2026-12-05T09:30:15.250\n14\t2026-12-05T09:31:15.250\n"
             "# restart 22 2026-12-05T14:07:00.000\n"); // another run's first byte
    const QList<ReceivedSession> durable = archive.takeDurable();
    const QList<ReceivedSession> read = CaptureArchive::sessionsIn(file("2026-12-05.bin"));
    QVERIFY(durable.size() == 2 && read.size() == 2);
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(durable[i].archiveFile, "2026-12-05.bin");
        QCOMPARE(durable[i].endOffset, read[i].endOffset);
        QCOMPARE(durable[i].bytes, read[i].bytes);
        QCOMPARE(read[i].receivedAt, at.addSecs(60 * i));
    }
    QVERIFY(QFile(file("2026-12-05.idx")).resize(33 + 26)); // the start and the first session only
    QFile bin(file("2026-12-05.bin"));
    QVERIFY(bin.open(QIODevice::ReadWrite));
    QVERIFY(bin.setFileTime(QDateTime(QDate(2026, 12, 7), QTime(8, 0)), QFileDevice::FileModificationTime));
    bin.close();
    QCOMPARE(CaptureArchive::sessionsIn(bin.fileName()).value(1).receivedAt,
             QDateTime(QDate(2026, 12, 5), QTime(23, 59, 59)));
    QCOMPARE(CaptureArchive::sessionsIn(bin.fileName(), 0, true).size(), 2);
    // An index that began when the file already held the first session (an earlier program's).
    QFile idx(file("2026-12-05.idx"));
    QVERIFY(idx.open(QIODevice::WriteOnly) && idx.write("# from 8 2026-12-05T10:00:00.000\n"));
    idx.close();
    const QList<ReceivedSession> since = CaptureArchive::sessionsIn(bin.fileName(), 0, true);
    QVERIFY(since.size() == 1 && since.first().endOffset == 14);
    QVERIFY(QFile::remove(idx.fileName())); // no index at all: nothing was indexed
    QVERIFY(CaptureArchive::sessionsIn(bin.fileName(), 0, true).isEmpty());
    // A new start on it: the index begins where the earlier program's bytes end, and so does its stream.
    QVERIFY(CaptureArchive(InstallFolder(dir.path()), clock).markStart());
    QCOMPARE(contents(file("2026-12-05.idx")),
             "# from 23 2026-12-05T14:07:00.000\n# restart 23 2026-12-05T14:07:00.000\n");

    // A new day has a file of its own; beyond the bound of what may wait, bytes are counted as lost.
    clock.set(QDateTime(QDate(2026, 12, 6), QTime(0, 0, 1)));
    again.received("\x05two\x04");
    QVERIFY(again.write());
    QCOMPARE(contents(file("2026-12-06.bin")), "\x05two\x04");
    QCOMPARE(contents(file("2026-12-06.idx")), "# from 0 2026-12-06T00:00:01.000\n");
    again.setMaxPending(4);
    again.received("\x05lost\x04");
    QCOMPARE(again.lostBytes(), 6);
    QCOMPARE(again.pending(), 0);
}

// A disk that fills up (a small filesystem of its own): nothing received is dropped, and once
// space comes back the archive holds exactly what the analyser sent, every session in place.
void tst_ReceiveChain::fullDiskKeepsEveryByte()
{
    if (::geteuid() != 0)
        QSKIP("a small filesystem of its own needs root to mount");
    QTemporaryDir disk;
    if (QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64k", "tmpfs", disk.path()}) != 0)
        QSKIP("this machine refuses to mount a tmpfs");
    const auto unmount = qScopeGuard([&disk] { QProcess::execute("umount", {disk.path()}); });
    FakeClock clock;
    CaptureArchive archive(InstallFolder(disk.path()), clock);
    // Fill the disk, leaving a page for the index and one for the first sessions, so that a write
    // at the page's end is cut short.
    QFile filler(QDir(disk.path()).filePath("filler"));
    QVERIFY(filler.open(QIODevice::WriteOnly));
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    filler.close();
    QVERIFY(filler.resize(filler.size() - 2 * 4096));

    QByteArray sent;
    int refused = 0;
    for (const AnalyserCapture::Result& r : AnalyserCapture::generate(60, 7, clock.now())) {
        const QByteArray session = AnalyserCapture::session({r});
        archive.received(session.left(1)); // the lone ENQ
        archive.received(session.mid(1));
        sent += session;
        archive.sessionCut(sent.size(), clock.now(), session.mid(1));
        QString why;
        refused += archive.write(&why) ? 0 : 1;
        // The alarm names the cause.
        QVERIFY2(why.isEmpty() || why.contains("No space left on device"), qPrintable(why));
    }
    QVERIFY2(refused > 10, qPrintable(QString::number(refused)));
    const QList<ReceivedSession> early = archive.takeDurable();
    QCOMPARE(archive.waitingSessions() + early.size(), 60);

    QVERIFY(filler.remove()); // space comes back
    QVERIFY(archive.write());
    QCOMPARE(archive.pending(), 0);
    const QString written = archive.fileFor(clock.today());
    QCOMPARE(contents(written), sent);
    const QList<ReceivedSession> all = early + archive.takeDurable();
    const QList<ReceivedSession> again = CaptureArchive::sessionsIn(written);
    QVERIFY(all.size() == 60 && again.size() == 60);
    for (int i = 0; i < 60; ++i) {
        QCOMPARE(all[i].endOffset, again[i].endOffset);
        QCOMPARE(all[i].bytes, again[i].bytes);
        QCOMPARE(again[i].receivedAt, clock.now());
    }
}

QTEST_GUILESS_MAIN(tst_ReceiveChain)
#include "tst_ReceiveChain.moc"
