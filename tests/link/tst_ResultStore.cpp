#include "link/LisExport.h"
#include "link/ResultStore.h"

#include <QTest>

Q_DECLARE_METATYPE(SqlEngine)

namespace {

CurrentResult received()
{
    CurrentResult r;
    r.LblSampID = QStringLiteral("260114000123");
    r.LblPatID = QStringLiteral("2601140001230");
    r.Txt_shortAssay = QStringLiteral("TSH");
    r.Txt_LongAssay = QStringLiteral("TSH long");
    r.LblTestTime = QStringLiteral("09:42 AM");
    r.Txt_resultt2 = QStringLiteral("High");
    r.Txt_resultt3 = QStringLiteral("> 12.5");
    r.Txt_resultt1 = QStringLiteral("High (> 12.5)");
    r.Txt_TESTUNIT = QStringLiteral("uUI/ml");
    r.LblPatName = QStringLiteral("أحمد");
    r.Txt_patientsefa = QStringLiteral("السيد");
    r.LblDocName = QStringLiteral("سامي");
    r.Txt_DocSEFA = QStringLiteral("د/");
    r.LblSex = QStringLiteral("Male");
    r.LblAgeN = QStringLiteral("45");
    r.LblAgeU = QStringLiteral("Years");
    r.Chk_pregsmok = 1;
    r.Txt_CODE = QStringLiteral("7");
    r.Txt_CRVTESTCODE = QStringLiteral("501");
    r.Txt_testsimp = QStringLiteral("Thyrotropin");
    r.Txt_testabrev = QStringLiteral("TSH");
    r.Txt_subgroupname = QStringLiteral("Thyroid");
    r.Txt_REFRANGE = QStringLiteral("1");
    r.Txt_TESTNOTRMAL = QStringLiteral("0.25 - 5");
    r.Txt_TEST_min = QStringLiteral("0.25");
    r.Txt_TEST_max = QStringLiteral("5");
    r.Txt_TEST_minEX = QStringLiteral("L");
    r.Txt_TEST_maxEX = QStringLiteral("H");
    r.Txt_TEST_F = QStringLiteral("H");
    r.txt_comment = QStringLiteral("recheck");
    return r;
}

QVariant column(const SqlRun::Columns& columns, const QString& name)
{
    for (const auto& [n, v] : columns) {
        if (n == name)
            return v;
    }
    qWarning("no column %s", qPrintable(name));
    return {};
}

QStringList names(const SqlRun::Columns& columns)
{
    QStringList list;
    for (const auto& [n, v] : columns)
        list << n;
    return list;
}

bool isNullText(const QVariant& v)
{
    return v.isNull() || (v.typeId() == QMetaType::QString && v.toString().isNull());
}

// Empty, but stored as an empty text rather than a null.
bool isEmptyText(const QVariant& v)
{
    return v.typeId() == QMetaType::QString && !v.toString().isNull() && v.toString().isEmpty();
}

const QDateTime storedAt(QDate(2026, 12, 4), QTime(15, 7, 40)); // a Friday afternoon

} // namespace

class tst_ResultStore : public QObject
{
    Q_OBJECT

private slots:
    void duplicateTest_data();
    void duplicateTest();
    void noSampleName();
    void resultColumnsInOrder();
    void emptySourcesGiveNullsOrEmptyTexts();
    void exportDecision_data();
    void exportDecision();
    void editDate();
    void columnShiftToTheLis();
};

