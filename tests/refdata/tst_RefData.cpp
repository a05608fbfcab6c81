#include "ReceiveLab.h"
#include "TestInstall.h"
#include "db/Databases.h"
#include "db/DbMessages.h"
#include "refdata/CommentLibrary.h"
#include "refdata/RefDataArchive.h"
#include "refdata/RefDataMessages.h"
#include "refdata/ReferenceRanges.h"
#include "refdata/TestCatalogue.h"

#include <QFile>
#include <QTest>

using Db = TestInstall::Db;
using namespace Qt::StringLiterals;
namespace M = RefDataMessages;

namespace {
// "field=value" pairs over the catalogue's fields; Check1 ticked by "Check1".
CatalogueFields catalogueFields(const QStringList& pairs)
{
    CatalogueFields f;
    f.CmbREFRANGE = u"For all"_s;
    for (const QString& pair : pairs) {
        const QString key = pair.section(u'=', 0, 0);
        const QString value = pair.section(u'=', 1);
        QString* fields[] = {&f.Txt0, &f.Txt1,        &f.Txt_testcode, &f.Txt_shortAssay, &f.Txt_correctfactors,
                             &f.Txt2, &f.CmbREFRANGE, &f.Txt9,         &f.Comb4};
        const char* names[] = {"Txt0", "Txt1",        "Txt_testcode", "Txt_shortAssay", "Txt_correctfactors",
                               "Txt2", "CmbREFRANGE", "Txt9",         "Comb4"};
        for (int i = 0; i < 9; ++i) {
            if (key == QLatin1String(names[i]))
                *fields[i] = value;
        }
        f.Check1 = f.Check1 || key == u"Check1"_s;
    }
    return f;
}

RangeFields rangeFields(const QStringList& pairs)
{
    RangeFields f;
    f.Txt0 = u"1"_s;
    f.Comb1 = u"TSH"_s;
    for (const QString& pair : pairs) {
        const QString key = pair.section(u'=', 0, 0);
        const QString value = pair.section(u'=', 1);
        QString* fields[] = {&f.normid, &f.Txt1,  &f.Txt2,  &f.Comb3, &f.Txt3, &f.Comb2, &f.Txt4,
                             &f.Txt5,   &f.Comb4, &f.Comb5, &f.Txt6,  &f.Txt7, &f.Txt0};
        const char* names[] = {"normid", "Txt1",  "Txt2",  "Comb3", "Txt3", "Comb2", "Txt4",
                               "Txt5",   "Comb4", "Comb5", "Txt6",  "Txt7", "Txt0"};
        for (int i = 0; i < 13; ++i) {
            if (key == QLatin1String(names[i]))
                *fields[i] = value;
        }
        f.option1 = f.option1 || key == u"Male"_s;
        f.option2 = f.option2 || key == u"Female"_s;
        f.Check1 = f.Check1 || key == u"Check1"_s;
    }
    return f;
}

const QString kTables[] = {u"SELECT * FROM testtable ORDER BY testcode"_s,
                           u"SELECT * FROM normalrange ORDER BY normalid"_s,
                           u"SELECT * FROM comments ORDER BY commentid"_s};

QStringList allRows(TestInstall& install)
{
    QStringList rows;
    for (const QString& sql : kTables)
        rows << install.texts(Db::Interface, sql);
    return rows;
}
} // namespace

// The rules of the catalogue, range and comment windows on the demo install: what each field is
// stored as, every refusal, the searches and orders, deletions; a saved change reaching the next
// result; and the export/import archive.
class tst_RefData : public QObject
{
    Q_OBJECT

private slots:
    void catalogueSaves_data();
    void catalogueSaves();
    void catalogueSearches();
    void rangeSaves_data();
    void rangeSaves();
    void rangeListAndDelete();
    void comments();
    void databaseGoneBeforeSave();
    void savedChangesReachTheNextResult();
    void archiveRoundTrip();
    void archiveRefusesBadFiles_data();
    void archiveRefusesBadFiles();
};

