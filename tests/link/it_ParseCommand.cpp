#include "ProgramRun.h"
#include "TestInstall.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString binary = QStringLiteral(CORVANA_BINARY_DIR "/src/corvana-vidas");

// The fields the parser fills, in the order the output must keep.
const QStringList parsedFields{"LblSampID",   "LblPatID",     "Txt_shortAssay", "Txt_LongAssay", "LblTestTime",
                               "LblTestDate", "Txt_resultt2", "Txt_resultt3",   "Txt_TESTUNIT",  "Txt_resultt1"};

ProgramRun runParse(const QStringList& arguments)
{
    return runCorvanaVidas(arguments, 30000);
}

// Every output line is one JSON object; its parser fields in a fixed order.
QList<QStringList> records(const QByteArray& out)
{
    QList<QStringList> list;
    for (const QByteArray& line : out.split('\n')) {
        if (line.isEmpty())
            continue;
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        if (error.error != QJsonParseError::NoError || !document.isObject()) {
            qWarning("not a JSON object: %s", line.constData());
            return {};
        }
        QStringList values;
        for (const QString& key : parsedFields)
            values << document.object().value(key).toString(QStringLiteral("<missing>"));
        list << values;
    }
    return list;
}

QString samplePath(const QString& name)
{
    return QDir(QStringLiteral(CORVANA_SAMPLES_DIR)).filePath(name);
}

} // namespace

class it_ParseCommand : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void parsesSamples_data();
    void parsesSamples();
    void parsesEveryCapture();
    void keepsKeyOrderAndEscapes();
    void computerClockFromHomeSettings();
    void refusesBadInput_data();
    void refusesBadInput();
    void refusesUnreadableFile();

private:
    QTemporaryDir m_noHome;
};

void it_ParseCommand::initTestCase()
{
    QVERIFY2(QFileInfo(binary).isExecutable(), qPrintable(binary));
}

void it_ParseCommand::parsesSamples_data()
{
    QTest::addColumn<QString>("sample");
    QTest::addColumn<QList<QStringList>>("expected");

    // LblSampID, LblPatID, short, long, time, date, reading, value, unit, result text.
    QTest::newRow("quantitative-unit") << "quantitative-unit.bin"
                                       << QList<QStringList>{{"260114000123", "260114000123", "TSH", "TSH", "09:42 AM",
                                                              "05/12/2026", "", "2.35", "uUI/ml", "2.35"}};
    QTest::newRow("qualitative-positive")
        << "qualitative-positive.bin"
        << QList<QStringList>{{"2601140007", "2601140007", "HIV5", "HIV DUO Ultra", "02:07 PM", "05/12/2026",
                               "Positive", "0.25", "", "Positive (0.25)"}};
    QTest::newRow("sign-and-unit") << "sign-and-unit.bin"
                                   << QList<QStringList>{{"0042", "0042", "VITD", "25 OH Vitamin D Total", "04:55 PM",
                                                          "05/12/2026", "", "< 8.1", "\u00b5g/l serum", "< 8.1"}};
    QTest::newRow("three-results-one-session")
        << "three-results-one-session.bin"
        << QList<QStringList>{{"260114000123", "260114000123", "FT4", "Free T4", "08:01 AM", "05/12/2026", "", "12.79",
                               "pmol/l", "12.79"},
                              {"", "", "FER", "Ferritin", "08:05 AM", "05/12/2026", "", "> 1200", "ng/ml", "> 1200"},
                              {"260114000124", "260114000124", "PRL", "Prolactin", "08:09 AM", "05/12/2026", "Negative",
                               "", "", "Negative"}};
    QTest::newRow("qualitative-only") << "qualitative-only.bin"
                                      << QList<QStringList>{{"2601140009", "2601140009", "HBS", "HBs Ag Ultra",
                                                             "11:59 PM", "31/12/2026", "N\u00e9gatif", "", "",
                                                             "N\u00e9gatif"}};
    QTest::newRow("noise-then-result") << "noise-then-result.bin"
                                       << QList<QStringList>{{"260114000125", "260114000125", "CRP",
                                                              "C-Reactive Protein", "11:11 AM", "05/12/2026", "", "3.4",
                                                              "mg/l", "3.4"}};
    // Real instruments: the first ends without EOT after a line feed, the last two without EOT.
    QTest::newRow("real 1") << "real/minividas-1.bin"
                            << QList<QStringList>{{"Z1G021SCR", "Z1G021SCR", "HBCT", "Anti-HBc Total II", "06:35 PM",
                                                   "25/10/2024", "Positif", "0.05", "", "Positif (0.05)"}};
    QTest::newRow("real 2") << "real/minividas-2.bin"
                            << QList<QStringList>{{"TIC21103806", "TIC21103806", "ATPO", "Anti-TPO", "01:55 PM",
                                                   "07/12/2021", "", "274.0", "IU/ml", "274.0"}};
    QTest::newRow("real 3") << "real/minividas-3.bin"
                            << QList<QStringList>{{"000267217", "000267217", "TXM", "TOXO IgM", "02:03 PM",
                                                   "24/05/2011", "Negative", "0.12", "", "Negative (0.12)"}};
    QTest::newRow("real 4") << "real/minividas-4.bin"
                            << QList<QStringList>{{"653", "653", "HCV", "Anti-HCV", "04:21 PM", "21/07/2025", "Negatif",
                                                   "0.15", "", "Negatif (0.15)"}};
}

