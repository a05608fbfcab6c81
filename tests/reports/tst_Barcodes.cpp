#include "BarcodeScan.h"
#include "reports/Barcodes.h"
#include "reports/ReportRenderer.h"

#include <QRandomGenerator>
#include <QTest>

using namespace Barcodes;

// The EAN-13 encoder against published GS1 numbers, its edge cases, and its bars read back by a
// decoder of the test's own, from module text and from pictures painted by the report renderer.
class tst_Barcodes : public QObject
{
    Q_OBJECT

private slots:
    void encodes_data();
    void encodes();
    void tables();
    void barsScanBack();
    void paintedSymbolScans_data();
    void paintedSymbolScans();
};

void tst_Barcodes::encodes_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("symbol");  // the font text; empty: not encoded
    QTest::addColumn<QString>("scanned"); // what the bars carry

    // Published GS1 examples: 590123412345|7, 400638133393|1, 978020137962|4, 0036000291452.
    QTest::newRow("5901234123457") << "590123412345"
                                   << "v{{{|JQRCDU{|{123457|"
                                   << "5901234123457";
    QTest::newRow("same with its check digit") << "5901234123457"
                                               << "v{{{|JQRCDU{|{123457|"
                                               << "5901234123457";
    QTest::newRow("wrong 13th digit gets the right one") << "5901234123450"
                                                         << "v{{{|JQRCDU{|{123457|"
                                                         << "5901234123457";
    QTest::newRow("4006381333931") << "400638133393"
                                   << "u{{{|AQGDYR{|{333931|"
                                   << "4006381333931";
    QTest::newRow("9780201379624") << "978020137962"
                                   << "z{{{|HYQCQB{|{379624|"
                                   << "9780201379624";
    QTest::newRow("first digit 0: all parity A") << "003600029145"
                                                 << "q{{{|ADGAAA{|{291452|"
                                                 << "0036000291452";
    QTest::newRow("EAN-2 12 (value mod 4 = 0: AA)") << "59012341234512"
                                                    << "v{{{|JQRCDU{|{123457|}m,n."
                                                    << "5901234123457+12";
    QTest::newRow("EAN-2 after a check digit") << "590123412345713"
                                               << "v{{{|JQRCDU{|{123457|}m,nO"
                                               << "5901234123457+13";
    QTest::newRow("EAN-5 52495 (checksum 1: BABAA)") << "59012341234552495"
                                                     << "v{{{|JQRCDU{|{123457|}m[n.nPnKn;"
                                                     << "5901234123457+52495";
    QTest::newRow("EAN-5 after a check digit") << "590123412345700007"
                                               << "v{{{|JQRCDU{|{123457|}mLn+nLn+n?"
                                               << "5901234123457+00007";
    QTest::newRow("11 digits") << "59012341234"
                               << ""
                               << "";
    QTest::newRow("16 digits") << "5901234123457123"
                               << ""
                               << "";
    QTest::newRow("19 digits") << "5901234123457123456"
                               << ""
                               << "";
    QTest::newRow("a letter") << "59012341234X"
                              << ""
                              << "";
    QTest::newRow("Arabic-Indic digits") << QString::fromUtf8("٥٩٠١٢٣٤١٢٣٤٥") << ""
                                         << "";
    QTest::newRow("a blank") << "590123412345 "
                             << ""
                             << "";
    QTest::newRow("empty") << ""
                           << ""
                           << "";
}

void tst_Barcodes::encodes()
{
    QFETCH(QString, input);
    QFETCH(QString, symbol);
    QFETCH(QString, scanned);
    QCOMPARE(EncodeEAN13(input), symbol);
    const Bars bars = barsOf(symbol);
    QCOMPARE(bars.isValid(), !symbol.isEmpty());
    QCOMPARE(BarcodeScan::decodeModules(bars.modules), scanned);
    if (bars.isValid()) {
        QString readable = bars.firstDigit;
        for (const auto& d : bars.digits)
            readable += (d.addOn && !readable.contains(u'+') ? QStringLiteral("+") : QString()) + d.digit;
        QCOMPARE(readable, scanned); // the digits printed under the bars
        QCOMPARE(bars.modules.size(), bars.guards.size());
    }
}