void tst_RefData::catalogueSaves_data()
{
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QString>("message"); // empty: saved
    QTest::addColumn<int>("focus");
    QTest::addColumn<QString>("stored"); // the saved row
    QTest::addColumn<QString>("loaded"); // and as the window shows it again

    QTest::newRow("empties: null factor shown as 1, order 9999, LIS code 0 as null")
        << QStringList{u"Txt1=O'Brien % test"_s, u"Txt_testcode=0"_s, u"CmbREFRANGE=By sex and age"_s} << QString() << 0
        << u"O'Brien % test|null|null|null|null|0|9999|null|0"_s << u"O'Brien % test|||1||By sex and age|9999||0"_s;
    QTest::newRow("every field, Arabic name, blanks around the assay code")
        << QStringList{u"Txt1=هرمون الغدة"_s,
                       u"Txt_testcode=610"_s,
                       u"Txt_shortAssay= E2 "_s,
                       u"Txt_correctfactors=2.5"_s,
                       u"Txt2=E2"_s,
                       u"CmbREFRANGE=By sex"_s,
                       u"Txt9=12"_s,
                       u"Comb4=Hormones"_s,
                       u"Check1"_s}
        << QString() << 0 << u"هرمون الغدة|610|E2|2.5|E2|3|12|Hormones|1"_s
        << u"هرمون الغدة|610|E2|2.5|E2|By sex|12|Hormones|1"_s;
    QTest::newRow("range kinds: by age") << QStringList{u"Txt1=X"_s, u"CmbREFRANGE=By age"_s} << QString() << 0
                                         << u"X|null|null|null|null|2|9999|null|0"_s << u"X|||1||By age|9999||0"_s;
    QTest::newRow("an existing test changes in place")
        << QStringList{u"Txt0=2"_s,
                       u"Txt1=Free T4"_s,
                       u"Txt_shortAssay=FT4"_s,
                       u"Txt_correctfactors=1.1"_s,
                       u"CmbREFRANGE=For all"_s,
                       u"Check1"_s}
        << QString() << 0 << u"Free T4|null|FT4|1.1|null|1|9999|null|1"_s << u"Free T4||FT4|1.1||For all|9999||1"_s;
    QTest::newRow("name empty") << QStringList{u"Txt1=  "_s} << M::testNameEmpty << int(TestCatalogue::Field::Txt1)
                                << QString() << QString();
    QTest::newRow("letters pasted in the factor")
        << QStringList{u"Txt1=X"_s, u"Txt_correctfactors=1,5"_s} << M::notANumber
        << int(TestCatalogue::Field::Txt_correctfactors) << QString() << QString();
    QTest::newRow("two points in the factor")
        << QStringList{u"Txt1=X"_s, u"Txt_correctfactors=1.2.3"_s} << M::notANumber
        << int(TestCatalogue::Field::Txt_correctfactors) << QString() << QString();
    QTest::newRow("a point in the LIS code") << QStringList{u"Txt1=X"_s, u"Txt_testcode=5.5"_s} << M::notANumber
                                             << int(TestCatalogue::Field::Txt_testcode) << QString() << QString();
    QTest::newRow("letters in the order") << QStringList{u"Txt1=X"_s, u"Txt9=1a"_s} << M::notANumber
                                          << int(TestCatalogue::Field::Txt9) << QString() << QString();
    QTest::newRow("an assay code another test has, in other letter case")
        << QStringList{u"Txt1=X"_s, u"Txt_shortAssay=tsh"_s} << M::duplicateAssay + u"TSH"_s
        << int(TestCatalogue::Field::Txt_shortAssay) << QString() << QString();
}

