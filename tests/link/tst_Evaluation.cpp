#include "link/Evaluation.h"

#include <QSqlField>
#include <QTest>

namespace {

// A row as a query returns it; a QVariant without value stands for a null of the column.
QSqlRecord row(const QList<std::pair<const char*, QVariant>>& columns)
{
    QSqlRecord record;
    for (const auto& [name, value] : columns) {
        QSqlField field(QString::fromLatin1(name), value.isValid() ? value.metaType() : QMetaType::fromType<QString>());
        if (value.isValid())
            field.setValue(value);
        else
            field.clear();
        record.append(field);
    }
    return record;
}

CurrentResult patient(const QString& code, const QString& kind, const QString& sex, const QString& age,
                      const QString& unit, int pregnant = 0)
{
    CurrentResult r;
    r.Txt_CODE = code;
    r.Txt_REFRANGE = kind;
    r.LblSex = sex;
    r.LblAgeN = age;
    r.LblAgeU = unit;
    r.Chk_pregsmok = pregnant;
    return r;
}

} // namespace

class tst_Evaluation : public QObject
{
    Q_OBJECT

private slots:
    void catalogueQueryBindsTheAssay();
    void ambiguousAssayIsMarked_data();
    void ambiguousAssayIsMarked();
    void catalogueRowFillsWhatIsNotNull();
    void factor_data();
    void factor();
    void rangeChoice_data();
    void rangeChoice();
    void rangeRowFillsWhatIsNotNull();
};

void tst_Evaluation::catalogueQueryBindsTheAssay()
{
    const BoundQuery q = Evaluation::catalogueQuery(QStringLiteral("O'TSH"));
    QCOMPARE(q.sql, QStringLiteral("SELECT * FROM testtable where shortAssay=? "));
    QCOMPARE(q.values, QVariantList{QStringLiteral("O'TSH")});
}

void tst_Evaluation::ambiguousAssayIsMarked_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("name");
    QTest::newRow("two") << 2 << ">> TSH";
    QTest::newRow("three") << 3 << ">>> TSH";
    QTest::newRow("four") << 4 << ">>>> TSH";
    QTest::newRow("five") << 5 << ">>>>> TSH";
    QTest::newRow("twelve") << 12 << ">>>>> TSH";
}

void tst_Evaluation::ambiguousAssayIsMarked()
{
    QFETCH(int, rows);
    QFETCH(QString, name);
    QCOMPARE(Evaluation::ambiguousName(rows, QStringLiteral("TSH")), name);
}

void tst_Evaluation::catalogueRowFillsWhatIsNotNull()
{
    CurrentResult r;
    Evaluation::takeCatalogueRow(row({{"testcode", qlonglong(7)},
                                      {"shortAssay", QStringLiteral("TSH")},
                                      {"crvtestid", qlonglong(501)},
                                      {"testsimp", QStringLiteral("Thyroid stimulating")},
                                      {"testabrev", QStringLiteral("TSH")},
                                      {"REFRANGE", QStringLiteral("2")},
                                      {"subgroupname", QStringLiteral("Thyroid")},
                                      {"correctfactors", 1.25}}),
                                 r);
    QCOMPARE(r.Txt_CODE, QStringLiteral("7"));
    QCOMPARE(r.Txt_CRVTESTCODE, QStringLiteral("501"));
    QCOMPARE(r.Txt_testsimp, QStringLiteral("Thyroid stimulating"));
    QCOMPARE(r.Txt_testabrev, QStringLiteral("TSH"));
    QCOMPARE(r.Txt_REFRANGE, QStringLiteral("2"));
    QCOMPARE(r.Txt_subgroupname, QStringLiteral("Thyroid"));
    QCOMPARE(r.Txt_correctfactors, QStringLiteral("1.25"));

    // Every optional column null: the fields keep their reset values, the factor stays 1.
    CurrentResult empty;
    Evaluation::takeCatalogueRow(row({{"testcode", qlonglong(8)},
                                      {"crvtestid", {}},
                                      {"testsimp", {}},
                                      {"testabrev", {}},
                                      {"REFRANGE", {}},
                                      {"subgroupname", {}},
                                      {"correctfactors", {}}}),
                                 empty);
    QCOMPARE(empty.Txt_CODE, QStringLiteral("8"));
    QVERIFY(empty.Txt_CRVTESTCODE.isEmpty());
    QVERIFY(empty.Txt_testsimp.isEmpty());
    QVERIFY(empty.Txt_REFRANGE.isEmpty());
    QCOMPARE(empty.Txt_correctfactors, QStringLiteral("1"));
}

