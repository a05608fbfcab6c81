#include "TestInstall.h"
#include "review/ResultSearch.h"
#include "review/SearchMessages.h"

#include <QTest>

using namespace Qt::StringLiterals;
using ResultSearch::Kind;

// The search over a stored day's results: which rows each kind of request finds, and which
// requests are refused before anything runs.
class TestResultSearch : public QObject
{
    Q_OBJECT

    TestInstall m_install;

    void addResult(const QString& sample, const QString& patient, const QString& name, const QString& sex,
                   const QDate& date, const QString& test, const QString& value)
    {
        QVERIFY(m_install.exec(TestInstall::Db::Interface,
                               u"INSERT INTO Result (SampleID,patientid,Patientname,sex,Testdate,testsimp,resultt1) "
                               "VALUES (?,?,?,?,?,?,?)"_s,
                               {sample, patient, name, sex, date, test, value}));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_install.installDemoData());
        const QDate d(2026, 12, 1);
        addResult(u"11"_s, u"P1"_s, u"O'Brien Mary"_s, u"Female"_s, d, u"TSH"_s, u"4.8"_s);
        addResult(u"12"_s, u"P2"_s, u"محمد علي"_s, u"Male"_s, d.addDays(1), u"TSH"_s, u"5"_s);
        addResult(u"13"_s, u"P3"_s, u"100% sure_x"_s, u"Male"_s, d.addDays(2), u"TSH"_s, u"12.5"_s);
        addResult(u"14"_s, u"P4"_s, u"1000 sureAx"_s, u"Female"_s, d.addDays(3), u"HBS"_s, u"Positive"_s);
        addResult(u"15"_s, u"P5"_s, u"Brian Obrien"_s, u"Male"_s, d.addDays(3), u"HBS"_s, u"Negative"_s);
        addResult(u"16"_s, u"P6"_s, QString(500, u'ن'), u"Male"_s, d.addDays(4), u"TSH"_s, u"<0.1"_s);
        // A patient with many results, to fill the list.
        for (int i = 0; i < 101; ++i)
            addResult(QString::number(1000 + i), u"BIG"_s, u"Zed Many"_s, u"Male"_s, d.addDays(10), u"FER"_s,
                      QString::number(i));
    }

    void search_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("fields"); // what is typed: sample|patient|name|sex|test|compare|number
        QTest::addColumn<int>("dates");          // 0: no dates, 1: 1-3 Dec, 2: 3-1 Dec (reversed), 3: 3-3 Dec
        QTest::addColumn<QString>("expected");   // sample IDs found, or the warning

        const auto row = [](const char* name, Kind kind, QStringList fields, int dates, QString expected) {
            QTest::newRow(name) << int(kind) << fields << dates << expected;
        };
        // name|sex given with the boxes ticked when not empty
        row("sample id", Kind::SampleId, {"12"}, 0, "12");
        row("sample id missing", Kind::SampleId, {""}, 0, SearchMessages::noSampleId);
        row("patient id", Kind::PatientId, {"", "P4"}, 0, "14");
        row("patient id missing", Kind::PatientId, {"", ""}, 0, SearchMessages::noPatientId);
        row("quote in name", Kind::PatientData, {"", "", "O'Brien"}, 0, "11");
        row("name part, any case", Kind::PatientData, {"", "", "obrien"}, 0, "15");
        row("percent taken as is", Kind::PatientData, {"", "", "0% s"}, 0, "13");
        row("underscore taken as is", Kind::PatientData, {"", "", "e_x"}, 0, "13");
        row("arabic", Kind::PatientData, {"", "", "علي"}, 0, "12");
        row("500 characters", Kind::PatientData, {"", "", QString(500, u'ن')}, 0, "16");
        row("sex and dates", Kind::PatientData, {"", "", "", "Female"}, 1, "11");
        row("equal dates", Kind::PatientData, {"", "", "", ""}, 3, "13");
        row("reversed dates", Kind::PatientData, {"", "", "O"}, 2, SearchMessages::datesReversed);
        row("test missing", Kind::Test, {"", "", "", "", ""}, 0, SearchMessages::noTest);
        row("positive exactly", Kind::Test, {"", "", "", "", "HBS", "Positive"}, 0, "14");
        row("at least 5", Kind::Test, {"", "", "", "", "TSH", ">", "5"}, 0, "12,13");
        row("below 5", Kind::Test, {"", "", "", "", "TSH", "<", "5"}, 0, "11");
        row("compare with 0", Kind::Test, {"", "", "", "", "TSH", ">", "0"}, 0, SearchMessages::noValue);
        row("compare with letters", Kind::Test, {"", "", "", "", "TSH", "<", "abc"}, 0, SearchMessages::noValue);
        row("test alone", Kind::Test, {"", "", "", "", "HBS"}, 0, "14,15");
    }

    void search()
    {
        QFETCH(int, kind);
        QFETCH(QStringList, fields);
        QFETCH(int, dates);
        QFETCH(QString, expected);
        fields.resize(7);
        ResultSearch::Request r;
        r.kind = Kind(kind);
        r.sampleId = fields[0];
        r.patientId = fields[1];
        r.byName = !fields[2].isEmpty();
        r.name = fields[2];
        r.bySex = !fields[3].isEmpty();
        r.sex = fields[3];
        r.test = fields[4];
        r.compare = fields[5];
        r.number = fields[6];
        r.byDate = dates != 0;
        const QDate first(2026, 12, 1), third(2026, 12, 3);
        r.first = dates == 2 || dates == 3 ? third : first;
        r.last = dates == 2 ? first : third;

        const ResultSearch::Outcome outcome = ResultSearch::search(m_install.context(), r);
        if (outcome.state == ResultSearch::Outcome::State::Refused) {
            QCOMPARE(outcome.warning, expected);
            return;
        }
        QCOMPARE(outcome.state, ResultSearch::Outcome::State::Ran);
        QStringList found;
        for (const ResultSearch::Hit& hit : outcome.hits)
            found.append(hit.sampleId);
        found.sort();
        QCOMPARE(found.join(u','), expected);
    }

    // The list holds at most 100 hits, and the count says when there may be more.
    void fullList()
    {
        ResultSearch::Request r;
        r.kind = Kind::PatientId;
        r.patientId = u"BIG"_s;
        const ResultSearch::Outcome all = ResultSearch::search(m_install.context(), r);
        QCOMPARE(all.hits.size(), 100);
        QCOMPARE(ResultSearch::countText(int(all.hits.size())), u"> 100"_s);
        QCOMPARE(ResultSearch::countText(99), u"99"_s);
        QCOMPARE(ResultSearch::countText(0), u"0"_s);
        // Both boxes ticked and both empty: nothing runs and nothing is said.
        r = {};
        r.byName = r.bySex = true;
        r.sex.clear();
        const ResultSearch::Outcome none = ResultSearch::search(m_install.context(), r);
        QCOMPARE(none.state, ResultSearch::Outcome::State::Refused);
        QVERIFY(none.warning.isEmpty());
        QVERIFY(none.clearsGrid);
        QCOMPARE(ResultSearch::testNames(m_install.context()), (QStringList{u"FER"_s, u"HBS"_s, u"TSH"_s}));
    }
};

QTEST_GUILESS_MAIN(TestResultSearch)
#include "tst_ResultSearch.moc"