void tst_RefData::catalogueSaves()
{
    QFETCH(QStringList, fields);
    QFETCH(QString, message);
    QFETCH(int, focus);
    TestInstall install;
    QVERIFY(install.installDemoData());
    TestCatalogue catalogue(install.context());
    const QStringList before = allRows(install);
    const TestCatalogue::Outcome outcome = catalogue.save(catalogueFields(fields));
    QCOMPARE(outcome.done, message.isEmpty());
    QCOMPARE(int(outcome.focus), focus);
    if (!message.isEmpty()) {
        QCOMPARE(install.dialogs.last().text + install.dialogs.last().title, message + M::title);
        QCOMPARE(allRows(install), before);
        return;
    }
    QVERIFY(install.dialogs.shown.isEmpty());
    QTEST(install.text(Db::Interface,
                       "SELECT testsimp, crvtestid, shortAssay, correctfactors, testabrev, REFRANGE, arrangnum, "
                       "subgroupname, active FROM testtable WHERE testcode=?",
                       {outcome.testcode}),
          "stored");
    const CatalogueFields f = catalogue.load(outcome.testcode).value();
    QTEST(QStringList({f.Txt1, f.Txt_testcode, f.Txt_shortAssay, f.Txt_correctfactors, f.Txt2, f.CmbREFRANGE, f.Txt9,
                       f.Comb4, QString::number(f.Check1)})
              .join(u'|'),
          "loaded");
    QCOMPARE(install.text(Db::Interface, "SELECT count(*) FROM testtable"), fields.contains(u"Txt0=2"_s) ? "9" : "10");
}

void tst_RefData::catalogueSearches()
{
    TestInstall install;
    QVERIFY(install.installDemoData());
    TestCatalogue catalogue(install.context());
    QVERIFY(catalogue.save(catalogueFields({u"Txt1=100% [rare]_x"_s, u"Txt_shortAssay=T%X"_s})).done);
    const auto names = [](const SqlRun::Rows& rows) {
        QStringList out;
        for (const QSqlRecord& r : rows.records)
            out << r.value("testsimp").toString();
        return out.join(u',');
    };
    // Display order; a test without subgroup or order stays listed and goes last.
    QCOMPARE(catalogue.list().records.size(), 10);
    QCOMPARE(names(catalogue.list()).section(u',', 8), u"Anti-TPO,100% [rare]_x"_s);
    QCOMPARE(names(catalogue.list(u"t4"_s)), u"Free T4"_s);
    QCOMPARE(names(catalogue.list(u"%"_s)), u"100% [rare]_x"_s);
    QCOMPARE(names(catalogue.list(u"[rare]_"_s)), u"100% [rare]_x"_s);
    QCOMPARE(names(catalogue.list({}, u"yro"_s)), u"TSH,Free T4,Anti-TPO"_s);
    QCOMPARE(names(catalogue.list(u"T"_s, u"roid"_s)), u"TSH,Free T4,Anti-TPO"_s);
    // The assay code matches from its start, ordered by the code.
    QCOMPARE(names(catalogue.listByAssay(u"T"_s)), u"100% [rare]_x,TSH"_s);
    QCOMPARE(names(catalogue.listByAssay(u"SH"_s)), QString());
    QCOMPARE(names(catalogue.listByAssay(u"T%"_s)), u"100% [rare]_x"_s);
    QCOMPARE(TestCatalogue::countText(10), u"Number  Of  Tests   =   10  Tests"_s);
    // A test without a name is stored but never listed.
    QVERIFY(install.exec(Db::Interface, "INSERT INTO testtable (testsimp, shortAssay) VALUES ('', 'ZZ')"));
    QCOMPARE(catalogue.list().records.size(), 10);
    QCOMPARE(catalogue.subgroups().join(u','), u"Anaemia,Hormones,Inflammation,Serology,Thyroid,Vitamins"_s);

    // The way to the ranges needs a test; deleting asks, and leaves the test's ranges.
    QVERIFY(!catalogue.rangesFor({}) && install.dialogs.last().text == M::chooseTestFirst);
    const CatalogueFields prl = catalogue.load(3).value();
    const RangeOpening opening = catalogue.rangesFor(prl).value();
    QVERIFY(opening.testcode == 3 && opening.testName == u"Prolactin"_s && opening.kind == RangeKind::BySex);
    install.dialogs.answers = {DialogAnswer::Cancel};
    QVERIFY(!catalogue.remove(prl));
    QCOMPARE(install.dialogs.last().title + install.dialogs.last().text, M::deleteTitle + M::deleteTestQuestion);
    QVERIFY(install.dialogs.last().buttons == DialogButtons::OkCancel);
    QVERIFY(catalogue.remove(prl));
    QVERIFY(!catalogue.load(3));
    QCOMPARE(install.text(Db::Interface, "SELECT count(*) FROM normalrange WHERE testcode=3"), u"3"_s);
    // A new test never takes the deleted one's code, so the old ranges never attach to it.
    QVERIFY(catalogue.save(catalogueFields({u"Txt1=New"_s})).testcode > 11);
}

