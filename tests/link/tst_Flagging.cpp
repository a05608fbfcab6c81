#include "link/Flagging.h"

#include <QTest>

namespace {

CurrentResult evaluated(const QString& value, const QString& lo, const QString& hi, const QString& reading = {})
{
    CurrentResult r;
    r.Txt_resultt3 = value;
    r.Txt_resultt2 = reading;
    r.Txt_resultt1 = reading.isEmpty() ? value : (value.isEmpty() ? reading : reading + " (" + value + ")");
    r.Txt_TEST_min = lo;
    r.Txt_TEST_max = hi;
    r.Txt_TEST_minEX = QStringLiteral("L");
    r.Txt_TEST_maxEX = QStringLiteral("H");
    r.Txt_LOWCOMMENT = QStringLiteral("below the range");
    r.Txt_HIGHCOMMENT = QStringLiteral("above the range");
    return r;
}

} // namespace

class tst_Flagging : public QObject
{
    Q_OBJECT

private slots:
    void limits_data();
    void limits();
    void missingFlagTextsLeaveNoFlag();
    void bothSidesHighWins();
    void autoComment_data();
    void autoComment();
    void shades_data();
    void shades();
};

void tst_Flagging::limits_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("lo");
    QTest::addColumn<QString>("hi");
    QTest::addColumn<QString>("reading");
    QTest::addColumn<QString>("flag");

    QTest::newRow("just below") << "9.99"
                                << "10"
                                << "20"
                                << ""
                                << "L";
    QTest::newRow("at low") << "10"
                            << "10"
                            << "20"
                            << ""
                            << "";
    QTest::newRow("inside") << "15"
                            << "10"
                            << "20"
                            << ""
                            << "";
    QTest::newRow("at high") << "20"
                             << "10"
                             << "20"
                             << ""
                             << "";
    QTest::newRow("just above") << "20.01"
                                << "10"
                                << "20"
                                << ""
                                << "H";
    QTest::newRow("< at low") << "< 10"
                              << "10"
                              << "20"
                              << ""
                              << "L";
    QTest::newRow("< below low") << "< 5"
                                 << "10"
                                 << "20"
                                 << ""
                                 << "L";
    QTest::newRow("< inside") << "< 15"
                              << "10"
                              << "20"
                              << ""
                              << "";
    QTest::newRow("< at high") << "< 20"
                               << "10"
                               << "20"
                               << ""
                               << "";
    QTest::newRow("> at high") << "> 20"
                               << "10"
                               << "20"
                               << ""
                               << "H";
    QTest::newRow("> above high") << "> 1200"
                                  << "10"
                                  << "20"
                                  << ""
                                  << "H";
    QTest::newRow("> inside") << "> 15"
                              << "10"
                              << "20"
                              << ""
                              << "";
    QTest::newRow("> at low") << "> 10"
                              << "10"
                              << "20"
                              << ""
                              << "";
    QTest::newRow("only high: zero") << "0"
                                     << ""
                                     << "6"
                                     << ""
                                     << "";
    QTest::newRow("only high: inside") << "3.4"
                                       << ""
                                       << "6"
                                       << ""
                                       << "";
    QTest::newRow("only high: negative") << "-1"
                                         << ""
                                         << "6"
                                         << ""
                                         << "L";
    QTest::newRow("only high: above") << "6.5"
                                      << ""
                                      << "6"
                                      << ""
                                      << "H";
    QTest::newRow("only low: above 0") << "3"
                                       << "2"
                                       << ""
                                       << ""
                                       << "H";
    QTest::newRow("no limits") << "3"
                               << ""
                               << ""
                               << ""
                               << "";
    QTest::newRow("letters read as 0") << "abc"
                                       << "10"
                                       << "20"
                                       << ""
                                       << "L";
    QTest::newRow("too large read as 0") << "1e400"
                                         << "10"
                                         << "20"
                                         << ""
                                         << "L";
    QTest::newRow("sign alone") << ">"
                                << "10"
                                << "20"
                                << ""
                                << "L";
    QTest::newRow("minus zero") << "-0"
                                << "0"
                                << "5"
                                << ""
                                << "";
    QTest::newRow("Positive whatever the value") << "0.01"
                                                 << "10"
                                                 << "20"
                                                 << "Positive"
                                                 << " *";
    QTest::newRow("Positive without limits") << ""
                                             << ""
                                             << ""
                                             << "Positive"
                                             << " *";
    QTest::newRow("Negative whatever the value") << "999"
                                                 << "10"
                                                 << "20"
                                                 << "Negative"
                                                 << "";
    QTest::newRow("other reading: by value") << "25"
                                             << "10"
                                             << "20"
                                             << "Positif"
                                             << "H";
}

void tst_Flagging::limits()
{
    QFETCH(QString, value);
    QFETCH(QString, lo);
    QFETCH(QString, hi);
    QFETCH(QString, reading);
    QFETCH(QString, flag);
    CurrentResult r = evaluated(value, lo, hi, reading);
    Flagging::Flag(r, false);
    QCOMPARE(r.Txt_TEST_F, flag);
    QVERIFY(r.txt_comment.isEmpty());
}

