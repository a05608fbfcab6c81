#include "ChainLab.h"
#include "db/DbMessages.h"
#include "db/ScopedConnection.h"
#include "link/LisExport.h"
#include "link/ReceivedSession.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTest>
#include <atomic>
#include <thread>

// The LIS export, the notification sound and the faults of the chain's databases, on SQLite.
class tst_ReceiveExport : public QObject
{
    Q_OBJECT

    // A laboratory with TSH (LIS code 501, range 0.25-5) requested for patient 2601140001230.
    static void prepare(ChainLab& lab)
    {
        lab.start();
        const qlonglong code = lab.addTest("TSH", 501, 1.0, "1", "Thyrotropin");
        lab.addRange({{"testcode", code},
                      {"REFRANGE", "1"},
                      {"pregsmok", "0"},
                      {"lowlimit", 0.25},
                      {"highlimit", 5.0},
                      {"nolowexe", "L"},
                      {"nohighexe", "H"},
                      {"lowcomment", "low comment"},
                      {"highcomment", "repeat in six weeks"},
                      {"normalrang", "0.25 - 5.00"},
                      {"testunit", "uUI/ml"}});
        lab.addTest("CRP", 504, 1.0, "1");
        lab.addTest("FT4", {}, 1.0, "1"); // no LIS code
        lab.addPatient("2601140001230", "Male", 45, "Years", "0000000000");
        lab.addRequest("2601140001230", 501);
    }

private slots:
    void exportedRowColumnByColumn();
    void exportSettings_data();
    void exportSettings();
    void lisUnreachable();
    void notification();
    void lockedInterfaceDatabaseWaits();
};

void tst_ReceiveExport::exportedRowColumnByColumn()
{
    ChainLab lab;
    QVERIFY(lab.created);
    lab.set("comsetup", "autsavecrv", "1");
    lab.set("comsetup", "autoComment", "1");
    prepare(lab);
    lab.install.clock.set(QDateTime(QDate(2026, 12, 4), QTime(15, 7))); // a Friday afternoon
    SqlRun::exec(lab.lis(), "UPDATE patientinfo SET requestdate=? ", {QDate(2026, 12, 4)});

    lab.receive({ChainLab::result("260114000123", "TSH", "7.5 mU/l", "High")});
    const QSqlRecord t = lab.request("2601140001230", 501);
    QCOMPARE(t.value("resultfinsh").toInt(), 1);
    QCOMPARE(t.value("edituser").toString(), QStringLiteral("VIDAS INTERFACE"));
    QCOMPARE(t.value("editdate").toString(), QStringLiteral("Friday, 04 Dec 2026   03:07 PM"));
    QCOMPARE(t.value("resultt").toString(), QStringLiteral("High (7.5)"));
    QCOMPARE(t.value("resultt1").toString(), QStringLiteral("High"));
    QCOMPARE(t.value("resultt2").toString(), QStringLiteral("7.5"));
    QCOMPARE(t.value("RESULTCASEPRINT").toString(), QStringLiteral("H"));
    QCOMPARE(t.value("lowlimit").toDouble(), 0.25);
    QCOMPARE(t.value("highlimit").toDouble(), 5.0);
    QCOMPARE(t.value("nolowexe").toString(), QStringLiteral("L"));
    QCOMPARE(t.value("nohighexe").toString(), QStringLiteral("H"));
    QCOMPARE(t.value("normalrang").toString(), QStringLiteral("0.25 - 5.00"));
    QCOMPARE(t.value("testunit").toString(), QStringLiteral("uUI/ml"));
    QCOMPARE(t.value("commentx").toString(), QStringLiteral("repeat in six weeks"));
    QCOMPARE(t.value("testsimp").toString(), QStringLiteral("requested")); // the LIS's own columns stay
    QCOMPARE(lab.lines, QStringList{"2601140001230     Yes"});

    const QSqlRecord r = lab.results().value(0);
    QCOMPARE(r.value("resultt1").toString(), t.value("resultt").toString());
    QCOMPARE(r.value("resultt2").toString(), t.value("resultt1").toString());
    QCOMPARE(r.value("resultt3").toString(), t.value("resultt2").toString());
    QCOMPARE(r.value("comment").toString(), QStringLiteral("repeat in six weeks"));
    QCOMPARE(r.value("testunit").toString(), QStringLiteral("uUI/ml"));
    QCOMPARE(r.value("TestTime").toString(), QStringLiteral("03:07 PM"));
    QCOMPARE(r.value("Testdate").toString(), QStringLiteral("2026-12-04"));

    // Stored again a minute later: the same LIS row is overwritten with the new time.
    lab.install.clock.set(QDateTime(QDate(2026, 12, 4), QTime(15, 8)));
    lab.receive({ChainLab::result("260114000123", "TSH", "3.1 mU/l")});
    const QSqlRecord again = lab.request("2601140001230", 501);
    QCOMPARE(again.value("editdate").toString(), QStringLiteral("Friday, 04 Dec 2026   03:08 PM"));
    QCOMPARE(again.value("resultt").toString(), QStringLiteral("3.1"));
    QCOMPARE(again.value("RESULTCASEPRINT").toString(), QString());
    QCOMPARE(SqlRun::select(lab.lis(), "SELECT * FROM patienttest").records.size(), 1);
    QCOMPARE(lab.results().size(), 1);
}