void tst_RefData::rangeSaves_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("stored"); // sex, firstold, secondold, ageunit, low, high, REFRANGE, pregsmok, ...

    const int all = int(RangeKind::ForAll), age = int(RangeKind::ByAge), sex = int(RangeKind::BySex),
              both = int(RangeKind::BySexAndAge);
    QTest::newRow("for all: All, no age, zero limits are no limits")
        << all << QStringList{u"Male"_s, u"Txt1=3"_s, u"Comb3=Days"_s, u"Txt4=0"_s, u"Txt5=0"_s} << QString()
        << u"All|0|0|null|null|null|1|0|null|null|null|null"_s;
    QTest::newRow("by age: All with the age band")
        << age << QStringList{u"Txt1=1"_s, u"Txt2=5"_s, u"Comb3=Years"_s, u"Txt4=10"_s, u"Txt5=20.5"_s, u"Check1"_s}
        << QString() << u"All|1|5|Years|10|20.5|2|1|null|null|null|null"_s;
    QTest::newRow("by sex, neither ticked: an empty sex")
        << sex << QStringList{u"Txt5=6"_s, u"Comb4=L"_s, u"Comb5=High"_s} << QString()
        << u"|0|0|null|null|6|3|0|L|High|null|null"_s;
    QTest::newRow("by sex and age, Arabic and quotes in the comments")
        << both
        << QStringList{u"Female"_s,  u"Txt1=18"_s, u"Txt2=120"_s, u"Comb3=Mons."_s, u"Txt6=أقل من 'الطبيعي' \"x\""_s,
                       u"Txt7=50%"_s}
        << QString() << u"Female|18|120|Mons.|null|null|0|0|null|null|أقل من 'الطبيعي' \"x\"|50%"_s;
    QTest::newRow("upper age equal to lower")
        << age << QStringList{u"Txt1=5"_s, u"Txt2=5"_s, u"Comb3=Years"_s} << M::ageWrong << QString();
    QTest::newRow("age interval upside down")
        << both << QStringList{u"Txt1=9"_s, u"Txt2=2"_s, u"Comb3=Years"_s} << M::ageWrong << QString();
    QTest::newRow("no age unit") << age << QStringList{u"Txt1=0"_s, u"Txt2=2"_s} << M::ageUnitMissing << QString();
    QTest::newRow("an age unit off the list")
        << age << QStringList{u"Txt1=0"_s, u"Txt2=2"_s, u"Comb3=Weeks"_s} << M::ageUnitNotListed << QString();
    QTest::newRow("letters pasted in a limit") << all << QStringList{u"Txt4=1O"_s} << M::notANumber << QString();
    QTest::newRow("letters pasted in an age")
        << age << QStringList{u"Txt1=l"_s, u"Txt2=5"_s, u"Comb3=Years"_s} << M::notANumber << QString();
    QTest::newRow("low above high") << all << QStringList{u"Txt4=20"_s, u"Txt5=10"_s} << M::limitsWrong << QString();
    QTest::newRow("no test") << all << QStringList{u"Txt0="_s} << M::chooseTestFirst << QString();
}

void tst_RefData::rangeSaves()
{
    QFETCH(int, kind);
    QFETCH(QStringList, fields);
    QFETCH(QString, message);
    TestInstall install;
    QVERIFY(install.installDemoData());
    ReferenceRanges ranges(install.context());
    const QStringList before = allRows(install);
    const ReferenceRanges::Outcome outcome = ranges.save(rangeFields(fields), RangeKind(kind));
    if (!message.isEmpty()) {
        QVERIFY(!outcome.done);
        QCOMPARE(install.dialogs.last().text, message);
        QCOMPARE(allRows(install), before);
        return;
    }
    QVERIFY(outcome.done && install.dialogs.shown.isEmpty());
    QTEST(install.text(Db::Interface,
                       "SELECT sex, firstold, secondold, ageunit, lowlimit, highlimit, REFRANGE, pregsmok, nolowexe, "
                       "nohighexe, lowcomment, highcomment FROM normalrange WHERE normalid=?",
                       {outcome.normalid}),
          "stored");
    // Loaded again as it was saved, with what the kind does not use cleared.
    RangeFields typed = rangeFields(fields);
    ReferenceRanges::clearUnused(typed, RangeKind(kind));
    const RangeFields loaded = ranges.load(outcome.normalid, RangeKind(kind)).value();
    QCOMPARE(loaded.option1, typed.option1);
    QCOMPARE(loaded.Txt6 + loaded.Comb3 + loaded.Txt5,
             typed.Txt6 + typed.Comb3 + (typed.Txt5 == u"0"_s ? "" : typed.Txt5));
}

