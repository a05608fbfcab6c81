#include "ReceiveLab.h"
#include "link/FrameCheck.h"
#include "link/LinkCommands.h"
#include "link/MessageParser.h"
#include "link/SerialSession.h"
#include "link/TagRecord.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

// The larger models' record layout: read by tag whatever the line cuts, never by guess; the date
// order; both layouts giving the same stored rows; each frame answered when asked.

using Db = TestInstall::Db;

namespace {

constexpr char RS = 0x1E;

// `fields` ("ci1|rtX") as one tag-layout frame: lines of 80, RS before each, the checksum.
QByteArray tagFrame(const QByteArray& fields, const TagRecord::WriteOptions& options = {})
{
    return TagRecord::frame("mtrsl|" + fields + '|', options);
}

QByteArray flipped(QByteArray bytes, qsizetype at)
{
    bytes[at] = static_cast<char>(bytes[at] ^ 0x01);
    return bytes;
}

// "sample|assay|value|unit|date|time|reading|instrument|serial" of a read record, "held: reason"
// of a held one.
QString outcome(const MessageParser::Parsed& p)
{
    if (p.reading.kind == MessageParser::Reading::Kind::Held)
        return QStringLiteral("held: ") + p.reading.reason;
    const CurrentResult& r = p.record;
    return QStringList{r.LblSampID,   r.Txt_shortAssay, r.Txt_resultt3,  r.Txt_TESTUNIT, r.LblTestDate,
                       r.LblTestTime, r.Txt_resultt2,   r.LblInstrument, r.LblSerialNo}
        .join(u'|');
}

QStringList outcomes(const QByteArray& area, TagRecord::DateOrder order = TagRecord::DateOrder::DMY)
{
    MessageParser::Options options;
    options.dateOrder = order;
    QStringList out;
    for (const MessageParser::Parsed& p : MessageParser::parsePieces(MessageParser::decode(area), options))
        out << outcome(p);
    return out;
}

int parse(const QString& file, QString* out, const QString& home)
{
    QString err;
    QTextStream outStream(out);
    QTextStream errStream(&err);
    return commandParse({home, {file}, outStream, errStream});
}

// A filler field that makes every record longer than the shortest that can be one.
const QByteArray filler = "m4technologist on the morning bench";

} // namespace

