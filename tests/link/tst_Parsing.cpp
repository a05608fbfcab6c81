#include "TestInstall.h"
#include "link/AnalyserCapture.h"
#include "link/CaptureArchive.h"
#include "link/FrameCheck.h"
#include "link/LinkCommands.h"
#include "link/MessageParser.h"
#include "link/SerialSession.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <sys/resource.h>
#include <sys/time.h>
#include <utility>

// The receive side from the line's bytes to the records: session, frames, checksums, parser, `parse`.

namespace {

// Rows write control bytes as stand-ins: @ ENQ, & ACK, ! EOT, [ STX, ] ETX, # RS, $ GS.
const QByteArray kStandIns("@&![]#$");
const QByteArray kControls("\x05\x06\x04\x02\x03\x1e\x1d");

QByteArray wire(QByteArray text)
{
    for (char& c : text)
        c = kStandIns.contains(c) ? kControls[kStandIns.indexOf(c)] : c;
    return text;
}

QString shown(QByteArray bytes)
{
    for (char& c : bytes)
        c = kControls.contains(c) ? kStandIns[kControls.indexOf(c)] : c;
    return QString::fromLatin1(bytes);
}

QString text(const QByteArray& standIns)
{
    return QString::fromLatin1(wire(standIns));
}

// A record after the cut at "mtrsl": empty patient fields, fields 4 to 10, the checksum field.
QString typical(const QString& id = QStringLiteral("260114000123"))
{
    return text("|#pi|#pn|#si|#ci") + id + text("|#rtTSH|#rnTSH|#tt09:42|#td12/05/26|#ql|#qn2.35 uUI/ml|$5a]");
}

// The `parse` command, run in this process.
int parse(const QStringList& words, QString* out, QString* err, const QString& home = QStringLiteral("/nowhere"))
{
    QTextStream outStream(out);
    QTextStream errStream(err);
    return commandParse({home, words, outStream, errStream});
}

// Each JSON line as the parser's fields and the checksum, joined by "|"; keys in the record's order.
QStringList jsonRecords(const QString& out)
{
    QStringList records;
    for (const QString& line : out.split(u'\n', Qt::SkipEmptyParts)) {
        const QJsonObject object = QJsonDocument::fromJson(line.toUtf8()).object();
        QStringList values;
        qsizetype at = -1;
        for (const char* key :
             {"LblSampID", "LblPatID", "Txt_shortAssay", "Txt_LongAssay", "LblTestTime", "LblTestDate", "Txt_resultt2",
              "Txt_resultt3", "Txt_TESTUNIT", "Txt_resultt1", "checksum"}) {
            const qsizetype next = line.indexOf(QStringLiteral("\"%1\":").arg(QLatin1String(key)));
            values << (next > at ? object.value(QLatin1String(key)).toString(u"<missing>"_qs) : u"<out of order>"_qs);
            at = next;
        }
        records << values.join(u'|');
    }
    return records;
}

} // namespace

class tst_Parsing : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
#ifndef __SANITIZE_ADDRESS__
        // Input that sent a framing loop round for ever must fail here, not fill the machine's memory.
        const rlimit cap{rlim_t(2) << 30, rlim_t(2) << 30};
        QCOMPARE(setrlimit(RLIMIT_AS, &cap), 0);