void tst_ReceiveExport::exportSettings_data()
{
    QTest::addColumn<QString>("autsavecrv");
    QTest::addColumn<QString>("lisActive");
    QTest::addColumn<QByteArray>("sample");
    QTest::addColumn<QByteArray>("assay");
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("written");
    QTest::addColumn<bool>("warned");

    QTest::newRow("on") << "1"
                        << "1" << QByteArray("260114000123") << QByteArray("TSH") << "2601140001230     Yes" << true
                        << false;
    QTest::newRow("off") << "0"
                         << "1" << QByteArray("260114000123") << QByteArray("TSH") << "2601140001230     No" << false
                         << false;
    // With the LIS off no patient is looked up; a 13-character sample identifier still qualifies.
    QTest::newRow("LIS off") << "1"
                             << "0" << QByteArray("2601140001230") << QByteArray("TSH") << "2601140001230     No"
                             << false << true;
    QTest::newRow("LIS off, sending off: no message")
        << "0"
        << "0" << QByteArray("2601140001230") << QByteArray("TSH") << "2601140001230     No" << false << false;
    QTest::newRow("LIS off, 12 characters: no message")
        << "1"
        << "0" << QByteArray("260114000123") << QByteArray("TSH") << "260114000123     No" << false << false;
    QTest::newRow("no requested row") << "1"
                                      << "1" << QByteArray("260114000123") << QByteArray("CRP")
                                      << "2601140001230     No" << false << false;
    QTest::newRow("no LIS code") << "1"
                                 << "1" << QByteArray("260114000123") << QByteArray("FT4") << "260114000123     No"
                                 << false << false;
    QTest::newRow("14 characters") << "1"
                                   << "1" << QByteArray("26011400012300") << QByteArray("TSH")
                                   << "26011400012300     No" << false << false;
    QTest::newRow("patient unknown") << "1"
                                     << "1" << QByteArray("260114000999") << QByteArray("TSH") << "260114000999     No"
                                     << false << false;
}

void tst_ReceiveExport::exportSettings()
{
    QFETCH(QString, autsavecrv);
    QFETCH(QString, lisActive);
    QFETCH(QByteArray, sample);
    QFETCH(QByteArray, assay);
    QFETCH(QString, line);
    QFETCH(bool, written);
    QFETCH(bool, warned);

    ChainLab lab;
    QVERIFY(lab.created);
    lab.set("comsetup", "autsavecrv", autsavecrv);
    lab.set("corvanaserver", "active", lisActive);
    prepare(lab);
    lab.receive({ChainLab::result(sample, assay, "2.35")});
    lab.receive({ChainLab::result(sample, assay, "2.4")});

    QCOMPARE(lab.lines, QStringList(2, line));
    QCOMPARE(lab.results().size(), 1); // stored whatever happens to the export
    QCOMPARE(lab.request("2601140001230", 501).value("resultfinsh").toInt(), written ? 1 : 0);
    QCOMPARE(lab.request("2601140001230", 501).value("resultt").toString(), written ? "2.4" : QString());
    // The message comes once for every result that qualifies.
    QCOMPARE(lab.install.dialogs.shown.size(), warned ? 2 : 0);
    if (warned) {
        const DialogRequest& shown = lab.install.dialogs.last();
        QCOMPARE(shown.title, QStringLiteral("تنبية  !"));
        QCOMPARE(shown.text, LisExport::lisOffText);
        QCOMPARE(shown.icon, DialogIcon::Warning);
        QCOMPARE(shown.buttons, DialogButtons::Ok);
    }
}

