#include "TestInstall.h"
#include "link/AnalyserCapture.h"
#include "link/ReceiveChain.h"

#include <QSignalSpy>
#include <QTest>

#include <functional>

namespace {

// Records which step ran on which record, and lets a test change the record inside a step.
class RecordingSteps final : public RecordSteps
{
public:
    void Evaluate(CurrentResult& record) override
    {
        log("Evaluate", record);
        if (onEvaluate)
            onEvaluate(record);
    }
    void Flag(CurrentResult& record) override { log("Flag", record); }
    void StoreResult(CurrentResult& record) override { log("StoreResult", record); }
    void StoreResultNoSample(CurrentResult& record) override { log("StoreResultNoSample", record); }

    QStringList calls;
    std::function<void(CurrentResult&)> onEvaluate;

private:
    void log(const char* step, const CurrentResult& record)
    {
        calls << QString::fromLatin1(step) + QLatin1Char(' ') + record.Txt_shortAssay;
    }
};

// One session of the analyser around the given records (each from "|pi" to the checksum).
QByteArray session(const QList<QByteArray>& records)
{
    QByteArray bytes("\x05");
    for (const QByteArray& record : records) {
        const QByteArray body = "\x1emtrsl" + record + "\x1d";
        bytes += "\x02" + body + AnalyserCapture::checksum(body) + "\x03";
    }
    return bytes + "\x04";
}

QByteArray record(const QByteArray& id, const QByteArray& assay, const QByteArray& reading, const QByteArray& value)
{
    return "|\x1epi|\x1epn|\x1esi|\x1e"
           "ci" +
           id + "|\x1ert" + assay + "|\x1ern" + assay + " long|\x1ett08:01|\x1etd12/05/26|\x1eql" + reading +
           "|\x1eqn" + value + "|";
}

QStringList ids(const QSignalSpy& spy)
{
    QStringList list;
    for (const QList<QVariant>& arguments : spy)
        list << arguments.at(0).value<CurrentResult>().LblSampID;
    return list;
}

} // namespace

class tst_ReceiveChain : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<CurrentResult>(); }
    void stepsFollowTheRecord();
    void evaluationChangesTheResultText();
    void everyRecordStartsReset();
    void computerClockWhenSet();
    void emptiesAreaWithoutRecords();
};

void tst_ReceiveChain::stepsFollowTheRecord()
{
    TestInstall install;
    QVERIFY(install.createDatabases());
    ReceiveChain chain(install.context());
    RecordingSteps steps;
    chain.setSteps(&steps);
    QSignalSpy parsed(&chain, &ReceiveChain::recordParsed);

    QByteArray area = sampleBytes(QStringLiteral("three-results-one-session.bin"));
    area += session({record("", "", "", "7"),               // no assay: no evaluation, no storage
                     record("55", "CRP", "", ""),           // nothing to report: no flag, no storage
                     record("", "", "", ""),                // nothing at all, still a record
                     record("56", "HIV", "Positive", "")}); // reading only
    chain.ParseMessages(area);

    QCOMPARE(steps.calls, QStringList({"Evaluate FT4", "Flag FT4", "StoreResult FT4",         //
                                       "Evaluate FER", "Flag FER", "StoreResultNoSample FER", //
                                       "Evaluate PRL", "Flag PRL", "StoreResult PRL",         //
                                       "Flag ",                                               //
                                       "Evaluate CRP",                                        //
                                       "Evaluate HIV", "Flag HIV", "StoreResult HIV"}));
    QCOMPARE(ids(parsed), QStringList({"260114000123", "", "260114000124", "", "55", "", "56"}));
    const auto first = parsed.at(0).at(0).value<CurrentResult>();
    QCOMPARE(first.Txt_resultt1, QStringLiteral("12.79"));
    QCOMPARE(first.Txt_TESTUNIT, QStringLiteral("pmol/l"));
    QCOMPARE(parsed.at(1).at(0).value<CurrentResult>().Txt_resultt1, QStringLiteral("> 1200"));
    QCOMPARE(chain.current().Txt_resultt1, QStringLiteral("Positive"));
    QVERIFY(area.isEmpty());
}