class tst_TagLayout : public QObject
{
    Q_OBJECT

private slots:
    void captures_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("records");
        // Sample, assay, value, unit, date, time, reading, result, layout, instrument, serial, checksum.
        QTest::newRow("ferritin: a cut inside a tag, a comma, the unit in y3")
            << "tag-layout-ferritin.bin"
            << QStringList{"2601140001254|FER|182.4|ng/ml|17/11/2026|04:45 PM||182.4|tag|VIDAS3PC02|IVD3-77001|ok"};
        QTest::newRow("VIDAS 3: CR LF after the checksum, the unit twice")
            << "tag-layout-vidas3.bin"
            << QStringList{"2601140001230|FER|45.6|ng/ml|14/01/2026|10:12 AM||45.6|tag|VIDAS3PC02|IVD3-77001|ok",
                           "2601140001230|TSH|1.84|uUI/ml|14/01/2026|10:19 AM||1.84|tag|VIDAS3PC02|IVD3-77001|ok"};
        QTest::newRow("VIDAS PC: year first, fields in another order, an upper-case checksum")
            << "tag-layout-vidas-pc.bin"
            << QStringList{"2601140001247|PRL|< 0.50|ng/ml|14/01/2026|11:03 AM||< 0.50|tag|VIDASPC-A|PC-41122|ok",
                           "2601140001261|HIV5|0.25||14/01/2026|11:20 AM|Positive|Positive (0.25)|tag|VIDASPC-A|"
                           "PC-41122|ok"};
        QTest::newRow("the mini VIDAS") << "quantitative-unit.bin"
                                        << QStringList{
                                               "260114000123|TSH|2.35|uUI/ml|05/12/2026|09:42 AM||2.35|mini|||ok"};
    }

    // `parse` on the captures, as the lab's IT person would run it.
    void captures()
    {
        QFETCH(QString, file);
        TestInstall install;
        QString out;
        QCOMPARE(parse(QStringLiteral(CORVANA_SAMPLES_DIR "/") + file, &out, install.path()), 0);
        QStringList records;
        for (const QString& line : out.split(u'\n', Qt::SkipEmptyParts)) {
            const QJsonObject o = QJsonDocument::fromJson(line.toUtf8()).object();
            QStringList values;
            for (const char* key :
                 {"LblSampID", "Txt_shortAssay", "Txt_resultt3", "Txt_TESTUNIT", "LblTestDate", "LblTestTime",
                  "Txt_resultt2", "Txt_resultt1", "layout", "instrument", "serialno", "checksum"})
                values << o.value(QLatin1String(key)).toString(QStringLiteral("<missing>"));
            records << values.join(u'|');
        }
        QTEST(records, "records");
    }

    // The record's 80-character lines are cut wherever the fields happen to lie: a longer name moves
    // every later character, so the cuts at 80 and 160 fall on each character of the fields in turn.
    void cutsAnywhereGiveTheSameFields()
    {
        const QByteArray rest = "si|ci2601140001230|rtFER|rnFerritin|tt16:45|td17/11/2026|ql|qn182,4|y3ng/ml|qd1|"
                                "idVIDAS3PC02|snIVD3-77001|m4bench2";
        const QString expected = "2601140001230|FER|182.4|ng/ml|17/11/2026|04:45 PM||VIDAS3PC02|IVD3-77001";
        QSet<qsizetype> cutAt; // offsets of `rest` a cut fell before
        for (qsizetype pad = 0; pad <= 80; ++pad) {
            const QByteArray fields = "pi|pn" + QByteArray(pad, 'x') + '|' + rest;
            const QByteArray frame = tagFrame(fields);
            // The record's cuts stand before its characters 80 and 160; `rest` starts at 12 + pad.
            for (qsizetype cut = 80; cut < 12 + pad + rest.size(); cut += 80) {
                if (cut >= 12 + pad)
                    cutAt.insert(cut - 12 - pad);
            }
            QCOMPARE(FrameCheck::segments(frame).value(1).checksum, FrameCheck::Checksum::Ok);
            QCOMPARE(outcomes(frame), QStringList{expected});
        }
        for (qsizetype i = 0; i < rest.size(); ++i)
            QVERIFY2(cutAt.contains(i), qPrintable(QString::number(i)));
    }

    void dates_data()
    {
        QTest::addColumn<QString>("sent");
        QTest::addColumn<QString>("dmy");
        QTest::addColumn<QString>("mdy");
        QTest::addColumn<QString>("ymd");
        const auto row = [](const char* sent, const char* dmy, const char* mdy, const char* ymd) {
            QTest::newRow(sent) << sent << dmy << mdy << ymd;
        };
        row("05/12/2026", "05/12/2026", "12/05/2026", "05/12/2026");
        row("05/12/26", "05/12/2026", "12/05/2026", "26/12/2005");
        row("17/11/2026", "17/11/2026", "17/11/2026", "17/11/2026"); // month 17: shown as sent
        row("11/17/26", "11/17/26", "17/11/2026", "11/17/26");
        row("2026/11/17", "17/11/2026", "17/11/2026", "17/11/2026"); // a four-digit year first is always Y/M/D
        row("2026/17/11", "2026/17/11", "2026/17/11", "2026/17/11");
        row("31/02/2026", "31/02/2026", "31/02/2026", "31/02/2026");
        row("29/02/2028", "29/02/2028", "29/02/2028", "29/02/2028"); // a leap day is a day
        row("13/13/2026", "13/13/2026", "13/13/2026", "13/13/2026");
        row("00/12/2026", "00/12/2026", "00/12/2026", "00/12/2026");
        row("5/12/2026", "5/12/2026", "5/12/2026", "5/12/2026"); // not the analyser's form: not read
        row("05-12-2026", "05-12-2026", "05-12-2026", "05-12-2026");
        row("", "", "", "");
    }

    // Under each order, and the whole way through a record.
    void dates()
    {
        QFETCH(QString, sent);
        QFETCH(QString, dmy);
        QFETCH(QString, mdy);
        QFETCH(QString, ymd);
        const QList<std::pair<TagRecord::DateOrder, QString>> orders{
            {TagRecord::DateOrder::DMY, dmy}, {TagRecord::DateOrder::MDY, mdy}, {TagRecord::DateOrder::YMD, ymd}};
        for (const auto& [order, expected] : orders) {
            QCOMPARE(TagRecord::testDate(sent, order), expected);
            const QStringList read = outcomes(tagFrame("ci1|rtTSH|td" + sent.toLatin1() + "|qn2|" + filler), order);
            QCOMPARE(read.value(0).section(u'|', 4, 4), expected);
        }
        // The setting's spellings; anything else is day first.
        const QList<std::pair<const char*, TagRecord::DateOrder>> settings{{"", TagRecord::DateOrder::DMY},
                                                                           {" mdy ", TagRecord::DateOrder::MDY},
                                                                           {"YMD", TagRecord::DateOrder::YMD},
                                                                           {"DYM", TagRecord::DateOrder::DMY}};
        for (const auto& [setting, order] : settings)
            QCOMPARE(TagRecord::dateOrderFrom(QString::fromLatin1(setting)), order);
    }

    void shapes_data()
    {
        QTest::addColumn<QByteArray>("area");
        QTest::addColumn<QStringList>("read");
        const QString tsh = "1|TSH|2.35|uUI/ml|||||";
        const auto row = [](const char* name, const QByteArray& area, const QStringList& read) {
            QTest::newRow(name) << area << read;
        };
        row("the unit in qn and y3 alike is kept once", tagFrame("ci1|rtTSH|qn2.35 uUI/ml|y3uUI/ml|" + filler), {tsh});
        row("the unit in qn alone", tagFrame("ci1|rtTSH|qn2.35 uUI/ml|y3|" + filler), {tsh});
        row("unknown tags ignored, any order", tagFrame("zz9|qn2.35|Q1x|y3uUI/ml|rtTSH|ab|ci1|" + filler), {tsh});
        row("an empty sample is no sample", tagFrame("ci|rtFER|qn> 1200|y3ng/ml|" + filler),
            {"|FER|> 1200|ng/ml|||||"});
        row("blanks around values", tagFrame("ci 1 |rt TSH|qn 2.35 |y3uUI/ml |" + filler), {tsh});
        row("no sample field", tagFrame("rtTSH|qn2.35|" + filler), {"held: no sample (ci) field"});
        row("no assay field", tagFrame("ci1|qn2.35|" + filler), {"held: no assay (rt) field"});
        row("two sample IDs", tagFrame("ci1|rtTSH|ci2|qn2.35|" + filler), {"held: two ci fields"});
        row("two assays", tagFrame("ci1|rtTSH|rtFT4|qn2.35|" + filler), {"held: two rt fields"});
        row("two units that differ", tagFrame("ci1|rtTSH|qn2.35 mg/l|y3uUI/ml|" + filler),
            {"held: the unit mg/l in qn differs from uUI/ml in y3"});
        row("a comma and a point", tagFrame("ci1|rtTSH|qn1,234.5|" + filler),
            {"held: the number 1,234.5 has both a comma and a point"});
        row("a field without its tag", tagFrame("ci1|rtTSH|q|qn2|" + filler), {"held: field 3 has no tag"});
        row("a tag not of letters or digits", tagFrame("ci1|rtTSH|-x5|qn2|" + filler), {"held: field 3 has no tag"});
        // The shortest piece that can be a record is 51 characters, as for the mini VIDAS.
        row("51 characters: held", tagFrame("rtTSH|qn2|m4" + QByteArray(51 - 18, 'x')), {"held: no sample (ci) field"});
        row("50 characters: line noise", tagFrame("rtTSH|qn2|m4" + QByteArray(50 - 18, 'x')), {});
        row("text before the first field", tagFrame("x|ci1|rtTSH|qn2|" + filler).replace("mtrsl|x", "mtrslx"),
            {"held: text between mtrsl and the first field"});
        QByteArray stray = tagFrame("ci1|rtTSH|qn2|" + filler);
        stray.insert(12, RS);
        row("an RS off the line cuts", stray,
            {"held: an RS where neither layout puts one (character 11 of the record)"});
        // A mini VIDAS record that lost one of its RS would be read one character short by position.
        QByteArray lost = AnalyserCapture::session({ReceiveLab::result("260114000123", "TSH", "2.35")});
        lost.remove(lost.indexOf("\x1e"
                                 "ci"),
                    1);
        row("a mini VIDAS record short of one RS", lost,
            {"held: an RS where neither layout puts one (character 7 of the record)"});
        row("the mini VIDAS layout", AnalyserCapture::session({ReceiveLab::result("1", "TSH", "2.35 uUI/ml")}),
            {"1|TSH|2.35|uUI/ml|05/12/2026|09:42 AM|||"});
        row("too short to be a record: line noise",
            "\x02\x1emtrsl|ab|\x1d"
            "00\x03",
            {});
        row("tag fields before any mtrsl", "|pi|pn|si|ci1|rtTSH|rnTSH|tt09:42|td05/12/2026|ql|qn2.35|m4|",
            {"held: fields before any mtrsl"});
        row("layouts mixed in one session",
            tagFrame("ci1|rtTSH|qn2.35|y3uUI/ml|" + filler) +
                AnalyserCapture::frame(ReceiveLab::result("2", "FT4", "12 pmol/l")) +
                tagFrame("ci3|rtPRL|ci4|" + filler),
            {tsh, "2|FT4|12|pmol/l|05/12/2026|09:42 AM|||", "held: two ci fields"});
    }

    // Anything not certainly one layout or the other is held, never read by position.
    void shapes()
    {
        QFETCH(QByteArray, area);
        QTEST(outcomes(area), "read");
    }

    // What the simulator sends for a mini VIDAS record, under each choice of the link software.
    void writer_data()
    {
        QTest::addColumn<QByteArray>("mini");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QByteArray>("frame"); // # RS, $ GS, [ STX, ] ETX; the checksum as cc
        const QByteArray tsh = "\x1emtrsl|\x1ept|\x1e"
                               "ci12|\x1ertTSH|\x1ett09:42|\x1etd12/05/26|\x1eqn< 2.35 uUI/ml|";
        const auto row = [](const char* name, const QByteArray& mini, const QStringList& options, const char* frame) {
            QTest::newRow(name) << mini << options << QByteArray(frame);
        };
        row("as set by default", tsh, {}, "[#mtrsl|pt|ci12|rtTSH|tt09:42|td05/12/2026|qn< 2.35|y3uUI/ml|$cc]");
        row("month first, two-digit year, comma, CR LF", tsh, {"mdy", "yy", "comma", "crlf"},
            "[#mtrsl|pt|ci12|rtTSH|tt09:42|td12/05/26|qn< 2,35|y3uUI/ml|$cc\r\n]");
        row("year first, the unit twice, the analyser named", tsh, {"ymd", "twice", "id"},
            "[#mtrsl|pt|ci12|rtTSH|tt09:42|td2026/12/05|qn< 2.35 uUI/ml|y3uUI/ml|idV3|snS9|$cc]");
        row("lines of 20", tsh, {"line20"}, "[#mtrsl|pt|ci12|rtTSH|#tt09:42|td05/12/2026#|qn< 2.35|y3uUI/ml|$cc]");
        row("a date not in the mini VIDAS form stays", "\x1emtrsl|\x1etd1/5/26|", {}, "[#mtrsl|td1/5/26|$cc]");
    }

    void writer()
    {
        QFETCH(QByteArray, mini);
        QFETCH(QStringList, options);
        QFETCH(QByteArray, frame);
        TagRecord::WriteOptions o;
        o.dateOrder = options.contains("mdy")   ? TagRecord::DateOrder::MDY
                      : options.contains("ymd") ? TagRecord::DateOrder::YMD
                                                : TagRecord::DateOrder::DMY;
        o.twoDigitYear = options.contains("yy");
        o.decimalComma = options.contains("comma");
        o.crlf = options.contains("crlf");
        o.unitTwice = options.contains("twice");
        o.lineLength = options.contains("line20") ? 20 : 80;
        if (options.contains("id")) {
            o.instrument = "V3";
            o.serialNo = "S9";
        }
        QByteArray sent = TagRecord::frame(TagRecord::fromMini(mini, o), o);
        const qsizetype gs = sent.indexOf('\x1d');
        QCOMPARE(sent.mid(gs + 1, 2), AnalyserCapture::checksum(sent.mid(1, gs)));
        sent.replace(gs + 1, 2, "cc");
        for (char& c : sent)
            c = c == '\x1e' ? '#' : c == '\x1d' ? '$' : c == '\x02' ? '[' : c == '\x03' ? ']' : c;
        QCOMPARE(sent, frame);
    }

    void bothLayoutsStoreTheSameRows();
    void tagRecordsHeldInTheChain();
    void frameAnswers_data();
    void frameAnswers();
};

