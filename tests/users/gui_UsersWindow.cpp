#include "FakeSingleInstance.h"
#include "TestInstall.h"
#include "app/ProgramUi.h"
#include "core/NavigationWidget.h"
#include "db/Databases.h"
#include "users/PasswordWindow.h"
#include "users/UserAccounts.h"
#include "users/UserMessages.h"
#include "users/UserStore.h"
#include "users/UsersWindow.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

namespace {
template <typename T> T* child(QWidget* window, const char* name)
{
    T* found = window->findChild<T*>(QString::fromLatin1(name));
    if (!found)
        qWarning("no control %s", name);
    return found;
}

void typeText(QWidget* box, const QString& text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::KeyAction::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

QStringList listed(QWidget* window)
{
    QStringList names;
    auto* list = child<QListWidget>(window, "List1");
    for (int i = 0; i < list->count(); ++i)
        names.append(list->item(i)->text());
    return names;
}

void pick(QWidget* window, const QString& name)
{
    auto* list = child<QListWidget>(window, "List1");
    const QList<QListWidgetItem*> items = list->findItems(name, Qt::MatchExactly);
    if (items.size() != 1)
        qWarning("%s is not listed once", qPrintable(name));
    else
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(items.first()).center());
}

const char* const grantNames[] = {"Check1", "Check2", "Check4", "Check5", "Check6", "Check7", "Check8"};
} // namespace

class TestUsersWindow : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestInstall> m_install;
    AppContext* m_context = nullptr;
    std::unique_ptr<UsersWindow> m_window;

    FakeDialogs& dialogs() { return m_install->dialogs; }
    UserStore store() { return UserStore(m_context->databases().OpenInterfaceDb()); }

    UserAccount stored(const QString& name)
    {
        const std::optional<UserAccount> a = store().findByName(name);
        if (!a)
            qWarning("%s is not stored", qPrintable(name));
        return a.value_or(UserAccount());
    }

