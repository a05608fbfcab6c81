#include "ChainLab.h"
#include "link/CaptureArchive.h"
#include "link/FrameCheck.h"
#include "link/SessionJournal.h"

#include <QDir>
#include <QTest>

// What must never happen between the line and the databases: a damaged frame stored, a session
// stored twice or lost between the archive and the databases, a person's correction overwritten.
class tst_ReceiveIntegrity : public QObject
{
    Q_OBJECT

    // TSH (LIS code 501, range 0.25-5) requested for patient 2601140001230, sample 260114000123.
    static void prepare(ChainLab& lab)
    {
        lab.set("comsetup", "autsavecrv", "1");
        lab.start();
        const qlonglong code = lab.addTest("TSH", 501, 1.0, "1", "Thyrotropin");
        lab.addRange({{"testcode", code},
                      {"REFRANGE", "1"},
                      {"pregsmok", "0"},
                      {"lowlimit", 0.25},
                      {"highlimit", 5.0},
                      {"nolowexe", "L"},
                      {"nohighexe", "H"},
                      {"normalrang", "0.25 - 5.00"},
                      {"testunit", "uUI/ml"}});
        lab.addPatient("2601140001230", "Male", 45, "Years", "0000000000");
        lab.addRequest("2601140001230", 501);
    }

    static ReceivedSession lineSession(const QByteArray& bytes, const QDateTime& at)
    {
        ReceivedSession s;
        s.bytes = bytes;
        s.receivedAt = at;
        s.origin = ReceivedSession::Origin::Line;
        return s;
    }

    static QString stored(ChainLab& lab)
    {
        QStringList rows;
        for (const QSqlRecord& r : lab.results())
            rows << QStringList{r.value("SampleID").toString(),        r.value("patientid").toString(),
                                r.value("shortAssay").toString(),      r.value("resultt1").toString(),
                                r.value("RESULTCASEPRINT").toString(), r.value("testunit").toString()}
                        .join('/');
        return rows.join(';');
    }

private slots:
    void segments_data();
    void segments();
    void everyBitFlipIsHeld();
    void archivedSessionsAreStoredOnceWithTheirOwnTime();
    void replayKeepsWhatAPersonEdited();
};

void tst_ReceiveIntegrity::segments_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("expected"); // checksum name and bytes of each segment
    const QByteArray body = "\x1emtrsl|\x1e"
                            "ci1|\x1d";
    const QByteArray cc = AnalyserCapture::checksum(body);
    QTest::newRow("good frame") << "\x05\x02" + body + cc + "\x03\x04"
                                << QStringList{"none:\x05\x02", "ok:" + body + cc, "none:\x03\x04"};
    QTest::newRow("upper-case digits") << body + cc.toUpper() << QStringList{"ok:" + body + cc.toUpper()};
    QTest::newRow("wrong checksum") << body + "00" << QStringList{"bad:" + body + "00"};
    QTest::newRow("checksum cut short") << body + cc.left(1) << QStringList{"bad:" + body + cc.left(1)};
    QTest::newRow("checksum not hexadecimal") << body + "zz" << QStringList{"bad:" + body + "zz"};
    QTest::newRow("stray GS in noise stays text") << QByteArray("ab\x1d"
                                                                "cd")
                                                  << QStringList{"none:ab\x1d"
                                                                 "cd"};
    QTest::newRow("no frame") << QByteArray("\x1emtrsl|x|") << QStringList{"none:\x1emtrsl|x|"};
    // A damaged GS joins two frames: the second checksum then covers both and fails.
    QByteArray joined = body;
    joined[joined.size() - 1] = '\x1c';
    QTest::newRow("damaged GS") << joined + cc + body + cc << QStringList{"bad:" + joined + cc + body + cc};
}

void tst_ReceiveIntegrity::segments()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, expected);
    QStringList got;
    QByteArray joined;
    for (const FrameCheck::Segment& s : FrameCheck::segments(bytes)) {
        got << QString::fromLatin1(FrameCheck::name(s.checksum)) + ':' + QString::fromLatin1(s.bytes);
        joined += s.bytes;
    }
    QCOMPARE(got, expected);
    QCOMPARE(joined, bytes); // every byte in exactly one segment
}