void tst_RefData::rangeListAndDelete()
{
    TestInstall install;
    QVERIFY(install.installDemoData());
    ReferenceRanges ranges(install.context());
    // Ferritin (test 5) has two ranges in years; a range in days and one in months go first.
    for (const QStringList& f : {QStringList{u"Txt0=5"_s, u"Female"_s, u"Txt1=0"_s, u"Txt2=30"_s, u"Comb3=Days"_s},
                                 QStringList{u"Txt0=5"_s, u"Male"_s, u"Txt1=1"_s, u"Txt2=11"_s, u"Comb3=Mons."_s}})
        QVERIFY(ranges.save(rangeFields(f), RangeKind::BySexAndAge).done);
    QStringList order;
    const SqlRun::Rows rows = ranges.list(5);
    for (const QSqlRecord& r : rows.records)
        order << r.value("ageunit").toString() + u' ' + r.value("sex").toString();
    QCOMPARE(order.join(u','), u"Days Female,Mons. Male,Years Female,Years Male"_s);
    QCOMPARE(ReferenceRanges::countText(4), u"Number  Of  References   =   4  Reference"_s);
    QCOMPARE(ReferenceRanges::units().size(), 69);
    QVERIFY(ReferenceRanges::units().first() == u"%"_s && ReferenceRanges::units().last() == u"x 10³/mm³"_s);

    // Editing writes over the same row; a row deleted meanwhile is added again.
    const qint64 id = rows.records.first().value("normalid").toLongLong();
    RangeFields f = ranges.load(id, RangeKind::BySexAndAge).value();
    QVERIFY(!f.option1 && f.option2 && f.Txt2 == u"30"_s);
    f.Txt5 = u"80"_s;
    QCOMPARE(ranges.save(f, RangeKind::BySexAndAge).normalid, id);
    QVERIFY(!ranges.mayChange({}) && install.dialogs.last().text == M::chooseRangeFirst);
    install.dialogs.answers = {DialogAnswer::Cancel};
    QVERIFY(!ranges.remove(f));
    QCOMPARE(install.dialogs.last().title + install.dialogs.last().text, M::deleteTitle + M::deleteRangeQuestion);
    QVERIFY(ranges.remove(f));
    QCOMPARE(ranges.list(5).records.size(), 3);
    const ReferenceRanges::Outcome again = ranges.save(f, RangeKind::BySexAndAge);
    QVERIFY(again.done && again.normalid != id);
    QCOMPARE(install.text(Db::Interface, "SELECT highlimit FROM normalrange WHERE normalid=?", {again.normalid}), "80");
}

