#include "TestInstall.h"
#include "db/Databases.h"
#include "db/SqlRun.h"
#include "link/ReceiveWindow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// The whole receive path: the simulated analyser sends captures over a pseudo-terminal to the
// receive window, which answers, cuts, archives, evaluates, stores and exports into SQLite
// databases holding the demo catalogue and today's demo requests.
class TestReceiveEndToEnd : public QObject
{
    Q_OBJECT

    static QVariantMap rowOf(const QSqlRecord& record)
    {
        QVariantMap map;
        for (int i = 0; i < record.count(); ++i)
            map.insert(record.fieldName(i), record.value(i));
        return map;
    }

    // Compares every listed column; a QVariant without value expects a null.
    static bool columnsMatch(const QVariantMap& row, const QList<std::pair<const char*, QVariant>>& expected)
    {
        bool all = true;
        for (const auto& [name, want] : expected) {
            const QVariant got = row.value(QString::fromLatin1(name));
            const bool same = want.isValid() ? (!got.isNull() && got.toString() == want.toString()) : got.isNull();
            if (!same) {
                qWarning("column %s: got \"%s\"%s, expected \"%s\"%s", name, qUtf8Printable(got.toString()),
                         got.isNull() ? " (null)" : "", qUtf8Printable(want.toString()),
                         want.isValid() ? "" : " (null)");
                all = false;
            }
        }
        return all;
    }

private slots:
    void simulatorToDatabases()
    {
        const QString simulator = QStringLiteral(CORVANA_BINARY_DIR "/tools/vidas-sim");
        if (!QFileInfo(simulator).isExecutable())
            QSKIP("vidas-sim is not built");
        TestInstall install;
        QVERIFY(install.installDemoData());
        install.setSetting("comsetup", "autsavecrv", "1");
        install.setSetting("comsetup", "autoComment", "1");

        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("line"));
        const QStringList captures{"three-results-one-session.bin", "quantitative-unit.bin"};
        QStringList arguments{"--pty-link", link, "--chunk",       "9",   "--delay", "2",
                              "--pause",    "50", "--ack-timeout", "3000"};
        QByteArray sent;
        for (const QString& name : captures) {
            arguments << "--file" << QDir(QStringLiteral(CORVANA_SAMPLES_DIR)).filePath(name);
            sent += sampleBytes(name);
        }
        QProcess sim;
        sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        sim.start(simulator, arguments);
        QVERIFY(sim.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(link).size() > 0, 5000);
        QFile linkFile(link);
        QVERIFY(linkFile.open(QIODevice::ReadOnly));
        install.setSetting("comsetup", "device", QString::fromLocal8Bit(linkFile.readAll()).trimmed());

        AppContext& context = install.context();
        QPointer<ReceiveWindow> window = new ReceiveWindow(context);
        auto* count = window->findChild<QLabel*>(QStringLiteral("Lbl_samplenum"));
        auto* list = window->findChild<QListWidget*>(QStringLiteral("Lst_NotSentID"));
        QTRY_COMPARE_WITH_TIMEOUT(count->text(), QStringLiteral("4"), 30000);
        sim.terminate();
        QVERIFY(sim.waitForFinished(5000));

        QStringList lines;
        for (int i = 0; i < list->count(); ++i)
            lines << list->item(i)->text();
        QCOMPARE(lines, (QStringList{"2601140001230     Yes", "FER   08:05 AM     No", "2601140001247     Yes",
                                     "2601140001230     Yes"}));