void tst_Evaluation::factor_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("factor");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << "2.35"
                           << "2"
                           << "4.7";
    QTest::newRow("factor one") << "2.35"
                                << "1"
                                << "2.35";
    QTest::newRow("rounding noise") << "0.1"
                                    << "3"
                                    << "0.3";
    QTest::newRow("below sign") << "< 0.5"
                                << "2"
                                << "< 1";
    QTest::newRow("above sign") << "> 1200"
                                << "0.5"
                                << "> 600";
    QTest::newRow("sign without blank") << "<0.5"
                                        << "2"
                                        << "< 1";
    QTest::newRow("negative factor") << "4"
                                     << "-0.5"
                                     << "-2";
    QTest::newRow("zero factor") << "2.35"
                                 << "0"
                                 << "2.35";
    QTest::newRow("empty factor") << "2.35"
                                  << ""
                                  << "2.35";
    QTest::newRow("text factor") << "2.35"
                                 << "x"
                                 << "2.35";
    QTest::newRow("zero value") << "0"
                                << "2"
                                << "0";
    QTest::newRow("minus zero") << "-0"
                                << "2"
                                << "-0";
    QTest::newRow("sign alone") << "<"
                                << "2"
                                << "<";
    QTest::newRow("sign and blank") << "> "
                                    << "2"
                                    << "> ";
    QTest::newRow("letters") << "abc"
                             << "2"
                             << "abc";
    QTest::newRow("too large to read") << "1e400"
                                       << "2"
                                       << "1e400";
    QTest::newRow("too large a product") << "1e300"
                                         << "1e300"
                                         << "1e300";
    QTest::newRow("leading number") << "12abc"
                                    << "2"
                                    << "24";
    QTest::newRow("empty") << ""
                           << "2"
                           << "";
}

void tst_Evaluation::factor()
{
    QFETCH(QString, value);
    QFETCH(QString, factor);
    QFETCH(QString, expected);
    QCOMPARE(Evaluation::applyFactor(value, factor), expected);
}

void tst_Evaluation::rangeChoice_data()
{
    using Case = Evaluation::RangeCase;
    QTest::addColumn<CurrentResult>("record");
    QTest::addColumn<int>("which");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QVariantList>("values");

    const QString forAll = "SELECT * FROM normalrange where testcode=? and REFRANGE='1' and pregsmok = ? ";
    const QString byAge = "SELECT * FROM normalrange where testcode=? and REFRANGE='2' and ageunit=? and firstold <= ? "
                          "and secondold >= ? and pregsmok = ? ";
    const QString bySex = "SELECT * FROM normalrange where testcode=? and sex=? and REFRANGE='3' and pregsmok = ? ";
    const QString both = "SELECT * FROM normalrange where testcode=? and sex=? and ageunit=? and firstold <= ? and "
                         "secondold >= ?  and pregsmok = ? ";

    QTest::newRow("1: nothing but the state")
        << patient("7", "1", "", "", "", 1) << int(Case::ForAll) << forAll << QVariantList{qlonglong(7), "1"};
    QTest::newRow("1: ignores sex and age")
        << patient("7", "1", "Male", "40", "Years") << int(Case::ForAll) << forAll << QVariantList{qlonglong(7), "0"};
    QTest::newRow("2: by age") << patient("7", "2", "", "5", "Years") << int(Case::ByAge) << byAge
                               << QVariantList{qlonglong(7), "Years", 5.0, 5.0, "0"};
    QTest::newRow("2: age 0 falls to 4, no sex")
        << patient("7", "2", "", "0", "Years") << int(Case::None) << QString() << QVariantList{};
    QTest::newRow("2: no unit, sex known")
        << patient("7", "2", "Female", "30", "") << int(Case::None) << QString() << QVariantList{};
    QTest::newRow("3: by sex") << patient("7", "3", "Female", "", "", 1) << int(Case::BySex) << bySex
                               << QVariantList{qlonglong(7), "Female", "1"};
    QTest::newRow("3: no sex falls through")
        << patient("7", "3", "", "30", "Years") << int(Case::None) << QString() << QVariantList{};
    QTest::newRow("0: sex and age") << patient("7", "0", "Male", "45", "Years") << int(Case::BySexAndAge) << both
                                    << QVariantList{qlonglong(7), "Male", "Years", 45.0, 45.0, "0"};
    QTest::newRow("empty kind: sex and age") << patient("7", "", "Male", "2.5", "Mons.") << int(Case::BySexAndAge)
                                             << both << QVariantList{qlonglong(7), "Male", "Mons.", 2.5, 2.5, "0"};
    QTest::newRow("0: age missing") << patient("7", "0", "Male", "", "Years") << int(Case::None) << QString()
                                    << QVariantList{};
    QTest::newRow("0: sex missing") << patient("7", "0", "", "45", "Years") << int(Case::None) << QString()
                                    << QVariantList{};
    QTest::newRow("no test code") << patient("", "1", "Male", "45", "Years") << int(Case::None) << QString()
                                  << QVariantList{};
    QTest::newRow("code zero") << patient("0", "1", "", "", "") << int(Case::None) << QString() << QVariantList{};
    QTest::newRow("2 with age and sex: by age") << patient("9", "2", "Male", "45", "Years") << int(Case::ByAge) << byAge
                                                << QVariantList{qlonglong(9), "Years", 45.0, 45.0, "0"};
}

