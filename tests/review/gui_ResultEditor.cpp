#include "TestInstall.h"
#include "core/Grants.h"
#include "link/Flagging.h"
#include "link/LisOutbox.h"
#include "link/ReceiveSteps.h"
#include "review/EditorMessages.h"
#include "review/ResultEditorWindow.h"
#include "review/ReviewCommands.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

using namespace Qt::StringLiterals;
using Db = TestInstall::Db;

// The result editor driven by its controls over the demo databases.
class TestResultEditor : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestInstall> m_install;
    QPointer<ResultEditorWindow> m_editor;
    AppContext* m_ctx = nullptr;

    template <typename T = QWidget> T* child(const char* name) const
    {
        if (T* found = m_editor->findChild<T*>(QLatin1String(name)))
            return found;
        qFatal("no control %s", name);
    }
    QLineEdit* edit(const char* name) const { return child<QLineEdit>(name); }
    void click(const char* name) const { child<QAbstractButton>(name)->click(); }
    FakeDialogs& dialogs() { return m_install->dialogs; }
    QString iface(const QString& sql, const QVariantList& values = {})
    {
        return m_install->text(Db::Interface, sql, values);
    }
    QString lis(const QString& sql, const QVariantList& values = {}) { return m_install->text(Db::Lis, sql, values); }
    QString testCode(const char* assay)
    {
        return iface(u"SELECT testcode FROM testtable WHERE shortAssay=?"_s, {assay});
    }

    // A stored result; `more` names further columns and their values.
    qint64 addResult(const QVariantMap& more = {})
    {
        QVariantMap columns{{u"SampleID"_s, u"7"_s},
                            {u"patientid"_s, u"P1"_s},
                            {u"Patientname"_s, u"Mona"_s},
                            {u"Testdate"_s, today()},
                            {u"TestTime"_s, u"14:07"_s},
                            {u"sex"_s, u"Female"_s},
                            {u"ageN"_s, 30},
                            {u"ageU"_s, u"Years"_s},
                            {u"testsimp"_s, u"Test"_s},
                            {u"shortAssay"_s, u"TST"_s},
                            {u"resultt1"_s, u"12"_s},
                            {u"sending"_s, 0}};
        columns.insert(more);
        QStringList marks(columns.size(), u"?"_s);
        [&] {
            QVERIFY(m_install->exec(Db::Interface,
                                    u"INSERT INTO Result ("_s + columns.keys().join(u',') + u") VALUES ("_s +
                                        marks.join(u',') + u')',
                                    columns.values()));
        }();
        return iface(u"SELECT MAX(AutoNum) FROM Result"_s).toLongLong();
    }
    ResultEditorWindow& open(qint64 autoNum)
    {
        delete m_editor;
        m_editor = new ResultEditorWindow(*m_ctx, autoNum);
        m_editor->show();
        return *m_editor;
    }
    QDate today() const { return m_install->clock.today(); }
    // What a program's outbox sender does on its pass.
    LisOutbox::SendOutcome deliver() { return LisOutbox::deliver(*m_ctx, m_install->clock.now()); }
    void setCombo(const char* name, const QString& text)
    {
        auto* box = child<QComboBox>(name);
        box->setCurrentIndex(box->findText(text));
    }
    QColor valueBackground() const
    {
        const QString sheet = edit("Txt_TEST_R")->styleSheet();
        return QColor(sheet.section(u"background: "_s, 1).section(u';', 0, 0));
    }
    void reopenContext(const QStringList& settings)
    {
        m_install->setSettings(settings);
        m_ctx = &m_install->context();
        m_ctx->currentUser = CurrentUser{};
        m_ctx->currentUser.name = u"Huda O'Hara"_s;
        m_ctx->currentUser.grant1 = true;
        m_ctx->currentUser.grant2 = true;
    }