#endif
    }

    // A capture of any size is read a piece at a time, by `parse` and by the archive's reading that
    // `replay` and the start-up scan use: 100 MB of line noise with a result at its end takes a few
    // MB, and a device that never ends is refused. Runs first, while the process's peak is low.
    void boundedMemory()
    {
        QTemporaryDir dir;
        QFile big(dir.filePath("noise.bin"));
        const QByteArray result = AnalyserCapture::session(
            {{"260114000123", "TSH", "TSH", QDateTime(QDate(2026, 12, 5), QTime(9, 42)), {}, "2.35", {}}});
        QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(100 << 20) && big.seek(100 << 20) &&
                big.write(result) == result.size());
        big.close();
        const auto peakKb = [] {
            rusage usage{};
            getrusage(RUSAGE_SELF, &usage);
            return usage.ru_maxrss;
        };
        const long before = peakKb();
        QString out, err;
        QCOMPARE(parse({big.fileName()}, &out, &err), 0);
        QCOMPARE(jsonRecords(out).size(), 1);
        int found = 0;
        QVERIFY(CaptureArchive::forEachSession(
            big.fileName(), [&found](const ReceivedSession& s) { found += s.bytes.contains("260114000123") ? 1 : 0; }));
        QCOMPARE(found, 1);
#ifndef __SANITIZE_ADDRESS__
        // The address sanitizer keeps freed pieces aside (up to 256 MB), so only a plain build can
        // tell a bounded reading from one that holds the whole file.
        QVERIFY2(peakKb() - before < 40 * 1024, qPrintable(QString::number(peakKb() - before)));
#else
        Q_UNUSED(before);
