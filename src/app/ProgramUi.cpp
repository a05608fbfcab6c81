#include "app/ProgramUi.h"

#include "app/LoginWindow.h"
#include "app/MainWindow.h"
#include "app/StartupMessages.h"
#include "core/AppContext.h"
#include "core/Grants.h"
#include "core/NavigationWidget.h"
#include "db/Databases.h"
#include "link/ReceiveWindow.h"
#include "review/ResultEditorWindow.h"
#include "review/SearchWindow.h"
#include "users/PasswordWindow.h"
#include "users/UsersWindow.h"

#include <cstdio>

ProgramUi::ProgramUi(AppContext& context, SingleInstance& singleInstance, QObject* parent)
    : QObject(parent), m_context(context), m_singleInstance(singleInstance)
{
    connect(&m_context, &AppContext::settingsWindowRequested, this, &ProgramUi::settingsRequested);
}

ProgramUi::~ProgramUi()
{
    // Before the context they use goes; the receiver first, as it closes its port. Nothing opens
    // in their place while they go.
    m_ending = true;
    delete m_receive.data();
    for (QWidget* window : windows())
        delete window;
}

LoginWindow* ProgramUi::loginWindow() const
{
    return m_login;
}

MainWindow* ProgramUi::mainWindow() const
{
    return m_main;
}

ReceiveWindow* ProgramUi::receiveWindow() const
{
    return m_receive;
}

UsersWindow* ProgramUi::usersWindow() const
{
    return m_users;
}

PasswordWindow* ProgramUi::passwordWindow() const
{
    return m_password;
}

QList<QWidget*> ProgramUi::windows() const
{
    QList<QWidget*> list;
    for (QWidget* w : {static_cast<QWidget*>(m_login.data()), static_cast<QWidget*>(m_main.data()),
                       static_cast<QWidget*>(m_receive.data()), static_cast<QWidget*>(m_users.data()),
                       static_cast<QWidget*>(m_password.data()), static_cast<QWidget*>(m_search.data())}) {
        if (w)
            list.append(w);
    }
    for (const QPointer<QWidget>& w : m_registered) {
        if (w)
            list.append(w);
    }
    for (const QPointer<QWidget>& w : m_opened) {
        if (w)
            list.append(w);
    }
    return list;
}

bool ProgramUi::start(const QString& programFolder)
{
    m_login = new LoginWindow(m_context, m_singleInstance);
    StartupSequence& sequence = m_login->sequence();
    connect(&sequence, &StartupSequence::finished, this, &ProgramUi::startupFinished);
    connect(&sequence, &StartupSequence::unloadRequested, this, [this] {
        if (m_login)
            m_login->close();
    });
    connect(&sequence, &StartupSequence::endProgramRequested, this, &ProgramUi::end);
    connect(m_login, &LoginWindow::endRequested, this, [this] { end(0); });
    connect(&sequence, &StartupSequence::loginRequested, this, [this] { emit windowShown(m_login); });
    connect(&sequence, &StartupSequence::firstAdministratorRequested, this, [this] { emit windowShown(m_login); });
    return m_login->start(programFolder);
}

void ProgramUi::registerWindow(NavEntry entry, WindowFactory factory)
{
    m_factories.insert(entry, std::move(factory));
}

bool ProgramUi::isAvailable(NavEntry entry) const
{
    switch (entry) {
    case NavEntry::Patient:
    case NavEntry::ReceiveData:
    case NavEntry::Users:
    case NavEntry::PasswordModi:
    case NavEntry::Exit:
    case NavEntry::Mini:
        return true;
    default:
        return m_factories.contains(entry);
    }
}

void ProgramUi::attach(QWidget* window, NavigationWidget* navigation)
{
    if (!navigation)
        return;
    for (const NavEntry entry : allNavEntries)
        navigation->setEntryShown(entry, isAvailable(entry));
    connect(navigation, &NavigationWidget::entryActivated, this,
            [this, window](NavEntry entry) { activate(entry, window); });
}

void ProgramUi::present(QWidget* window)
{
    window->showNormal();
    window->raise();
    window->activateWindow();
    emit windowShown(window);
}

void ProgramUi::startupFinished()
{
    // Every running program delivers what waits for the LIS, not only a receiver: a correction
    // saved at a review station goes out from there.
    if (!m_outbox) {
        m_outbox = std::make_unique<LisOutbox::Sender>(m_context);
        connect(m_outbox.get(), &LisOutbox::Sender::waitingChanged, this, [this](int waiting, const QString& reason) {
            if (m_receive)
                m_receive->showOutboxWaiting(waiting, reason);
            if (m_main)
                m_main->showOutboxWaiting(waiting, reason);
        });
    }
    present(openMain());
    if (m_login)
        m_login->hide();
    // Loading the receive window starts the receiver; it stays hidden until asked for.
    if (m_context.settings.serialActive == 1 && !m_receive)
        m_receive = new ReceiveWindow(m_context);
    if (m_login)
        m_login->close();
}

QWidget* ProgramUi::openMain()
{
    if (!m_main) {
        m_main = new MainWindow(m_context);
        attach(m_main, m_main->navigation());
        connect(m_main, &MainWindow::searchRequested, this, &ProgramUi::openSearch);
        m_main->setEditorOpener([this](qint64 autoNum) { openEditor(autoNum); });
    }
    return m_main;
}

