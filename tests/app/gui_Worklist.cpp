#include "ReceiveLab.h"
#include "TestInstall.h"
#include "app/MainWindow.h"
#include "app/WorklistMessages.h"
#include "common/DateFormats.h"
#include "config/IniFile.h"
#include "core/ColourRef.h"
#include "core/Grants.h"
#include "db/Databases.h"
#include "db/DbMessages.h"
#include "link/LisOutbox.h"
#include "link/ReceiveSteps.h"
#include "review/LisWorklistWidget.h"
#include "review/ResultEdit.h"
#include "review/ResultEditorWindow.h"
#include "review/SearchMessages.h"
#include "review/SearchWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <cstring>

using namespace Qt::StringLiterals;

// The main window and the search window driven by their controls over the demo databases.
class TestWorklist : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestInstall> m_install;
    std::unique_ptr<MainWindow> m_main;
    AppContext* m_ctx = nullptr;

    template <typename T = QWidget> static T* child(QWidget* w, const char* name)
    {
        if (T* found = w->findChild<T*>(QLatin1String(name)))
            return found;
        qFatal("no control %s", name);
    }
    QTableWidget* grid(const char* name) const { return child<QTableWidget>(m_main.get(), name); }
    // Whether `shown` draws what `twin` (the same text, font and size) draws left to right, and not
    // what it draws right to left.
    static bool drawnLeftToRight(QWidget* shown, QWidget* twin)
    {
        twin->setPalette(shown->palette());
        twin->setEnabled(shown->isEnabled());
        twin->resize(shown->size());
        const auto image = [](QWidget* w) { return w->grab().toImage().convertToFormat(QImage::Format_RGB32); };
        const QImage drawn = image(shown);
        twin->setLayoutDirection(Qt::RightToLeft);
        const QImage mirrored = image(twin);
        twin->setLayoutDirection(Qt::LeftToRight);
        const QImage straight = image(twin);
        const auto same = [](const QImage& a, const QImage& b) {
            if (a.size() != b.size())
                return false;
            for (int y = 0; y < a.height(); ++y)
                if (std::memcmp(a.constScanLine(y), b.constScanLine(y), size_t(a.width()) * 4) != 0)
                    return false;
            return true;
        };
        return same(drawn, straight) && !same(drawn, mirrored);
    }
    QString label(const char* name) const { return child<QLabel>(m_main.get(), name)->text(); }
    void click(const char* name) const { child<QAbstractButton>(m_main.get(), name)->click(); }
    FakeDialogs& dialogs() { return m_install->dialogs; }
    QDate today() const { return m_install->clock.today(); }
    // Column `c` of every row of a grid, joined by '|'.
    static QString column(QTableWidget* g, int c)
    {
        QStringList texts;
        for (int r = 0; r < g->rowCount(); ++r)
            texts.append(g->item(r, c) ? g->item(r, c)->text() : QString());
        return texts.join(u'|');
    }
    void clickRow(QTableWidget* g, int row)
    {
        g->setCurrentCell(row, 0);
        emit g->cellClicked(row, 0);
    }
    int count(const QString& where, const QVariantList& values = {})
    {
        return m_install->text(TestInstall::Db::Interface, u"SELECT COUNT(*) FROM Result WHERE "_s + where, values)
            .toInt();
    }
    void addResult(const QString& patient, const QString& name, const QDate& date, const QString& test,
                   const QString& value, const QString& flag, const QString& range)
    {
        QVERIFY(
            m_install->exec(TestInstall::Db::Interface,
                            u"INSERT INTO Result (SampleID,patientid,Patientname,Testdate,TestTime,testsimp,resultt1,"
                            "RESULTCASEPRINT,normalrang,sex,sending) VALUES ('7',?,?,?,'14:07',?,?,?,?,'Female',1)"_s,
                            {patient, name, date, test, value, flag, range}));
    }
    // A main window on a context reading the settings as they stand (the user's grants kept).
    MainWindow& openMain()
    {
        m_main.reset();
        const CurrentUser user = m_ctx ? m_ctx->currentUser : CurrentUser{};
        m_ctx = &m_install->context();
        m_ctx->currentUser = user;
        m_main = std::make_unique<MainWindow>(*m_ctx);
        m_main->show();
        return *m_main;
    }
    void grant(bool g1, bool g5)
    {
        CurrentUser& u = m_ctx->currentUser;
        u.name = u"clerk"_s;
        u.grant1 = g1;
        u.grant5 = g5;
    }

