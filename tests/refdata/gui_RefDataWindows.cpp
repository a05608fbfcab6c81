#include "FakeKeyboardLayout.h"
#include "FakeSingleInstance.h"
#include "TestInstall.h"
#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "app/ProgramUi.h"
#include "app/ReferenceWindowsUi.h"
#include "app/StartupSequence.h"
#include "core/Grants.h"
#include "core/WindowCodes.h"
#include "refdata/RefDataMessages.h"
#include "users/UserAccounts.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

using Db = TestInstall::Db;
using namespace Qt::StringLiterals;
namespace M = RefDataMessages;

// The catalogue, range and comment windows as the lab uses them: reached from the navigation of
// every window, driven by their control names through browsing and editing, with the refusals a
// wrong entry meets.
class TestRefDataWindows : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestInstall> m_install;
    FakeSingleInstance m_single;
    FakeKeyboardLayout m_keyboard;
    std::unique_ptr<ProgramUi> m_ui;
    AppContext* m_context = nullptr; // the running program's

    template <typename T = QWidget> static T* child(QWidget* window, const char* name)
    {
        if (T* found = window ? window->findChild<T*>(QLatin1String(name)) : nullptr)
            return found;
        qFatal("no control %s", name);
    }
    static QLineEdit* box(QWidget* w, const char* name) { return child<QLineEdit>(w, name); }
    static void click(QWidget* w, const char* name) { child<QAbstractButton>(w, name)->click(); }
    static QString label(QWidget* w) { return child<QLabel>(w, "Lbl_count")->text(); }
    // '+' enabled, '-' not, for each control.
    static QString enabled(QWidget* w, std::initializer_list<const char*> names)
    {
        QString m;
        for (const char* name : names)
            m += child(w, name)->isEnabled() ? u'+' : u'-';
        return m;
    }
    static QString column(QWidget* w, const char* grid, int c)
    {
        auto* table = child<QTableWidget>(w, grid);
        QStringList out;
        for (int r = 0; r < table->rowCount(); ++r)
            out << table->item(r, c)->text();
        return out.join(u',');
    }
    static void choose(QWidget* w, const char* grid, int row)
    {
        auto* table = child<QTableWidget>(w, grid);
        table->setCurrentCell(row, 0);
        table->selectRow(row);
    }
    QString lastText() { return m_install->dialogs.shown.isEmpty() ? QString() : m_install->dialogs.last().text; }
    // The one visible window of the program with this name.
    QWidget* front(const char* name)
    {
        QWidget* found = nullptr;
        (void)QTest::qWaitFor([this, name, &found] {
            for (QWidget* w : m_ui->windows()) {
                if (w->isVisible() && w->objectName() == QLatin1String(name))
                    found = w;
            }
            return found != nullptr;
        });
        return found;
    }

    // The demo install with the program logged in as `name`.
    QWidget* logIn(const QString& name, const QString& password)
    {
        m_ui.reset();
        AppContext& context = m_install->context();
        m_context = &context;
        context.setKeyboardLayout(&m_keyboard);
        m_ui = std::make_unique<ProgramUi>(context, m_single);
        registerReferenceWindows(*m_ui, context);
        if (!m_ui->start(QString()))
            return nullptr;
        LoginWindow* login = m_ui->loginWindow();
        login->sequence().timer().setInterval(0);
        if (!QTest::qWaitFor([login] { return child(login, "Txt_username")->isVisible(); }))
            return nullptr;
        box(login, "Txt_username")->setText(name);
        box(login, "Txt_password")->setText(password);
        QTest::keyClick(box(login, "Txt_password"), Qt::Key_Return);
        return front("Form1");
    }