void tst_RefData::comments()
{
    TestInstall install;
    QVERIFY(install.installDemoData());
    CommentLibrary library(install.context());
    QCOMPARE(library.testNames().size(), 9);
    QCOMPARE(library.codeFor(u"Ferritin"_s), u"5"_s);
    QCOMPARE(library.codeFor(u"Ferriti"_s), QString());
    // The checks, in their order, each with its title and the information icon; nothing written.
    const QStringList before = allRows(install);
    const struct
    {
        CommentFields fields;
        QString message;
    } refused[] = {{{0, {}, {}, u"text only"_s}, M::commentTestEmpty},
                   {{0, u"5"_s, u"Ferritin"_s, u"  "_s}, M::commentEmpty},
                   {{0, u"5"_s, u"Ferriti"_s, u"x"_s}, M::commentTestUnknown}};
    for (const auto& [fields, message] : refused) {
        QVERIFY(!library.save(fields, true).done);
        QCOMPARE(install.dialogs.last().title + install.dialogs.last().text, M::title + message);
        QVERIFY(install.dialogs.last().icon == DialogIcon::Information);
    }
    QCOMPARE(allRows(install), before);
    // A stale code never ties the comment to another test: the name decides, in the catalogue's spelling.
    const QString text = u"نسبة الحديد 'منخفضة' \"جداً\" 100%"_s;
    const CommentLibrary::Outcome added = library.save({0, u"1"_s, u"ferritin"_s, text}, true);
    QVERIFY(added.done);
    QCOMPARE(install.text(Db::Interface, "SELECT testcode, testsimp, Comments FROM comments WHERE commentid=?",
                          {added.commentid}),
             u"5|Ferritin|"_s + text);
    // The search matches the start of the test name; the list is by test name.
    const auto listed = [&library](const QString& search) {
        QStringList out;
        for (const QSqlRecord& r : library.list(search).records)
            out << r.value("testsimp").toString();
        return out.join(u',');
    };
    QCOMPARE(listed(u"F"_s), u"Ferritin"_s);
    QCOMPARE(listed(u"erri"_s), QString());
    QCOMPARE(listed({}), u"25 OH Vitamin D Total,C-Reactive Protein,Ferritin,TSH,TSH"_s);
    // Editing changes the chosen comment; deleting asks first.
    CommentFields chosen = library.load(added.commentid).value();
    QVERIFY(chosen.Combo2 == u"Ferritin"_s && chosen.Text1 == u"5"_s && chosen.Text3 == text);
    chosen.Text3 = u"changed"_s;
    QCOMPARE(library.save(chosen, false).commentid, added.commentid);
    QVERIFY(!library.mayEdit({}) && install.dialogs.last().text == M::chooseCommentToEdit);
    QVERIFY(!library.remove({}) && install.dialogs.last().text == M::chooseCommentToDelete);
    install.dialogs.answers = {DialogAnswer::Cancel};
    QVERIFY(!library.remove(chosen));
    QCOMPARE(install.dialogs.last().text, M::deleteCommentQuestion);
    QVERIFY(library.remove(chosen));
    QCOMPARE(listed(u"F"_s), QString());
}

// The database goes away between loading a row and saving it: the connection message, the save
// refused, and nothing written once it is back.
void tst_RefData::databaseGoneBeforeSave()
{
    TestInstall install;
    QVERIFY(install.installDemoData());
    AppContext& context = install.context();
    TestCatalogue catalogue(context);
    ReferenceRanges ranges(context);
    CommentLibrary library(context);
    CatalogueFields test = catalogue.load(1).value();
    RangeFields range = ranges.load(1, RangeKind::ForAll).value();
    CommentFields comment = library.load(1).value();
    const QStringList before = allRows(install);
    const QString file = install.interfaceDbFile();
    QVERIFY(QFile::rename(file, file + u".away"_s));
    context.databases().closeAll();
    test.Txt1 = u"Changed"_s;
    range.Txt5 = u"9"_s;
    comment.Text3 = u"changed"_s;
    QVERIFY(!catalogue.save(test).done);
    QVERIFY(!ranges.save(range, RangeKind::ForAll).done);
    QVERIFY(!library.save(comment, false).done);
    QCOMPARE(install.dialogs.shown.size(), 3);
    for (const DialogRequest& shown : std::as_const(install.dialogs.shown))
        QVERIFY(shown.title == DbMessages::connectionTitle && shown.text == DbMessages::interfaceFailed);
    QVERIFY(QFile::rename(file + u".away"_s, file));
    QCOMPARE(allRows(install), before);
    // Back again, the same fields save.
    QVERIFY(catalogue.save(test).done && ranges.save(range, RangeKind::ForAll).done);
}

