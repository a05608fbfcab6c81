#include "link/MessageParser.h"

#include <QRandomGenerator>
#include <QTest>

using namespace MessageParser;

namespace {

const QString RS = QStringLiteral("\x1e");

// One record as it stands after the cut at "mtrsl": fields 0..3 the analyser's empty patient fields,
// 4..10 the values behind their three-character markers, then the checksum field.
QString makeRecord(const QString& id, const QString& shortAssay, const QString& longAssay, const QString& time,
                   const QString& date, const QString& reading, const QString& value)
{
    return QStringLiteral("|") + RS + "pi|" + RS + "pn|" + RS + "si|" + RS + "ci" + id + "|" + RS + "rt" + shortAssay +
           "|" + RS + "rn" + longAssay + "|" + RS + "tt" + time + "|" + RS + "td" + date + "|" + RS + "ql" + reading +
           "|" + RS + "qn" + value + "|\x1d" + "5a\x03";
}

QString typicalRecord(const QString& id = QStringLiteral("260114000123"))
{
    return makeRecord(id, "TSH", "TSH", "09:42", "12/05/26", "", "2.35 uUI/ml");
}

} // namespace

class tst_MessageParser : public QObject
{
    Q_OBJECT

private slots:
    void splitsPieces_data();
    void splitsPieces();
    void recordTests_data();
    void recordTests();
    void fieldValues_data();
    void fieldValues();
    void times_data();
    void times();
    void dates_data();
    void dates();
    void valueAndUnit_data();
    void valueAndUnit();
    void resultTexts_data();
    void resultTexts();
    void readsFieldsByPosition();
    void computerClockReplacesRecordTime();
    void recordsInOrderIncludingFirstPiece();
    void decodesSingleByteText();
    void hostileInputNeverBreaks_data();
    void hostileInputNeverBreaks();
    void randomBytesNeverBreak();
};

void tst_MessageParser::splitsPieces_data()
{
    QTest::addColumn<QString>("area");
    QTest::addColumn<QStringList>("pieces");

    QTest::newRow("no marker") << "abc" << QStringList{"abc"};
    QTest::newRow("empty area") << "" << QStringList{""};
    QTest::newRow("before and after") << "ENQmtrslA|Bmtrsl|C" << QStringList{"ENQ", "A|B", "|C"};
    QTest::newRow("markers in a row") << "xmtrslmtrsly" << QStringList{"x", "", "y"};
    QTest::newRow("marker at the end") << "xmtrsl" << QStringList{"x", ""};
    QTest::newRow("case matters") << "aMTRSLbMtrslc" << QStringList{"aMTRSLbMtrslc"};
    QTest::newRow("CR LF removed") << "a\r\nbmtrslc\r\n" << QStringList{"ab", "c"};
    QTest::newRow("lone CR and LF stay") << "a\rb\nc\n\r" << QStringList{"a\rb\nc\n\r"};
    QTest::newRow("one pass of CR LF removal") << "\r\r\n\n" << QStringList{"\r\n"};
    // The pairs go first, so a marker broken by a line break still cuts.
    QTest::newRow("marker across a line break") << "amtr\r\nslb" << QStringList{"a", "b"};
}

void tst_MessageParser::splitsPieces()
{
    QFETCH(QString, area);
    QFETCH(QStringList, pieces);
    QCOMPARE(splitPieces(area), pieces);
}

void tst_MessageParser::recordTests_data()
{
    QTest::addColumn<QString>("piece");
    QTest::addColumn<bool>("used");

    // Twelve fields with values in 4 and 5, padded in the last field to the wanted length.
    const QString base = QStringLiteral("|abc|abc|abc|abcID|abcTSH|abc|abc|abc|abc|abc|");
    const auto padded = [&base](qsizetype length) { return base + QString(length - base.size(), QLatin1Char('z')); };
    QCOMPARE(base.count(QLatin1Char('|')), 11);
    QTest::newRow("50 characters") << padded(50) << false;
    QTest::newRow("51 characters") << padded(51) << true;
    QTest::newRow("11 fields, long") << QString(10, QLatin1Char('|')) + QString(200, QLatin1Char('x')) << false;
    QTest::newRow("12 fields, long") << QString(11, QLatin1Char('|')) + QString(200, QLatin1Char('x')) << true;
    QTest::newRow("60 fields") << QString(59, QLatin1Char('|')) << true;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("typical") << typicalRecord() << true;
    QTest::newRow("typical without checksum field") << typicalRecord().section(QLatin1Char('|'), 0, 10) << false;
}

