#include "TestInstall.h"
#include "core/Grants.h"
#include "link/LisOutbox.h"
#include "link/MessageParser.h"
#include "link/ReceiveSteps.h"
#include "review/EditorMessages.h"
#include "review/LisWorklistWidget.h"
#include "review/ResultEditorWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
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

// What the editor shows, saves and sends is what is stored: the LIS code a received result carries,
// a row changed under the editor, the grants of the fields that re-flag, the comment a flag set,
// the pregnancy rule of a take-over, and the form's own aids.
class TestEditorSafety : public QObject
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
                            {u"resultt1"_s, u"150"_s},
                            {u"sending"_s, 0}};
        columns.insert(more);
        const QStringList marks(columns.size(), u"?"_s);
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
    LisOutbox::SendOutcome deliver() { return LisOutbox::deliver(*m_ctx, m_install->clock.now()); }
    void setUser(const QString& name, bool grant1, bool grant2)
    {
        m_ctx->currentUser = CurrentUser{};
        m_ctx->currentUser.name = name;
        m_ctx->currentUser.grant1 = grant1;
        m_ctx->currentUser.grant2 = grant2;
    }
    // The receive chain on one analyser record, as a session stores it.
    void receive(const QString& sample, const QString& assay, const QString& value, const QString& patientId = {})
    {
        ReceiveSteps steps(*m_ctx);
        steps.beginSession(0, m_install->clock.now(), false);
        CurrentResult r;
        r.LblSampID = sample;
        r.LblPatID = patientId.isEmpty() ? sample : patientId;
        r.Txt_shortAssay = assay;
        r.Txt_resultt3 = value;
        steps.Evaluate(r);
        r.Txt_resultt1 = MessageParser::resultText(r.Txt_resultt2, r.Txt_resultt3);
        steps.Flag(r);
        steps.StoreResult(r);
        QVERIFY2(!steps.error().isSet(), qPrintable(steps.error().text));
    }
    void takeOverRow(const QString& patientId, const QString& code)
    {
        click("cmd_CRVdata");
        auto* grid = child<QTableWidget>("DGd_patientname");
        for (int r = 0; r < grid->rowCount(); ++r) {
            if (grid->item(r, 0)->text() == patientId && grid->item(r, 11)->text() == code)
                grid->setCurrentCell(r, 0);
        }
        QCOMPARE(grid->item(grid->currentRow(), 0)->text(), patientId);
        click("cmd_crvokget");
    }