void tst_ReceiveExport::lisUnreachable()
{
    ChainLab lab;
    QVERIFY(lab.created);
    lab.set("comsetup", "autsavecrv", "1");
    prepare(lab);
    lab.context->databases().closeAll();
    const QString lisFile = lab.install.lisDbFile();
    QVERIFY(QFile::rename(lisFile, lisFile + ".away"));

    // Without the LIS the patient cannot be known: the session waits rather than being stored
    // under the bare sample without its patient, range and LIS write.
    ReceivedSession session;
    session.bytes = AnalyserCapture::session({ChainLab::result("260114000123", "TSH", "2.35")});
    session.receivedAt = lab.install.clock.now();
    session.origin = ReceivedSession::Origin::Line;
    const ReceiveChain::Outcome waiting = lab.chain->processSession(session);
    QCOMPARE(waiting.result, ReceiveChain::Result::Retry);
    QVERIFY2(waiting.reason.startsWith("LIS database"), qPrintable(waiting.reason));
    QVERIFY(lab.results().isEmpty());
    QVERIFY(lab.lines.isEmpty());
    QCOMPARE(lab.install.dialogs.last().text, DbMessages::lisServerFailed);

    // The LIS is back: the same session is stored with its patient and written into the LIS.
    QVERIFY(QFile::rename(lisFile + ".away", lisFile));
    QCOMPARE(lab.chain->processSession(session).result, ReceiveChain::Result::Done);
    const QList<QSqlRecord> rows = lab.results();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().value("patientid").toString(), QStringLiteral("2601140001230"));
    QCOMPARE(lab.lines, QStringList{"2601140001230     Yes"});
}

void tst_ReceiveExport::notification()
{
    ChainLab lab;
    QVERIFY(lab.created);
    lab.set("comsetup", "soudorno", "1");
    lab.set("comsetup", "soundname", "ding.mp3");
    prepare(lab);
    const QString path = QDir(lab.install.path()).filePath("PROC/ding.mp3");

    lab.receive({ChainLab::result("260114000123", "TSH", "2.35")});
    QCOMPARE(lab.sound.calls, (QStringList{"close", "open " + path, "play"}));
    QVERIFY(lab.timersx.isActive());

    // A sound that arrives while one plays replaces it.
    lab.sound.calls.clear();
    lab.receive({ChainLab::result("260114000124", "TSH", "2.35")});
    QCOMPARE(lab.sound.calls, (QStringList{"close", "open " + path, "play"}));

    // Timersx cuts it and stops.
    lab.sound.calls.clear();
    lab.timersx.setInterval(20);
    QTRY_VERIFY(!lab.timersx.isActive());
    QCOMPARE(lab.sound.calls, QStringList{"close"});

    // A file that cannot be played: silent, and the timer is not started.
    lab.sound.calls.clear();
    lab.sound.openWorks = false;
    lab.receive({ChainLab::result("260114000125", "TSH", "2.35")});
    QVERIFY(!lab.timersx.isActive());
    QVERIFY(lab.install.dialogs.shown.isEmpty());

    // Sound off: nothing is played.
    lab.set("comsetup", "soudorno", "0");
    lab.start();
    lab.sound.calls.clear();
    lab.receive({ChainLab::result("260114000126", "TSH", "2.35")});
    QVERIFY(lab.sound.calls.isEmpty());
}

void tst_ReceiveExport::lockedInterfaceDatabaseWaits()
{
    ChainLab lab;
    QVERIFY(lab.created);
    prepare(lab);
    const QString file = lab.install.interfaceDbFile();

    // Another program holds the write lock for two seconds.
    std::atomic<bool> locked{false};
    std::atomic<bool> failed{false};
    std::thread holder([&file, &locked, &failed] {
        ScopedConnection other(QStringLiteral("QSQLITE"));
        if (!other.openSqlite(file)) {
            failed = true;
            return;
        }
        QSqlQuery q(other.db());
        q.exec(QStringLiteral("BEGIN EXCLUSIVE"));
        q.exec(QStringLiteral("INSERT INTO comments (Comments) VALUES ('held')"));
        locked = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(2000));
        q.exec(QStringLiteral("COMMIT"));
    });
    while (!locked && !failed)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (failed) {
        holder.join();
        QFAIL("the interface database could not be opened a second time");
    }
    lab.receive({ChainLab::result("260114000123", "TSH", "2.35")});
    holder.join();

    QCOMPARE(lab.results().size(), 1);
    QCOMPARE(lab.results().first().value("resultt1").toString(), QStringLiteral("2.35"));
    QCOMPARE(SqlRun::select(lab.iface(), "SELECT * FROM comments").records.size(), 1);
}

QTEST_GUILESS_MAIN(tst_ReceiveExport)
#include "tst_ReceiveExport.moc"