void tst_MessageParser::recordTests()
{
    QFETCH(QString, piece);
    QFETCH(bool, used);
    QCOMPARE(isRecord(piece), used);

    CurrentResult record;
    record.LblSampID = QStringLiteral("before");
    QCOMPARE(readRecord(piece, Options{}, record), used);
    if (!used)
        QCOMPARE(record.LblSampID, QStringLiteral("before"));
}

void tst_MessageParser::fieldValues_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");

    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("marker only") << "\x1e"
                                    "ci"
                                 << "";
    QTest::newRow("two characters") << "ab"
                                    << "";
    QTest::newRow("one value character") << "abcd"
                                         << "d";
    QTest::newRow("marker not looked at") << "|||value"
                                          << "value";
    QTest::newRow("blanks trimmed") << "abc  a b  "
                                    << "a b";
    QTest::newRow("blank marker") << "    x"
                                  << "x";
    QTest::newRow("only blanks") << "abc     "
                                 << "";
    // Only blanks are trimmed; other control characters are part of the value.
    QTest::newRow("tab kept") << "abc\tx\t"
                              << "\tx\t";
    QTest::newRow("100 characters kept") << "abc" + QString(100, 'x') << QString(100, 'x');
    QTest::newRow("cut at 100") << "abc" + QString(100, 'x') + "yyy" << QString(100, 'x');
    // The cut comes before the trim.
    QTest::newRow("leading blanks count") << "abc  " + QString(100, 'x') << QString(98, 'x');
    QTest::newRow("10,000 characters") << "abc" + QString(10000, 'q') << QString(100, 'q');
}

void tst_MessageParser::fieldValues()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    QCOMPARE(fieldValue(field), value);
}

void tst_MessageParser::times_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("time");

    QTest::newRow("morning") << "09:42"
                             << "09:42 AM";
    QTest::newRow("afternoon") << "14:07"
                               << "02:07 PM";
    QTest::newRow("midnight") << "00:05"
                              << "12:05 AM";
    QTest::newRow("noon") << "12:00"
                          << "12:00 PM";
    QTest::newRow("last minute") << "23:59"
                                 << "11:59 PM";
    QTest::newRow("one-digit hour") << "9:05"
                                    << "09:05 AM";
    QTest::newRow("with seconds") << "18:35:59"
                                  << "06:35 PM";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("hour out of range") << "25:00"
                                       << "25:00";
    QTest::newRow("not a time") << "later"
                                << "later";
    QTest::newRow("date instead") << "12/05/26"
                                  << "12/05/26";
}

void tst_MessageParser::times()
{
    QFETCH(QString, value);
    QFETCH(QString, time);
    QCOMPARE(testTime(value), time);
}

void tst_MessageParser::dates_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("date");

    QTest::newRow("month first") << "12/05/26"
                                 << "05/12/2026";
    QTest::newRow("31 December") << "12/31/26"
                                 << "31/12/2026";
    QTest::newRow("by position only") << "ABCDEFGH"
                                      << "DE/AB/20GH";
    QTest::newRow("four-digit year") << "12/05/2026"
                                     << "05/12/2020";
    QTest::newRow("empty") << ""
                           << "//20";
    QTest::newRow("one character") << "1"
                                   << "/1/20";
    QTest::newRow("four characters") << "12/0"
                                     << "0/12/20";
    QTest::newRow("seven characters") << "12/05/2"
                                      << "05/12/202";
}

void tst_MessageParser::dates()
{
    QFETCH(QString, value);
    QFETCH(QString, date);
    QCOMPARE(testDate(value), date);
}

