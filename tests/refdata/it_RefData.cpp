#include "ProgramRun.h"
#include "ReceiveLab.h"
#include "refdata/RangesWindow.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

using Db = TestInstall::Db;
using namespace Qt::StringLiterals;

namespace {
QStringList tables(TestInstall& install)
{
    QStringList rows;
    for (const char* sql : {"SELECT * FROM testtable ORDER BY testcode", "SELECT * FROM normalrange ORDER BY normalid",
                            "SELECT * FROM comments ORDER BY commentid"})
        rows << install.texts(Db::Interface, QString::fromLatin1(sql));
    return rows;
}
} // namespace

// The reference data with the programs as they ship: a range edited in its window decides the flag
// and comment of a capture replayed by `corvana-vidas replay`; `refdata export` and `import` move
// the tables to another install, and a bad file changes nothing there.
class TestRefDataPrograms : public QObject
{
    Q_OBJECT

private slots:
    void rangeEditedThenReplayed()
    {
        ReceiveLab lab;
        QVERIFY(lab.ready);
        lab.install.setSetting("comsetup", "autoComment", "1");
        // TSH: the high limit down to 3, its flag "High" and a comment of its own.
        AppContext& context = lab.install.context();
        {
            RangesWindow window(context, {1, u"TSH"_s, RangeKind::ForAll});
            window.findChild<QTableWidget*>("DataGrid1")->selectRow(0);
            window.findChild<QPushButton*>("cmd_edit")->click();
            window.findChild<QLineEdit*>("Txt5")->setText(u"3"_s);
            window.findChild<QLineEdit*>("Txt3")->setText(u"0.25 - 3.00"_s);
            window.findChild<QComboBox*>("Comb5")->setCurrentText(u"High"_s);
            window.findChild<QLineEdit*>("Txt7")->setText(u"يرجى مراجعة الطبيب"_s);
            window.findChild<QPushButton*>("cmd_save")->click();
            QVERIFY(lab.install.dialogs.shown.isEmpty());
        }
        QFile file(QDir(lab.install.path()).filePath("capture.bin"));
        const QByteArray capture = AnalyserCapture::session({ReceiveLab::result("260114000123", "TSH", "4.2 uUI/ml")});
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(capture) == capture.size());
        file.close();
        const ProgramRun run = runCorvanaVidas({"--home", lab.install.path(), "replay", file.fileName()});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(lab.install.text(Db::Interface, "SELECT resultt1, RESULTCASEPRINT, normalrang, highlimit, comment "
                                                 "FROM Result WHERE SampleID='260114000123'"),
                 u"4.2|High|0.25 - 3.00|3|يرجى مراجعة الطبيب"_s);
    }

    void exportThenImport()
    {
        TestInstall demo;
        QVERIFY(demo.installDemoData());
        QVERIFY(
            demo.exec(Db::Interface, "UPDATE comments SET Comments=? WHERE commentid=2", {u"O'Brien: \"50%\" عالي"_s}));
        const QString file = QDir(demo.path()).filePath("refdata.json");
        const ProgramRun exported = runCorvanaVidas({"--home", demo.path(), "refdata", "export", file});
        QCOMPARE(exported.exitCode, 0);
        QCOMPARE(exported.out.trimmed(), u"exported 9 tests, 14 ranges, 4 comments to "_s + file);

        TestInstall empty;
        QVERIFY(empty.createDatabases());
        const ProgramRun imported = runCorvanaVidas({"--home", empty.path(), "refdata", "import", file});
        QCOMPARE(imported.exitCode, 0);
        QCOMPARE(imported.out.trimmed(), u"imported 9 tests, 14 ranges, 4 comments from "_s + file);
        QCOMPARE(tables(empty), tables(demo));

        // Again, into tables that hold rows: only with --replace.
        const ProgramRun again = runCorvanaVidas({"--home", empty.path(), "refdata", "import", file});
        QVERIFY(again.exitCode == 1 && again.err.contains(u"--replace"_s));

        // A corrupt file: which row and field, and nothing changed even with --replace.
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QString text = QString::fromUtf8(f.readAll());
        f.close();
        text.replace(u"\"highlimit\": 17.7"_s, u"\"highlimit\": \"17,7\""_s);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(text.toUtf8()) > 0);
        f.close();
        QVERIFY(empty.exec(Db::Interface, "DELETE FROM comments WHERE commentid=4"));
        const QStringList before = tables(empty);
        const ProgramRun corrupt = runCorvanaVidas({"--home", empty.path(), "refdata", "import", file, "--replace"});
        QCOMPARE(corrupt.exitCode, 1);
        QCOMPARE(corrupt.err.trimmed(), u"corvana-vidas: "_s + file +
                                            u": normalrange row 4, field highlimit: must be a number or null "
                                            u"(\"17,7\"); nothing was changed"_s);
        QCOMPARE(tables(empty), before);

        // Wrong use is refused with the usage.
        for (const QStringList& words : {QStringList{"refdata"},
                                         {"refdata", "export"},
                                         {"refdata", "send", file},
                                         {"refdata", "export", file, "--replace"}}) {
            const ProgramRun wrong = runCorvanaVidas(QStringList{"--home", demo.path()} + words);
            QVERIFY2(wrong.exitCode == 2 && wrong.err.contains(u"usage: corvana-vidas [--home DIR] refdata"_s),
                     qPrintable(words.join(u' ')));
        }
        const ProgramRun missing =
            runCorvanaVidas({"--home", demo.path(), "refdata", "import", QDir(demo.path()).filePath("none.json")});
        QVERIFY(missing.exitCode == 1 && missing.err.contains(u"no such file"_s));
    }
};

QTEST_MAIN(TestRefDataPrograms)
#include "it_RefData.moc"