private slots:
    void init()
    {
        m_install = std::make_unique<TestInstall>();
        QVERIFY(m_install->createDatabases());
        m_context = &m_install->context();
        UserAccounts accounts(*m_context);
        UserAccount admin;
        admin.name = QStringLiteral("admin");
        admin.password = QStringLiteral("admin");
        admin.administrator = true;
        QVERIFY(accounts.add(admin).done);
        UserAccount clerk;
        clerk.name = QStringLiteral("clerk");
        clerk.password = QStringLiteral("Clerk-1");
        clerk.ordinaryUser = true;
        clerk.grant4 = true;
        QVERIFY(accounts.add(clerk).done);
        m_context->currentUser.name = QStringLiteral("admin");
        m_context->currentUser.administrator = true;
        m_context->currentUser.loginTime = QStringLiteral("Login time 05/12/2026 02:07 PM");
        dialogs().clear();
        m_window = std::make_unique<UsersWindow>(*m_context);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    }

    void cleanup()
    {
        m_window.reset();
        m_install.reset();
    }

    void loadsInTheBrowsingState()
    {
        QWidget* w = m_window.get();
        QCOMPARE(w->objectName(), QStringLiteral("Frm_users"));
        QCOMPARE(w->layoutDirection(), Qt::RightToLeft);
        QCOMPARE(m_context->activeWindowCode(), qint16(7));
        QCOMPARE(child<QLabel>(w, "Lbl_username")->text(), QStringLiteral("admin"));
        QCOMPARE(child<QLabel>(w, "Lbl_login")->text(), QStringLiteral("Login time 05/12/2026 02:07 PM"));
        QCOMPARE(child<QPushButton>(w, "Opt_receivedata")->text(), QStringLiteral("Data receiver/OFF"));
        QStringList names = listed(w);
        names.sort();
        QCOMPARE(names, (QStringList{QStringLiteral("admin"), QStringLiteral("clerk")}));
        QVERIFY(child<QLabel>(w, "Lbl_count")->text().endsWith(QLatin1Char('2')));
        QVERIFY(child<QListWidget>(w, "List1")->isEnabled());
        QVERIFY(!child<QLineEdit>(w, "Txt_username")->isEnabled());
        QVERIFY(!child<QCheckBox>(w, "Check1")->isEnabled());
        for (const char* name : {"cmd_save", "cmd_save2", "cmd_Cancel", "cmd_Cancel2"})
            QVERIFY2(!child<QPushButton>(w, name)->isVisible(), name);
        for (const char* name : {"cmd_add", "cmd_edit", "cmd_del"})
            QVERIFY2(child<QPushButton>(w, name)->isEnabled(), name);
    }

    void selectingShowsTheAccount()
    {
        QWidget* w = m_window.get();
        pick(w, QStringLiteral("clerk"));
        QCOMPARE(child<QLineEdit>(w, "Txt_username")->text(), QStringLiteral("clerk"));
        QCOMPARE(child<QLineEdit>(w, "Txt_password")->text(), QStringLiteral("Clerk-1"));
        QVERIFY(!child<QRadioButton>(w, "Optx")->isChecked());
        QVERIFY(child<QRadioButton>(w, "Opty")->isChecked());
        for (const char* name : grantNames)
            QCOMPARE(child<QCheckBox>(w, name)->isChecked(), QByteArray(name) == "Check4");
        pick(w, QStringLiteral("admin"));
        QVERIFY(child<QRadioButton>(w, "Optx")->isChecked());
        QVERIFY(!child<QRadioButton>(w, "Opty")->isChecked());
        QVERIFY(!child<QCheckBox>(w, "Check4")->isChecked());
    }

    void addANewAccount()
    {
        QWidget* w = m_window.get();
        pick(w, QStringLiteral("clerk"));
        child<QPushButton>(w, "cmd_add")->click();
        auto* name = child<QLineEdit>(w, "Txt_username");
        auto* password = child<QLineEdit>(w, "Txt_password");
        QVERIFY(name->isEnabled());
        QVERIFY(name->text().isEmpty());
        QVERIFY(password->text().isEmpty());
        QVERIFY(!child<QListWidget>(w, "List1")->isEnabled());
        QCOMPARE(w->focusWidget(), name);
        QVERIFY(child<QPushButton>(w, "cmd_save")->isVisible());
        QVERIFY(child<QPushButton>(w, "cmd_Cancel")->isVisible());

        child<QPushButton>(w, "cmd_save")->click();
        QCOMPARE(dialogs().last().title, UserMessages::errorTitle);
        QCOMPARE(dialogs().last().text, UserMessages::addNameEmpty);
        QCOMPARE(w->focusWidget(), name);

        typeText(name, QStringLiteral("فني المعمل"));
        child<QPushButton>(w, "cmd_save")->click();
        QCOMPARE(dialogs().last().text, UserMessages::addPasswordEmpty);
        QCOMPARE(w->focusWidget(), password);
        QTest::keyClicks(password, QStringLiteral("a'b%c"));

        // Ticking a grant chooses the user kind.
        QVERIFY(child<QRadioButton>(w, "Opty")->isChecked()); // left from the selected clerk
        child<QRadioButton>(w, "Optx")->click();
        QVERIFY(!child<QCheckBox>(w, "Check4")->isChecked());
        child<QCheckBox>(w, "Check1")->click();
        child<QCheckBox>(w, "Check8")->click();
        QVERIFY(child<QRadioButton>(w, "Opty")->isChecked());
        QVERIFY(!child<QRadioButton>(w, "Optx")->isChecked());
        const int messages = dialogs().shown.size();
        child<QPushButton>(w, "cmd_save")->click();
        QCOMPARE(dialogs().shown.size(), messages);
        QVERIFY(listed(w).contains(QStringLiteral("فني المعمل")));
        QVERIFY(child<QLabel>(w, "Lbl_count")->text().endsWith(QLatin1Char('3')));
        QVERIFY(child<QListWidget>(w, "List1")->isEnabled());
        QVERIFY(!name->isEnabled());
        const UserAccount added = stored(QStringLiteral("فني المعمل"));
        QCOMPARE(added.password, QStringLiteral("a'b%c"));
        QVERIFY(added.ordinaryUser && !added.administrator);
        QVERIFY(added.grant1 && added.grant8);
        QVERIFY(!added.grant2 && !added.grant4 && !added.grant5 && !added.grant6 && !added.grant7);
    }

    void addNeedsAKind()
    {
        QWidget* w = m_window.get();
        child<QPushButton>(w, "cmd_add")->click();
        child<QLineEdit>(w, "Txt_username")->setText(QStringLiteral("new"));
        child<QLineEdit>(w, "Txt_password")->setText(QStringLiteral("pw"));
        child<QPushButton>(w, "cmd_save")->click();
        QCOMPARE(dialogs().last().text, UserMessages::kindMissing);
        QVERIFY(!listed(w).contains(QStringLiteral("new")));
        // Still adding, with what was typed.
        QVERIFY(child<QLineEdit>(w, "Txt_username")->isEnabled());
        QCOMPARE(child<QLineEdit>(w, "Txt_username")->text(), QStringLiteral("new"));
        child<QPushButton>(w, "cmd_Cancel")->click();
        QVERIFY(!child<QLineEdit>(w, "Txt_username")->isEnabled());
        QVERIFY(child<QListWidget>(w, "List1")->isEnabled());
        QVERIFY(!store().findByName(QStringLiteral("new")));
    }

    void duplicateNameIsRefused()
    {
        QWidget* w = m_window.get();
        child<QPushButton>(w, "cmd_add")->click();
        child<QLineEdit>(w, "Txt_username")->setText(QStringLiteral("clerk"));
        child<QLineEdit>(w, "Txt_password")->setText(QStringLiteral("other"));
        child<QRadioButton>(w, "Optx")->click();
        child<QPushButton>(w, "cmd_save")->click();
        QCOMPARE(dialogs().last().title, UserMessages::errorTitle);
        QCOMPARE(dialogs().last().text, UserMessages::addDuplicate);
        QCOMPARE(listed(w).size(), 2);
        QCOMPARE(stored(QStringLiteral("clerk")).password, QStringLiteral("Clerk-1"));
        QCOMPARE(w->focusWidget(), child<QLineEdit>(w, "Txt_username"));
    }

    void editRenameToOwnNameAndToAnother()
    {
        QWidget* w = m_window.get();
        child<QPushButton>(w, "cmd_edit")->click();
        QCOMPARE(dialogs().last().text, UserMessages::selectUserFirst);
        QVERIFY(!child<QLineEdit>(w, "Txt_username")->isEnabled());

        pick(w, QStringLiteral("clerk"));
        const qint64 id = stored(QStringLiteral("clerk")).id;
        child<QPushButton>(w, "cmd_edit")->click();
        QVERIFY(child<QLineEdit>(w, "Txt_username")->isEnabled());
        QVERIFY(!child<QListWidget>(w, "List1")->isEnabled());
        QVERIFY(child<QPushButton>(w, "cmd_save2")->isVisible());
        QVERIFY(!child<QPushButton>(w, "cmd_save")->isVisible());

        // Its own name: allowed.
        child<QLineEdit>(w, "Txt_password")->setText(QStringLiteral("New-2"));
        child<QPushButton>(w, "cmd_save2")->click();
        QCOMPARE(stored(QStringLiteral("clerk")).password, QStringLiteral("New-2"));
        QCOMPARE(stored(QStringLiteral("clerk")).id, id);
        QVERIFY(!child<QLineEdit>(w, "Txt_username")->isEnabled());

        // Another account's name: refused.
        child<QPushButton>(w, "cmd_edit")->click();
        child<QLineEdit>(w, "Txt_username")->setText(QStringLiteral("admin"));
        child<QPushButton>(w, "cmd_save2")->click();
        QCOMPARE(dialogs().last().text, UserMessages::editDuplicate);
        QVERIFY(child<QLineEdit>(w, "Txt_username")->isEnabled());

        child<QLineEdit>(w, "Txt_password")->clear();
        child<QLineEdit>(w, "Txt_username")->setText(QStringLiteral("clerk2"));
        child<QPushButton>(w, "cmd_save2")->click();
        QCOMPARE(dialogs().last().text, UserMessages::editPasswordEmpty);
        child<QLineEdit>(w, "Txt_username")->clear();
        child<QPushButton>(w, "cmd_save2")->click();
        QCOMPARE(dialogs().last().text, UserMessages::editNameEmpty);

        // A new name, and administrator instead of the grants.
        child<QLineEdit>(w, "Txt_username")->setText(QStringLiteral("chief"));
        child<QLineEdit>(w, "Txt_password")->setText(QStringLiteral("New-3"));
        child<QRadioButton>(w, "Optx")->click();
        child<QPushButton>(w, "cmd_save2")->click();
        const UserAccount chief = stored(QStringLiteral("chief"));
        QCOMPARE(chief.id, id);
        QVERIFY(chief.administrator);
        QVERIFY(!chief.grant4);
        QVERIFY(listed(w).contains(QStringLiteral("chief")));
        QVERIFY(!listed(w).contains(QStringLiteral("clerk")));
        QCOMPARE(listed(w).size(), 2);
    }

    void deleteAfterConfirmation()
    {
        QWidget* w = m_window.get();
        child<QPushButton>(w, "cmd_del")->click();
        QCOMPARE(dialogs().last().text, UserMessages::selectUserFirst);

        pick(w, QStringLiteral("clerk"));
        dialogs().answers = {DialogAnswer::Cancel};
        child<QPushButton>(w, "cmd_del")->click();
        QCOMPARE(dialogs().last().title, UserMessages::deleteTitle);
        QCOMPARE(dialogs().last().text, UserMessages::deleteQuestion);
        QCOMPARE(int(dialogs().last().icon), int(DialogIcon::Question));
        QVERIFY(listed(w).contains(QStringLiteral("clerk")));

        dialogs().answers = {DialogAnswer::Ok};
        child<QPushButton>(w, "cmd_del")->click();
        QVERIFY(!listed(w).contains(QStringLiteral("clerk")));
        QVERIFY(!store().findByName(QStringLiteral("clerk")));
        QVERIFY(child<QLineEdit>(w, "Txt_username")->text().isEmpty());
        QVERIFY(child<QLineEdit>(w, "Txt_password")->text().isEmpty());
        QVERIFY(!child<QRadioButton>(w, "Optx")->isChecked());
        QVERIFY(!child<QRadioButton>(w, "Opty")->isChecked());
        QVERIFY(!child<QCheckBox>(w, "Check4")->isChecked());
        QVERIFY(child<QLabel>(w, "Lbl_count")->text().endsWith(QLatin1Char('1')));
    }

    void passwordWindow()
    {
        m_window.reset();
        PasswordWindow window(*m_context);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QCOMPARE(window.objectName(), QStringLiteral("Frm_userspw"));
        QCOMPARE(m_context->activeWindowCode(), qint16(8));
        auto* text1 = child<QLineEdit>(&window, "Text1");
        auto* text2 = child<QLineEdit>(&window, "Text2");
        auto* text3 = child<QLineEdit>(&window, "Text3");
        auto* text4 = child<QLineEdit>(&window, "Text4");
        QPushButton* ok = child<QPushButton>(&window, "cmd_ok");
        QCOMPARE(text1->text(), QStringLiteral("admin"));
        QCOMPARE(window.focusWidget(), text2);

        // Keys between the boxes.
        QTest::keyClick(text2, Qt::Key_Return);
        QCOMPARE(window.focusWidget(), text3);
        QTest::keyClick(text3, Qt::Key_Down);
        QCOMPARE(window.focusWidget(), text4);
        QTest::keyClick(text4, Qt::Key_Up);
        QCOMPARE(window.focusWidget(), text3);
        QTest::keyClick(text3, Qt::Key_Up);
        QCOMPARE(window.focusWidget(), text2);
        QTest::keyClick(text2, Qt::Key_Down);
        QCOMPARE(window.focusWidget(), text3);

        ok->click();
        QCOMPARE(dialogs().last().title, UserMessages::passwordTitle);
        QCOMPARE(dialogs().last().text, UserMessages::oldPasswordEmpty);
        QCOMPARE(window.focusWidget(), text2);

        text2->setText(QStringLiteral("wrong"));
        text3->setText(QStringLiteral("Neu-1"));
        text4->setText(QStringLiteral("Neu-2"));
        ok->click();
        QCOMPARE(dialogs().last().text, UserMessages::repeatDiffers);
        QCOMPARE(window.focusWidget(), text3);

        text4->setText(QStringLiteral("neu-1"));
        ok->click();
        QCOMPARE(dialogs().last().text, UserMessages::repeatDiffers);

        text4->setText(QStringLiteral("Neu-1"));
        ok->click();
        QCOMPARE(dialogs().last().text, UserMessages::oldPasswordWrong);
        QCOMPARE(window.focusWidget(), text2);
        QCOMPARE(stored(QStringLiteral("admin")).password, QStringLiteral("admin"));

        text2->setText(QStringLiteral("admin"));
        ok->click();
        QCOMPARE(dialogs().last().title, UserMessages::passwordSavedTitle);
        QCOMPARE(dialogs().last().text, UserMessages::passwordSaved);
        QCOMPARE(stored(QStringLiteral("admin")).password, QStringLiteral("Neu-1"));
        // The boxes stay as they were; the running user is unchanged.
        QCOMPARE(text3->text(), QStringLiteral("Neu-1"));
        QCOMPARE(m_context->currentUser.name, QStringLiteral("admin"));
        QCOMPARE(stored(QStringLiteral("clerk")).password, QStringLiteral("Clerk-1"));
    }

    void navigationBetweenUsersAndPassword()
    {
        m_window.reset();
        FakeSingleInstance single;
        ProgramUi ui(*m_context, single);
        ui.activate(NavEntry::Users, nullptr);
        QWidget* users = ui.usersWindow();
        QVERIFY(users);
        QVERIFY(child<QPushButton>(users, "cmd_users")->isVisible());
        QVERIFY(!child<QPushButton>(users, "cmd_comments")->isVisible());
        child<QPushButton>(users, "cmd_passwordModi")->click();
        QVERIFY(ui.passwordWindow());
        QVERIFY(ui.passwordWindow()->isVisible());
        QTRY_VERIFY(!ui.usersWindow());
        QCOMPARE(m_context->activeWindowCode(), qint16(8));
        child<QPushButton>(ui.passwordWindow(), "cmd_users")->click();
        QVERIFY(ui.usersWindow());
        QTRY_VERIFY(!ui.passwordWindow());
        QVERIFY(dialogs().shown.isEmpty());

        // The same user without the administrator mark is refused.
        m_context->currentUser = CurrentUser();
        m_context->currentUser.name = QStringLiteral("clerk");
        child<QPushButton>(ui.usersWindow(), "cmd_passwordModi")->click();
        QTRY_VERIFY(!ui.usersWindow());
        child<QPushButton>(ui.passwordWindow(), "cmd_users")->click();
        QCOMPARE(dialogs().last().text, QStringLiteral("انت لا تملك صلاحية لهذا العمل - يرجي مراجعة مدير النظام"));
        QVERIFY(!ui.usersWindow());
        QVERIFY(ui.passwordWindow());
    }
};

QTEST_MAIN(TestUsersWindow)
#include "gui_UsersWindow.moc"