void tst_MessageParser::valueAndUnit_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("unit");

    QTest::newRow("empty") << ""
                           << ""
                           << "";
    QTest::newRow("number only") << "0.25"
                                 << "0.25"
                                 << "";
    QTest::newRow("number and unit") << "2.35 uUI/ml"
                                     << "2.35"
                                     << "uUI/ml";
    QTest::newRow("two words after: first dropped") << "2.35 x mg/l"
                                                    << "2.35"
                                                    << "mg/l";
    QTest::newRow("three words after") << "2.35 x mg/l serum"
                                       << "2.35"
                                       << "mg/l serum";
    QTest::newRow("k = 7") << "1 a b c d e f g"
                           << "1"
                           << "b c d e f g";
    QTest::newRow("k = 8: no unit") << "1 a b c d e f g h"
                                    << "1"
                                    << "";
    QTest::newRow("k = 9: no unit") << "1 a b c d e f g h i"
                                    << "1"
                                    << "";
    QTest::newRow("less than, two-word unit") << "< 8.1 µg/l serum"
                                              << "< 8.1"
                                              << "µg/l serum";
    QTest::newRow("greater than, unit") << "> 1200 ng/ml"
                                        << "> 1200"
                                        << "ng/ml";
    QTest::newRow("sign and number") << "< 8.1"
                                     << "< 8.1"
                                     << "";
    QTest::newRow("sign alone") << "<"
                                << "< "
                                << "";
    QTest::newRow("sign, k = 7") << "> 5 b c d e f g"
                                 << "> 5"
                                 << "b c d e f g";
    QTest::newRow("sign, k = 8: third word alone") << "> 5 b c d e f g h"
                                                   << "> 5"
                                                   << "b";
    QTest::newRow("sign, k = 10") << "< 5 b c d e f g h i j"
                                  << "< 5"
                                  << "b";
    QTest::newRow("sign joined to number") << "<8.1 ng/ml"
                                           << "<8.1"
                                           << "ng/ml";
    QTest::newRow("two-character sign is no sign") << ">= 5 ng/ml"
                                                   << ">="
                                                   << "ng/ml";
    QTest::newRow("double blank before unit") << "2.35  mg/l"
                                              << "2.35"
                                              << "mg/l";
    QTest::newRow("double blank inside unit") << "1 a b  c"
                                              << "1"
                                              << "b  c";
    QTest::newRow("double blank after sign") << "<  8.1 ng/ml"
                                             << "< "
                                             << "8.1 ng/ml";
    QTest::newRow("two blanks") << "  "
                                << ""
                                << "";
    QTest::newRow("tab is not a separator") << "2.35\tmg/l"
                                            << "2.35\tmg/l"
                                            << "";
}

void tst_MessageParser::valueAndUnit()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(QString, unit);
    const ValueAndUnit split = splitValueAndUnit(field);
    QCOMPARE(split.value, value);
    QCOMPARE(split.unit, unit);
}

void tst_MessageParser::resultTexts_data()
{
    QTest::addColumn<QString>("reading");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("reading only") << "Positive"
                                  << ""
                                  << "Positive";
    QTest::newRow("value only") << ""
                                << "> 1200"
                                << "> 1200";
    QTest::newRow("both") << "Positive"
                          << "0.25"
                          << "Positive (0.25)";
    QTest::newRow("neither") << ""
                             << ""
                             << "";
}

void tst_MessageParser::resultTexts()
{
    QFETCH(QString, reading);
    QFETCH(QString, value);
    QFETCH(QString, text);
    QCOMPARE(resultText(reading, value), text);
}

void tst_MessageParser::readsFieldsByPosition()
{
    // Fields 0..3 and 11 onward carry text that must not leak into the record.
    const QString piece =
        QStringLiteral("|#pipatient|#pnname|#sisep|#ci  ID 7 |#rtFER|#rnFerritin|#tt08:05|#td12/31/26|"
                       "#qlPositive|#qn> 1200 ng/ml|#qdextra|more");
    CurrentResult record;
    QVERIFY(readRecord(piece, Options{}, record));
    QCOMPARE(record.LblSampID, QStringLiteral("ID 7"));
    QCOMPARE(record.LblPatID, QStringLiteral("ID 7"));
    QCOMPARE(record.Txt_shortAssay, QStringLiteral("FER"));
    QCOMPARE(record.Txt_LongAssay, QStringLiteral("Ferritin"));
    QCOMPARE(record.LblTestTime, QStringLiteral("08:05 AM"));
    QCOMPARE(record.LblTestDate, QStringLiteral("31/12/2026"));
    QCOMPARE(record.Txt_resultt2, QStringLiteral("Positive"));
    QCOMPARE(record.Txt_resultt3, QStringLiteral("> 1200"));
    QCOMPARE(record.Txt_TESTUNIT, QStringLiteral("ng/ml"));
    // The result text waits for the evaluation.
    QCOMPARE(record.Txt_resultt1, QString());
}

void tst_MessageParser::computerClockReplacesRecordTime()
{
    Options options;
    options.timeFromClock = true;
    options.now = QDateTime(QDate(2026, 12, 5), QTime(14, 7, 30));
    CurrentResult record;
    QVERIFY(readRecord(typicalRecord(), options, record));
    QCOMPARE(record.LblTestTime, QStringLiteral("02:07 PM"));
    QCOMPARE(record.LblTestDate, QStringLiteral("05-Dec-2026"));

    // Also when the record carries no time or date at all.
    QVERIFY(readRecord(makeRecord("1", "TSH", "TSH", "", "", "", "1"), options, record));
    QCOMPARE(record.LblTestDate, QStringLiteral("05-Dec-2026"));
}