void tst_ResultStore::duplicateTest_data()
{
    QTest::addColumn<QString>("patientId");
    QTest::addColumn<QString>("sampleId");
    QTest::addColumn<SqlEngine>("engine");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QVariantList>("values");
    const QDate today(2026, 12, 5);
    QTest::newRow("13 characters, SQL Server converts without failing on letters")
        << "2601140001230"
        << "260114000123" << SqlEngine::SqlServer
        << "SELECT * FROM Result where TRY_CONVERT(float, SampleID)=? AND Testdate= ? AND shortAssay=? "
        << QVariantList{qlonglong(260114000123), today, "TSH"};
    QTest::newRow("13 characters, SQLite reads the column as a number")
        << "2601140001230"
        << "260114000123" << SqlEngine::Sqlite
        << "SELECT * FROM Result where CAST(SampleID AS REAL)=? AND Testdate= ? AND shortAssay=? "
        << QVariantList{qlonglong(260114000123), today, "TSH"};
    QTest::newRow("13 characters, leading zeros") << "0000000000042"
                                                  << "0042" << SqlEngine::SqlServer
                                                  << "SELECT * FROM Result where TRY_CONVERT(float, SampleID)=? "
                                                     "AND Testdate= ? AND shortAssay=? "
                                                  << QVariantList{qlonglong(42), today, "TSH"};
    // A sample that is not a number is never read as one: "12AB" would be sample 12.
    QTest::newRow("13 characters, letters compared as text")
        << "2601140001230"
        << "12AB" << SqlEngine::Sqlite << "SELECT * FROM Result where SampleID=? AND Testdate= ? AND shortAssay=? "
        << QVariantList{"12AB", today, "TSH"};
    QTest::newRow("12 characters") << "260114000123"
                                   << "260114000123" << SqlEngine::SqlServer
                                   << "SELECT * FROM Result where patientid=? AND shortAssay=? "
                                   << QVariantList{"260114000123", "TSH"};
    QTest::newRow("14 characters") << "26011400012300"
                                   << "260114000123" << SqlEngine::Sqlite
                                   << "SELECT * FROM Result where patientid=? AND shortAssay=? "
                                   << QVariantList{"26011400012300", "TSH"};
}

void tst_ResultStore::duplicateTest()
{
    QFETCH(QString, patientId);
    QFETCH(QString, sampleId);
    QFETCH(SqlEngine, engine);
    QFETCH(QString, sql);
    QFETCH(QVariantList, values);
    CurrentResult r = received();
    r.LblPatID = patientId;
    r.LblSampID = sampleId;
    const BoundQuery q = ResultStore::duplicateQuery(r, QDate(2026, 12, 5), Dialect(engine));
    QCOMPARE(q.sql, sql);
    QCOMPARE(q.values, values);
}

void tst_ResultStore::noSampleName()
{
    CurrentResult r = received();
    r.LblSampID.clear();
    QCOMPARE(ResultStore::noSampleName(r), QStringLiteral("TSH   09:42 AM"));
    r.LblPatName = ResultStore::noSampleName(r);
    const BoundQuery q = ResultStore::duplicateQueryNoSample(r, QDate(2026, 12, 5));
    QCOMPARE(q.sql, QStringLiteral("SELECT * FROM Result where Patientname=? and resultt1= ? AND Testdate= ? AND "
                                   "shortAssay=? "));
    QCOMPARE(q.values, (QVariantList{"TSH   09:42 AM", "High (> 12.5)", QDate(2026, 12, 5), "TSH"}));
}

