#include "TestInstall.h"
#include "link/AnalyserCapture.h"
#include "link/ReceiveChain.h"

#include <QSignalSpy>
#include <QTest>

using namespace AnalyserCapture;
using Holds = QList<bool>;
using Sessions = QList<Session>;

class TestAnalyserCapture : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<CurrentResult>(); }

    void checksumIsTheByteSumInLowerCaseHex_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("sum");
        QTest::newRow("empty") << QByteArray() << QByteArray("00");
        QTest::newRow("leading zero") << QByteArray("\x04\x06") << QByteArray("0a");
        QTest::newRow("letters in lower case") << QByteArray("\x1e\x1d") << QByteArray("3b");
        QTest::newRow("wraps at 256") << QByteArray(3, '\xff') << QByteArray("fd");
        QTest::newRow("high bytes count unsigned") << QByteArray("\xb5\xe9") << QByteArray("9e");
    }

    void checksumIsTheByteSumInLowerCaseHex()
    {
        QFETCH(QByteArray, bytes);
        QTEST(checksum(bytes), "sum");
    }

    // The composed captures carry right checksums; the line noise frame and the two edited real
    // captures do not.
    void checksumsOfTheSamples_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<Holds>("holds");
        QTest::newRow("quantitative-unit") << "quantitative-unit.bin" << Holds{true};
        QTest::newRow("qualitative-positive") << "qualitative-positive.bin" << Holds{true};
        QTest::newRow("sign-and-unit") << "sign-and-unit.bin" << Holds{true};
        QTest::newRow("qualitative-only") << "qualitative-only.bin" << Holds{true};
        QTest::newRow("three-results") << "three-results-one-session.bin" << Holds{true, true, true};
        QTest::newRow("noise-then-result") << "noise-then-result.bin" << Holds{false, true};
        QTest::newRow("real 1, no ETX") << "real/minividas-1.bin" << Holds{true};
        QTest::newRow("real 2") << "real/minividas-2.bin" << Holds{true};
        QTest::newRow("real 3, edited") << "real/minividas-3.bin" << Holds{false};
        QTest::newRow("real 4, edited") << "real/minividas-4.bin" << Holds{false};
    }

    void checksumsOfTheSamples()
    {
        QFETCH(QString, file);
        QFETCH(Holds, holds);
        const QList<Frame> found = frames(sampleBytes(file));
        Holds got;
        for (const Frame& f : found) {
            QVERIFY(f.record.startsWith("\x1emtrsl|"));
            got << f.holds();
        }
        QCOMPARE(got, holds);
    }

    void sessions_data()
    {
        QTest::addColumn<QByteArray>("capture");
        QTest::addColumn<Sessions>("sessions");
        QTest::newRow("empty") << QByteArray() << Sessions{};
        QTest::newRow("one session") << QByteArray("\x05"
                                                   "ab\x04")
                                     << Sessions{{{}, "ab\x04"}};
        QTest::newRow("two sessions") << QByteArray("\x05"
                                                    "a\x04\x05"
                                                    "b\x04")
                                      << Sessions{{{}, "a\x04"}, {{}, "b\x04"}};
        QTest::newRow("noise before the ENQ") << QByteArray("xy\r\n\x05"
                                                            "a\x04")
                                              << Sessions{{"xy\r\n", "a\x04"}};
        QTest::newRow("ENQ inside a session is data") << QByteArray("\x05"
                                                                    "a\x05"
                                                                    "b\x04")
                                                      << Sessions{{{},
                                                                   "a\x05"
                                                                   "b\x04"}};
        QTest::newRow("no EOT at the end") << QByteArray("\x05"
                                                         "ab")
                                           << Sessions{{{}, "ab"}};
        QTest::newRow("no ENQ at all") << QByteArray("\x02"
                                                     "ab\x03\n")
                                       << Sessions{{{},
                                                    "\x02"
                                                    "ab\x03\n"}};
        QTest::newRow("line end after the last EOT dropped") << QByteArray("\x05"
                                                                           "a\x04\r\n")
                                                             << Sessions{{{}, "a\x04"}};
        QTest::newRow("data after the last EOT kept") << QByteArray("\x05"
                                                                    "a\x04\x02"
                                                                    "b")
                                                      << Sessions{{{}, "a\x04"},
                                                                  {{},
                                                                   "\x02"
                                                                   "b"}};
    }

    void sessions()
    {
        QFETCH(QByteArray, capture);
        QFETCH(Sessions, sessions);
        const Sessions got = splitSessions(capture);
        QCOMPARE(got.size(), sessions.size());
        for (qsizetype i = 0; i < got.size(); ++i) {
            QCOMPARE(got[i].leading, sessions[i].leading);
            QCOMPARE(got[i].body, sessions[i].body);
        }
    }

    void sampleSessions()
    {
        const QByteArray noise = sampleBytes(QStringLiteral("noise-then-result.bin"));
        const Sessions s = splitSessions(noise);
        QCOMPARE(s.size(), 2);
        QCOMPARE(s[0].leading, QByteArray("\0\xff junk line\r\n", 14));
        QVERIFY(s[0].body.endsWith('\x04'));
        QVERIFY(s[1].leading.isEmpty());
        QVERIFY(s[1].body.contains("ci260114000125"));
        // Put back together with their ENQs, the sessions are the capture again.
        QCOMPARE(s[0].leading + '\x05' + s[0].body + '\x05' + s[1].body, noise);

        const QByteArray three = sampleBytes(QStringLiteral("three-results-one-session.bin"));
        QCOMPARE(splitSessions(three), (Sessions{{{}, three.mid(1)}}));
    }

    // Made-up results must read like the analyser's: right checksums, and the message parser
    // finds every record with its fields.
    void generatedResultsReadLikeTheAnalysers()
    {
        const QDateTime start(QDate(2026, 12, 5), QTime(9, 30));
        const QList<Result> results = generate(40, 7, start);
        QCOMPARE(results.size(), 40);
        QByteArray capture;
        for (qsizetype i = 0; i < results.size(); i += 3)
            capture += session(results.mid(i, 3));
        QCOMPARE(splitSessions(capture).size(), 14);

        const QList<Frame> found = frames(capture);
        QCOMPARE(found.size(), 40);
        for (const Frame& f : found)
            QVERIFY2(f.holds(), f.record.constData());

        TestInstall install;
        ReceiveChain chain(install.context());
        QSignalSpy parsed(&chain, &ReceiveChain::recordParsed);
        chain.ParseMessages(capture);
        QCOMPARE(parsed.size(), 40);
        for (int i = 0; i < 40; ++i) {
            const auto record = parsed.at(i).at(0).value<CurrentResult>();
            QCOMPARE(record.LblSampID, QString::fromLatin1(results[i].sampleId));
            QCOMPARE(record.Txt_shortAssay, QString::fromLatin1(results[i].shortAssay));
            QVERIFY(!record.Txt_resultt1.isEmpty());
            QVERIFY(record.LblSampID.startsWith(QStringLiteral("261205")));
        }
        QCOMPARE(parsed.at(3).at(0).value<CurrentResult>().LblTestTime, QStringLiteral("09:42 AM"));
    }

    void generationIsRepeatable()
    {
        const QDateTime start(QDate(2026, 1, 2), QTime(8, 0));
        const auto bytes = [&](quint32 seed) { return session(generate(10, seed, start)); };
        QCOMPARE(bytes(3), bytes(3));
        QVERIFY(bytes(3) != bytes(4));
    }

    void dilutionIsAnExtraField()
    {
        Result r;
        r.sampleId = "0042";
        r.shortAssay = "PRL";
        r.longAssay = "Prolactin";
        r.at = QDateTime(QDate(2026, 12, 5), QTime(8, 9));
        r.reading = "Negative";
        r.dilution = "1";
        QCOMPARE(record(r), QByteArray("\x1emtrsl|\x1epi|\x1epn|\x1esi|\x1e"
                                       "ci0042|\x1ertPRL|\x1ernProlactin|\x1ett08:09|\x1etd12/05/26|\x1eqlNegative|"
                                       "\x1eqn|\x1eqd1|"));
        const QByteArray f = frame(r);
        QVERIFY(f.startsWith('\x02'));
        QVERIFY(f.endsWith('\x03'));
        QVERIFY(frames(f).constFirst().holds());
    }
};

QTEST_MAIN(TestAnalyserCapture)
#include "tst_AnalyserCapture.moc"
