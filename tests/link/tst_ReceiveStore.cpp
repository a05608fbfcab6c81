#include "ChainLab.h"

#include <QTest>

// Evaluation, patient matching and storage on SQLite databases, through the whole chain.
class tst_ReceiveStore : public QObject
{
    Q_OBJECT

private slots:
    void catalogueAndFactor();
    void ambiguousAssay();
    void rangeByKind_data();
    void rangeByKind();
    void nullsEverywhere();
    void identifierModes_data();
    void identifierModes();
    void duplicateOverwritesOrAdds();
    void leadingZerosMatchThemselves();
    void withoutSample();
    void awkwardValues_data();
    void awkwardValues();
};

void tst_ReceiveStore::catalogueAndFactor()
{
    ChainLab lab;
    QVERIFY(lab.created);
    lab.start();
    lab.addTest("TSH", 501, 2.0, "1", "Thyrotropin");
    lab.addTest("CRP", {}, {}, "1"); // a null factor counts as 1
    lab.addTest("FER", 505, 0.0, "1");
    lab.receive({ChainLab::result("260114000123", "TSH", "< 0.5 uUI/ml"),
                 ChainLab::result("260114000124", "CRP", "3.4"), ChainLab::result("260114000125", "FER", "120 ng/ml"),
                 ChainLab::result("260114000126", "XYZ", "7")}); // not in the catalogue

    const QList<QSqlRecord> rows = lab.results();
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows[0].value("resultt3").toString(), QStringLiteral("< 1"));
    QCOMPARE(rows[0].value("resultt1").toString(), QStringLiteral("< 1"));
    QCOMPARE(rows[0].value("testsimp").toString(), QStringLiteral("Thyrotropin"));
    QCOMPARE(rows[1].value("resultt3").toString(), QStringLiteral("3.4"));
    QCOMPARE(rows[2].value("resultt3").toString(), QStringLiteral("120"));
    QCOMPARE(rows[3].value("resultt3").toString(), QStringLiteral("7"));
    QCOMPARE(rows[3].value("testcode").toInt(), 0);
    QCOMPARE(rows[3].value("testsimp").toString(), QStringLiteral("XYZ"));
    QCOMPARE(rows[3].value("testabrev").toString(), QStringLiteral("XYZ"));
    QCOMPARE(lab.counted, 4);
}

void tst_ReceiveStore::ambiguousAssay()
{
    ChainLab lab;
    QVERIFY(lab.created);
    lab.start();
    const qlonglong first = lab.addTest("TSH", 501, 2.0, "1");
    lab.addTest("TSH", 502, 3.0, "1");
    lab.addRange({{"testcode", first},
                  {"REFRANGE", "1"},
                  {"pregsmok", "0"},
                  {"lowlimit", 1.0},
                  {"highlimit", 2.0},
                  {"nohighexe", "H"}});
    lab.receive({ChainLab::result("260114000123", "TSH", "5")});
    QSqlRecord row = lab.results().value(0);
    QCOMPARE(row.value("testsimp").toString(), QStringLiteral(">> TSH"));
    QCOMPARE(row.value("resultt3").toString(), QStringLiteral("5")); // no factor
    QCOMPARE(row.value("testcode").toInt(), 0);                      // no code
    QCOMPARE(row.value("RESULTCASEPRINT").toString(), QString());    // no range
    QCOMPARE(row.value("testabrev").toString(), QStringLiteral("TSH"));

    lab.addTest("TSH", 503, 4.0, "1");
    lab.receive({ChainLab::result("260114000123", "TSH", "5")});
    row = lab.results().value(0);
    QCOMPARE(lab.results().size(), 1); // the same sample and assay: overwritten
    QCOMPARE(row.value("testsimp").toString(), QStringLiteral(">>> TSH"));
}