void tst_ResultStore::resultColumnsInOrder()
{
    const SqlRun::Columns c = ResultStore::resultColumns(received(), storedAt);
    QCOMPARE(names(c),
             QStringList({"SampleID",   "patientid", "Patientname", "patientsefa",  "DocName",    "Drsefa",
                          "sex",        "ageN",      "ageU",        "Testdate",     "TestTime",   "testcode",
                          "shortAssay", "LongAssay", "resultt1",    "resultt2",     "resultt3",   "testunit",
                          "REFRANGE",   "testsimp",  "testabrev",   "subgroupname", "normalrang", "RESULTCASEPRINT",
                          "lowlimit",   "highlimit", "nolowexe",    "nohighexe",    "comment",    "sending"}));
    QCOMPARE(column(c, "SampleID"), QVariant("260114000123"));
    QCOMPARE(column(c, "Patientname"), QVariant(QStringLiteral("أحمد")));
    QCOMPARE(column(c, "ageN"), QVariant(45.0));
    QCOMPARE(column(c, "Testdate"), QVariant(QDate(2026, 12, 4)));
    QCOMPARE(column(c, "TestTime"), QVariant("03:07 PM"));
    QCOMPARE(column(c, "testcode"), QVariant(qlonglong(7)));
    QCOMPARE(column(c, "REFRANGE"), QVariant(qlonglong(1)));
    QCOMPARE(column(c, "resultt1"), QVariant("High (> 12.5)"));
    QCOMPARE(column(c, "resultt2"), QVariant("High"));
    QCOMPARE(column(c, "resultt3"), QVariant("> 12.5"));
    QCOMPARE(column(c, "lowlimit"), QVariant(0.25));
    QCOMPARE(column(c, "highlimit"), QVariant(5.0));
    QCOMPARE(column(c, "RESULTCASEPRINT"), QVariant("H"));
    QCOMPARE(column(c, "comment"), QVariant("recheck"));
    QCOMPARE(column(c, "sending"), QVariant(true));
}

void tst_ResultStore::emptySourcesGiveNullsOrEmptyTexts()
{
    CurrentResult r;
    r.LblSampID = QStringLiteral("0042");
    r.LblPatID = QStringLiteral("0042");
    r.Txt_shortAssay = QStringLiteral("VITD");
    r.LblTestTime = QStringLiteral("04:55 PM");
    r.Txt_resultt3 = QStringLiteral("< 8.1");
    r.Txt_resultt1 = QStringLiteral("< 8.1");
    r.Txt_patientsefa = QStringLiteral("left over"); // no name: never stored
    r.Txt_DocSEFA = QStringLiteral("left over");     // no doctor: never stored
    const SqlRun::Columns c = ResultStore::resultColumns(r, storedAt);

    QCOMPARE(column(c, "Patientname"), QVariant("04:55 PM   VITD"));
    for (const char* name : {"patientsefa", "DocName", "Drsefa", "sex", "ageU", "comment"})
        QVERIFY2(isNullText(column(c, name)), name);
    QVERIFY(column(c, "ageN").isNull());
    for (const char* name : {"resultt2", "testunit", "subgroupname", "normalrang", "RESULTCASEPRINT", "nolowexe",
                             "nohighexe", "LongAssay"})
        QVERIFY2(isEmptyText(column(c, name)), name);
    QCOMPARE(column(c, "testsimp"), QVariant("VITD"));
    QCOMPARE(column(c, "testabrev"), QVariant("VITD"));
    QCOMPARE(column(c, "testcode"), QVariant(qlonglong(0)));
    QCOMPARE(column(c, "REFRANGE"), QVariant(qlonglong(0)));
    QCOMPARE(column(c, "lowlimit"), QVariant(0.0));
    QCOMPARE(column(c, "sending"), QVariant(false));

    // Age 0 is stored as null too.
    r.LblAgeN = QStringLiteral("0");
    QVERIFY(ResultStore::resultColumns(r, storedAt).at(7).second.isNull());
}

void tst_ResultStore::exportDecision_data()
{
    using D = LisExport::Decision;
    QTest::addColumn<int>("autsavecrv");
    QTest::addColumn<int>("lisActive");
    QTest::addColumn<QString>("patientId");
    QTest::addColumn<QString>("lisCode");
    QTest::addColumn<int>("decision");
    QTest::newRow("send") << 1 << 1 << "2601140001230"
                          << "501" << int(D::Send);
    QTest::newRow("sending off") << 0 << 1 << "2601140001230"
                                 << "501" << int(D::Skip);
    QTest::newRow("sending off, LIS off: no message") << 0 << 0 << "2601140001230"
                                                      << "501" << int(D::Skip);
    QTest::newRow("LIS off") << 1 << 0 << "2601140001230"
                             << "501" << int(D::LisOff);
    QTest::newRow("12 characters") << 1 << 1 << "260114000123"
                                   << "501" << int(D::Skip);
    QTest::newRow("14 characters") << 1 << 1 << "26011400012300"
                                   << "501" << int(D::Skip);
    QTest::newRow("12 characters, LIS off") << 1 << 0 << "260114000123"
                                            << "501" << int(D::Skip);
    QTest::newRow("no LIS code") << 1 << 1 << "2601140001230"
                                 << "" << int(D::Skip);
    QTest::newRow("LIS code 0") << 1 << 1 << "2601140001230"
                                << "0" << int(D::Skip);
    QTest::newRow("sending 2 is not on") << 2 << 1 << "2601140001230"
                                         << "501" << int(D::Skip);
}