private slots:
    void init()
    {
        m_install = std::make_unique<TestInstall>();
        QVERIFY(m_install->installDemoData());
        reopenContext({"comsetup/autsavecrv=1"});
    }
    void cleanup() { delete m_editor; }

    void ageLimits_data()
    {
        QTest::addColumn<QString>("age");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<bool>("saved");
        QTest::newRow("29 days") << "29"
                                 << "Days" << true;
        QTest::newRow("30 days") << "30"
                                 << "Days" << false;
        QTest::newRow("11 months") << "11"
                                   << "Mons." << true;
        QTest::newRow("12 months") << "12"
                                   << "Mons." << false;
        QTest::newRow("120 years") << "120"
                                   << "Years" << true;
        QTest::newRow("121 years") << "121"
                                   << "Years" << false;
        QTest::newRow("0 with a unit") << "0"
                                       << "Years" << false;
        QTest::newRow("0.5 years") << "0.5"
                                   << "Years" << true;
    }
    // The age check of Save: a refused age saves nothing and leaves the editor open.
    void ageLimits()
    {
        QFETCH(QString, age);
        QFETCH(QString, unit);
        QFETCH(bool, saved);
        const qint64 id = addResult();
        open(id);
        QSignalSpy finished(m_editor.data(), &ResultEditorWindow::finished);
        edit("LblAgeN")->setText(age);
        setCombo("Cmb_AgeU", unit);
        click("cmd_save");
        QCOMPARE(finished.size(), saved ? 1 : 0);
        const QStringList stored = iface(u"SELECT ageN, ageU FROM Result WHERE AutoNum=?"_s, {id}).split(u'|');
        QCOMPARE(stored.value(0).toDouble(), saved ? age.toDouble() : 30.0);
        QCOMPARE(stored.value(1), saved ? unit : u"Years"_s);
        if (!saved) {
            QCOMPARE(dialogs().last().title, EditorMessages::ageTitle);
            QCOMPARE(dialogs().last().text, EditorMessages::ageText);
        } else {
            QVERIFY(dialogs().shown.isEmpty());
        }
    }

    void reflagOnValue_data()
    {
        QTest::addColumn<QString>("low");
        QTest::addColumn<QString>("high");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("flag");
        QTest::addColumn<int>("shade");
        const int flagged = int(Flagging::Shade::Flagged), normal = int(Flagging::Shade::Normal),
                  white = int(Flagging::Shade::NoResult);
        QTest::newRow("high") << "10"
                              << "20"
                              << "25"
                              << "H" << flagged;
        QTest::newRow("< at the low limit") << "10"
                                            << "20"
                                            << "<10"
                                            << "L" << flagged;
        QTest::newRow("inside") << "10"
                                << "20"
                                << "15"
                                << "" << normal;
        QTest::newRow("positive") << "10"
                                  << "20"
                                  << "Positive"
                                  << " *" << flagged;
        QTest::newRow("negative") << "10"
                                  << "20"
                                  << "Negative"
                                  << "" << normal;
        QTest::newRow("not a number") << "10"
                                      << "20"
                                      << "abc"
                                      << " *" << flagged;
        QTest::newRow("zero written 0.0 is a number") << "10"
                                                      << "20"
                                                      << "0.0"
                                                      << "L" << flagged;
        QTest::newRow("> 1000 with a blank") << "10"
                                             << "20"
                                             << "> 1000"
                                             << "H" << flagged;
        QTest::newRow("signed inside keeps the flag") << "10"
                                                      << "20"
                                                      << "<15"
                                                      << "X" << flagged;
        QTest::newRow("cleared") << "10"
                                 << "20"
                                 << ""
                                 << "" << white;
        QTest::newRow("no limits") << ""
                                   << ""
                                   << "25"
                                   << "" << white;
        QTest::newRow("a high limit only") << ""
                                           << "6"
                                           << "7"
                                           << "H" << flagged;
    }
    // Typing a value flags it with the receive chain's rules and colours it.
    void reflagOnValue()
    {
        QFETCH(QString, low);
        QFETCH(QString, high);
        QFETCH(QString, value);
        QFETCH(QString, flag);
        QFETCH(int, shade);
        QVariantMap limits{{u"nolowexe"_s, u"L"_s}, {u"nohighexe"_s, u"H"_s}, {u"RESULTCASEPRINT"_s, u"X"_s}};
        if (!low.isEmpty())
            limits.insert(u"lowlimit"_s, low.toDouble());
        if (!high.isEmpty())
            limits.insert(u"highlimit"_s, high.toDouble());
        open(addResult(limits));
        edit("Txt_TEST_R")->setText(value);
        QCOMPARE(edit("Txt_TEST_F")->text(), flag);
        QCOMPARE(valueBackground(), Flagging::background(Flagging::Shade(shade)));
    }

    // A change of sex looks the range up again (a range by sex), and the flag follows.
    void reflagOnPatientData()
    {
        const qint64 id = addResult({{u"sex"_s, u"Male"_s},
                                     {u"testcode"_s, testCode("PRL")},
                                     {u"REFRANGE"_s, 3},
                                     {u"resultt1"_s, u"20"_s},
                                     {u"lowlimit"_s, 2.1},
                                     {u"highlimit"_s, 17.7},
                                     {u"nolowexe"_s, u"L"_s},
                                     {u"nohighexe"_s, u"H"_s},
                                     {u"RESULTCASEPRINT"_s, u"H"_s},
                                     {u"normalrang"_s, u"2.1 - 17.7"_s}});
        open(id);
        QCOMPARE(edit("Txt_TEST_F")->text(), u"H"_s);
        setCombo("Cmb_sex", u"Female"_s);
        QCOMPARE(edit("Txt_TEST_N")->text(), u"2.8 - 29.2"_s);
        QCOMPARE(edit("Txt_TEST_F")->text(), QString());
        child<QCheckBox>("Chk_pregsmok")->click();
        QCOMPARE(edit("Txt_TEST_N")->text(), u"9.7 - 208.5"_s);
        edit("Txt_TEST_R")->setText(u"5"_s);
        QCOMPARE(edit("Txt_TEST_F")->text(), u"L"_s);
        click("cmd_save");
        QCOMPARE(iface(u"SELECT sex, RESULTCASEPRINT, normalrang, lowlimit, sending, editedby FROM Result "
                       "WHERE AutoNum=?"_s,
                       {id}),
                 u"Female|L|9.7 - 208.5|9.7|1|Huda O'Hara"_s);
        // The history names each changed column with its old and new value, and who.
        const QStringList history =
            m_install->texts(Db::Interface,
                             u"SELECT changedby, columnname, oldvalue, newvalue FROM resulthistory WHERE AutoNum=? "
                             "ORDER BY historyid"_s,
                             {id});
        QVERIFY2(history.contains(u"Huda O'Hara|resultt1|20|5"_s), qPrintable(history.join(u'\n')));
        QVERIFY(history.contains(u"Huda O'Hara|sex|Male|Female"_s));
        QVERIFY(history.contains(u"Huda O'Hara|RESULTCASEPRINT|H|L"_s));
        QVERIFY(!history.join(u'\n').contains(u"|Patientname|"_s));

        // The command prints the same history.
        QString out, err;
        QTextStream o(&out), e(&err);
        QCOMPARE(commandHistory({m_install->path(), {QString::number(id)}, o, e}), 0);
        o.flush();
        QVERIFY2(out.contains(u"\tHuda O'Hara\tresultt1\t20\t5\n"_s), qPrintable(out));
        QCOMPARE(commandHistory({m_install->path(), {u"abc"_s}, o, e}), 2);
    }

    // The LIS panel: a row taken over, then Save writes exactly that patient's test in the LIS,
    // leaving its other results and the LIS's own result texts alone.
    void takeOverThenSave()
    {
        QVERIFY(m_install->exec(Db::Lis, u"UPDATE patienttest SET resultt1='lis own' WHERE testcode=503"_s));
        const qint64 id = addResult({{u"patientid"_s, QVariant()},
                                     {u"Patientname"_s, u"NEW"_s},
                                     {u"shortAssay"_s, u"PRL"_s},
                                     {u"resultt1"_s, u"35"_s}});
        open(id);
        click("cmd_CRVdata");
        QVERIFY(child("Frm_CRVdata")->isVisible());
        QVERIFY(!child("Frm_info")->isEnabled());
        QVERIFY(!child("Frm_buttons")->isEnabled());
        auto* grid = child<QTableWidget>("DGd_patientname");
        QCOMPARE(grid->currentRow(), 0); // the first request is chosen
        int row = -1;
        for (int r = 0; r < grid->rowCount(); ++r) {
            if (grid->item(r, 0)->text() == u"2601140001247"_s && grid->item(r, 11)->text() == u"503"_s)
                row = r;
        }
        QVERIFY(row >= 0);
        grid->setCurrentCell(row, 0);
        click("cmd_crvokget");
        QVERIFY(!child("Frm_CRVdata")->isVisible());
        QVERIFY(child("Frm_info")->isEnabled());
        QCOMPARE(edit("LblPatID")->text(), u"2601140001247"_s);
        QCOMPARE(edit("LblPatName")->text(), u"فاطمة عبد الله"_s);
        QCOMPARE(edit("Txt_CRVTESTCODE")->text(), u"503"_s);
        QCOMPARE(edit("Txt_CODE")->text(), testCode("PRL"));
        // A pregnant woman (the LIS's further data): the catalogue's range for her is looked up.
        QVERIFY(child<QCheckBox>("Chk_pregsmok")->isChecked());
        QCOMPARE(edit("Txt_TEST_N")->text(), u"9.7 - 208.5"_s);
        QCOMPARE(edit("Txt_TEST_F")->text(), QString());
        edit("Txt_TEST_R")->setText(u"250"_s);
        QCOMPARE(edit("Txt_TEST_F")->text(), u"H"_s);
        QSignalSpy finished(m_editor.data(), &ResultEditorWindow::finished);
        click("cmd_save");
        QCOMPARE(finished.size(), 1);
        QVERIFY(dialogs().shown.isEmpty());
        // Save leaves the LIS to the outbox's sender.
        QCOMPARE(iface(u"SELECT state FROM lisoutbox"_s), u"queued"_s);
        QCOMPARE(deliver().done.size(), 1);
        QCOMPARE(lis(u"SELECT resultt, resultt1, RESULTCASEPRINT, normalrang, resultfinsh, edituser FROM patienttest "
                     "WHERE patientid='2601140001247' AND testcode=503"_s),
                 u"250|lis own|H|9.7 - 208.5|1|VIDAS INTERFACE"_s);
        QCOMPARE(lis(u"SELECT COUNT(*) FROM patienttest WHERE resultfinsh=1"_s), u"1"_s);
        QCOMPARE(iface(u"SELECT patientid, crvtestid FROM Result WHERE AutoNum=?"_s, {id}), u"2601140001247|503"_s);
        QCOMPARE(iface(u"SELECT state FROM lisoutbox"_s), u"written"_s);
        QCOMPARE(m_install->texts(Db::Interface, u"SELECT changedby, oldvalue, newvalue FROM resulthistory WHERE "
                                                 "columnname='(LIS)' ORDER BY historyid"_s),
                 QStringList({u"Huda O'Hara|null|queued"_s, u"LIS outbox|queued|delivered"_s}));
    }

    void patientIdLength_data()
    {
        QTest::addColumn<QString>("patientId");
        QTest::addColumn<bool>("written");
        QTest::newRow("12 characters") << "260114000124" << false;
        QTest::newRow("14 characters") << "26011400012470" << false;
        QTest::newRow("13 characters") << "2601140001247" << true;
    }
    // Only a 13-character patient ID reaches the LIS; the interface row is saved either way.
    void patientIdLength()
    {
        QFETCH(QString, patientId);
        QFETCH(bool, written);
        const qint64 id = addResult({{u"crvtestid"_s, 501}, {u"testcode"_s, testCode("TSH")}});
        open(id);
        edit("LblPatID")->setText(patientId);
        edit("Txt_TEST_R")->setText(u"3.3"_s);
        click("cmd_save");
        deliver();
        QCOMPARE(iface(u"SELECT patientid FROM Result WHERE AutoNum=?"_s, {id}), patientId);
        QCOMPARE(lis(u"SELECT COUNT(*) FROM patienttest WHERE resultt IS NOT NULL"_s), written ? u"1"_s : u"0"_s);
        QCOMPARE(iface(u"SELECT COUNT(*) FROM lisoutbox"_s), written ? u"1"_s : u"0"_s);
    }

    // The LIS gone at Save: the row is saved, the write waits in the outbox, the history says so;
    // once the LIS is back the next pass writes it and the history says when.
    void lisUnreachableAtSave()
    {
        const qint64 id = addResult({{u"patientid"_s, u"2601140001230"_s}, {u"crvtestid"_s, 501}});
        open(id);
        QVERIFY(QFile::rename(m_install->lisDbFile(), m_install->lisDbFile() + u".away"_s));
        edit("Txt_TEST_R")->setText(u"4.4"_s);
        click("cmd_save");
        QVERIFY(dialogs().shown.isEmpty());
        QCOMPARE(iface(u"SELECT resultt1 FROM Result WHERE AutoNum=?"_s, {id}), u"4.4"_s);
        const LisOutbox::SendOutcome away = deliver();
        QVERIFY(away.stalled);
        QCOMPARE(away.waiting, 1);
        QCOMPARE(iface(u"SELECT state, resultt FROM lisoutbox"_s), u"queued|4.4"_s);
        QCOMPARE(iface(u"SELECT newvalue FROM resulthistory WHERE columnname='(LIS)'"_s), u"queued"_s);

        QVERIFY(QFile::rename(m_install->lisDbFile() + u".away"_s, m_install->lisDbFile()));
        m_install->clock.set(m_install->clock.now().addSecs(300));
        QCOMPARE(deliver().waiting, 0);
        QCOMPARE(lis(u"SELECT resultt FROM patienttest WHERE patientid='2601140001230' AND testcode=501"_s), u"4.4"_s);
        QCOMPARE(iface(u"SELECT changedat, newvalue FROM resulthistory WHERE columnname='(LIS)' AND "
                       "changedby='LIS outbox'"_s),
                 m_install->clock.now().toString(u"yyyy-MM-dd HH:mm:ss"_s) + u"|delivered"_s);
    }

    // Cancel writes nothing; a row deleted elsewhere is reported and never written again.
    void cancelAndDeletedRow()
    {
        const qint64 id = addResult();
        open(id);
        QSignalSpy finished(m_editor.data(), &ResultEditorWindow::finished);
        edit("Txt_TEST_R")->setText(u"99"_s);
        edit("LblPatName")->setText(u"Other"_s);
        click("cmd_Cancel");
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().first().toBool(), false);
        QCOMPARE(iface(u"SELECT resultt1, Patientname, editedby FROM Result WHERE AutoNum=?"_s, {id}),
                 u"12|Mona|null"_s);
        QCOMPARE(iface(u"SELECT COUNT(*) FROM resulthistory"_s), u"0"_s);

        open(id);
        QVERIFY(m_install->exec(Db::Interface, u"DELETE FROM Result WHERE AutoNum=?"_s, {id}));
        edit("Txt_TEST_R")->setText(u"99"_s);
        click("cmd_save");
        QCOMPARE(dialogs().last().text, EditorMessages::goneText);
        QCOMPARE(iface(u"SELECT COUNT(*) FROM Result"_s), u"0"_s);
        QCOMPARE(iface(u"SELECT COUNT(*) FROM resulthistory"_s), u"0"_s);
        QVERIFY(m_editor && m_editor->isVisible());
    }

    void lisPanelRefused_data()
    {
        QTest::addColumn<bool>("grant1");
        QTest::addColumn<QString>("active");
        QTest::addColumn<QString>("text");
        QTest::newRow("without grant 1") << false << "1" << GrantMessages::refusalText;
        QTest::newRow("LIS link off") << true << "0" << EditorMessages::lisOffText;
    }
    void lisPanelRefused()
    {
        QFETCH(bool, grant1);
        QFETCH(QString, active);
        QFETCH(QString, text);
        reopenContext({"corvanaserver/active=" + active});
        m_ctx->currentUser.grant1 = grant1;
        open(addResult());
        QCOMPARE(edit("LblPatName")->isEnabled(), grant1);
        click("cmd_CRVdata");
        QCOMPARE(dialogs().last().text, text);
        QVERIFY(!child("Frm_CRVdata")->isVisible());
    }

    // The panel's Cancel puts the patient back; a second From CRV closes the panel.
    void lisPanelCancel()
    {
        open(addResult({{u"DocName"_s, QVariant()}}));
        click("cmd_CRVdata");
        child<QTableWidget>("DGd_patientname")->setCurrentCell(0, 0);
        click("cmd_crvokget");
        QVERIFY(edit("LblPatName")->text() != u"Mona"_s);
        click("cmd_CRVdata");
        click("cmd_cancelcrvget");
        QCOMPARE(edit("LblPatName")->text(), u"Mona"_s);
        QCOMPARE(edit("LblPatID")->text(), u"P1"_s);
        QCOMPARE(child<QComboBox>("Cmb_drsefa")->currentText(), EditorMessages::defaultDoctorTitle);
        click("cmd_CRVdata");
        QVERIFY(child("Frm_CRVdata")->isVisible());
        click("cmd_CRVdata");
        QVERIFY(!child("Frm_CRVdata")->isVisible());
        QVERIFY(child("Frm_buttons")->isEnabled());
    }

    // Library comments and past patient names with a quote and a wildcard in them.
    void commentsAndSuggestions()
    {
        addResult({{u"Patientname"_s, u"O'Brien 100%"_s}, {u"patientid"_s, u"P9"_s}, {u"sex"_s, u"Male"_s}});
        addResult({{u"Patientname"_s, u"O'Brien 1000"_s}});
        open(addResult({{u"testcode"_s, testCode("TSH")}}));
        click("cmd_comment");
        auto* comments = child<QListWidget>("Cmb_comment");
        QVERIFY(comments->isVisible());
        QCOMPARE(comments->count(), 2);
        const QString first = comments->item(0)->text();
        emit comments->itemClicked(comments->item(0));
        emit comments->itemClicked(comments->item(1));
        QCOMPARE(child<QPlainTextEdit>("txt_comment")->toPlainText(), first + u'\n' + comments->item(1)->text());

        edit("LblPatName")->setFocus();
        auto* names = child<QListWidget>("LblPatNameX");
        QTRY_VERIFY(names->isVisible());
        edit("LblPatName")->setText(QString());
        QTest::keyClicks(edit("LblPatName"), u"O'Brien 100%"_s);
        QCOMPARE(names->count(), 1);
        QTest::keyClick(edit("LblPatName"), Qt::Key_Down);
        QTest::keyClick(names, Qt::Key_Return);
        QCOMPARE(edit("LblPatID")->text(), u"P9"_s);
        QCOMPARE(child<QComboBox>("Cmb_sex")->currentText(), u"Male"_s);
        QCOMPARE(child<QLabel>("Lbl_visitno")->text(), u"1"_s);
    }

    // Which analyser measured the result is shown and cannot be typed over; a mini VIDAS names none.
    void instrumentShown()
    {
        open(addResult({{u"instrumentid"_s, u"VIDAS3PC02"_s}, {u"instrumentsn"_s, u"IVD3-77001"_s}}));
        QCOMPARE(edit("Txt_instrument")->text(), u"VIDAS3PC02 IVD3-77001"_s);
        QVERIFY(edit("Txt_instrument")->isReadOnly());
        open(addResult({{u"SampleID"_s, u"8"_s}, {u"instrumentsn"_s, u"IVD3-77001"_s}}));
        QCOMPARE(edit("Txt_instrument")->text(), u"IVD3-77001"_s);
        open(addResult({{u"SampleID"_s, u"9"_s}}));
        QCOMPARE(edit("Txt_instrument")->text(), QString());
    }

    // A result sent again by the analyser overwrites the row and leaves its trace as the analyser.
    void analyserOverwrite()
    {
        ReceiveSteps steps(*m_ctx);
        steps.beginSession(0, m_install->clock.now(), false);
        CurrentResult r;
        r.LblSampID = u"42"_s;
        r.LblPatID = u"42"_s;
        r.Txt_shortAssay = u"ZZZ"_s;
        r.Txt_resultt1 = u"1.5"_s;
        steps.StoreResult(r);
        r.Txt_resultt1 = u"2.5"_s;
        steps.StoreResult(r);
        QVERIFY(!steps.error().isSet());
        QCOMPARE(iface(u"SELECT COUNT(*) FROM Result WHERE shortAssay='ZZZ'"_s), u"1"_s);
        QCOMPARE(
            m_install->texts(Db::Interface, u"SELECT changedby, columnname, oldvalue, newvalue FROM resulthistory"_s),
            QStringList{u"VIDAS|resultt1|1.5|2.5"_s});
    }
};

QTEST_MAIN(TestResultEditor)
#include "gui_ResultEditor.moc"