void tst_ReceiveStore::rangeByKind_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QVariant>("sex");
    QTest::addColumn<QVariant>("age");
    QTest::addColumn<QVariant>("unit");
    QTest::addColumn<QString>("moreinfo");
    QTest::addColumn<QString>("range");

    // Ranges: kind 1 by state; kind 2 age bands 1-5 and 6-17 years; kind 3 by sex; kind 0 by both.
    QTest::newRow("1, not pregnant") << "1" << QVariant("Female") << QVariant(30) << QVariant("Years") << "0000000000"
                                     << "all";
    QTest::newRow("1, pregnant") << "1" << QVariant("Female") << QVariant(30) << QVariant("Years") << "0000000010"
                                 << "all pregnant";
    QTest::newRow("2, age 1: lower bound") << "2" << QVariant() << QVariant(1) << QVariant("Years") << ""
                                           << "1-5";
    QTest::newRow("2, age 5: upper bound") << "2" << QVariant() << QVariant(5) << QVariant("Years") << ""
                                           << "1-5";
    QTest::newRow("2, age 6: next band") << "2" << QVariant() << QVariant(6) << QVariant("Years") << ""
                                         << "6-17";
    QTest::newRow("2, age 18: no band") << "2" << QVariant() << QVariant(18) << QVariant("Years") << ""
                                        << "";
    QTest::newRow("2, months do not match years") << "2" << QVariant() << QVariant(3) << QVariant("Mons.") << ""
                                                  << "";
    QTest::newRow("2, no age, sex known: nothing") << "2" << QVariant("Male") << QVariant() << QVariant("Years") << ""
                                                   << "";
    QTest::newRow("3, male") << "3" << QVariant("Male") << QVariant() << QVariant() << ""
                             << "male";
    QTest::newRow("3, female") << "3" << QVariant("Female") << QVariant(40) << QVariant("Years") << ""
                               << "female";
    QTest::newRow("3, no sex") << "3" << QVariant() << QVariant(40) << QVariant("Years") << ""
                               << "";
    QTest::newRow("0, male adult") << "0" << QVariant("Male") << QVariant(45) << QVariant("Years") << ""
                                   << "male 18+";
    QTest::newRow("0, male child") << "0" << QVariant("Male") << QVariant(17) << QVariant("Years") << ""
                                   << "";
    QTest::newRow("0, no age") << "0" << QVariant("Male") << QVariant() << QVariant("Years") << ""
                               << "";
}

void tst_ReceiveStore::rangeByKind()
{
    QFETCH(QString, kind);
    QFETCH(QVariant, sex);
    QFETCH(QVariant, age);
    QFETCH(QVariant, unit);
    QFETCH(QString, moreinfo);
    QFETCH(QString, range);

    ChainLab lab;
    QVERIFY(lab.created);
    lab.start();
    const qlonglong code = lab.addTest("VITD", 506, 1.0, kind);
    const auto add = [&](const char* name, const char* rangeKind, const QVariant& rsex, const QVariant& runit,
                         double from, double to, const char* p) {
        lab.addRange({{"testcode", code},
                      {"REFRANGE", rangeKind},
                      {"sex", ChainLab::orNull(rsex)},
                      {"ageunit", ChainLab::orNull(runit)},
                      {"firstold", from},
                      {"secondold", to},
                      {"pregsmok", p},
                      {"normalrang", name},
                      {"lowlimit", 10.0},
                      {"highlimit", 20.0}});
    };
    // Decoys first: a row of another kind, and one of another test that fits everything else.
    add("wrong kind", "3", "All", {}, 0, 0, "0");
    const qlonglong other = lab.addTest("OTHER", 599, 1.0, kind);
    lab.addRange({{"testcode", other},
                  {"REFRANGE", kind},
                  {"sex", ChainLab::orNull(sex)},
                  {"ageunit", ChainLab::orNull(unit)},
                  {"firstold", 0.0},
                  {"secondold", 200.0},
                  {"pregsmok", moreinfo == QLatin1String("0000000010") ? "1" : "0"},
                  {"normalrang", "other test"}});
    add("all", "1", "All", {}, 0, 0, "0");
    add("all pregnant", "1", "All", {}, 0, 0, "1");
    add("1-5", "2", "All", "Years", 1, 5, "0");
    add("6-17", "2", "All", "Years", 6, 17, "0");
    add("male", "3", "Male", {}, 0, 0, "0");
    add("female", "3", "Female", {}, 0, 0, "0");
    add("male 18+", "0", "Male", "Years", 18, 120, "0");
    lab.addPatient("2601140001230", sex, age, unit, moreinfo);

    lab.receive({ChainLab::result("260114000123", "VITD", "15")});
    const QSqlRecord row = lab.results().value(0);
    QCOMPARE(row.value("normalrang").toString(), range);
    QCOMPARE(row.value("patientid").toString(), QStringLiteral("2601140001230"));
    QCOMPARE(row.value("sending").toBool(), moreinfo == QLatin1String("0000000010"));
    QCOMPARE(row.value("lowlimit").toDouble(), range.isEmpty() ? 0.0 : 10.0);
}