        QSqlDatabase iface = context.databases().OpenInterfaceDbQuiet(1);
        const SqlRun::Rows rows = SqlRun::select(iface, "SELECT * FROM Result ORDER BY AutoNum");
        QVERIFY(rows.ok);
        QCOMPARE(rows.records.size(), 4);
        const auto code = [&iface](const char* assay) {
            return SqlRun::first(iface, "SELECT testcode FROM testtable WHERE shortAssay=?", {assay})->value(0);
        };
        QVERIFY(columnsMatch(rowOf(rows.records[0]), {{"SampleID", "260114000123"},
                                                      {"patientid", "2601140001230"},
                                                      {"Patientname", QString::fromUtf8("أحمد محمود علي")},
                                                      {"patientsefa", QString::fromUtf8("السيد")},
                                                      {"DocName", QString::fromUtf8("سامي حسن")},
                                                      {"Drsefa", QString::fromUtf8("د/")},
                                                      {"sex", "Male"},
                                                      {"ageN", 45},
                                                      {"ageU", "Years"},
                                                      {"Testdate", "2026-12-05"},
                                                      {"TestTime", "02:07 PM"},
                                                      {"sending", 0},
                                                      {"testcode", code("FT4")},
                                                      {"testsimp", "Free T4"},
                                                      {"testabrev", "FT4"},
                                                      {"subgroupname", "Thyroid"},
                                                      {"shortAssay", "FT4"},
                                                      {"crvtestid", {}},
                                                      {"arrangnum", {}},
                                                      {"REFRANGE", 1},
                                                      {"LongAssay", "Free T4"},
                                                      {"resultt1", "12.79"},
                                                      {"resultt2", ""},
                                                      {"resultt3", "12.79"},
                                                      {"testunit", "pmol/l"},
                                                      {"lowlimit", 9},
                                                      {"highlimit", 19},
                                                      {"nolowexe", "L"},
                                                      {"nohighexe", "H"},
                                                      {"normalrang", "9 - 19"},
                                                      {"RESULTCASEPRINT", ""},
                                                      {"comment", {}}}));
        QVERIFY(columnsMatch(rowOf(rows.records[1]), {{"SampleID", ""},
                                                      {"patientid", ""},
                                                      {"Patientname", "FER   08:05 AM"},
                                                      {"patientsefa", {}},
                                                      {"DocName", {}},
                                                      {"sex", {}},
                                                      {"ageN", {}},
                                                      {"testcode", code("FER")},
                                                      {"testsimp", "Ferritin"},
                                                      {"REFRANGE", 0},
                                                      {"resultt1", "> 1200"},
                                                      {"resultt3", "> 1200"},
                                                      {"testunit", "ng/ml"},
                                                      {"normalrang", ""},
                                                      {"RESULTCASEPRINT", ""},
                                                      {"lowlimit", 0},
                                                      {"sending", 0}}));
        // A pregnant patient: the range of her state, and the reading as the result.
        QVERIFY(columnsMatch(rowOf(rows.records[2]), {{"SampleID", "260114000124"},
                                                      {"patientid", "2601140001247"},
                                                      {"Patientname", QString::fromUtf8("فاطمة عبد الله")},
                                                      {"sex", "Female"},
                                                      {"ageN", 32},
                                                      {"sending", 1},
                                                      {"testcode", code("PRL")},
                                                      {"REFRANGE", 3},
                                                      {"resultt1", "Negative"},
                                                      {"resultt2", "Negative"},
                                                      {"resultt3", ""},
                                                      {"testunit", "ng/ml"},
                                                      {"normalrang", "9.7 - 208.5"},
                                                      {"lowlimit", 9.7},
                                                      {"highlimit", 208.5},
                                                      {"RESULTCASEPRINT", ""},
                                                      {"comment", {}}}));
        QVERIFY(columnsMatch(rowOf(rows.records[3]), {{"SampleID", "260114000123"},
                                                      {"shortAssay", "TSH"},
                                                      {"resultt1", "2.35"},
                                                      {"testunit", "uUI/ml"},
                                                      {"normalrang", "0.25 - 5.00"}}));

        QSqlDatabase lis = context.databases().OpenLisDb();
        const auto request = [&lis](const char* id, int testcode) {
            return rowOf(
                *SqlRun::first(lis, "SELECT * FROM patienttest WHERE patientid=? AND testcode=?", {id, testcode}));
        };
        const QString editdate = QStringLiteral("Saturday, 05 Dec 2026   02:07 PM");
        QVERIFY(columnsMatch(request("2601140001230", 502), {{"resultfinsh", 1},
                                                             {"edituser", "VIDAS INTERFACE"},
                                                             {"editdate", editdate},
                                                             {"resultt", "12.79"},
                                                             {"resultt1", ""},
                                                             {"resultt2", "12.79"},
                                                             {"RESULTCASEPRINT", ""},
                                                             {"lowlimit", 9},
                                                             {"highlimit", 19},
                                                             {"nolowexe", "L"},
                                                             {"nohighexe", "H"},
                                                             {"normalrang", "9 - 19"},
                                                             {"testunit", "pmol/l"},
                                                             {"commentx", ""},
                                                             {"testsimp", "Free T4"}}));
        QVERIFY(columnsMatch(request("2601140001247", 503), {{"resultfinsh", 1},
                                                             {"resultt", "Negative"},
                                                             {"resultt1", "Negative"},
                                                             {"resultt2", ""},
                                                             {"normalrang", "9.7 - 208.5"},
                                                             {"editdate", editdate}}));
        QVERIFY(columnsMatch(request("2601140001230", 501), {{"resultfinsh", 1}, {"resultt", "2.35"}}));
        // Requested but not measured: untouched.
        QVERIFY(columnsMatch(request("2601140001230", 505), {{"resultfinsh", 0}, {"resultt", {}}, {"editdate", {}}}));

        // Every byte of the line is in today's capture archive, as it came.
        QFile archive(QDir(install.path()).filePath("captures/2026-12-05.bin"));
        QVERIFY(archive.open(QIODevice::ReadOnly));
        QCOMPARE(archive.readAll(), sent);
        delete window;
    }
};

QTEST_MAIN(TestReceiveEndToEnd)
#include "it_ReceiveEndToEnd.moc"
