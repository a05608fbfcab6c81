#include "common/DateFormats.h"
#include "common/Numbers.h"

#include <QTest>

class TestNumbers : public QObject
{
    Q_OBJECT

private slots:
    void lenientConversion_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::newRow("plain") << "2.35" << 2.35;
        QTest::newRow("blanks around") << "  12 " << 12.0;
        QTest::newRow("blanks inside") << "1 2.5" << 12.5;
        QTest::newRow("unit after") << "3.4 mg/l" << 3.4;
        QTest::newRow("sign first") << "< 8.1" << 0.0;
        QTest::newRow("negative") << "-0.5" << -0.5;
        QTest::newRow("leading point") << ".5" << 0.5;
        QTest::newRow("exponent") << "1.5e3x" << 1500.0;
        QTest::newRow("bare exponent letter") << "12e" << 12.0;
        QTest::newRow("too large") << "1e400" << 0.0;
        QTest::newRow("text") << "abc" << 0.0;
        QTest::newRow("empty") << "" << 0.0;
        QTest::newRow("sign only") << "-" << 0.0;
        QTest::newRow("arabic digits are not read") << QString::fromUtf8("٣") << 0.0;
    }
    void lenientConversion()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        QCOMPARE(Numbers::toNumber(text), value);
    }

    void shortestText_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("whole") << 12.0 << "12";
        QTest::newRow("fraction") << 2.35 << "2.35";
        QTest::newRow("binary noise hidden") << 0.1 + 0.2 << "0.3";
        QTest::newRow("negative zero") << -0.0 << "0";
        QTest::newRow("small") << 0.00001 << "0.00001";
        QTest::newRow("large") << 1e20 << "100000000000000000000";
        QTest::newRow("negative") << -3.5 << "-3.5";
    }
    void shortestText()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        QCOMPARE(Numbers::toText(value), text);
    }

    void englishDatesWhateverTheLocale()
    {
        QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));
        const QDate d(2026, 12, 5);
        QCOMPARE(DateFormats::dayMonthYear(d), QString("05-Dec-2026"));
        QCOMPARE(DateFormats::longDate(d), QString("Saturday, 05 Dec 2026"));
        QCOMPARE(DateFormats::slashDate(d), QString("05/12/2026"));
        QCOMPARE(DateFormats::timeAmPm(QTime(14, 7)), QString("02:07 PM"));
        QCOMPARE(DateFormats::timeAmPm(QTime(0, 5)), QString("12:05 AM"));
        QCOMPARE(DateFormats::timeAmPm(QTime(12, 0)), QString("12:00 PM"));
        QCOMPARE(DateFormats::parseTime("9:42"), QTime(9, 42));
        QVERIFY(!DateFormats::parseTime("25:00").isValid());
        QVERIFY(!DateFormats::parseTime("later").isValid());
        QLocale::setDefault(QLocale::c());
    }
};

QTEST_GUILESS_MAIN(TestNumbers)
#include "tst_Numbers.moc"