void tst_ReceiveStore::nullsEverywhere()
{
    ChainLab lab;
    QVERIFY(lab.created);
    lab.start();
    const qlonglong code = lab.addTest("HBS", 508, {}, {});
    // A catalogue row of kind 0 meets a patient with sex, age and unit, and a range of nulls.
    QVERIFY(SqlRun::exec(lab.iface(), "UPDATE testtable SET REFRANGE=NULL, testsimp=NULL WHERE testcode=?", {code}));
    lab.addRange({{"testcode", code},
                  {"sex", "Male"},
                  {"ageunit", "Years"},
                  {"firstold", 0.0},
                  {"secondold", 99.0},
                  {"pregsmok", "0"}});
    lab.addPatient("2601140001230", "Male", 45, "Years", QVariant());
    QVERIFY(SqlRun::exec(lab.lis(), "UPDATE patientinfo SET patientnamear=NULL, patientsefa=NULL, referredbysefa=NULL, "
                                    "referredbyname=NULL WHERE patientid='2601140001230'"));
    lab.addRequest("2601140001230", 508);
    lab.set("comsetup", "autsavecrv", "1");
    lab.set("comsetup", "autoComment", "1");
    lab.start();

    lab.receive({ChainLab::result("260114000123", "HBS", "0.3", "Negative")});
    const QSqlRecord row = lab.results().value(0);
    QCOMPARE(row.value("patientid").toString(), QStringLiteral("2601140001230"));
    QCOMPARE(row.value("Patientname").toString(), QStringLiteral("09:42 AM   HBS"));
    QVERIFY(row.isNull("patientsefa") && row.isNull("DocName") && row.isNull("Drsefa") && row.isNull("comment"));
    QCOMPARE(row.value("sex").toString(), QStringLiteral("Male"));
    QCOMPARE(row.value("testsimp").toString(), QStringLiteral("HBS"));
    QCOMPARE(row.value("resultt1").toString(), QStringLiteral("Negative (0.3)"));
    QCOMPARE(row.value("RESULTCASEPRINT").toString(), QString());
    QVERIFY(!row.isNull("RESULTCASEPRINT")); // an empty text, not a null
    QCOMPARE(row.value("testunit").toString(), QString());
    QCOMPARE(row.value("lowlimit").toDouble(), 0.0);
    QCOMPARE(lab.lines, QStringList{"2601140001230     Yes"});
}

void tst_ReceiveStore::identifierModes_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QByteArray>("sample");
    QTest::addColumn<QDate>("requested");
    QTest::addColumn<QString>("patient");

    const QDate today(2026, 12, 5);
    QTest::newRow("13: 12 characters") << "13" << QByteArray("260114000123") << today << "2601140001230";
    QTest::newRow("13: 11 characters") << "13" << QByteArray("26011400012") << today << "26011400012";
    QTest::newRow("13: yesterday's request too")
        << "13" << QByteArray("260114000123") << today.addDays(-1) << "2601140001230";
    QTest::newRow("10: characters 3-12") << "10" << QByteArray("0114000123") << today << "2601140001230";
    QTest::newRow("10: 12 characters") << "10" << QByteArray("260114000123") << today << "260114000123";
    QTest::newRow("4: today") << "4" << QByteArray("0123") << today << "2601140001230";
    QTest::newRow("4: yesterday is not found") << "4" << QByteArray("0123") << today.addDays(-1) << "0123";
    QTest::newRow("other mode") << "12" << QByteArray("260114000123") << today << "260114000123";
}