void tst_Flagging::missingFlagTextsLeaveNoFlag()
{
    CurrentResult r = evaluated(QStringLiteral("25"), QStringLiteral("10"), QStringLiteral("20"));
    r.Txt_TEST_maxEX.clear();
    QCOMPARE(Flagging::Flag(r, false), Flagging::Outcome::Unflagged);
    QCOMPARE(r.Txt_TEST_F, QString());

    // Without limits the flag is left as it was.
    CurrentResult kept = evaluated(QStringLiteral("25"), {}, {});
    kept.Txt_TEST_F = QStringLiteral("earlier");
    QCOMPARE(Flagging::Flag(kept, true), Flagging::Outcome::NoLimits);
    QCOMPARE(kept.Txt_TEST_F, QStringLiteral("earlier"));

    // No result: the flag is cleared.
    CurrentResult none;
    none.Txt_TEST_F = QStringLiteral("earlier");
    QCOMPARE(Flagging::Flag(none, true), Flagging::Outcome::NoResult);
    QCOMPARE(none.Txt_TEST_F, QString());
}

void tst_Flagging::bothSidesHighWins()
{
    // A low limit above the high one: a value between them is both low and high; high is written.
    CurrentResult s = evaluated(QStringLiteral("7"), QStringLiteral("10"), QStringLiteral("5"));
    Flagging::Flag(s, true);
    QCOMPARE(s.Txt_TEST_F, QStringLiteral("H"));
    QCOMPARE(s.txt_comment, QStringLiteral("above the range"));
}

void tst_Flagging::autoComment_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("minEX");
    QTest::addColumn<QString>("maxEX");
    QTest::addColumn<bool>("on");
    QTest::addColumn<QString>("comment");

    QTest::newRow("low") << "5"
                         << "L"
                         << "H" << true << "below the range";
    QTest::newRow("high") << "25"
                          << "L"
                          << "H" << true << "above the range";
    QTest::newRow("normal gets none") << "15"
                                      << "L"
                                      << "H" << true << "";
    QTest::newRow("setting off") << "5"
                                 << "L"
                                 << "H" << false << "";
    // The comparison is plain text: a signed value inside the range keeps an empty flag, which
    // equals an empty low flag text.
    QTest::newRow("signed inside, no low text") << "< 15"
                                                << ""
                                                << "H" << true << "below the range";
    QTest::newRow("signed inside, both texts") << "< 15"
                                               << "L"
                                               << "H" << true << "";
    QTest::newRow("same text both sides: low wins") << "25"
                                                    << "*"
                                                    << "*" << true << "below the range";
}

void tst_Flagging::autoComment()
{
    QFETCH(QString, value);
    QFETCH(QString, minEX);
    QFETCH(QString, maxEX);
    QFETCH(bool, on);
    QFETCH(QString, comment);
    CurrentResult r = evaluated(value, QStringLiteral("10"), QStringLiteral("20"));
    r.Txt_TEST_minEX = minEX;
    r.Txt_TEST_maxEX = maxEX;
    Flagging::Flag(r, on);
    QCOMPARE(r.txt_comment, comment);

    // An empty range comment leaves the comment as it was.
    CurrentResult keep = evaluated(value, QStringLiteral("10"), QStringLiteral("20"));
    keep.Txt_TEST_minEX = minEX;
    keep.Txt_TEST_maxEX = maxEX;
    keep.Txt_LOWCOMMENT.clear();
    keep.Txt_HIGHCOMMENT.clear();
    keep.txt_comment = QStringLiteral("typed");
    Flagging::Flag(keep, on);
    QCOMPARE(keep.txt_comment, QStringLiteral("typed"));
}

void tst_Flagging::shades_data()
{
    using S = Flagging::Shade;
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("reading");
    QTest::addColumn<QString>("lo");
    QTest::addColumn<int>("shade");
    QTest::addColumn<QColor>("colour");
    const QColor red(255, 192, 192), green(214, 254, 242), white(255, 255, 255);
    QTest::newRow("no result") << ""
                               << ""
                               << "10" << int(S::NoResult) << white;
    QTest::newRow("high") << "25"
                          << ""
                          << "10" << int(S::Flagged) << red;
    QTest::newRow("positive") << ""
                              << "Positive"
                              << "10" << int(S::Flagged) << red;
    QTest::newRow("normal") << "15"
                            << ""
                            << "10" << int(S::Normal) << green;
    QTest::newRow("negative") << ""
                              << "Negative"
                              << "10" << int(S::Normal) << green;
    QTest::newRow("signed inside") << "< 15"
                                   << ""
                                   << "10" << int(S::Plain) << white;
    QTest::newRow("no limits") << "15"
                               << ""
                               << "" << int(S::Plain) << white;
}

void tst_Flagging::shades()
{
    QFETCH(QString, value);
    QFETCH(QString, reading);
    QFETCH(QString, lo);
    QFETCH(int, shade);
    QFETCH(QColor, colour);
    CurrentResult r = evaluated(value, lo, lo.isEmpty() ? QString() : QStringLiteral("20"), reading);
    Flagging::Flag(r, false);
    QCOMPARE(int(Flagging::shadeOf(r)), shade);
    QCOMPARE(Flagging::background(Flagging::shadeOf(r)), colour);
    QCOMPARE(Flagging::flagColour(), QColor(0, 0, 255));
}

QTEST_GUILESS_MAIN(tst_Flagging)
#include "tst_Flagging.moc"