void tst_MessageParser::recordsInOrderIncludingFirstPiece()
{
    // A record before the first marker counts; a short preamble does not.
    const QString area = typicalRecord("A") + "mtrsl" + typicalRecord("B") + "\x04\x05\x02mtrsl" + "|short|" + "mtrsl" +
                         makeRecord("", "PRL", "Prolactin", "08:09", "12/05/26", "Negative", "") + "\x04";
    const QList<CurrentResult> records = parseRecords(area, Options{});
    QCOMPARE(records.size(), 3);
    QCOMPARE(records[0].LblSampID, QStringLiteral("A"));
    QCOMPARE(records[1].LblSampID, QStringLiteral("B"));
    QCOMPARE(records[2].LblSampID, QString());
    QCOMPARE(records[2].Txt_resultt1, QStringLiteral("Negative"));
    QCOMPARE(records[0].Txt_resultt1, QStringLiteral("2.35"));
    // Every record starts from a reset one.
    QCOMPARE(records[2].Txt_correctfactors, QStringLiteral("1"));
    QCOMPARE(records[2].Chk_pregsmok, 0);

    const QString preamble = QStringLiteral("\x05\x02\x1e");
    QCOMPARE(parseRecords(preamble + "mtrsl" + typicalRecord(), Options{}).size(), 1);
}

void tst_MessageParser::decodesSingleByteText()
{
    const QString text = decode(QByteArray("N\xe9gatif \xb5g/l"));
    QCOMPARE(text, QStringLiteral("N\u00e9gatif \u00b5g/l"));
    QCOMPARE(decode(QByteArray("a\0b", 3)).size(), 3);
}

void tst_MessageParser::hostileInputNeverBreaks_data()
{
    QTest::addColumn<QString>("area");
    QTest::addColumn<int>("records");

    const QString nul(QChar(0));
    QTest::newRow("NUL bytes in a record") << nul + "mtrsl" + typicalRecord("12" + nul + "34") + nul << 1;
    QTest::newRow("10,000-character fields")
        << "mtrsl" + makeRecord(QString(10000, 'i'), QString(10000, 's'), "L", "09:42", QString(10000, '1'), "",
                                QString(10000, '7'))
        << 1;
    QTest::newRow("10,000 blanks as value")
        << "mtrsl" + makeRecord("1", "A", "A", "", "", "", QString(10000, ' ')) << 1;
    QTest::newRow("long value field of many words")
        << "mtrsl" + makeRecord("1", "A", "A", "", "", "", QStringLiteral("< 1 mg ").repeated(3000)) << 1;
    QTest::newRow("missing ETX and EOT") << "\x05\x02mtrsl" + typicalRecord().chopped(1) << 1;
    QTest::newRow("markers only") << QStringLiteral("mtrsl").repeated(10000) << 0;
    QTest::newRow("separators only") << QStringLiteral("|").repeated(100000) << 1;
    QTest::newRow("CR LF only") << QStringLiteral("\r\n").repeated(10000) << 0;
}

void tst_MessageParser::hostileInputNeverBreaks()
{
    QFETCH(QString, area);
    QFETCH(int, records);
    const QList<CurrentResult> parsed = parseRecords(area, Options{});
    QCOMPARE(parsed.size(), records);
    for (const CurrentResult& r : parsed) {
        // No value is longer than its field allows: 100, "< " + 100, or the date made of six of them.
        QVERIFY(r.LblSampID.size() <= 100);
        QVERIFY(r.Txt_shortAssay.size() <= 100);
        QVERIFY(r.Txt_resultt3.size() <= 102);
        QVERIFY(r.Txt_TESTUNIT.size() <= 100);
        QVERIFY(r.LblTestDate.size() <= 10);
    }
}

void tst_MessageParser::randomBytesNeverBreak()
{
    // Random line noise mixed with markers and separators, so that pieces pass the record tests.
    QRandomGenerator random(20261205);
    QByteArray alphabet("mtrsl|<> \r\n\x04\x05\x1e\xb5\xe9"
                        "09:/");
    alphabet.append('\0');
    for (int round = 0; round < 300; ++round) {
        QByteArray bytes;
        const int size = random.bounded(3000);
        for (int i = 0; i < size; ++i) {
            const int choice = random.bounded(4);
            bytes += choice == 0   ? QByteArray("mtrsl")
                     : choice == 1 ? QByteArray(1, char(random.bounded(256)))
                                   : QByteArray(1, alphabet[random.bounded(int(alphabet.size()))]);
        }
        const QString area = decode(bytes);
        const QList<CurrentResult> parsed = parseRecords(area, Options{});
        qsizetype expected = 0;
        for (const QString& piece : splitPieces(area))
            expected += isRecord(piece) ? 1 : 0;
        QCOMPARE(parsed.size(), expected);
    }
}

QTEST_GUILESS_MAIN(tst_MessageParser)
#include "tst_MessageParser.moc"