// The same results sent by a mini VIDAS and by a VIDAS 3 (dates month first with two digits, decimal
// commas, CR LF) are evaluated, stored and written into the LIS alike; the VIDAS 3's rows also
// say which analyser measured them.
void tst_TagLayout::bothLayoutsStoreTheSameRows()
{
    const QList<AnalyserCapture::Result> results{ReceiveLab::result("260114000123", "TSH", "7.5 uUI/ml"),
                                                 ReceiveLab::result("260114000124", "PRL", "", "Negative"),
                                                 ReceiveLab::result("0042", "VITD", "< 8.1 \xb5g/l serum"),
                                                 ReceiveLab::result("", "FER", "> 1200 ng/ml")};
    TagRecord::WriteOptions vidas3;
    vidas3.crlf = true;
    vidas3.decimalComma = true;
    vidas3.unitTwice = true;
    vidas3.dateOrder = TagRecord::DateOrder::MDY;
    vidas3.twoDigitYear = true;
    vidas3.instrument = "VIDAS3PC02";
    vidas3.serialNo = "IVD3-77001";
    QByteArray tagSession(1, AnalyserCapture::ENQ);
    for (const AnalyserCapture::Frame& f : AnalyserCapture::frames(AnalyserCapture::session(results)))
        tagSession += TagRecord::frame(TagRecord::fromMini(f.record, vidas3), vidas3);
    tagSession += AnalyserCapture::EOT;

    const QString rows = "SELECT SampleID, patientid, Patientname, patientsefa, DocName, Drsefa, sex, ageN, ageU, "
                         "Testdate, TestTime, sending, testsimp, testabrev, subgroupname, REFRANGE, shortAssay, "
                         "LongAssay, resultt1, resultt2, resultt3, testunit, lowlimit, highlimit, nolowexe, "
                         "nohighexe, normalrang, RESULTCASEPRINT, comment, testcode FROM Result ORDER BY AutoNum";
    const QString written = "SELECT patientid, testcode, resultt, resultt1, resultt2, RESULTCASEPRINT, testunit "
                            "FROM patienttest WHERE resultfinsh=1 ORDER BY patientid, testcode";
    QStringList stored[2], lis[2], lines[2], instruments[2];
    const QByteArray sessions[2] = {AnalyserCapture::session(results), tagSession};
    for (int i = 0; i < 2; ++i) {
        ReceiveLab lab;
        QVERIFY(lab.ready);
        QCOMPARE(lab.process(sessions[i]), ReceiveChain::Result::Done);
        stored[i] = lab.install.texts(Db::Interface, rows);
        lis[i] = lab.install.texts(Db::Lis, written);
        lines[i] = lab.lines;
        instruments[i] = lab.install.texts(Db::Interface, "SELECT instrumentid, instrumentsn FROM Result");
        QCOMPARE(lab.install.text(Db::Interface, "SELECT count(*) FROM heldframe"), "0");
    }
    QCOMPARE(stored[0].size(), 4);
    QCOMPARE(stored[1], stored[0]);
    QCOMPARE(lis[0].size(), 2);
    QCOMPARE(lis[1], lis[0]);
    QCOMPARE(instruments[0], QStringList(4, "null|null"));
    QCOMPARE(instruments[1], QStringList(4, "VIDAS3PC02|IVD3-77001"));
    QCOMPARE(lines[0],
             (QStringList{"2601140001230     Yes", "2601140001247     Yes", "0042     No", "FER   09:42 AM     No"}));
    QCOMPARE(
        lines[1],
        (QStringList{"2601140001230  [VIDAS3PC02 IVD3-77001]     Yes", "2601140001247  [VIDAS3PC02 IVD3-77001]     Yes",
                     "0042  [VIDAS3PC02 IVD3-77001]     No", "FER   09:42 AM  [VIDAS3PC02 IVD3-77001]     No"}));
}