void tst_ReceiveChain::evaluationChangesTheResultText()
{
    TestInstall install;
    QVERIFY(install.createDatabases());
    ReceiveChain chain(install.context());
    RecordingSteps steps;
    chain.setSteps(&steps);
    QStringList seen;
    steps.onEvaluate = [&seen](CurrentResult& r) {
        // The evaluation sees the read record before any result text exists.
        seen << r.LblPatID + "/" + r.Txt_resultt3 + "/" + r.Txt_resultt1;
        r.Txt_resultt3 = r.Txt_resultt3 == QLatin1String("2") ? QStringLiteral("4") : QString();
    };

    QByteArray area = session({record("A1", "TSH", "High", "2 mU/l"), record("A2", "FSH", "", "3")});
    chain.ParseMessages(area);

    QCOMPARE(seen, QStringList({"A1/2/", "A2/3/"}));
    // The first is reported with the evaluated value; the second lost its value and is not stored.
    QCOMPARE(steps.calls, QStringList({"Evaluate TSH", "Flag TSH", "StoreResult TSH", "Evaluate FSH"}));
    QCOMPARE(chain.current().Txt_resultt1, QString());
}

void tst_ReceiveChain::everyRecordStartsReset()
{
    TestInstall install;
    QVERIFY(install.createDatabases());
    ReceiveChain chain(install.context());
    RecordingSteps steps;
    chain.setSteps(&steps);
    QStringList seen;
    steps.onEvaluate = [&seen](CurrentResult& r) {
        seen << r.Txt_correctfactors + "/" + r.txt_comment + "/" + QString::number(r.Chk_pregsmok);
        r.Txt_correctfactors = QStringLiteral("2.5");
        r.txt_comment = QStringLiteral("recheck");
        r.Chk_pregsmok = 1;
    };
    QByteArray area = session({record("1", "TSH", "", "2"), record("2", "TSH", "", "2")});
    chain.ParseMessages(area);
    QCOMPARE(seen, QStringList({"1//0", "1//0"}));

    // A skipped piece resets too: the last record is not left behind.
    QByteArray shortOne = session({"|too short"});
    chain.ParseMessages(shortOne);
    QCOMPARE(chain.current().LblSampID, QString());
    QCOMPARE(chain.current().Txt_correctfactors, QStringLiteral("1"));
}

void tst_ReceiveChain::computerClockWhenSet()
{
    TestInstall install;
    QVERIFY(install.createDatabases());
    install.setSetting(QStringLiteral("comsetup"), QStringLiteral("PCdateYN"), QStringLiteral("1"));
    install.clock.set(QDateTime(QDate(2027, 3, 9), QTime(0, 30)));
    ReceiveChain chain(install.context());
    QByteArray area = sampleBytes(QStringLiteral("quantitative-unit.bin"));
    chain.ParseMessages(area);
    QCOMPARE(chain.current().LblTestDate, QStringLiteral("09-Mar-2027"));
    QCOMPARE(chain.current().LblTestTime, QStringLiteral("12:30 AM"));

    install.setSetting(QStringLiteral("comsetup"), QStringLiteral("PCdateYN"), QStringLiteral("0"));
    ReceiveChain recordTime(install.context());
    area = sampleBytes(QStringLiteral("quantitative-unit.bin"));
    recordTime.ParseMessages(area);
    QCOMPARE(recordTime.current().LblTestDate, QStringLiteral("05/12/2026"));
    QCOMPARE(recordTime.current().LblTestTime, QStringLiteral("09:42 AM"));
}

void tst_ReceiveChain::emptiesAreaWithoutRecords()
{
    TestInstall install;
    QVERIFY(install.createDatabases());
    ReceiveChain chain(install.context());
    QSignalSpy parsed(&chain, &ReceiveChain::recordParsed);
    QByteArray area("\x00\xff junk\r\n\x05\x02\x1emtrsl|\x1epi|\x1d"
                    "00\x03\x04",
                    27);
    chain.ParseMessages(area);
    QVERIFY(area.isEmpty());
    QCOMPARE(parsed.size(), 0);
}

QTEST_GUILESS_MAIN(tst_ReceiveChain)
#include "tst_ReceiveChain.moc"