void tst_ReceiveStore::identifierModes()
{
    QFETCH(QString, mode);
    QFETCH(QByteArray, sample);
    QFETCH(QDate, requested);
    QFETCH(QString, patient);

    ChainLab lab;
    QVERIFY(lab.created);
    lab.set("report", "IDdigitsNo", mode);
    lab.start();
    lab.addTest("TSH", 501, 1.0, "1");
    lab.addPatient("2601140001230", "Male", 45, "Years", "0000000000", requested);
    lab.receive({ChainLab::result(sample, "TSH", "2.35")});
    const QSqlRecord row = lab.results().value(0);
    QCOMPARE(row.value("SampleID").toString(), QString::fromLatin1(sample));
    QCOMPARE(row.value("patientid").toString(), patient);
    const bool found = patient.size() == 13;
    QCOMPARE(row.value("Patientname").toString(),
             found ? QStringLiteral("مريض 230") : QStringLiteral("09:42 AM   TSH"));
    QCOMPARE(row.value("ageN").toDouble(), found ? 45.0 : 0.0);
    QCOMPARE(row.isNull("ageN"), !found);
    QCOMPARE(row.value("DocName").toString(), found ? QStringLiteral("سامي حسن") : QString());
    QCOMPARE(lab.lines, QStringList{patient + "     No"});
}

void tst_ReceiveStore::duplicateOverwritesOrAdds()
{
    ChainLab lab;
    QVERIFY(lab.created);
    lab.start();
    lab.addTest("TSH", 501, 1.0, "1");
    lab.addPatient("2601140001230", "Male", 45, "Years");

    // A 13-character patient: today's row of the sample and assay is overwritten.
    lab.receive({ChainLab::result("260114000123", "TSH", "2.35")});
    lab.receive({ChainLab::result("260114000123", "TSH", "2.5")});
    QCOMPARE(lab.results().size(), 1);
    QCOMPARE(lab.results().first().value("resultt1").toString(), QStringLiteral("2.5"));
    QCOMPARE(lab.counted, 2);
    QCOMPARE(lab.lines.size(), 2);

    // Another assay of the sample is a row of its own.
    lab.receive({ChainLab::result("260114000123", "CRP", "3")});
    QCOMPARE(lab.results().size(), 2);

    // The next day the same sample and assay make a new row.
    lab.install.clock.set(QDateTime(QDate(2026, 12, 6), QTime(8, 0)));
    lab.receive({ChainLab::result("260114000123", "TSH", "2.6")});
    QCOMPARE(lab.results("shortAssay='TSH'").size(), 2);
    QCOMPARE(lab.results("shortAssay='TSH'").last().value("Testdate").toString(), QStringLiteral("2026-12-06"));

    // Without a 13-character patient the row of the identifier and assay is overwritten, any day.
    lab.receive({ChainLab::result("2601140009", "HBS", "0.1", "Negative")});
    lab.install.clock.set(QDateTime(QDate(2026, 12, 9), QTime(8, 0)));
    lab.receive({ChainLab::result("2601140009", "HBS", "0.2", "Positive")});
    const QList<QSqlRecord> hbs = lab.results("shortAssay='HBS'");
    QCOMPARE(hbs.size(), 1);
    QCOMPARE(hbs.first().value("resultt1").toString(), QStringLiteral("Positive (0.2)"));
    QCOMPARE(hbs.first().value("Testdate").toString(), QStringLiteral("2026-12-09"));
    QCOMPARE(hbs.first().value("RESULTCASEPRINT").toString(), QStringLiteral(" *"));
}