// A damaged frame and a record of neither layout are kept with their bytes and reason, shown, and
// never stored; the good record beside them is.
void tst_TagLayout::tagRecordsHeldInTheChain()
{
    ReceiveLab lab;
    QVERIFY(lab.ready);
    const QByteArray good = tagFrame("ci260114000123|rtTSH|qn2,35|y3uUI/ml|idVIDAS3PC02|" + filler);
    const QByteArray twoSamples = tagFrame("ci260114000123|rtFT4|qn12|ci260114000124|" + filler);
    const QByteArray intact = tagFrame("ci2601140007|rtHIV5|qlPositive|qn0.25|" + filler);
    const QByteArray damaged = flipped(intact, 30);
    const qsizetype gs = damaged.indexOf('\x1d');
    const QString checksum = QStringLiteral("checksum %1, expected %2")
                                 .arg(QString::fromLatin1(damaged.mid(gs + 1, 2)),
                                      QString::fromLatin1(AnalyserCapture::checksum(damaged.mid(1, gs))));
    QCOMPARE(lab.process("\x05" + good + twoSamples + damaged + "\x04"), ReceiveChain::Result::Done);
    QCOMPARE(lab.install.texts(Db::Interface, "SELECT SampleID, shortAssay, resultt1, instrumentid FROM Result"),
             QStringList{"260114000123|TSH|2.35|VIDAS3PC02"});
    QCOMPARE(lab.install.texts(Db::Interface, "SELECT sampleid, shortassay, reason FROM heldframe ORDER BY heldid"),
             (QStringList{"2601140007|HIV5|" + checksum, "null|FT4|two ci fields"}));
    const QString raw = lab.install.text(Db::Interface, "SELECT rawframe FROM heldframe WHERE reason LIKE 'two%'");
    const qsizetype from = twoSamples.indexOf("mtrsl");
    QCOMPARE(raw.toLatin1(), twoSamples.mid(from, twoSamples.indexOf('\x1d') + 3 - from));
    QCOMPARE(lab.lines, (QStringList{"2601140007 HIV5     Held: " + checksum, "2601140001230  [VIDAS3PC02]     Yes",
                                     "? FT4     Held: two ci fields"}));
    QCOMPARE(lab.install.text(Db::Interface, "SELECT count(*) FROM receivedsession WHERE state='held'"), "1");
}