void tst_Evaluation::rangeChoice()
{
    QFETCH(CurrentResult, record);
    QFETCH(int, which);
    QFETCH(QString, sql);
    QFETCH(QVariantList, values);
    const Evaluation::RangeChoice choice = Evaluation::rangeQuery(record);
    QCOMPARE(int(choice.which), which);
    QCOMPARE(choice.query.sql, sql);
    QCOMPARE(choice.query.values, values);
}

void tst_Evaluation::rangeRowFillsWhatIsNotNull()
{
    CurrentResult r;
    r.Txt_TESTUNIT = QStringLiteral("mU/l");
    Evaluation::takeRangeRow(row({{"normalid", qlonglong(3)},
                                  {"testunit", QStringLiteral("uUI/ml")},
                                  {"normalrang", QStringLiteral("0.25 - 5")},
                                  {"lowlimit", 0.25},
                                  {"highlimit", 5.0},
                                  {"nolowexe", QStringLiteral("L")},
                                  {"nohighexe", QStringLiteral("H")},
                                  {"lowcomment", QStringLiteral("low")},
                                  {"highcomment", QStringLiteral("high")}}),
                             r);
    QCOMPARE(r.Txt_TESTUNIT, QStringLiteral("uUI/ml"));
    QCOMPARE(r.Txt_TESTNOTRMAL, QStringLiteral("0.25 - 5"));
    QCOMPARE(r.Txt_TEST_min, QStringLiteral("0.25"));
    QCOMPARE(r.Txt_TEST_max, QStringLiteral("5"));
    QCOMPARE(r.Txt_TEST_minEX, QStringLiteral("L"));
    QCOMPARE(r.Txt_TEST_maxEX, QStringLiteral("H"));
    QCOMPARE(r.Txt_LOWCOMMENT, QStringLiteral("low"));
    QCOMPARE(r.Txt_HIGHCOMMENT, QStringLiteral("high"));

    // All null: the unit of the message stays, nothing else is filled.
    CurrentResult bare;
    bare.Txt_TESTUNIT = QStringLiteral("mg/l");
    Evaluation::takeRangeRow(row({{"testunit", {}},
                                  {"normalrang", {}},
                                  {"lowlimit", {}},
                                  {"highlimit", {}},
                                  {"nolowexe", {}},
                                  {"nohighexe", {}},
                                  {"lowcomment", {}},
                                  {"highcomment", {}}}),
                             bare);
    QCOMPARE(bare.Txt_TESTUNIT, QStringLiteral("mg/l"));
    QVERIFY(bare.Txt_TEST_min.isEmpty() && bare.Txt_TEST_max.isEmpty() && bare.Txt_TEST_minEX.isEmpty());
}

QTEST_GUILESS_MAIN(tst_Evaluation)
#include "tst_Evaluation.moc"