#endif
        QCOMPARE(parse({"/dev/zero"}, &out, &err), 1);
        QVERIFY2(err.contains("/dev/zero: is not a regular file"), qPrintable(err));
    }

    void serialSession()
    {
        // Arrivals (split at /) fed one by one, the parser taking each message cut; the replies, the stream
        // position after each cut EOT, the messages (split at /), and what waits in the buffer.
        const QList<std::tuple<const char*, const char*, const char*, const char*, const char*>> lines{
            {"@/@", "&&", "", "", ""},                           // every lone ENQ gets its ACK
            {"@ABC", "", "", "", "@ABC"},                        // an ENQ with data is data
            {"@\u00b5g\u00e9!", "", "5", "@\u00b5g\u00e9!", ""}, // single-byte text cut whole
            {"@/[abc/def/]!", "&", "10", "[abcdef]!", ""},       // a message in pieces after the handshake
            {"a/b/c\r\n", "", "", "", "abc\r\n"},                // no EOT: all waits
            {"&/\x15", "", "", "", "&\x15"},                     // ACK and NAK are plain data
            {"m1!m2!/", "", "3 6", "m1!/m2!", ""},               // one cut per call; an empty call cuts the next
            {"!", "", "1", "!", ""},                             // a lone EOT is a message
            {"!abc", "", "1", "!", "abc"},
            {"abc/@/!d", "&", "5", "abc!", "d"}, // the answered ENQ has a place in the stream, not in the buffer
            // The next session's ENQ in one read with the end of a session is answered; the next
            // session's bytes keep their places in the stream.
            {"@/[a]!@/[b]!", "&&", "5 10", "[a]!/[b]!", ""},
            {"[a]!@/[b]!@", "&&", "4 9", "[a]!/[b]!", ""},
            {"[a]!!@/", "&", "4 5", "[a]!/!", ""},
            {"[a@]!", "", "5", "[a@]!", ""},      // an ENQ inside a frame is data
            {"[a]!@x", "", "4", "[a]!", "@x"},    // one that data follows too
            {"[a]@", "", "", "", "[a]@"},         // and one after a frame without the session's EOT
            {"[a]!\r@", "", "4", "[a]!", "\r@"}}; // only right after the EOT
        for (const auto& [arrivals, replies, cutEnds, messages, buffer] : lines) {
            SerialSession session;
            QByteArray sent;
            QStringList ends, cut;
            for (const QString& arrival : QString::fromUtf8(arrivals).split(u'/')) {
                const SerialSession::Actions actions = session.onData(wire(arrival.toLatin1()));
                sent += actions.reply;
                if (actions.messageCut) {
                    ends << QString::number(actions.cutEnd);
                    cut << shown(std::exchange(session.messageArea(), {}));
                }
            }
            QCOMPARE(QStringList({shown(sent), ends.join(u' '), cut.join(u'/'), shown(session.buffer())}),
                     QStringList({replies, cutEnds, messages, buffer}));
        }
        // At most 2500 bytes stay after a cut, counted from the EOT.
        SerialSession capped;
        capped.onData(QByteArray(2000, 'a'));
        QCOMPARE(capped.onData("b\x04" + QByteArray(3000, 'c')).cutEnd, 2002);
        QCOMPARE(capped.buffer(), QByteArray(2500, 'c'));
    }

    void captureSessions()
    {
        // How the simulator and the archive cut a capture into sessions (leading noise | body, split at /).
        // clang-format off
        const QList<std::pair<const char*, const char*>> captures{{"", ""}, {"@", "|"}, {"@a!@b!", "|a!/|b!"},
            {"xy\r\n@a!", "xy\r\n|a!"}, {"@ab", "|ab"}, {"@a@b!", "|a@b!"}, {"[ab]\n", "|[ab]\n"},
            {"@a! \t\r\n", "|a!"}, {"@a![b", "|a!/|[b"}};
        // clang-format on
        for (const auto& [capture, sessions] : captures) {
            QStringList got;
            for (const AnalyserCapture::Session& s : AnalyserCapture::splitSessions(wire(capture)))
                got << shown(s.leading) + u'|' + shown(s.body);
            QCOMPARE(got.join(u'/'), QString::fromLatin1(sessions));
        }
        // The analyser side's frames, from RS to GS; an STX right before GS starts no second frame.
        const AnalyserCapture::Frame good = AnalyserCapture::frames(wire("[#ciA|$c4]")).value(0);
        QVERIFY(good.holds() && good.record == wire("#ciA|"));
        const QList<AnalyserCapture::Frame> noRecord = AnalyserCapture::frames(wire("[$ab]"));
        QVERIFY(noRecord.size() == 1 && noRecord[0].record.isEmpty() && !noRecord[0].holds());
        QCOMPARE(AnalyserCapture::frames(wire("[#ci[$00]")).size(), 1);
        // Made-up results for the simulator and the demo: one frame each, every checksum right.
        const QDateTime start(QDate(2026, 12, 5), QTime(9, 30));
        const QList<AnalyserCapture::Frame> made =
            AnalyserCapture::frames(AnalyserCapture::session(AnalyserCapture::generate(40, 7, start)));
        QVERIFY(made.size() == 40 && std::all_of(made.begin(), made.end(), [](const auto& f) { return f.holds(); }));
        // Now and then a value beyond the measuring range, with its sign: some, not most.
        int below = 0, above = 0, units = 0;
        for (const AnalyserCapture::Result& r : AnalyserCapture::generate(400, 3, start)) {
            units += r.reading.isEmpty() ? 1 : 0;
            below += r.value.startsWith("< ") ? 1 : 0;
            above += r.value.startsWith("> ") ? 1 : 0;
        }
        QVERIFY2(below > units / 30 && below < units / 5 && above > units / 30 && above < units / 5,
                 qPrintable(QStringLiteral("%1 below, %2 above of %3").arg(below).arg(above).arg(units)));
    }

    void frameChecks()
    {
        // Frames run from the first RS through GS and two checksum characters; all but bad frames is parsed.
        const QList<std::pair<const char*, const char*>> sessions{
            {"", ""},
            {"@[#ciA|$c4]!", "none:@[ ok:#ciA|$c4 none:]!"},
            {"[#ciA|$00]", "none:[ bad:#ciA|$00 none:]"},
            {"[#ciAE|$09][#ci000039|$af][#ciA6|$FA]", // every hex digit bound, upper case too
             "none:[ ok:#ciAE|$09 none:][ ok:#ci000039|$af none:][ ok:#ciA6|$FA none:]"},
            {"#ciA|$c4", "ok:#ciA|$c4"},
            {"$ab$#ciA|$c4", "none:$ab$ ok:#ciA|$c4"}, // a stray GS in line noise stays text
            {"[#ciA|$c", "none:[ bad:#ciA|$c"},        // a checksum cut short
            {"[#ciA|", "none:[#ciA|"}};
        for (const auto& [session, expected] : sessions) {
            const QList<FrameCheck::Segment> segments = FrameCheck::segments(wire(session));
            QStringList got;
            for (const FrameCheck::Segment& s : segments)
                got << QString::fromLatin1(FrameCheck::name(s.checksum)) + u':' + shown(s.bytes);
            QCOMPARE(got.join(u' '), QString::fromLatin1(expected));
            QByteArray kept;
            for (const QString& s : std::as_const(got))
                kept += s.startsWith(u"bad:") ? QByteArray() : wire(s.section(u':', 1).toLatin1());
            QCOMPARE(FrameCheck::withoutBadFrames(segments), kept);
        }
    }

    // The whole way from the line to the printed records, over every sample capture.
    void samples_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("records");
        const auto add = [](const char* file, const QStringList& records) {
            QTest::newRow(file) << QString::fromLatin1(file) << records;
        };
        // Sample id, patient id, assay, name, time, date, reading, value, unit, result, checksum.
        add("quantitative-unit.bin", {"260114000123|260114000123|TSH|TSH|09:42 AM|05/12/2026||2.35|uUI/ml|2.35|ok"});
        add("qualitative-positive.bin",
            {"2601140007|2601140007|HIV5|HIV DUO Ultra|02:07 PM|05/12/2026|Positive|0.25||Positive (0.25)|ok"});
        add("sign-and-unit.bin",
            {"0042|0042|VITD|25 OH Vitamin D Total|04:55 PM|05/12/2026||< 8.1|\u00b5g/l serum|< 8.1|ok"});
        add("three-results-one-session.bin",
            {"260114000123|260114000123|FT4|Free T4|08:01 AM|05/12/2026||12.79|pmol/l|12.79|ok",
             "||FER|Ferritin|08:05 AM|05/12/2026||> 1200|ng/ml|> 1200|ok",
             "260114000124|260114000124|PRL|Prolactin|08:09 AM|05/12/2026|Negative|||Negative|ok"});
        add("qualitative-only.bin",
            {"2601140009|2601140009|HBS|HBs Ag Ultra|11:59 PM|31/12/2026|N\u00e9gatif|||N\u00e9gatif|ok"});
        // The first session's record is line noise: too short, and its checksum fails.
        add("noise-then-result.bin",
            {"260114000125|260114000125|CRP|C-Reactive Protein|11:11 AM|05/12/2026||3.4|mg/l|3.4|ok"});
        // Real instruments: the first ends after its checksum with a line feed, the last two were edited.
        add("real/minividas-1.bin",
            {"Z1G021SCR|Z1G021SCR|HBCT|Anti-HBc Total II|06:35 PM|25/10/2024|Positif|0.05||Positif (0.05)|ok"});
        add("real/minividas-2.bin",
            {"TIC21103806|TIC21103806|ATPO|Anti-TPO|01:55 PM|07/12/2021||274.0|IU/ml|274.0|ok"});
        add("real/minividas-3.bin",
            {"000267217|000267217|TXM|TOXO IgM|02:03 PM|24/05/2011|Negative|0.12||Negative (0.12)|bad"});
        add("real/minividas-4.bin", {"653|653|HCV|Anti-HCV|04:21 PM|21/07/2025|Negatif|0.15||Negatif (0.15)|bad"});
    }

    void samples()
    {
        QFETCH(QString, file);
        const QByteArray bytes = sampleBytes(file);
        // Sent as the analyser sends it, each session's ENQ is answered and every other byte is kept.
        SerialSession session;
        QByteArray replies;
        for (const QByteArray& read : AnalyserCapture::deliveries(bytes))
            replies += session.onData(read).reply;
        QCOMPARE(replies, QByteArray(bytes.count('\x05'), '\x06'));
        QCOMPARE(session.messageArea() + session.buffer(), QByteArray(bytes).replace('\x05', ""));

        QString out, err;
        QCOMPARE(parse({QStringLiteral(CORVANA_SAMPLES_DIR "/") + file}, &out, &err), 0);
        QTEST(jsonRecords(out), "records");
        QVERIFY(err.isEmpty() && !out.contains(u"\\u")); // no escapes where JSON needs none
    }

    void pieces()
    {
        // Cut at "mtrsl" once CR LF pairs are gone (split at ~); records: over 50 characters, 12 fields.
        const QString chars50 = u"|abc|abc|abc|abcID|abcTSH|abc|abc|abc|abc|abc|"_qs.leftJustified(50, u'z');
        const QString fields11 = QString(10, u'|') + QString(200, u'x');
        const QString noChecksumField = typical().section(u'|', 0, 10);
        // clang-format off
        const QList<std::tuple<QString, QString, const char*>> areas{{"abc", "abc", "0"}, {"", "", "0"},
            {"ENQmtrslA|Bmtrslmtrsl|C", "ENQ~A|B~~|C", "0000"},
            {"aMTRSL\rb\nMtrsl\n\r", "aMTRSL\rb\nMtrsl\n\r", "0"}, // case matters; a lone CR or LF stays
            {"\r\r\n\n", "\r\n", "0"}, {"amtr\r\nslb", "a~b", "00"},  // one pass, and before the cut
            {chars50 + "mtrsl" + chars50 + "z", chars50 + "~" + chars50 + "z", "01"},
            {fields11 + "mtrsl|" + fields11, fields11 + "~|" + fields11, "01"},
            {typical() + "mtrsl" + noChecksumField, typical() + "~" + noChecksumField, "10"}};
        // clang-format on
        for (const auto& [area, pieces, records] : areas) {
            QCOMPARE(MessageParser::splitPieces(area).join(u'~'), pieces);
            QString used;
            for (const QString& piece : MessageParser::splitPieces(area)) {
                CurrentResult r;
                r.LblSampID = QStringLiteral("before");
                used += MessageParser::readRecord(piece, {}, r) ? u'1' : u'0';
                QCOMPARE(MessageParser::isRecord(piece), used.endsWith(u'1'));
                QCOMPARE(r.LblSampID == u"before", used.endsWith(u'0')); // a piece that is no record changes nothing
            }
            QCOMPARE(used, QString::fromLatin1(records));
        }
    }

    void fields()
    {
        using namespace MessageParser;
        // A field's value: from its fourth character, at most 100 of them, then blanks (only blanks) trimmed.
        const QString x100(100, u'x');
        // clang-format off
        const QList<std::pair<QString, QString>> values{{"abcd", "d"}, {"abc  a b  ", "a b"}, {"abc\tx\t", "\tx\t"},
            {"abc" + x100 + "y", x100}, {"abc  " + x100, x100.left(98)}};
        // clang-format on
        for (const auto& [field, value] : values)
            QCOMPARE(fieldValue(field), value);
        // Times as "hh:mm AM/PM" when they are times; MM/DD/YY dates as DD/MM/20YY, taken by position.
        const QList<std::pair<const char*, const char*>> texts{
            {"14:07", "02:07 PM"},        {"0:05:59", "12:05 AM"},    {"25:00", "25:00"},
            {"later", "later"},           {"12/31/26", "31/12/2026"}, {"ABCDEFGH", "DE/AB/20GH"},
            {"12/05/2026", "05/12/2020"}, {"12/05/2", "05/12/202"},   {"", "//20"}};
        for (const auto& [text, expected] : texts)
            QCOMPARE(QString(text).contains(u':') || QString(text) == u"later" ? testTime(text) : testDate(text),
                     QString::fromLatin1(expected));
        // The value field split at single blanks: the value with its comparison sign | the unit.
        // clang-format off
        const QList<std::pair<const char*, const char*>> splits{
            {"", "|"}, {"<", "< |"}, {"2.35 uUI/ml", "2.35|uUI/ml"}, {"2.35 x mg/l", "2.35|mg/l"},
            {"<8.1 ng/ml", "<8.1|ng/ml"}, {"1 a b c d e f g", "1|b c d e f g"}, {"1 a b c d e f g h", "1|"},
            {"> 1200 ng/ml", "> 1200|ng/ml"}, {"< 5 b c d e f g", "< 5|b c d e f g"}, {"> 5 b c d e f g h", "> 5|b"},
            {">= 5 ng/ml", ">=|ng/ml"}, {"2.35  mg/l  x", "2.35|mg/l  x"}, {"<  8.1 ng/ml", "< |8.1 ng/ml"},
            {"2.35\tmg/l", "2.35\tmg/l|"}};
        // clang-format on
        for (const auto& [field, expected] : splits) {
            const ValueAndUnit split = splitValueAndUnit(QString::fromUtf8(field));
            QCOMPARE(split.value + u'|' + split.unit, QString::fromUtf8(expected));
        }
    }

    void parseCommand()
    {
        TestInstall install;
        QFile odd(install.path() + QStringLiteral("/odd.bin"));
        QVERIFY(odd.open(QIODevice::WriteOnly));
        odd.write(wire("@[#mtrsl|#pi|#pn|#si|#ci\"1\\2\"|#rtA\tB|#rnline\x01"
                       "break\x1f|#tt14:07|#td12/05/26|#qlN\xe9g/\"x\"|#qn< 1 \xb5g/l|$00]!"));
        odd.close();
        // Escapes where JSON needs them, every other character as it is; a failed checksum shown.
        QString out, err;
        QCOMPARE(parse({odd.fileName()}, &out, &err, install.path()), 0);
        QCOMPARE(jsonRecords(out), QStringList{"\"1\\2\"|\"1\\2\"|A\tB|line\x01"
                                               "break\x1f|02:07 PM|05/12/2026|N\u00e9g/\"x\"|< 1|\u00b5g/l|"
                                               "N\u00e9g/\"x\" (< 1)|bad"});
        QVERIFY2(out.contains(u"line\\u0001break\\u001f") && out.contains(u"\u00b5g/l") && out.endsWith(u"}\n"),
                 qPrintable(out));
        // With the computer's clock chosen in the settings: the date (and time) of the reading.
        install.setSetting(QStringLiteral("comsetup"), QStringLiteral("PCdateYN"), QStringLiteral("1"));
        out.clear();
        parse({odd.fileName()}, &out, &err, install.path());
        const QString today = QLocale(QLocale::English).toString(QDate::currentDate(), "dd-MMM-yyyy");
        const QString clocked = jsonRecords(out).value(0);
        QVERIFY2(clocked.contains("M|" + today), qPrintable(clocked));

        // Refused: exit code and message, nothing printed. The last file opens, but cannot be read.
        const QList<std::tuple<QStringList, int, const char*>> refused{
            {{}, 2, "parse needs exactly one capture file"},
            {{"a", "b"}, 2, "parse needs exactly one capture file"},
            {{"/nonexistent/capture.bin"}, 1, "no such file"},
            {{CORVANA_SAMPLES_DIR}, 1, "is a folder"},
            {{"/proc/self/mem"}, 1, "cannot be read"}};
        for (const auto& [words, code, message] : refused) {
            out.clear();
            err.clear();
            QCOMPARE(parse(words, &out, &err), code);
            QVERIFY2(err.contains(QLatin1String(message)) && out.isEmpty(), qPrintable(err));
        }
    }
};

QTEST_GUILESS_MAIN(tst_Parsing)
#include "tst_Parsing.moc"