void tst_TagLayout::frameAnswers_data()
{
    // Arrivals split at "/": @ a lone ENQ, G a good frame, B the same frame damaged, C CR LF after a
    // frame's checksum, ! EOT, x line noise. Then the answers (& ACK, % NAK), the message cut with
    // its stream end.
    QTest::addColumn<bool>("on");
    QTest::addColumn<QString>("arrivals");
    QTest::addColumn<QString>("answers");
    QTest::addColumn<QString>("message");
    const auto row = [](const char* name, bool on, const char* arrivals, const char* answers, const char* message) {
        QTest::newRow(name) << on << arrivals << answers << message;
    };
    row("off: only the ENQ is answered", false, "@/B/G/!", "&", "BG!");
    row("a good frame", true, "@/G/!", "&&", "G!");
    row("refused, then sent again", true, "@/B/G/!", "&%&", "G!");
    row("frames in one read", true, "@/GBG!", "&&%&", "GG!");
    row("noise before a refused frame stays", true, "@/xB/G/!", "&%&", "xG!");
    row("sixth refusal in a row kept", true, "@/B/B/B/B/B/B/G/!", "&%%%%%%&", "BG!");
    row("the count starts again after a good frame", true, "@/B/B/B/G/B/B/B/G/!", "&%%%&%%%&", "GG!");
    row("a frame without its checksum is refused", true, "@/N/G/!", "&%&", "G!");
}