// A change saved through the windows' rules applies to the very next result the receiver stores,
// through the receive window's worker thread, without a restart.
void tst_RefData::savedChangesReachTheNextResult()
{
    ReceiveLab lab;
    QVERIFY(lab.ready);
    lab.install.setSetting("comsetup", "autoComment", "1");
    AppContext& context = lab.makeContext();
    lab.window(false);
    const auto send = [&lab](const QByteArray& sample, const QByteArray& value) {
        return lab.deliver(AnalyserCapture::session({ReceiveLab::result(sample, "TSH", value)}));
    };
    const QString query = u"SELECT resultt3, RESULTCASEPRINT, normalrang, comment FROM Result WHERE SampleID=?"_s;
    QVERIFY(send("260114000123", "4"));
    // The worker stores off the window's thread: the row is awaited, up to 10 s.
    QTRY_COMPARE_WITH_TIMEOUT(lab.install.text(Db::Interface, query, {u"260114000123"_s}), u"4||0.25 - 5.00|null"_s,
                              10000);

    // The factor, the range's limit, flag and comment change; the next result is evaluated with them.
    TestCatalogue catalogue(context);
    CatalogueFields tsh = catalogue.load(1).value();
    tsh.Txt_correctfactors = u"2"_s;
    QVERIFY(catalogue.save(tsh).done);
    ReferenceRanges ranges(context);
    RangeFields range = ranges.load(1, RangeKind::ForAll).value();
    range.Txt5 = u"6"_s;
    range.Txt3 = u"0.25 - 6"_s;
    range.Comb5 = u"High"_s;
    range.Txt7 = u"أعد التحليل"_s;
    QVERIFY(ranges.save(range, RangeKind::ForAll).done);
    QVERIFY(send("2601140009", "4"));
    QTRY_COMPARE_WITH_TIMEOUT(lab.install.text(Db::Interface, query, {u"2601140009"_s}),
                              u"8|High|0.25 - 6|أعد التحليل"_s, 10000);
}

void tst_RefData::archiveRoundTrip()
{
    TestInstall demo;
    QVERIFY(demo.installDemoData());
    // Nulls, Arabic, quotes, a catalogue row without an assay code and a range whose test is gone travel too.
    QVERIFY(
        demo.exec(Db::Interface, "INSERT INTO testtable (testsimp, correctfactors, active) VALUES ('Spare', 0.1, 0)"));
    QVERIFY(demo.exec(Db::Interface, "INSERT INTO normalrange (testcode, lowcomment) VALUES (77, ?)",
                      {u"قيمة 'منخفضة' \"1\""_s}));
    QVERIFY(demo.exec(Db::Interface, "DELETE FROM comments WHERE commentid=2"));
    QByteArray document;
    const QSqlDatabase source = demo.context().databases().OpenInterfaceDbQuiet(3);
    const RefDataArchive::Outcome exported = RefDataArchive::exportTables(source, document);
    QVERIFY2(exported.ok, qPrintable(exported.error));
    QVERIFY(exported.tests == 10 && exported.ranges == 15 && exported.comments == 3);

    TestInstall empty;
    QVERIFY(empty.createDatabases());
    AppContext& context = empty.context();
    const QSqlDatabase target = context.databases().OpenInterfaceDbQuiet(3);
    const RefDataArchive::Outcome imported = RefDataArchive::importTables(target, SqlEngine::Sqlite, document, false);
    QVERIFY2(imported.ok, qPrintable(imported.error));
    QCOMPARE(allRows(empty), allRows(demo));
    // Keys go on from where they were: a new test after the import gets a code of its own.
    QVERIFY(TestCatalogue(context).save(catalogueFields({u"Txt1=Next"_s})).testcode == 11);

    // Into tables that hold rows only when asked to replace them.
    const QStringList held = allRows(empty);
    const RefDataArchive::Outcome refused = RefDataArchive::importTables(target, SqlEngine::Sqlite, document, false);
    QVERIFY(!refused.ok && refused.error.contains(u"--replace"_s) && refused.error.contains(u"11 rows in testtable"_s));
    QCOMPARE(allRows(empty), held);
    QVERIFY(RefDataArchive::importTables(target, SqlEngine::Sqlite, document, true).ok);
    QCOMPARE(allRows(empty), allRows(demo));
}