private slots:
    void init()
    {
        m_install = std::make_unique<TestInstall>();
        QVERIFY(m_install->installDemoData());
    }
    void cleanup() { m_ui.reset(); }

    void catalogue()
    {
        QWidget* main = logIn(u"admin"_s, u"admin"_s);
        QVERIFY(main);
        for (const char* entry : {"Opt_ranges", "cmd_FACTORSS", "cmd_comments", "cmd_resultopt"})
            QVERIFY2(child(main, entry)->isVisible(), entry);
        click(main, "cmd_FACTORSS");
        QWidget* w = front("Frm_correctfactors");
        QVERIFY(w);
        QTRY_VERIFY(!m_ui->mainWindow());
        QCOMPARE(m_context->activeWindowCode(), WindowCode::Catalogue);
        // Browsing, the first test shown.
        QCOMPARE(label(w), u"Number  Of  Tests   =   9  Tests"_s);
        QCOMPARE(box(w, "Txt1")->text() + box(w, "Txt0")->text(), u"TSH1"_s);
        QCOMPARE(enabled(w, {"Txt1", "DataGrid1", "Text1", "cmd_add", "cmd_edit", "cmd_del", "cmd_save", "cmd_Cancel"}),
                 u"-+++++--"_s);
        // The searches, each in English.
        box(w, "Text1")->setFocus();
        QTRY_COMPARE(m_keyboard.requests.value(0), u"00000409"_s);
        box(w, "Text1")->setText(u"t4"_s);
        QCOMPARE(column(w, "DataGrid1", 2) + label(w), u"Free T4Number  Of  Tests   =   1  Tests"_s);
        box(w, "Text1")->clear();
        box(w, "Text3")->setText(u"H"_s);
        QCOMPARE(column(w, "DataGrid1", 1), u"HBS,HIV5"_s);
        box(w, "Text3")->clear();
        box(w, "Text2")->setText(u"sero"_s);
        QCOMPARE(column(w, "DataGrid1", 2), u"HIV DUO Ultra,HBs Ag Ultra"_s);
        box(w, "Text2")->clear();

        // A new test: the key filters drop letters, the save refuses what was pasted.
        click(w, "cmd_add");
        QCOMPARE(box(w, "Txt0")->text() + box(w, "Txt1")->text() + box(w, "Txt_correctfactors")->text(), QString());
        QCOMPARE(enabled(w, {"Txt1", "DataGrid1", "Text1", "cmd_add", "cmd_edit", "cmd_del", "cmd_save", "cmd_Cancel"}),
                 u"+-----++"_s);
        QTest::keyClicks(box(w, "Txt_correctfactors"), u"1a,.5"_s);
        QTest::keyClicks(box(w, "Txt9"), u"7.x"_s);
        QTest::keyClicks(box(w, "Txt_testcode"), u"6-1"_s);
        QCOMPARE(box(w, "Txt_correctfactors")->text() + u'|' + box(w, "Txt9")->text() + u'|' +
                     box(w, "Txt_testcode")->text(),
                 u"1.5|7|61"_s);
        QTest::keyClick(box(w, "Txt_testcode"), Qt::Key_Backspace); // editing keys pass the filter
        QCOMPARE(box(w, "Txt_testcode")->text(), u"6"_s);
        QTest::keyClicks(box(w, "Txt_testcode"), u"1"_s);
        QTest::keyClick(box(w, "Txt9"), Qt::Key_A, Qt::ControlModifier); // and shortcuts: select all
        QTest::keyClicks(box(w, "Txt9"), u"7"_s);
        QCOMPARE(box(w, "Txt9")->text(), u"7"_s);
        click(w, "cmd_save");
        QCOMPARE(lastText() + w->focusWidget()->objectName(), M::testNameEmpty + u"Txt1"_s);
        QTest::keyClicks(box(w, "Txt1"), u"Estradiol"_s);
        box(w, "Txt_testcode")->setText(u"6l"_s); // pasted
        click(w, "cmd_save");
        QCOMPARE(lastText() + w->focusWidget()->objectName(), M::notANumber + u"Txt_testcode"_s);
        box(w, "Txt_testcode")->setText(u"610"_s);
        box(w, "Txt_shortAssay")->setText(u"E2"_s);
        child<QComboBox>(w, "CmbREFRANGE")->setCurrentText(u"By sex and age"_s);
        child<QComboBox>(w, "Comb4")->setCurrentText(u"Hormones"_s);
        click(w, "Check1");
        click(w, "cmd_save");
        QCOMPARE(enabled(w, {"Txt1", "DataGrid1", "cmd_save"}), u"-+-"_s);
        QCOMPARE(label(w), u"Number  Of  Tests   =   10  Tests"_s);
        QCOMPARE(
            m_install->text(Db::Interface,
                            "SELECT testsimp, crvtestid, correctfactors, arrangnum, REFRANGE, subgroupname, active "
                            "FROM testtable WHERE shortAssay='E2'"),
            u"Estradiol|610|1.5|7|0|Hormones|1"_s);
        // Edit, Cancel: the fields empty, and Edit needs a test again.
        click(w, "cmd_edit");
        QCOMPARE(enabled(w, {"Txt1", "DataGrid1"}), u"+-"_s);
        click(w, "cmd_Cancel");
        QCOMPARE(box(w, "Txt1")->text() + enabled(w, {"Txt1", "DataGrid1"}), u"-+"_s);
        for (const char* needsTest : {"cmd_edit", "cmd_del", "cmd_resultopt"}) {
            m_install->dialogs.clear();
            click(w, needsTest);
            QCOMPARE(lastText() + m_install->dialogs.last().title, M::chooseTestFirst + M::title);
        }
        // Delete asks; the ranges of the deleted test stay.
        choose(w, "DataGrid1", 2);
        QCOMPARE(box(w, "Txt1")->text(), u"Prolactin"_s);
        m_install->dialogs.answers = {DialogAnswer::Cancel};
        click(w, "cmd_del");
        QCOMPARE(label(w), u"Number  Of  Tests   =   10  Tests"_s);
        click(w, "cmd_del");
        QCOMPARE(m_install->dialogs.last().text, M::deleteTestQuestion);
        QCOMPARE(label(w) + box(w, "Txt1")->text(), u"Number  Of  Tests   =   9  Tests"_s);
        QCOMPARE(m_install->text(Db::Interface, "SELECT count(*) FROM normalrange WHERE testcode=3"), u"3"_s);
    }

    void ranges()
    {
        QWidget* main = logIn(u"admin"_s, u"admin"_s);
        QVERIFY(main);
        // Opt_ranges opens the catalogue with grant 7; the catalogue's cmd_resultopt the test's ranges.
        click(main, "Opt_ranges");
        QWidget* catalogue = front("Frm_correctfactors");
        QVERIFY(catalogue);
        choose(catalogue, "DataGrid1", 2); // Prolactin, by sex
        click(catalogue, "cmd_resultopt");
        QWidget* w = front("Form2");
        QVERIFY(w && w->windowTitle() == u"Reference Ranges"_s);
        QTRY_VERIFY(!front("Frm_correctfactors") || !catalogue);
        QCOMPARE(child<QComboBox>(w, "Comb1")->currentText() + box(w, "Txt0")->text(), u"Prolactin3"_s);
        QVERIFY(child<QRadioButton>(w, "optionsex")->isChecked() && !child(w, "optionsex")->isEnabled());
        QCOMPARE(label(w), u"Number  Of  References   =   3  Reference"_s);
        QCOMPARE(column(w, "DataGrid1", 3), u"Female,Female,Male"_s);
        QCOMPARE(m_context->activeWindowCode(), WindowCode::Ranges);
        // A range: the sex choice on, the age fields off for this kind.
        click(w, "cmd_add");
        QCOMPARE(enabled(w, {"option1", "option2", "Txt1", "Comb3", "Txt3", "Txt4", "Comb2", "Check1", "DataGrid1",
                             "cmd_save", "cmd_add"}),
                 u"++--++++-+-"_s);
        click(w, "option1");
        QTest::keyClicks(box(w, "Txt4"), u"4a"_s);
        QTest::keyClicks(box(w, "Txt5"), u"3."_s);
        child<QComboBox>(w, "Comb2")->setCurrentText(u"ng/mL"_s);
        child<QComboBox>(w, "Comb5")->setCurrentText(u"High"_s);
        box(w, "Txt7")->setText(u"راجع الطبيب 'فوراً'"_s);
        click(w, "cmd_save");
        QCOMPARE(lastText() + w->focusWidget()->objectName(), M::limitsWrong + u"Txt4"_s);
        box(w, "Txt5")->setText(u"30"_s);
        click(w, "cmd_save");
        QCOMPARE(label(w), u"Number  Of  References   =   4  Reference"_s);
        QCOMPARE(enabled(w, {"Txt4", "DataGrid1", "cmd_save"}), u"-+-"_s);
        QCOMPARE(
            m_install->text(Db::Interface,
                            "SELECT sex, lowlimit, highlimit, testunit, nohighexe, highcomment, REFRANGE, testsimp "
                            "FROM normalrange WHERE testcode=3 ORDER BY normalid DESC"),
            u"Male|4|30|ng/mL|High|راجع الطبيب 'فوراً'|3|Prolactin"_s);
        // The saved row stays shown; Edit then Cancel empties; Edit and Delete need a range.
        QCOMPARE(box(w, "Txt5")->text(), u"30"_s);
        click(w, "cmd_Cancel");
        for (const char* needsRange : {"cmd_edit", "cmd_del"}) {
            click(w, needsRange);
            QCOMPARE(lastText(), M::chooseRangeFirst);
        }
        choose(w, "DataGrid1", 3);
        m_install->dialogs.answers = {DialogAnswer::Ok};
        click(w, "cmd_del");
        QCOMPARE(m_install->dialogs.last().title, M::deleteTitle);
        QCOMPARE(label(w), u"Number  Of  References   =   3  Reference"_s);

        // By age: the age fields on, their unit from the list only; the age check.
        click(w, "cmd_FACTORSS");
        catalogue = front("Frm_correctfactors");
        QVERIFY(catalogue);
        choose(catalogue, "DataGrid1", 5); // 25 OH Vitamin D Total, by age
        click(catalogue, "cmd_ranges");
        w = front("Form2");
        QVERIFY(w && child<QRadioButton>(w, "optionage")->isChecked());
        click(w, "cmd_add");
        QCOMPARE(enabled(w, {"option1", "Txt1", "Txt2", "Comb3"}), u"-+++"_s);
        QVERIFY(!child<QComboBox>(w, "Comb3")->isEditable());
        QTest::keyClicks(box(w, "Txt1"), u"5"_s);
        QTest::keyClicks(box(w, "Txt2"), u"5"_s);
        click(w, "cmd_save");
        QCOMPARE(lastText() + w->focusWidget()->objectName(), M::ageWrong + u"Txt2"_s);
        box(w, "Txt2")->setText(u"9"_s);
        click(w, "cmd_save");
        QCOMPARE(lastText(), M::ageUnitMissing);
        child<QComboBox>(w, "Comb3")->setCurrentText(u"Days"_s);
        click(w, "cmd_save");
        // Days before Mons. before Years: the list sorts the unit text.
        QCOMPARE(column(w, "DataGrid1", 4) + u'|' + column(w, "DataGrid1", 6), u"Days,Years,Years|9,17,120"_s);
    }

    void comments()
    {
        QWidget* main = logIn(u"admin"_s, u"admin"_s);
        QVERIFY(main);
        click(main, "cmd_comments");
        QWidget* w = front("Frm_comments");
        QVERIFY(w);
        QCOMPARE(column(w, "DataGrid", 2), u"25 OH Vitamin D Total,C-Reactive Protein,TSH,TSH"_s);
        QCOMPARE(enabled(w, {"Combo2", "Text3", "DataGrid", "cmd_add", "cmd_save"}), u"--++-"_s);
        // Typing completes the name from the catalogue, and the code follows the name.
        click(w, "cmd_add");
        QTRY_VERIFY(child(w, "Combo2")->hasFocus());
        QCOMPARE(m_keyboard.requests.value(0), u"00000409"_s);
        QTest::keyClicks(child<QComboBox>(w, "Combo2"), u"Ferr"_s);
        QCOMPARE(child<QComboBox>(w, "Combo2")->currentText() + box(w, "Text1")->text(), u"Ferritin5"_s);
        click(w, "cmd_save");
        QCOMPARE(lastText() + m_install->dialogs.last().title, M::commentEmpty + M::title);
        child<QPlainTextEdit>(w, "Text3")->setPlainText(u"مخزون الحديد \"منخفض\" - O'Brien"_s);
        child<QComboBox>(w, "Combo2")->setCurrentText(u"Ferrit"_s);
        QCOMPARE(box(w, "Text1")->text(), QString());
        click(w, "cmd_save");
        QCOMPARE(lastText(), M::commentTestUnknown);
        child<QComboBox>(w, "Combo2")->setCurrentText(u"Ferritin"_s);
        click(w, "cmd_save");
        QCOMPARE(child<QComboBox>(w, "Combo2")->currentText() + child<QPlainTextEdit>(w, "Text3")->toPlainText(),
                 QString());
        QCOMPARE(column(w, "DataGrid", 3).section(u',', 2, 2), u"مخزون الحديد \"منخفض\" - O'Brien"_s);
        // The search: test names that start with the text.
        box(w, "txt_search")->setText(u"ts"_s);
        QCOMPARE(column(w, "DataGrid", 2), u"TSH,TSH"_s);
        box(w, "txt_search")->setText(u"S"_s);
        QCOMPARE(column(w, "DataGrid", 2), QString());
        box(w, "txt_search")->clear();
        click(w, "cmd_edit");
        QCOMPARE(lastText(), M::chooseCommentToEdit);
        click(w, "cmd_del");
        QCOMPARE(lastText(), M::chooseCommentToDelete);
        // A comment chosen, edited, saved.
        choose(w, "DataGrid", 1);
        QCOMPARE(child<QComboBox>(w, "Combo2")->currentText() + box(w, "Text1")->text(), u"C-Reactive Protein4"_s);
        click(w, "cmd_edit");
        child<QPlainTextEdit>(w, "Text3")->setPlainText(u"Haemolysed"_s);
        click(w, "cmd_save");
        QCOMPARE(m_install->text(Db::Interface, "SELECT Comments FROM comments WHERE commentid=3"), u"Haemolysed"_s);
        QCOMPARE(enabled(w, {"Combo2", "DataGrid", "cmd_save"}), u"-+-"_s);
    }

    // Without grant 7 the reference data is refused from every entry but Opt_ranges, which opens the
    // user's own password window instead, without a word.
    void withoutGrant7()
    {
        UserAccount clerk;
        clerk.name = u"clerk"_s;
        clerk.password = u"Clerk-1"_s;
        clerk.ordinaryUser = true;
        clerk.grant8 = true;
        QVERIFY(UserAccounts(m_install->context()).add(clerk).done);
        QWidget* main = logIn(u"clerk"_s, u"Clerk-1"_s);
        QVERIFY(main);
        for (const char* entry : {"cmd_FACTORSS", "cmd_comments", "cmd_resultopt"}) {
            m_install->dialogs.clear();
            click(main, entry);
            QCOMPARE(m_install->dialogs.last().title + lastText(),
                     GrantMessages::refusalTitle + GrantMessages::refusalText);
            QVERIFY(main->isVisible());
        }
        m_install->dialogs.clear();
        click(main, "Opt_ranges");
        QVERIFY(front("Frm_userspw") && m_install->dialogs.shown.isEmpty());
    }
};

QTEST_MAIN(TestRefDataWindows)
#include "gui_RefDataWindows.moc"