void tst_TagLayout::frameAnswers()
{
    QFETCH(bool, on);
    QFETCH(QString, arrivals);
    const QByteArray good = tagFrame("ci260114000123|rtTSH|qn2,35|" + filler);
    const QByteArray bad = flipped(good, 40);
    QByteArray unchecked = good;
    unchecked.remove(unchecked.indexOf('\x1d'), 3);
    SerialSession session;
    session.setFrameAnswers(on);
    QString answers, message;
    qint64 fed = 0;
    for (const QString& arrival : arrivals.split(u'/')) {
        QByteArray bytes;
        for (const QChar c : arrival)
            bytes += c == u'G'   ? good
                     : c == u'B' ? bad
                     : c == u'N' ? unchecked
                     : c == u'@' ? "\x05"
                     : c == u'!' ? "\x04"
                                 : "x";
        fed += bytes.size();
        const SerialSession::Actions actions = session.onData(bytes);
        for (const char c : actions.reply)
            answers += c == SerialSession::ACK ? u'&' : c == SerialSession::NAK ? u'%' : u'?';
        if (actions.messageCut) {
            QCOMPARE(actions.cutEnd, fed); // refused frames keep their place in the stream
            for (QByteArray rest = std::exchange(session.messageArea(), {}); !rest.isEmpty();) {
                const char c = rest.startsWith(good) ? 'G' : rest.startsWith(bad) ? 'B' : rest[0];
                message += c == '\x04' ? QLatin1Char('!') : QLatin1Char(c);
                rest.remove(0, c == 'G' || c == 'B' ? good.size() : 1);
            }
        }
    }
    QTEST(answers, "answers");
    QTEST(message, "message");
}

QTEST_GUILESS_MAIN(tst_TagLayout)
#include "tst_TagLayout.moc"