void tst_ResultStore::exportDecision()
{
    QFETCH(int, autsavecrv);
    QFETCH(int, lisActive);
    QFETCH(QString, patientId);
    QFETCH(QString, lisCode);
    QFETCH(int, decision);
    AppSettings settings;
    settings.autsavecrv = qint16(autsavecrv);
    settings.lisActive = qint16(lisActive);
    CurrentResult r = received();
    r.LblPatID = patientId;
    r.Txt_CRVTESTCODE = lisCode;
    QCOMPARE(int(LisExport::decide(r, settings)), decision);
}

void tst_ResultStore::editDate()
{
    QCOMPARE(LisExport::editDate(storedAt), QStringLiteral("Friday, 04 Dec 2026   03:07 PM"));
    QCOMPARE(LisExport::editDate(QDateTime(QDate(2027, 1, 3), QTime(0, 5))),
             QStringLiteral("Sunday, 03 Jan 2027   12:05 AM"));
}

void tst_ResultStore::columnShiftToTheLis()
{
    const CurrentResult r = received();
    const BoundQuery q = LisExport::requestQuery(r);
    QCOMPARE(q.sql, QStringLiteral("SELECT * FROM patienttest where patientid=? and testcode=?"));
    QCOMPARE(q.values, (QVariantList{"2601140001230", qlonglong(501)}));

    const SqlRun::Columns c = LisExport::patienttestColumns(r, storedAt);
    QCOMPARE(names(c),
             QStringList({"resultfinsh", "edituser", "editdate", "resultt", "resultt1", "resultt2", "RESULTCASEPRINT",
                          "lowlimit", "highlimit", "nolowexe", "nohighexe", "normalrang", "testunit", "commentx"}));
    QCOMPARE(column(c, "resultfinsh"), QVariant(true));
    QCOMPARE(column(c, "edituser"), QVariant("VIDAS INTERFACE"));
    QCOMPARE(column(c, "editdate"), QVariant("Friday, 04 Dec 2026   03:07 PM"));
    // The interface's resultt1, resultt2, resultt3 are the LIS's resultt, resultt1, resultt2.
    QCOMPARE(column(c, "resultt"), QVariant(r.Txt_resultt1));
    QCOMPARE(column(c, "resultt1"), QVariant(r.Txt_resultt2));
    QCOMPARE(column(c, "resultt2"), QVariant(r.Txt_resultt3));
    QCOMPARE(column(c, "RESULTCASEPRINT"), QVariant("H"));
    QCOMPARE(column(c, "lowlimit"), QVariant(0.25));
    QCOMPARE(column(c, "commentx"), QVariant("recheck"));

    CurrentResult bare;
    bare.LblPatID = QStringLiteral("2601140001230");
    const SqlRun::Columns e = LisExport::patienttestColumns(bare, storedAt);
    for (const char* name : {"resultt", "resultt1", "resultt2", "RESULTCASEPRINT", "nolowexe", "commentx"})
        QVERIFY2(isEmptyText(column(e, name)), name);
    QCOMPARE(column(e, "highlimit"), QVariant(0.0));
}

QTEST_GUILESS_MAIN(tst_ResultStore)
#include "tst_ResultStore.moc"