void tst_Barcodes::tables()
{
    // Check digits of GS1 examples, and every weight position once.
    QCOMPARE(EANCheckDigit("590123412345"), QString("7"));
    QCOMPARE(EANCheckDigit("400638133393"), QString("1"));
    QCOMPARE(EANCheckDigit("000000000001"), QString("7")); // weight 3 on the last digit
    QCOMPARE(EANCheckDigit("000000000010"), QString("9")); // weight 1 on the one before
    QCOMPARE(EANCheckDigit("260114000123"), QString("0")); // 10 becomes 0
    QCOMPARE(EANCheckDigit("12345"), QString());

    // Parity of the left half by first digit (GS1), and the add-on parities.
    const QStringList ean13 = {"AAAAAA", "AABABB", "AABBAB", "AABBBA", "ABAABB",
                               "ABBAAB", "ABBBAA", "ABABAB", "ABABBA", "ABBABA"};
    for (int first = 0; first < 10; ++first) {
        QString row;
        for (int position = 1; position <= 6; ++position)
            row += ParityPattern(position, first);
        QCOMPARE(row, ean13[first]);
    }
    QCOMPARE(ParityPattern(0, 1), QString());
    QCOMPARE(ParityPattern(7, 1), QString());
    QCOMPARE(EncodeAddOn("00"), QString("m+n+")); // AA
    QCOMPARE(EncodeAddOn("01"), QString("m+nM")); // AB
    QCOMPARE(EncodeAddOn("02"), QString("mLn.")); // BA
    QCOMPARE(EncodeAddOn("03"), QString("mLnO")); // BB
    QCOMPARE(EncodeAddOn("123"), QString());
    QCOMPARE(EncodeAddOn("1a"), QString());
    QCOMPARE(MapDigit(10, setB), QString());

    // Damaged or foreign texts have no bars.
    QVERIFY(!barsOf("2601140009").isValid());
    QVERIFY(!barsOf("v{{{|JQRCDJ{|{123457|").isValid()); // parity of no first digit
    QVERIFY(!barsOf("v{{{|JQRCDU{|{123457|x").isValid());
    QVERIFY(!barsOf("v{{{|JQRCDU{|{123457|}m,").isValid()); // add-on of one digit
    QVERIFY(!barsOf("v{{{|JQRCDU{|{12345A|").isValid());
}

void tst_Barcodes::barsScanBack()
{
    // Random numbers with and without add-ons come back as encoded.
    QRandomGenerator random(20261205);
    for (int i = 0; i < 500; ++i) {
        QString data;
        for (int d = 0; d < 12; ++d)
            data += QChar(u'0' + random.bounded(10));
        const int extra = QList<int>{0, 2, 5}.at(random.bounded(3));
        QString addOn;
        for (int d = 0; d < extra; ++d)
            addOn += QChar(u'0' + random.bounded(10));
        const QString expected = data + EANCheckDigit(data) + (addOn.isEmpty() ? QString() : u'+' + addOn);
        QCOMPARE(BarcodeScan::decodeModules(barsOf(EncodeEAN13(data + addOn)).modules), expected);
    }
}

void tst_Barcodes::paintedSymbolScans_data()
{
    QTest::addColumn<QString>("digits");
    QTest::addColumn<double>("width"); // twips of the control
    QTest::addColumn<int>("dpi");

    QTest::newRow("A4 Lblid, 300 dpi") << "2601140001230" << 2700.0 << 300;
    QTest::newRow("A5 Lblid, 300 dpi") << "2601140001230" << 2205.0 << 300;
    QTest::newRow("A5 Lblid, 600 dpi") << "5901234123457" << 2205.0 << 600;
    QTest::newRow("A4, 203 dpi label printer") << "4006381333931" << 2700.0 << 203;
    QTest::newRow("with EAN-5, 600 dpi") << "590123412345752495" << 3600.0 << 600;
}

void tst_Barcodes::paintedSymbolScans()
{
    QFETCH(QString, digits);
    QFETCH(double, width);
    QFETCH(int, dpi);
    ReportLayout layout;
    layout.paper = Paper::A5;
    layout.leftMargin = 500;
    ReportControl id;
    id.name = QStringLiteral("Lblid");
    id.caption = EncodeEAN13(digits);
    id.barcodeFont = true;
    id.left = 100;
    id.top = 200;
    id.width = width;
    id.height = 420;
    layout.sections << ReportSection{QStringLiteral("Section4"), 1000, {id}};
    const QImage page = ReportRenderer::toImages(layout, dpi).value(0);
    QVERIFY(!page.isNull());

    const double dots = dpi / 1440.0;
    // Near the top the symbol's bars stand alone; the add-on's start below its digits.
    const int y = int((layout.topMargin + id.top + (digits.size() > 13 ? 220 : 40)) * dots);
    const auto scan =
        BarcodeScan::scanRow(page, y, int((500 + id.left - 50) * dots), int((500 + id.left + width + 50) * dots));
    const QString expected = digits.size() > 13 ? digits.left(13) + u'+' + digits.mid(13) : digits;
    QCOMPARE(scan.digits, expected);
    QVERIFY2(scan.evenWidths, "bars and spaces are whole modules");
    // GS1: modules from 0.264 mm (80 %), here near the nominal 0.33 mm; 11 light modules on the
    // left and 7 on the right.
    const double moduleMm = scan.moduleDots / dpi * 25.4;
    QVERIFY2(moduleMm >= 0.264 && moduleMm <= 0.4, qPrintable(QString::number(moduleMm)));
    QVERIFY2(scan.leftQuiet >= 11, qPrintable(QString::number(scan.leftQuiet)));
    QVERIFY2(scan.rightQuiet >= 7, qPrintable(QString::number(scan.rightQuiet)));
}

QTEST_MAIN(tst_Barcodes)
#include "tst_Barcodes.moc"