void it_ParseCommand::parsesSamples()
{
    QFETCH(QString, sample);
    QFETCH(QList<QStringList>, expected);
    // A home folder that does not exist: the command needs no install.
    const ProgramRun run = runParse({"--home", m_noHome.filePath("absent"), "parse", samplePath(sample)});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.errBytes, QByteArray());
    const QList<QStringList> got = records(run.outBytes);
    QCOMPARE(got.size(), expected.size());
    for (qsizetype i = 0; i < got.size(); ++i)
        QCOMPARE(got[i], expected[i]);
}

// Whatever lies in the samples folder parses cleanly into JSON lines.
void it_ParseCommand::parsesEveryCapture()
{
    QStringList files;
    for (const QString& folder : {QString(), QStringLiteral("real")}) {
        const QDir dir(samplePath(folder));
        for (const QString& name : dir.entryList({"*.bin"}, QDir::Files))
            files << dir.filePath(name);
    }
    QVERIFY(files.size() >= 10);
    for (const QString& file : files) {
        const ProgramRun run = runParse({"--home", m_noHome.path(), "parse", file});
        QVERIFY2(run.exitCode == 0, qPrintable(file));
        QVERIFY2(!records(run.outBytes).isEmpty(), qPrintable(file));
    }
}

void it_ParseCommand::keepsKeyOrderAndEscapes()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("odd.bin"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("\x05\x02\x1emtrsl|\x1epi|\x1epn|\x1esi|\x1e"
               "ci\"1\\2\"|\x1ertA\tB|\x1ernline\x01"
               "break\x1f|\x1ett14:07|\x1etd12/05/26|\x1eqlN\xe9g/\"x\"|\x1eqn< 1 \xb5g/l|\x1d"
               "00\x03\x04");
    file.close();

    const ProgramRun run = runParse({"--home", m_noHome.path(), "parse", path});
    QCOMPARE(run.exitCode, 0);
    const QList<QStringList> got = records(run.outBytes);
    QCOMPARE(got.size(), 1);
    QCOMPARE(got[0],
             QStringList({"\"1\\2\"", "\"1\\2\"", "A\tB",
                          "line\x01"
                          "break\x1f",
                          "02:07 PM", "05/12/2026", "N\u00e9g/\"x\"", "< 1", "\u00b5g/l", "N\u00e9g/\"x\" (< 1)"}));
    // Raw UTF-8 text, not escapes, and the keys in the record's order.
    QVERIFY(run.outBytes.contains("\xc2\xb5g/l"));
    qsizetype last = -1;
    for (const QString& key : parsedFields) {
        const qsizetype at = run.outBytes.indexOf("\"" + key.toLatin1() + "\":");
        QVERIFY2(at > last, qPrintable(key));
        last = at;
    }
    QVERIFY(run.outBytes.endsWith("}\n"));
}

void it_ParseCommand::computerClockFromHomeSettings()
{
    TestInstall install;
    install.setSetting(QStringLiteral("comsetup"), QStringLiteral("PCdateYN"), QStringLiteral("1"));
    const QDate before = QDate::currentDate();
    const ProgramRun run = runParse({"--home", install.path(), "parse", samplePath("three-results-one-session.bin")});
    const QDate after = QDate::currentDate();
    QCOMPARE(run.exitCode, 0);
    const QList<QStringList> got = records(run.outBytes);
    QCOMPARE(got.size(), 3);
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QStringList today{english.toString(before, "dd-MMM-yyyy"), english.toString(after, "dd-MMM-yyyy")};
    for (const QStringList& record : got) {
        QVERIFY2(today.contains(record[5]), qPrintable(record[5]));
        QVERIFY2(QRegularExpression("^(0[1-9]|1[0-2]):[0-5][0-9] (AM|PM)$").match(record[4]).hasMatch(),
                 qPrintable(record[4]));
    }

    // Switched off again, the records' own time and date come back.
    install.setSetting(QStringLiteral("comsetup"), QStringLiteral("PCdateYN"), QStringLiteral("0"));
    const ProgramRun own = runParse({"--home", install.path(), "parse", samplePath("three-results-one-session.bin")});
    QCOMPARE(records(own.outBytes).value(0).value(4), QStringLiteral("08:01 AM"));
}

void it_ParseCommand::refusesBadInput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("message");

    QTest::newRow("no file") << QStringList{"parse"} << QByteArray("parse needs exactly one capture file");
    QTest::newRow("two files") << QStringList{"parse", "a", "b"} << QByteArray("parse needs exactly one capture file");
    QTest::newRow("missing file") << QStringList{"parse", "/nonexistent/capture.bin"} << QByteArray("no such file");
    QTest::newRow("folder") << QStringList{"parse", QStringLiteral(CORVANA_SAMPLES_DIR)} << QByteArray("is a folder");
}

void it_ParseCommand::refusesBadInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, message);
    const ProgramRun run = runParse(QStringList{"--home", m_noHome.path()} + arguments);
    QVERIFY(run.exitCode > 0);
    QVERIFY2(run.errBytes.contains(message), run.errBytes.constData());
    QCOMPARE(run.outBytes, QByteArray());
}

void it_ParseCommand::refusesUnreadableFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("locked.bin"));
    QVERIFY(QFile::copy(samplePath("quantitative-unit.bin"), path));
    QVERIFY(QFile::setPermissions(path, QFileDevice::Permissions()));
    if (QFile(path).open(QIODevice::ReadOnly))
        QSKIP("running with rights that read any file");
    const ProgramRun run = runParse({"--home", m_noHome.path(), "parse", path});
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.errBytes.contains("cannot be read"), run.errBytes.constData());
    QCOMPARE(run.outBytes, QByteArray());
}

QTEST_GUILESS_MAIN(it_ParseCommand)
#include "it_ParseCommand.moc"