void ProgramUi::openEditor(qint64 autoNum)
{
    auto* editor = new ResultEditorWindow(m_context, autoNum);
    m_opened.removeAll(nullptr);
    m_opened.append(editor);
    attach(editor, editor->navigation());
    connect(editor, &ResultEditorWindow::finished, this, [this](bool saved, const ResultEdit::Fields& fields) {
        if (saved && m_outbox)
            m_outbox->deliverSoon();
        if (saved && m_main)
            m_main->showEdited(fields.LblPatID, fields.LblPatName, fields.DTPicker_testdate);
        present(openMain());
    });
    backToMainWhenClosed(editor);
    present(editor);
}

void ProgramUi::backToMainWhenClosed(QWidget* window)
{
    // Closed by its title bar: every way out leads back to the main window, unless the user went on
    // to another window or the program is ending.
    connect(window, &QObject::destroyed, this, [this] {
        if (m_ending)
            return;
        for (QWidget* shown : windows()) {
            if (shown->isVisible() && shown != m_receive)
                return;
        }
        present(openMain());
    });
}

void ProgramUi::openSearch()
{
    if (!m_search) {
        m_search = new SearchWindow(m_context);
        attach(m_search, m_search->navigation());
        connect(m_search, &SearchWindow::hitChosen, this, [this](const ResultSearch::Hit& hit) {
            if (m_main)
                m_main->showSearchHit(hit);
            present(openMain());
        });
        connect(m_search, &SearchWindow::allHitsChosen, this, [this](const QList<ResultSearch::Hit>& hits) {
            if (m_main)
                m_main->showSearchHits(hits);
            present(openMain());
        });
        connect(m_search, &SearchWindow::backRequested, this, [this] { present(openMain()); });
        backToMainWhenClosed(m_search);
    }
    present(m_search);
}

QWidget* ProgramUi::openUsers()
{
    if (!m_users) {
        m_users = new UsersWindow(m_context);
        attach(m_users, m_users->navigation());
    }
    return m_users;
}

QWidget* ProgramUi::openPassword()
{
    if (!m_password) {
        m_password = new PasswordWindow(m_context);
        attach(m_password, m_password->navigation());
    }
    return m_password;
}

QWidget* ProgramUi::openRegistered(NavEntry entry)
{
    QPointer<QWidget>& window = m_registered[entry];
    if (!window) {
        const auto factory = m_factories.constFind(entry);
        if (factory == m_factories.constEnd())
            return nullptr;
        NavigationWidget* navigation = nullptr;
        window = (*factory)(&navigation);
        if (!window)
            return nullptr;
        window->setAttribute(Qt::WA_DeleteOnClose);
        attach(window, navigation);
    }
    return window;
}

void ProgramUi::openFrom(QWidget* from, QWidget* window, NavigationWidget* navigation)
{
    m_opened.removeAll(nullptr);
    m_opened.append(window);
    window->setAttribute(Qt::WA_DeleteOnClose);
    attach(window, navigation);
    moveOn(window, from);
}

void ProgramUi::moveOn(QWidget* target, QWidget* from)
{
    if (!target || target == from)
        return;
    present(target);
    // The window the user leaves is unloaded; it loads afresh when opened again.
    if (from && from != m_receive)
        from->close();
}

void ProgramUi::toggleReceiver()
{
    if (!m_receive) {
        m_receive = new ReceiveWindow(m_context);
        present(m_receive);
    } else if (m_receive->isVisible()) {
        m_receive->hide();
    } else {
        present(m_receive);
    }
}

void ProgramUi::activate(NavEntry entry, QWidget* from)
{
    const std::optional<Grant> grant = Navigation::requiredGrant(entry);
    if (grant && !checkGrant(m_context.currentUser, *grant, m_context.dialogs()))
        return;
    switch (entry) {
    case NavEntry::Patient:
        moveOn(openMain(), from);
        break;
    case NavEntry::ReceiveData:
        toggleReceiver();
        break;
    case NavEntry::Users:
        moveOn(openUsers(), from);
        break;
    case NavEntry::PasswordModi:
        moveOn(openPassword(), from);
        break;
    case NavEntry::Ranges:
        // Basic data: the catalogue with grant 7, the user's own password without it; no refusal.
        moveOn(hasGrant(m_context.currentUser, Grant::Grant7) ? openRegistered(entry) : openPassword(), from);
        break;
    case NavEntry::AboutUs:
        if (QWidget* about = openRegistered(entry))
            present(about);
        break;
    case NavEntry::Exit:
        if (m_context.dialogs().askYesNo(StartupMessages::exitTitle, StartupMessages::exitQuestion))
            end(0);
        break;
    case NavEntry::Mini:
        if (from)
            from->showMinimized();
        if (from == m_main && m_context.receiveWindowOpen() && m_receive)
            m_receive->hide();
        break;
    default:
        moveOn(openRegistered(entry), from);
        break;
    }
}

void ProgramUi::settingsRequested(const QString& page)
{
    if (m_ending)
        return;
    if (QWidget* settings = m_recovery ? openRegistered(NavEntry::Setting) : nullptr) {
        m_recovery(settings, page);
        present(settings);
        // The receiver goes on answering the line and archiving until the program starts again.
        for (QWidget* window : windows()) {
            if (window != settings && window != m_receive)
                window->close();
        }
        return;
    }
    // The settings window is the only way to correct the servers or the port; without it there is
    // nothing left to do once the message has been read.
    std::fprintf(stderr, "corvana: the settings window (page %s) is not available; the program ends\n",
                 qUtf8Printable(page));
    end(1);
}

void ProgramUi::end(int exitCode)
{
    if (m_ending)
        return;
    m_ending = true;
    emit endRequested(exitCode);
}