void tst_RefData::archiveRefusesBadFiles_data()
{
    QTest::addColumn<QString>("from"); // replaced in the exported document
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("error");
    QTest::newRow("not JSON") << u"\"testtable\""_s << u"testtable"_s << u"not a JSON document"_s;
    QTest::newRow("another document") << u"corvana-refdata"_s << u"other"_s << u"not a reference-data document"_s;
    QTest::newRow("letters in a number") << u"\"lowlimit\": 30,"_s << u"\"lowlimit\": \"3O\","_s
                                         << u"normalrange row 8, field lowlimit: must be a number or null (\"3O\")"_s;
    QTest::newRow("a key twice") << u"\"commentid\": 3,"_s << u"\"commentid\": 1,"_s
                                 << u"comments row 3, field commentid: the key 1 stands twice"_s;
    QTest::newRow("a column unknown") << u"\"testabrev\": \"PRL\","_s << u"\"testabbrev\": \"PRL\","_s
                                      << u"testtable row 3, field testabbrev: no such column"_s;
    QTest::newRow("a table missing") << u"\"comments\":"_s << u"\"notes\":"_s << u"unknown part \"notes\""_s;
    QTest::newRow("a Boolean as a number other than 0 or 1")
        << u"\"active\": true"_s << u"\"active\": 2"_s << u"testtable row 1, field active: must be true or false (2)"_s;
    // What the windows refuse, the import refuses, with the same rules.
    QTest::newRow("an assay code on two tests")
        << u"\"shortAssay\": \"FT4\","_s << u"\"shortAssay\": \"TSH\","_s
        << u"testtable row 2, field shortAssay: the assay code is already the test \"TSH\"'s"_s;
    QTest::newRow("a test without a name") << u"\"testsimp\": \"Anti-TPO\"\n"_s << u"\"testsimp\": \" \"\n"_s
                                           << u"testtable row 9, field testsimp: a test needs a name"_s;
    QTest::newRow("low limit above high") << u"\"lowlimit\": 30,"_s << u"\"lowlimit\": 500,"_s
                                          << u"normalrange row 8, field lowlimit: the low limit lies above"_s;
    QTest::newRow("an unknown age unit") << u"\"ageunit\": \"Years\","_s << u"\"ageunit\": \"Year\","_s
                                         << u"normalrange row 8, field ageunit: must be"_s;
    QTest::newRow("a range kind outside its list") << u"\"REFRANGE\": \"3\","_s << u"\"REFRANGE\": \"4\","_s
                                                   << u"normalrange row 4, field REFRANGE: must be one of"_s;
    QTest::newRow("a comment for no test") << u"\"testcode\": 4,"_s << u"\"testcode\": 44,"_s
                                           << u"comments row 3, field testcode: no test of the catalogue"_s;
    QTest::newRow("a member given twice") << u"\"active\": true,"_s << u"\"active\": true, \"active\": false,"_s
                                          << u"a member is given twice in one object: \"active\""_s;
    QTest::newRow("a broken Boolean") << u"\"active\": true"_s << u"\"active\": \"yes\""_s
                                      << u"testtable row 1, field active: must be true or false"_s;
}

// A bad file changes nothing, not even in tables that come before the faulty row.
void tst_RefData::archiveRefusesBadFiles()
{
    QFETCH(QString, from);
    QFETCH(QString, to);
    TestInstall demo;
    QVERIFY(demo.installDemoData());
    QByteArray document;
    const QSqlDatabase db = demo.context().databases().OpenInterfaceDbQuiet(3);
    QVERIFY(RefDataArchive::exportTables(db, document).ok);
    QString text = QString::fromUtf8(document);
    QVERIFY2(text.contains(from), qPrintable(text.left(400)));
    text.replace(text.indexOf(from), from.size(), to);
    QVERIFY(demo.exec(Db::Interface, "UPDATE testtable SET testsimp='changed here'"));
    const QStringList before = allRows(demo);
    const RefDataArchive::Outcome outcome = RefDataArchive::importTables(db, SqlEngine::Sqlite, text.toUtf8(), true);
    QFETCH(QString, error);
    QVERIFY2(!outcome.ok && outcome.error.contains(error), qPrintable(outcome.error));
    QCOMPARE(allRows(demo), before);
}

QTEST_MAIN(tst_RefData)
#include "tst_RefData.moc"