void tst_ReceiveStore::leadingZerosMatchThemselves()
{
    ChainLab lab;
    QVERIFY(lab.created);
    lab.set("report", "IDdigitsNo", "4");
    lab.start();
    lab.addTest("VITD", 506, 1.0, "2");
    lab.addPatient("2601140000421", "Female", 30, "Years"); // characters 9-12: "0042"
    lab.receive({ChainLab::result("0042", "VITD", "< 8.1 ug/l")});
    lab.receive({ChainLab::result("0042", "VITD", "9.5 ug/l")});
    const QList<QSqlRecord> rows = lab.results();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().value("SampleID").toString(), QStringLiteral("0042"));
    QCOMPARE(rows.first().value("patientid").toString(), QStringLiteral("2601140000421"));
    QCOMPARE(rows.first().value("resultt1").toString(), QStringLiteral("9.5"));
}

void tst_ReceiveStore::withoutSample()
{
    ChainLab lab;
    QVERIFY(lab.created);
    lab.set("comsetup", "autsavecrv", "1");
    lab.set("comsetup", "soudorno", "1");
    lab.set("comsetup", "soundname", "ding.mp3");
    lab.start();
    lab.addTest("FER", 505, 1.0, "0", "Ferritin");
    lab.receive({ChainLab::result("", "FER", "> 1200 ng/ml")});
    lab.receive({ChainLab::result("", "FER", "> 1200 ng/ml")}); // the same again: overwritten
    lab.receive({ChainLab::result("", "FER", "300 ng/ml")});    // another result: a row of its own

    const QList<QSqlRecord> rows = lab.results();
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows[0].value("Patientname").toString(), QStringLiteral("FER   09:42 AM"));
    QCOMPARE(rows[0].value("SampleID").toString(), QString());
    QCOMPARE(rows[0].value("patientid").toString(), QString());
    QCOMPARE(rows[0].value("testsimp").toString(), QStringLiteral("Ferritin"));
    QCOMPARE(rows[0].value("resultt1").toString(), QStringLiteral("> 1200"));
    QVERIFY(rows[0].isNull("patientsefa"));
    QCOMPARE(rows[1].value("resultt1").toString(), QStringLiteral("300"));
    QCOMPARE(lab.counted, 3);
    QCOMPARE(lab.lines, QStringList(3, "FER   09:42 AM     No"));
    QVERIFY(lab.sound.calls.isEmpty()); // no sound and no export without a sample
}

void tst_ReceiveStore::awkwardValues_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("flag");
    QTest::newRow("sign alone") << QByteArray("<") << "<"
                                << "L";
    QTest::newRow("sign and blank") << QByteArray("> ") << ">"
                                    << "L";
    QTest::newRow("too large") << QByteArray("1e400") << "1e400"
                               << "L";
    QTest::newRow("letters") << QByteArray("abc") << "abc"
                             << "L";
    QTest::newRow("minus zero") << QByteArray("-0") << "-0"
                                << "L";
    QTest::newRow("plain") << QByteArray("15") << "30"
                           << "H";
}

void tst_ReceiveStore::awkwardValues()
{
    QFETCH(QByteArray, value);
    QFETCH(QString, stored);
    QFETCH(QString, flag);
    ChainLab lab;
    QVERIFY(lab.created);
    lab.start();
    const qlonglong code = lab.addTest("TSH", 501, 2.0, "1");
    lab.addRange({{"testcode", code},
                  {"REFRANGE", "1"},
                  {"pregsmok", "0"},
                  {"lowlimit", 1.0},
                  {"highlimit", 20.0},
                  {"nolowexe", "L"},
                  {"nohighexe", "H"}});
    lab.receive({ChainLab::result("260114000123", "TSH", value)});
    const QSqlRecord row = lab.results().value(0);
    QCOMPARE(row.value("resultt3").toString().trimmed(), stored);
    QCOMPARE(row.value("RESULTCASEPRINT").toString(), flag);
}

QTEST_GUILESS_MAIN(tst_ReceiveStore)
#include "tst_ReceiveStore.moc"