private slots:
    void init()
    {
        m_main.reset();
        m_install = std::make_unique<TestInstall>();
        QVERIFY(m_install->installDemoData());
        m_ctx = &m_install->context();
        grant(true, true);
    }
    void cleanup() { m_main.reset(); }

    // The day's list, the patient's results with their colours, and a patient without an ID.
    void dayAndResults()
    {
        addResult(u"P1"_s, u"Mona"_s, today(), u"TSH"_s, u"9.1"_s, u" H"_s, u"0.3 - 4.2"_s);
        addResult(u"P1"_s, u"Mona"_s, today(), u"FT4"_s, u"12"_s, QString(), u"9 - 19"_s);
        addResult(u"P1"_s, u"Mona"_s, today(), u"HBS"_s, u"Positive"_s, u" *"_s, QString());
        addResult(u"P1"_s, u"Mona"_s, today(), u"HIV"_s, u"Positive"_s, QString(), u"Negative"_s);
        addResult(QString(), u"No Id"_s, today(), u"TSH"_s, u"1"_s, QString(), QString());
        addResult(u"P2"_s, u"Old"_s, today().addDays(-1), u"TSH"_s, u"2"_s, QString(), QString());
        openMain();
        QTableWidget* patients = grid("MSFG_Patient");
        QCOMPARE(column(patients, 1), u"No Id|Mona"_s);
        QCOMPARE(column(patients, 2), QStringList(2, DateFormats::dayMonthYear(today())).join(u'|'));

        clickRow(patients, 1);
        QTableWidget* results = grid("MSFlexGrid1");
        QCOMPARE(column(results, 0), u"TSH|FT4|HBS|HIV"_s);
        QCOMPARE(label("LblPatID"), u"P1"_s);
        QCOMPARE(label("LblSex"), u"Female"_s);
        QCOMPARE(label("LblTestTime"), u"02:07 PM"_s);
        QVERIFY(child<QCheckBox>(m_main.get(), "Chk_pregsmok")->isChecked());
        // The value's colour: flagged against a range dark red, inside a range green, else blue.
        QCOMPARE(results->item(0, 1)->foreground().color(), fromColourRef(0x0000C0));
        QCOMPARE(results->item(1, 1)->foreground().color(), fromColourRef(0x008000));
        QCOMPARE(results->item(2, 1)->foreground().color(), fromColourRef(0xFF0000));
        // A reading without a flag is not a value inside its range: the plain text colour, not green.
        QCOMPARE(results->item(3, 1)->foreground().style(), Qt::NoBrush);
        // The first result is selected.
        QCOMPARE(child<QLineEdit>(m_main.get(), "Txt_AUTOID")->text(), results->item(0, 5)->text());
        clickRow(results, 2);
        QCOMPARE(child<QLineEdit>(m_main.get(), "Txt_AUTOID")->text(), results->item(2, 5)->text());

        clickRow(patients, 0);
        QCOMPARE(column(results, 0), u"TSH"_s);
        QCOMPARE(label("LblPatName"), u"No Id"_s);

        // Another day, then a day without rows.
        child<QDateEdit>(m_main.get(), "DTPicker_day")->setDate(today().addDays(-1));
        QCOMPARE(column(patients, 1), u"Old"_s);
        QCOMPARE(results->rowCount(), 0);
        child<QDateEdit>(m_main.get(), "DTPicker_day")->setDate(today().addDays(-2));
        QCOMPARE(patients->rowCount(), 0);
        clickRow(patients, 0);
        QCOMPARE(label("LblPatID"), QString());
        click("cmd_refresh");
        QCOMPARE(child<QDateEdit>(m_main.get(), "DTPicker_day")->date(), today());
        QCOMPARE(patients->rowCount(), 2);

        // The patient ID goes to the clipboard.
        clickRow(patients, 1);
        QTest::mouseClick(child<QLabel>(m_main.get(), "LblPatID"), Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), u"P1"_s);
    }

    void deleteResult()
    {
        addResult(u"P1"_s, u"Mona"_s, today(), u"TSH"_s, u"9.1"_s, QString(), QString());
        addResult(u"P1"_s, u"Mona"_s, today(), u"FT4"_s, u"12"_s, QString(), QString());
        openMain();
        click("cmd_deletetpatient");
        QCOMPARE(dialogs().last().text, WorklistMessages::deleteSelect);

        clickRow(grid("MSFG_Patient"), 0);
        grant(true, false);
        click("cmd_deletetpatient");
        QCOMPARE(dialogs().last().text, GrantMessages::refusalText);
        grant(true, true);
        dialogs().answers = {DialogAnswer::Cancel};
        click("cmd_deletetpatient");
        QCOMPARE(dialogs().last().text, WorklistMessages::deleteQuestion);
        QCOMPARE(count(u"1=1"_s), 2);

        const QString autoNum = child<QLineEdit>(m_main.get(), "Txt_AUTOID")->text();
        click("cmd_deletetpatient");
        QCOMPARE(count(u"AutoNum=?"_s, {autoNum}), 0);
        QCOMPARE(count(u"1=1"_s), 1);
        QCOMPARE(grid("MSFlexGrid1")->rowCount(), 0); // refreshed

        // Deleted by another station between the click and the Delete.
        clickRow(grid("MSFG_Patient"), 0);
        QVERIFY(m_install->exec(TestInstall::Db::Interface, u"DELETE FROM Result"_s));
        dialogs().clear();
        click("cmd_deletetpatient");
        QCOMPARE(dialogs().last().text, WorklistMessages::deleteGone);
        QCOMPARE(grid("MSFG_Patient")->rowCount(), 0);
    }

    void deleteChangedRow_data()
    {
        QTest::addColumn<bool>("byAnalyser");
        QTest::addColumn<QString>("who");
        QTest::newRow("sent again by the analyser") << true << "VIDAS";
        QTest::newRow("corrected at another station") << false << "Sara";
    }
    // Delete removes only the row as it was shown: a row changed since is shown again with what
    // changed, who and when, and a second Delete removes it.
    void deleteChangedRow()
    {
        QFETCH(bool, byAnalyser);
        QFETCH(QString, who);
        QVERIFY(m_install->exec(TestInstall::Db::Interface,
                                u"INSERT INTO Result (SampleID,patientid,Patientname,Testdate,TestTime,testsimp,"
                                "shortAssay,resultt1,sending) VALUES ('7','P1','Mona',?,'14:07','TSH','ZZZ','150',0)"_s,
                                {today()}));
        openMain();
        clickRow(grid("MSFG_Patient"), 0);
        const QString autoNum = child<QLineEdit>(m_main.get(), "Txt_AUTOID")->text();
        QVERIFY(!autoNum.isEmpty());
        if (byAnalyser) {
            ReceiveSteps steps(*m_ctx);
            steps.beginSession(0, m_install->clock.now(), false);
            CurrentResult r;
            r.LblSampID = u"7"_s;
            r.LblPatID = u"P1"_s;
            r.LblPatName = u"Mona"_s;
            r.Txt_shortAssay = u"ZZZ"_s;
            r.Txt_resultt1 = u"300"_s;
            steps.StoreResult(r);
            QVERIFY(!steps.error().isSet());
        } else {
            ResultEdit::Fields other;
            QCOMPARE(ResultEdit::load(*m_ctx, autoNum.toLongLong(), other), ResultEdit::LoadOutcome::Loaded);
            other.Txt_TEST_R = u"300"_s;
            m_ctx->currentUser.name = who;
            QCOMPARE(ResultEdit::save(*m_ctx, other, m_install->clock.now()).state, ResultEdit::SaveState::Saved);
        }
        dialogs().clear();
        click("cmd_deletetpatient");
        QCOMPARE(count(u"AutoNum=?"_s, {autoNum}), 1);
        const QString text = dialogs().last().text;
        QVERIFY2(text.startsWith(WorklistMessages::deleteChanged), qPrintable(text));
        QVERIFY2(text.contains(u"resultt1: \u2066150\u2069 ← \u2066300\u2069 (\u2066"_s + who), qPrintable(text));
        QCOMPARE(grid("MSFlexGrid1")->item(0, 1)->text(), u"300"_s);
        QCOMPARE(child<QLineEdit>(m_main.get(), "Txt_AUTOID")->text(), autoNum);
        click("cmd_deletetpatient");
        QCOMPARE(count(u"AutoNum=?"_s, {autoNum}), 0);
    }

    // A correction waiting for the LIS is counted in the main window, by the outbox table, for as
    // long as it waits.
    void outboxWaitingShown()
    {
        openMain();
        auto* label = child<QLabel>(m_main.get(), "Lbl_outboxnum");
        QVERIFY(!label->isVisible());
        QVERIFY(QFile::rename(m_install->lisDbFile(), m_install->lisDbFile() + u".away"_s));
        QVERIFY(LisOutbox::queueColumns(m_ctx->databases().OpenInterfaceDbQuiet(1), 0, u"2601140001230"_s, 501,
                                        {{u"resultt"_s, u"4.4"_s}}, LisOutbox::editorOrigin, m_install->clock.now()));
        LisOutbox::Sender sender(*m_ctx, {100, 20, 50});
        connect(&sender, &LisOutbox::Sender::waitingChanged, m_main.get(), &MainWindow::showOutboxWaiting);
        QTRY_VERIFY(label->isVisible());
        QCOMPARE(label->text(), WorklistMessages::outboxWaiting.arg(1));
        QVERIFY(!label->toolTip().isEmpty()); // why it waits
        QVERIFY(QFile::rename(m_install->lisDbFile() + u".away"_s, m_install->lisDbFile()));
        QTRY_VERIFY_WITH_TIMEOUT(!label->isVisible(), 10000);
    }

    // Adding from the LIS worklist: a test once, the patient once, a blank sample.
    void addFromWorklist()
    {
        openMain();
        grant(false, true);
        click("cmd_addpatient");
        QCOMPARE(dialogs().last().text, GrantMessages::refusalText);
        QVERIFY(!child(m_main.get(), "Frm_CRVdata")->isVisible());

        grant(true, true);
        click("cmd_addpatient");
        QWidget* panel = child(m_main.get(), "Frm_CRVdata");
        QVERIFY(panel->isVisible());
        QVERIFY(!child(m_main.get(), "Frm_buttons")->isEnabled());
        QVERIFY(!child(m_main.get(), "PictureCmd")->isEnabled());
        QTableWidget* worklist = grid("DGd_patientname");
        QVERIFY(worklist->rowCount() >= 4);
        // The panel the result editor shows too, with the same captions.
        QVERIFY(qobject_cast<LisWorklistWidget*>(panel));
        QCOMPARE(worklist->horizontalHeaderItem(1)->text(), u"Patient name"_s);
        QCOMPARE(worklist->currentRow(), 0); // the first row is chosen
        // Newest daily number first.
        const QString ids = column(worklist, 0);
        QStringList numbers;
        for (const QString& id : ids.split(u'|'))
            numbers.append(id.mid(9, 3));
        QStringList sorted = numbers;
        std::sort(sorted.begin(), sorted.end(), std::greater<>());
        QCOMPARE(numbers, sorted);

        const QString patient = worklist->item(0, 0)->text();
        const QString code = worklist->item(0, 11)->text();
        // A write the database refuses adds nothing and says so.
        QVERIFY(
            m_install->exec(TestInstall::Db::Interface,
                            u"CREATE TRIGGER refuse BEFORE INSERT ON Result BEGIN SELECT RAISE(FAIL, 'no'); END"_s));
        emit worklist->cellDoubleClicked(0, 0);
        QCOMPARE(dialogs().last().text, WorklistMessages::addFailed);
        QVERIFY(m_install->exec(TestInstall::Db::Interface, u"DROP TRIGGER refuse"_s));
        QCOMPARE(count(u"1=1"_s), 0);
        emit worklist->cellDoubleClicked(0, 0);
        QCOMPARE(dialogs().last().text, WorklistMessages::testAdded);
        emit worklist->cellDoubleClicked(0, 0);
        QCOMPARE(dialogs().last().text, WorklistMessages::testAlreadyAdded);
        QCOMPARE(count(u"patientid=? AND crvtestid=?"_s, {patient, code}), 1);
        // Pregnancy or smoking, from the LIS's further data (9th "1", 10th "0").
        const QString more = worklist->item(0, 12)->text();
        QCOMPARE(count(u"patientid=? AND sending=?"_s, {patient, more.mid(8, 2) == u"10"_s}), 1);
        // The catalogue names the test; the LIS's time is kept as a clock time.
        QCOMPARE(m_install->text(TestInstall::Db::Interface,
                                 u"SELECT Testdate, shortAssay IS NOT NULL, TestTime LIKE '__:__ _M' FROM Result"_s),
                 today().toString(Qt::ISODate) + u"|1|1"_s);
        QVERIFY(panel->isVisible()); // several tests may be added one after another

        // The patient of another row, once.
        worklist->setCurrentCell(worklist->rowCount() - 1, 0);
        const QString other = worklist->item(worklist->rowCount() - 1, 0)->text();
        click("cmd_savepatient");
        QCOMPARE(count(u"patientid=? AND testsimp IS NULL"_s, {other}), 1);
        QVERIFY(!panel->isVisible());
        QVERIFY(child(m_main.get(), "Frm_buttons")->isEnabled());
        click("cmd_addpatient");
        worklist->setCurrentCell(worklist->rowCount() - 1, 0);
        click("cmd_savepatient");
        QCOMPARE(dialogs().last().text, WorklistMessages::patientAlreadyAdded);

        // Another request date without requests, then a new sample for no assay.
        child<QDateEdit>(m_main.get(), "DTPicker_testdate")->setDate(today().addDays(-30));
        QCOMPARE(worklist->rowCount(), 0);
        // A grid without rows has no cell to double-click: the empty grid itself says why.
        dialogs().clear();
        QTest::mouseDClick(worklist->viewport(), Qt::LeftButton, {}, QPoint(40, 40));
        QCOMPARE(dialogs().shown.size(), 1);
        QCOMPARE(dialogs().last().text, WorklistMessages::noWorklistRow);
        click("cmd_Newpatient");
        QCOMPARE(count(u"Patientname='NEW' AND Testdate=? AND shortAssay IS NULL"_s, {today()}), 1);
        QVERIFY(!panel->isVisible());

        // A new sample for a chosen assay takes the catalogue's data.
        click("cmd_addpatient");
        auto* assay = child<QComboBox>(m_main.get(), "Cmb_Assay");
        QVERIFY(assay->count() > 0);
        assay->setCurrentIndex(0);
        click("cmd_Newpatient");
        QCOMPARE(count(u"Patientname='NEW' AND shortAssay=? AND testsimp IS NOT NULL"_s, {assay->itemText(0)}), 1);
        QVERIFY(column(grid("MSFG_Patient"), 1).contains(u"NEW"_s));
    }

    // The LIS switched off: a blank sample after the question; the LIS gone: its message.
    void lisOffOrGone()
    {
        m_install->setSetting(u"corvanaserver"_s, u"active"_s, u"0"_s);
        openMain();
        dialogs().answers = {DialogAnswer::No};
        click("cmd_addpatient");
        QCOMPARE(dialogs().last().text, WorklistMessages::blankSampleQuestion);
        QCOMPARE(count(u"1=1"_s), 0);
        click("cmd_addpatient");
        QCOMPARE(count(u"Patientname='NEW'"_s), 1);
        QVERIFY(!child(m_main.get(), "Frm_CRVdata")->isVisible());

        m_install->setSettings({u"corvanaserver/active=1"_s, u"corvanaserver/database=gone.db"_s});
        openMain();
        dialogs().clear();
        click("cmd_addpatient");
        QCOMPARE(dialogs().last().text, DbMessages::lisServerFailed);
        QCOMPARE(grid("DGd_patientname")->rowCount(), 0);
        QVERIFY(!child(m_main.get(), "Frame_load")->isVisible());
        click("cmd_canceladd");
        QVERIFY(child(m_main.get(), "Frm_buttons")->isEnabled());
        QCOMPARE(count(u"1=1"_s), 1);
    }

    void separateReportIsKept()
    {
        openMain();
        auto* box = child<QCheckBox>(m_main.get(), "chk_separeteRPT");
        QVERIFY(!box->isChecked());
        box->click();
        QCOMPARE(ReadIni(m_install->settingsIni(), u"report"_s, u"putsymbolmark"_s), u"1"_s);
        openMain();
        QVERIFY(child<QCheckBox>(m_main.get(), "chk_separeteRPT")->isChecked());
    }

    // The search window's checks and hand-over to the main window.
    void searchWindow()
    {
        addResult(u"P1"_s, u"Mona"_s, today(), u"TSH"_s, u"9.1"_s, QString(), QString());
        addResult(u"P1"_s, u"Mona"_s, today(), u"FT4"_s, u"12"_s, QString(), QString());
        addResult(u"P9"_s, u"Monir"_s, today().addDays(-3), u"TSH"_s, u"1"_s, QString(), QString());
        openMain();
        auto* search = new SearchWindow(*m_ctx); // closes itself, and is deleted
        search->show();
        QTRY_COMPARE(child<QComboBox>(search, "Cmb_test")->count(), 2);
        // A name search is the default.
        QVERIFY(child<QRadioButton>(search, "Opt_namesex")->isChecked());
        QVERIFY(!child(search, "Txt_SampID")->isEnabled());
        child<QLineEdit>(search, "Txt_Name")->setText(u"Mon"_s);
        child<QAbstractButton>(search, "cmd_search")->click();
        QCOMPARE(child<QLabel>(search, "Lab_patient_no")->text(), u"3"_s);
        auto* hits = child<QTableWidget>(search, "DGd_patientname");
        QCOMPARE(hits->item(0, 8)->text(), u"True"_s);

        child<QAbstractButton>(search, "Chk_testdate")->click();
        child<QDateEdit>(search, "DTPicker1")->setDate(today());
        child<QDateEdit>(search, "DTPicker2")->setDate(today().addDays(-1));
        child<QAbstractButton>(search, "cmd_search")->click();
        QCOMPARE(dialogs().last().text, SearchMessages::datesReversed);
        QCOMPARE(hits->rowCount(), 0);
        child<QAbstractButton>(search, "Cmd_viewresult")->click();
        QCOMPARE(dialogs().last().text, SearchMessages::noHitSelected);
        child<QAbstractButton>(search, "Cmd_ViewAll")->click();
        QCOMPARE(dialogs().last().text, SearchMessages::noHits);

        child<QRadioButton>(search, "Opt_SamID")->click();
        QVERIFY(!child(search, "Txt_Name")->isEnabled());
        QVERIFY(child<QLineEdit>(search, "Txt_Name")->text().isEmpty());
        child<QLineEdit>(search, "Txt_SampID")->setText(u"12"_s);
        child<QRadioButton>(search, "Opt_PatID")->click();
        QVERIFY(child<QLineEdit>(search, "Txt_SampID")->text().isEmpty());
        child<QLineEdit>(search, "Txt_PatID")->setText(u"P1"_s);
        QTest::keyClick(child<QLineEdit>(search, "Txt_PatID"), Qt::Key_Return);
        QCOMPARE(hits->rowCount(), 2);
        child<QAbstractButton>(search, "cmd_refresh")->click();
        QCOMPARE(child<QLabel>(search, "Lab_patient_no")->text(), u"0"_s);
        QVERIFY(child<QAbstractButton>(search, "Opt_namesex")->isChecked());

        // View all lists every hit in the main window; View Pat shows one result alone.
        const auto findPatient = [](SearchWindow* w) {
            child<QRadioButton>(w, "Opt_PatID")->click();
            child<QLineEdit>(w, "Txt_PatID")->setText(u"P1"_s);
            child<QAbstractButton>(w, "cmd_search")->click();
        };
        findPatient(search);
        connect(search, &SearchWindow::allHitsChosen, m_main.get(), &MainWindow::showSearchHits);
        QPointer<SearchWindow> gone = search;
        child<QAbstractButton>(search, "Cmd_ViewAll")->click();
        QCOMPARE(column(grid("MSFG_Patient"), 1), u"Mona|Mona"_s);
        QTRY_VERIFY(!gone);

        search = new SearchWindow(*m_ctx);
        findPatient(search);
        connect(search, &SearchWindow::hitChosen, m_main.get(), &MainWindow::showSearchHit);
        hits = child<QTableWidget>(search, "DGd_patientname");
        hits->setCurrentCell(1, 1);
        const QString test = hits->item(1, 9)->text();
        emit hits->cellDoubleClicked(1, 1);
        QCOMPARE(column(grid("MSFlexGrid1"), 0), test);
        QCOMPARE(grid("MSFG_Patient")->rowCount(), 1);
        QCOMPARE(label("LblPatID"), u"P1"_s);
        // The search's list is not replaced by today's when a result arrives.
        QVERIFY(m_install->exec(TestInstall::Db::Interface,
                                u"INSERT INTO Result (Patientname,Testdate) VALUES ('X',?)"_s, {today()}));
        m_main->lookForNewResults();
        QCOMPARE(grid("MSFG_Patient")->rowCount(), 1);
    }

    // Signs, ranges, units and codes read left to right as stored in the right-to-left windows: what
    // is drawn equals the same text drawn left to right, and not the same text drawn mirrored.
    void latinTextsReadLeftToRight()
    {
        addResult(u"P1"_s, u"Mona"_s, today(), u"TSH"_s, u"9.1"_s, QString(), u"< 6"_s);
        openMain();
        // An empty result grid asks for a result first when double-clicked.
        dialogs().clear();
        QTest::mouseDClick(grid("MSFlexGrid1")->viewport(), Qt::LeftButton, {}, QPoint(40, 40));
        QCOMPARE(dialogs().last().text, WorklistMessages::selectFirst);
        // The editor's age-unit list, all Latin, is laid out left to right.
        clickRow(grid("MSFG_Patient"), 0);
        auto* editor =
            new ResultEditorWindow(*m_ctx, child<QLineEdit>(m_main.get(), "Txt_AUTOID")->text().toLongLong());
        editor->show(); // deletes itself when closed
        auto* unit = child<QComboBox>(editor, "Cmb_AgeU");
        unit->setCurrentIndex(unit->findText(u"Mons."_s));
        QComboBox units;
        units.setFont(unit->font());
        for (int i = 0; i < unit->count(); ++i)
            units.addItem(unit->itemText(i));
        units.setCurrentIndex(unit->currentIndex());
        QVERIFY(drawnLeftToRight(unit, &units));
        editor->close();

        auto* search = new SearchWindow(*m_ctx); // deletes itself when closed
        search->show();
        // Arabic captions keep their own direction.
        for (QLabel* caption : search->findChildren<QLabel*>())
            if (caption->text() == u"عدد النتائج:"_s)
                QVERIFY(caption->isRightToLeft());
        child<QRadioButton>(search, "Opt_testx")->click();
        auto* compare = child<QComboBox>(search, "Text_RETICS_L");
        // "At least" shows the sign the search uses, and asks for ">".
        QCOMPARE(compare->findData(u">"_s), compare->findText(u"≥"_s));
        for (const QString& sign : {u"≥"_s, u"<"_s}) {
            compare->setCurrentIndex(compare->findText(sign));
            QComboBox box;
            box.setFont(compare->font());
            box.addItem(sign);
            QVERIFY2(drawnLeftToRight(compare, &box), qPrintable(sign));
        }
        QTRY_VERIFY(child<QComboBox>(search, "Cmb_test")->findText(u"TSH"_s) >= 0);
        child<QComboBox>(search, "Cmb_test")->setCurrentText(u"TSH"_s);
        compare->setCurrentIndex(compare->findText(u"≥"_s));
        child<QLineEdit>(search, "Text_RETICS_H")->setText(u"9.1"_s);
        child<QAbstractButton>(search, "cmd_search")->click();
        // Values of at least the number, that one included.
        auto* hits = child<QTableWidget>(search, "DGd_patientname");
        QVERIFY(hits->rowCount() > 0 && column(hits, 10).split(u'|').contains(u"9.1"_s));
        for (const QString& value : column(hits, 10).split(u'|'))
            QVERIFY2(value.toDouble() >= 9.1, qPrintable(value));
        search->close();
    }

    // A result the receiver stores shows up in today's list by itself; the selection stays.
    void receivedResultsAppear()
    {
        ReceiveLab lab;
        QVERIFY(lab.ready);
        lab.chain(); // the chain and the window share one context
        AppContext& context = *lab.context;
        context.currentUser.name = u"clerk"_s;
        QVERIFY(lab.install.exec(
            TestInstall::Db::Interface,
            u"INSERT INTO Result (patientid,Patientname,Testdate,testsimp) VALUES ('A','Aya',?,'TSH')"_s,
            {lab.install.clock.today()}));
        MainWindow main(context);
        main.show();
        auto* patients = child<QTableWidget>(&main, "MSFG_Patient");
        QCOMPARE(patients->rowCount(), 1);
        patients->setCurrentCell(0, 0);
        main.lookForNewResults();
        QCOMPARE(patients->rowCount(), 1); // nothing new: nothing reloaded

        QCOMPARE(lab.process(sampleBytes(u"three-results-one-session.bin"_s)), ReceiveChain::Result::Done);
        main.lookForNewResults();
        QVERIFY(patients->rowCount() > 1);
        QCOMPARE(patients->item(patients->currentRow(), 1)->text(), u"Aya"_s);
        QCOMPARE(child<QLabel>(&main, "LblPatID")->text(), u"A"_s);
    }
};

QTEST_MAIN(TestWorklist)
#include "gui_Worklist.moc"