// Single-bit flips (half of the bits of every byte) between the first RS and the end of each frame of three captures:
// the result stored is the one sent, or nothing (held), never a changed value, sample, assay or patient.
void tst_ReceiveIntegrity::everyBitFlipIsHeld()
{
    ChainLab lab;
    QVERIFY(lab.created);
    prepare(lab);
    const QDateTime at = lab.install.clock.now();
    const QByteArray capture = AnalyserCapture::session({ChainLab::result("260114000123", "TSH", "2.35 uUI/ml"),
                                                         ChainLab::result("2601140007", "TSH", "< 0.05"),
                                                         ChainLab::result("", "TSH", "7.5 uUI/ml")});
    QCOMPARE(lab.chain->processSession(lineSession(capture, at)).result, ReceiveChain::Result::Done);
    const QString expected = stored(lab);
    QCOMPARE(expected.count(';'), 2);
    const QSqlRecord written = lab.request("2601140001230", 501);
    QCOMPARE(written.value("resultt").toString(), QStringLiteral("2.35"));

    const qsizetype from = capture.indexOf('\x1e');
    const qsizetype to = capture.lastIndexOf('\x03');
    int held = 0;
    for (qsizetype i = from; i < to; ++i) {
        for (const int bit : {0, 2, 5, 7}) {
            QByteArray flipped = capture;
            flipped[i] = static_cast<char>(flipped[i] ^ (1 << bit));
            QVERIFY(SqlRun::exec(lab.iface(), "DELETE FROM Result"));
            QVERIFY(SqlRun::exec(lab.lis(), "UPDATE patienttest SET resultt=NULL, resultfinsh=0"));
            lab.lines.clear();
            QCOMPARE(lab.chain->processSession(lineSession(flipped, at)).result, ReceiveChain::Result::Done);
            const QString now = stored(lab);
            // Whatever was stored is exactly what was sent; what is missing was held.
            for (const QString& row : now.split(';', Qt::SkipEmptyParts))
                QVERIFY2(expected.split(';').contains(row),
                         qPrintable(QString("byte %1 bit %2: %3").arg(i).arg(bit).arg(row)));
            const QVariant lis = lab.request("2601140001230", 501).value("resultt");
            QVERIFY2(lis.isNull() || lis.toString() == QLatin1String("2.35"), qPrintable(lis.toString()));
            if (now != expected) {
                ++held;
                QVERIFY2(lab.lines.join('|').contains("Held: checksum"), qPrintable(lab.lines.join('|')));
            }
        }
    }
    QVERIFY2(held > 750, qPrintable(QString::number(held)));
    const auto heldRows = SqlRun::first(lab.iface(), "SELECT count(*) FROM heldframe WHERE rawframe IS NOT NULL");
    QCOMPARE(heldRows->value(0).toInt(), held);
}

// A session in the archive without a journal entry (the program stopped between the two) is
// taken up once, with the time it was received, not the time it is found.
void tst_ReceiveIntegrity::archivedSessionsAreStoredOnceWithTheirOwnTime()
{
    ChainLab lab;
    QVERIFY(lab.created);
    prepare(lab);
    const QString folder = QDir(lab.install.path()).filePath("captures");
    QVERIFY(SessionJournal::unrecorded(lab.iface(), folder, nullptr).has_value()); // first use: baseline

    CaptureArchive archive(lab.context->installFolder(), lab.install.clock);
    const QDateTime received(QDate(2026, 12, 5), QTime(23, 50));
    qint64 stream = 0;
    for (const QByteArray& id : {QByteArray("260114000123"), QByteArray("2601140007"), QByteArray("2601140009")}) {
        const QByteArray bytes = AnalyserCapture::session({ChainLab::result(id, "TSH", "3.1 uUI/ml")});
        archive.received("noise");
        archive.received(bytes);
        stream += 5 + bytes.size();
        archive.sessionCut(stream, received, bytes.mid(1));
    }
    QVERIFY(archive.write());
    const QList<ReceivedSession> durable = archive.takeDurable();
    QCOMPARE(durable.size(), 3);
    // Only the first was stored before the program stopped.
    QCOMPARE(lab.chain->processSession(durable.first()).result, ReceiveChain::Result::Done);

    lab.install.clock.set(QDateTime(QDate(2026, 12, 6), QTime(7, 30))); // the next morning's start
    const auto missing = SessionJournal::unrecorded(lab.iface(), folder, nullptr);
    QVERIFY(missing);
    QCOMPARE(missing->size(), 2);
    QCOMPARE(missing->at(0).endOffset, durable.at(1).endOffset);
    QCOMPARE(missing->at(1).receivedAt, received);
    for (const ReceivedSession& s : *missing)
        QCOMPARE(lab.chain->processSession(s).result, ReceiveChain::Result::Done);
    QCOMPARE(lab.results().size(), 3);
    for (const QSqlRecord& r : lab.results())
        QCOMPARE(SqlRun::toDate(r.value("Testdate")), QDate(2026, 12, 5));
    QVERIFY(SessionJournal::unrecorded(lab.iface(), folder, nullptr)->isEmpty());
    // Met again (the line and the start-up scan can both hand it over): not stored twice.
    QCOMPARE(lab.chain->processSession(missing->first()).result, ReceiveChain::Result::Skipped);
    QCOMPARE(lab.results().size(), 3);
}

void tst_ReceiveIntegrity::replayKeepsWhatAPersonEdited()
{
    ChainLab lab;
    QVERIFY(lab.created);
    prepare(lab);
    ReceivedSession s;
    s.bytes = AnalyserCapture::session({ChainLab::result("260114000123", "TSH", "2.35 uUI/ml")});
    s.receivedAt = lab.install.clock.now();
    s.origin = ReceivedSession::Origin::Replayed;
    QCOMPARE(lab.chain->processSession(s).result, ReceiveChain::Result::Done);
    QCOMPARE(lab.chain->processSession(s).result, ReceiveChain::Result::Skipped); // known by content

    QVERIFY(SqlRun::exec(lab.iface(), "UPDATE Result SET resultt1='2.53', editedby='lab'"));
    s.force = true;
    lab.lines.clear();
    QCOMPARE(lab.chain->processSession(s).result, ReceiveChain::Result::Done);
    QCOMPARE(lab.results().first().value("resultt1").toString(), QStringLiteral("2.53"));
    QCOMPARE(lab.lines, QStringList{"2601140001230     Kept"});
    // The analyser sending it again on the line is a new result: it replaces the row.
    s.force = false;
    s.origin = ReceivedSession::Origin::Line;
    QCOMPARE(lab.chain->processSession(s).result, ReceiveChain::Result::Done);
    QCOMPARE(lab.results().first().value("resultt1").toString(), QStringLiteral("2.35"));
}

QTEST_GUILESS_MAIN(tst_ReceiveIntegrity)
#include "tst_ReceiveIntegrity.moc"