private slots:
    void init()
    {
        m_install = std::make_unique<TestInstall>();
        QVERIFY(m_install->installDemoData());
        m_install->setSettings({"comsetup/autsavecrv=1"});
        m_ctx = &m_install->context();
        setUser(u"Huda"_s, true, true);
    }
    void cleanup() { delete m_editor; }

    // A received result carries its test's LIS code, so a correction in the editor reaches the
    // very request the analyser's value was written into, once.
    void correctionOfReceivedResultReachesLis()
    {
        receive(u"260114000123"_s, u"TSH"_s, u"2.35"_s);
        QCOMPARE(deliver().done.size(), 1);
        const qint64 id = iface(u"SELECT AutoNum FROM Result WHERE shortAssay='TSH'"_s).toLongLong();
        QCOMPARE(iface(u"SELECT patientid, crvtestid FROM Result WHERE AutoNum=?"_s, {id}), u"2601140001230|501"_s);
        const QString request = u"SELECT resultt FROM patienttest WHERE patientid='2601140001230' AND testcode=501"_s;
        QCOMPARE(lis(request), u"2.35"_s);

        open(id);
        edit("Txt_TEST_R")->setText(u"7.5"_s);
        QCOMPARE(edit("Txt_TEST_F")->text(), u"H"_s);
        click("cmd_save");
        QVERIFY(dialogs().shown.isEmpty());
        QCOMPARE(deliver().done.size(), 1);
        QCOMPARE(lis(request), u"7.5"_s);
        QCOMPARE(lis(u"SELECT COUNT(*) FROM patienttest WHERE resultt IS NOT NULL"_s), u"1"_s);
        QCOMPARE(iface(u"SELECT COUNT(*), MIN(state), MAX(state) FROM lisoutbox"_s), u"2|written|written"_s);
    }

    void codeFoundByAssay_data()
    {
        QTest::addColumn<QString>("assay");
        QTest::addColumn<QString>("testName");
        QTest::addColumn<QString>("code");
        QTest::newRow("one catalogue test") << "TSH"
                                            << "TSH"
                                            << "501";
        QTest::newRow("assay the catalogue lacks") << "ZZZ"
                                                   << "ZZZ"
                                                   << "null";
    }
    // A result stored before the code went with it finds its code in the catalogue at Save.
    void codeFoundByAssay()
    {
        QFETCH(QString, assay);
        QFETCH(QString, testName);
        QFETCH(QString, code);
        const qint64 id = addResult({{u"patientid"_s, u"2601140001230"_s},
                                     {u"shortAssay"_s, assay},
                                     {u"testsimp"_s, testName},
                                     {u"crvtestid"_s, QVariant()}});
        open(id);
        edit("Txt_TEST_R")->setText(u"3.1"_s);
        click("cmd_save");
        deliver();
        QCOMPARE(iface(u"SELECT crvtestid FROM Result WHERE AutoNum=?"_s, {id}), code);
        QCOMPARE(lis(u"SELECT COUNT(*) FROM patienttest WHERE resultt='3.1' AND testcode=501"_s),
                 code == u"501"_s ? u"1"_s : u"0"_s);
    }

    void rowChangedSinceOpened_data()
    {
        QTest::addColumn<bool>("byAnalyser");
        QTest::addColumn<QString>("who");
        QTest::newRow("sent again by the analyser") << true << "VIDAS";
        QTest::newRow("saved at another station") << false << "Sara";
    }
    // The editor writes nothing over a row changed since it was opened: it says what changed, who
    // and when, shows the row as it is with the user's typing kept, and a second Save keeps both.
    void rowChangedSinceOpened()
    {
        QFETCH(bool, byAnalyser);
        QFETCH(QString, who);
        const qint64 id = addResult({{u"patientid"_s, u"P1"_s}});
        open(id);
        child<QPlainTextEdit>("txt_comment")->setPlainText(u"haemolysed"_s);
        if (byAnalyser) {
            receive(u"7"_s, u"TST"_s, u"300"_s, u"P1"_s);
        } else {
            ResultEdit::Fields other;
            QCOMPARE(ResultEdit::load(*m_ctx, id, other), ResultEdit::LoadOutcome::Loaded);
            other.Txt_TEST_R = u"300"_s;
            m_ctx->currentUser.name = who;
            QCOMPARE(ResultEdit::save(*m_ctx, other, m_install->clock.now()).state, ResultEdit::SaveState::Saved);
            m_ctx->currentUser.name = u"Huda"_s;
        }
        QCOMPARE(iface(u"SELECT resultt1 FROM Result WHERE AutoNum=?"_s, {id}), u"300"_s);

        QSignalSpy finished(m_editor.data(), &ResultEditorWindow::finished);
        click("cmd_save");
        QCOMPARE(finished.size(), 0);
        QCOMPARE(dialogs().last().title, EditorMessages::conflictTitle);
        const QString text = dialogs().last().text;
        QVERIFY2(text.startsWith(EditorMessages::conflictText), qPrintable(text));
        QVERIFY2(text.contains(u"resultt1: \u2066150\u2069 ← \u2066300\u2069 (\u2066"_s + who + u"\u2069، "_s +
                               m_install->clock.now().toString(u"yyyy-MM-dd HH:mm:ss"_s)),
                 qPrintable(text));
        QCOMPARE(iface(u"SELECT resultt1, comment FROM Result WHERE AutoNum=?"_s, {id}), u"300|null"_s);
        QCOMPARE(edit("Txt_TEST_R")->text(), u"300"_s);
        QCOMPARE(child<QPlainTextEdit>("txt_comment")->toPlainText(), u"haemolysed"_s);

        click("cmd_save");
        QCOMPARE(finished.size(), 1);
        QCOMPARE(iface(u"SELECT resultt1, comment, editedby FROM Result WHERE AutoNum=?"_s, {id}),
                 u"300|haemolysed|Huda"_s);
    }

    void rangeFieldsFollowResultGrant_data()
    {
        QTest::addColumn<bool>("grant1");
        QTest::addColumn<bool>("grant2");
        QTest::newRow("both") << true << true;
        QTest::newRow("patient grant only") << true << false;
        QTest::newRow("result grant only") << false << true;
        QTest::newRow("neither") << false << false;
    }
    // Sex, age, age unit and Pregnant re-run the range look-up: they change the flag, so they need
    // the result grant as well as the patient grant.
    void rangeFieldsFollowResultGrant()
    {
        QFETCH(bool, grant1);
        QFETCH(bool, grant2);
        setUser(u"clerk"_s, grant1, grant2);
        open(addResult());
        for (const char* name : {"Cmb_sex", "LblAgeN", "Cmb_AgeU", "Chk_pregsmok"})
            QVERIFY2(child(name)->isEnabled() == (grant1 && grant2), name);
        QCOMPARE(edit("LblPatName")->isEnabled(), grant1);
        QCOMPARE(edit("Txt_TEST_R")->isEnabled(), grant2);
    }

    // A take-over by a user without the result grant brings the patient, not a new flag.
    void takeOverWithoutResultGrantKeepsFlag()
    {
        setUser(u"clerk"_s, true, false);
        const qint64 id = addResult({{u"sex"_s, u"Male"_s},
                                     {u"shortAssay"_s, u"PRL"_s},
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
        takeOverRow(u"2601140001247"_s, u"503"_s);
        QCOMPARE(edit("LblPatID")->text(), u"2601140001247"_s);
        QCOMPARE(edit("Txt_TEST_F")->text(), u"H"_s);
        QCOMPARE(edit("Txt_TEST_N")->text(), u"2.1 - 17.7"_s);
        click("cmd_save");
        QCOMPARE(iface(u"SELECT RESULTCASEPRINT, normalrang FROM Result WHERE AutoNum=?"_s, {id}), u"H|2.1 - 17.7"_s);
    }

    void flagRenewsItsComment_data()
    {
        QTest::addColumn<QString>("comment");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("autoComment");
        QTest::addColumn<QString>("flag");
        QTest::addColumn<QString>("commentAfter");
        QTest::addColumn<bool>("lookUp");
        QTest::newRow("high to normal") << "above normal"
                                        << "3" << false << ""
                                        << "" << false;
        QTest::newRow("high to low, the range looked up again") << "above normal"
                                                                << "0.1" << true << "L"
                                                                << "below normal" << true;
        QTest::newRow("high to low, range not looked up") << "above normal"
                                                          << "0.1" << true << "L"
                                                          << "" << false;
        QTest::newRow("high to no value") << "above normal"
                                          << "" << true << ""
                                          << "" << false;
        QTest::newRow("the user's comment stays") << "call the doctor"
                                                  << "3" << true << ""
                                                  << "call the doctor" << true;
        QTest::newRow("flag unchanged") << "above normal"
                                        << "7" << true << "H"
                                        << "above normal" << true;
    }
    // A re-flag that changes the flag renews the comment the flag had set; the range's comments
    // are known from the test's ranges from the moment the editor opens.
    void flagRenewsItsComment()
    {
        QFETCH(QString, comment);
        QFETCH(QString, value);
        QFETCH(bool, autoComment);
        QFETCH(QString, flag);
        QFETCH(QString, commentAfter);
        QFETCH(bool, lookUp);
        QVERIFY(m_install->exec(Db::Interface,
                                u"UPDATE normalrange SET lowcomment='below normal', highcomment='above normal' "
                                "WHERE testcode=?"_s,
                                {testCode("TSH")}));
        m_install->setSettings({u"comsetup/autoComment="_s + (autoComment ? u"1"_s : u"0"_s)});
        m_ctx = &m_install->context();
        setUser(u"Huda"_s, true, true);
        open(addResult({{u"shortAssay"_s, u"TSH"_s},
                        {u"testcode"_s, testCode("TSH")},
                        {u"REFRANGE"_s, 1},
                        {u"resultt1"_s, u"6"_s},
                        {u"lowlimit"_s, 0.25},
                        {u"highlimit"_s, 5},
                        {u"nolowexe"_s, u"L"_s},
                        {u"nohighexe"_s, u"H"_s},
                        {u"RESULTCASEPRINT"_s, u"H"_s},
                        {u"comment"_s, comment}}));
        if (lookUp) {
            // A change of sex looks the (sex-free) range up again, with its comments; the flag stays.
            child<QComboBox>("Cmb_sex")->setCurrentIndex(child<QComboBox>("Cmb_sex")->findText(u"Male"_s));
            QCOMPARE(edit("Txt_LOWCOMMENT")->text(), u"below normal"_s);
            QCOMPARE(child<QPlainTextEdit>("txt_comment")->toPlainText(), comment);
        }
        // Without a look-up only the test's ranges tell that the comment was the flag's.
        edit("Txt_TEST_R")->setText(value);
        QCOMPARE(edit("Txt_TEST_F")->text(), flag);
        QCOMPARE(child<QPlainTextEdit>("txt_comment")->toPlainText(), commentAfter);
    }

    void takeOverPregnancy_data()
    {
        QTest::addColumn<QString>("moreinfo");
        QTest::addColumn<bool>("pregnant");
        QTest::newRow("1 then 0") << "0000000010" << true;
        QTest::newRow("1 then 1") << "0000000011" << false;
        QTest::newRow("1 then nothing") << "000000001" << true;
        QTest::newRow("1 then a blank") << "000000001 " << true;
        QTest::newRow("1 then a letter") << "000000001x" << true;
        QTest::newRow("too short") << "00000000" << false;
    }
    // The take-over reads the pregnancy state by the receive chain's rule: one patient, one range.
    void takeOverPregnancy()
    {
        QFETCH(QString, moreinfo);
        QFETCH(bool, pregnant);
        QVERIFY(m_install->exec(Db::Lis, u"UPDATE patientinfo SET moreinfo=? WHERE patientid='2601140001247'"_s,
                                {moreinfo}));
        open(addResult({{u"patientid"_s, QVariant()}, {u"shortAssay"_s, u"PRL"_s}, {u"resultt1"_s, u"35"_s}}));
        takeOverRow(u"2601140001247"_s, u"503"_s);
        QCOMPARE(child<QCheckBox>("Chk_pregsmok")->isChecked(), pregnant);
        QCOMPARE(edit("Txt_TEST_N")->text(), pregnant ? u"9.7 - 208.5"_s : u"2.8 - 29.2"_s);
    }

    // The editor's LIS panel is the main window's: the same thirteen captions.
    void lisPanelCaptions()
    {
        open(addResult());
        click("cmd_CRVdata");
        auto* grid = child<QTableWidget>("DGd_patientname");
        QStringList shown;
        for (int c = 0; c < grid->columnCount(); ++c)
            shown.append(grid->horizontalHeaderItem(c)->text());
        QCOMPARE(shown, (QStringList{u"Patient ID"_s, u"Patient name"_s, u"Gender"_s, QString(), u"Unit"_s,
                                     u"Test name"_s, u"Referred by"_s, u"requestdate"_s, u"timein"_s, u"patientsefa"_s,
                                     u"referredbysefa"_s, u"testcode"_s, u"moreinfo"_s}));
        QVERIFY(qobject_cast<LisWorklistWidget*>(child("Frm_CRVdata")));
    }

    // The name suggestions float over the form (Save stays where it was) and Escape closes them;
    // a result without a doctor shows the usual doctor's title.
    void suggestionsAndDoctorTitle()
    {
        addResult({{u"Patientname"_s, u"Mona Ali"_s}});
        open(addResult({{u"DocName"_s, QVariant()}, {u"Drsefa"_s, QVariant()}}));
        QCOMPARE(child<QComboBox>("Cmb_drsefa")->currentText(), EditorMessages::defaultDoctorTitle);
        QWidget* save = child("cmd_save");
        const QPoint before = save->mapTo(m_editor.data(), QPoint(0, 0));
        edit("LblPatName")->setFocus();
        auto* names = child<QListWidget>("LblPatNameX");
        QTRY_VERIFY(names->isVisible());
        QVERIFY(names->count() >= 1);
        QApplication::processEvents();
        QCOMPARE(save->mapTo(m_editor.data(), QPoint(0, 0)), before);
        // Right under the name.
        QCOMPARE(names->geometry().topLeft(),
                 edit("LblPatName")->mapTo(m_editor.data(), QPoint(0, edit("LblPatName")->height())));
        QTest::keyClick(edit("LblPatName"), Qt::Key_Escape);
        QVERIFY(!names->isVisible());
        QVERIFY(edit("LblPatName")->hasFocus());
        QTest::keyClick(edit("LblPatName"), Qt::Key_Down);
        QVERIFY(!names->isVisible());
        // From inside the list as well.
        edit("LblPatName")->setText(u"Mon"_s);
        emit edit("LblPatName")->textEdited(u"Mon"_s);
        QVERIFY(!names->isVisible()); // closed lists stay closed while typing
        child("LblSampID")->setFocus();
        edit("LblPatName")->setFocus();
        QTRY_VERIFY(names->isVisible());
        QTest::keyClick(edit("LblPatName"), Qt::Key_Down);
        QVERIFY(names->hasFocus());
        QTest::keyClick(names, Qt::Key_Escape);
        QVERIFY(!names->isVisible());
        QVERIFY(edit("LblPatName")->hasFocus());
    }
};

QTEST_MAIN(TestEditorSafety)
#include "gui_EditorSafety.moc"
