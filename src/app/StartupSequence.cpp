#include "app/StartupSequence.h"

#include "app/StartupMessages.h"
#include "common/DateFormats.h"
#include "common/Numbers.h"
#include "config/IniFile.h"
#include "core/AppContext.h"
#include "db/Databases.h"
#include "db/SqlRun.h"
#include "platform/SingleInstance.h"
#include "users/UserStore.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>

StartupSequence::StartupSequence(AppContext& context, SingleInstance& singleInstance, QObject* parent)
    : QObject(parent), m_context(context), m_singleInstance(singleInstance), m_timer(new QTimer(this))
{
    m_timer->setObjectName(QStringLiteral("Timer1"));
    m_timer->setInterval(kDefaultIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &StartupSequence::tick);
}

bool StartupSequence::isFixedInstallFolder(const QString& programFolder)
{
    // The exact text, letter case included: "d:\corvana interface" is another folder to the program.
    QString path = programFolder;
    path.replace(QLatin1Char('/'), QLatin1Char('\\'));
    while (path.size() > 3 && path.endsWith(QLatin1Char('\\')))
        path.chop(1);
    return path == QStringLiteral("D:\\Corvana Interface");
}

bool StartupSequence::installFolderAccepted(const QString& programFolder, const InstallFolder& folder)
{
#ifdef Q_OS_WIN
    Q_UNUSED(folder);
    return isFixedInstallFolder(programFolder);
#else
    Q_UNUSED(programFolder);
    return folder.exists();
#endif
}

bool StartupSequence::datesHaveEnglishMonths(const QDate& date)
{
    static const QStringList months{QStringLiteral("Jan"), QStringLiteral("Feb"), QStringLiteral("Mar"),
                                    QStringLiteral("Apr"), QStringLiteral("May"), QStringLiteral("Jun"),
                                    QStringLiteral("Jul"), QStringLiteral("Aug"), QStringLiteral("Sep"),
                                    QStringLiteral("Oct"), QStringLiteral("Nov"), QStringLiteral("Dec")};
    if (!date.isValid())
        return false;
    const QString text = DateFormats::dayMonthYear(date);
    const QString expected = QStringLiteral("%1-%2-%3")
                                 .arg(date.day(), 2, 10, QLatin1Char('0'))
                                 .arg(months.at(date.month() - 1))
                                 .arg(date.year(), 4, 10, QLatin1Char('0'));
    return text == expected;
}

bool StartupSequence::load()
{
    m_step = 0;
    m_stopped = false;
    m_waitingForLogin = false;
    Dialogs& dialogs = m_context.dialogs();
    const InstallFolder& folder = m_context.installFolder();
    if (!installFolderAccepted(m_programFolder, folder)) {
        dialogs.warning(StartupMessages::folderTitle,
                        StartupMessages::folderText + QStringLiteral("\n") + StartupMessages::folderPath);
        end(1);
        return false;
    }
    if (!QFileInfo(folder.memoryIni()).isFile()) {
        dialogs.warning(StartupMessages::memoryTitle, StartupMessages::memoryText);
        end(1);
        return false;
    }
    return true;
}

void StartupSequence::start()
{
    m_timer->start();
}

void StartupSequence::tick()
{
    if (m_stopped || m_step > kLastStep)
        return;
    ++m_step;
    if (m_step <= kLastStep)
        runStep(m_step);
}

void StartupSequence::runStep(qint16 step)
{
    emit progressed(step);
    switch (step) {
    case 1:
        readSettings();
        break;
    case 2:
        // The settings were read with the connection keys in step 1; what is left of this step is
        // the single-copy check.
        checkSingleInstance();
        break;
    case 3:
        probeDateFormat();
        break;
    case 8:
        openInterfaceDatabase();
        break;
    case 9:
        askForLogin();
        break;
    case 11:
        if (QFileInfo(m_context.installFolder().settingsIni()).isFile()) {
            m_context.settings.EnLanguage = Numbers::toInt16(ReadIni(
                m_context.installFolder().settingsIni(), QStringLiteral("comsetup"), QStringLiteral("EnLanguage")));
        }
        break;
    case 12:
        checkLisDatabase();
        break;
    case kLastStep:
        m_timer->stop();
        emit finished();
        break;
    default:
        break; // progress only
    }
}

void StartupSequence::readSettings()
{
    // Without the settings file everything stays empty; the interface database check then fails
    // with its own message and hands over to the settings window.
    m_context.loadSettings();
    m_context.buildConnectionStrings();
}

void StartupSequence::checkSingleInstance()
{
    if (m_singleInstance.anotherCopyRuns()) {
        m_timer->stop();
        m_context.dialogs().warning(StartupMessages::singleCopyTitle, StartupMessages::singleCopyText);
        end(1);
    }
}

void StartupSequence::probeDateFormat()
{
    const QDate today = m_context.clock().today();
    bool ok = datesHaveEnglishMonths(today);
    if (ok) {
        // A failed open has shown its own message; the probe then fails as well.
        QSqlDatabase db = m_context.databases().OpenLocalDb();
        ok =
            db.isOpen() && SqlRun::select(db, QStringLiteral("Select * FROM history where requestdate=? "), {today}).ok;
    }
    if (!ok) {
        m_timer->stop();
        m_context.dialogs().warning(StartupMessages::dateTitle, StartupMessages::dateText);
        end(1);
    }
}

void StartupSequence::openInterfaceDatabase()
{
    Databases& databases = m_context.databases();
    // A new install has no interface file yet, but neither has one whose file was deleted or whose
    // setting is misspelt: only the user can tell, so the path is shown and the file made on Yes.
    const ConnectionTarget target = databases.target(DbSlot::Interface);
    bool create = false;
    if (target.isValid() && target.isSqlite() && !QFileInfo::exists(target.databaseName)) {
        create = m_context.dialogs().askYesNo(
            StartupMessages::noDatabaseTitle,
            StartupMessages::noDatabaseText.arg(QDir::toNativeSeparators(target.databaseName)));
    }
    const bool mayCreate = databases.mayCreateInterface();
    databases.setMayCreateInterface(create);
    const bool open = databases.OpenInterfaceDb().isOpen();
    databases.setMayCreateInterface(mayCreate);
    // A failure has shown the connection message and asked for the settings window.
    if (!open) {
        m_timer->stop();
        m_stopped = true;
        emit unloadRequested();
    }
}

void StartupSequence::askForLogin()
{
    const RememberedLogin remembered = Login::remembered(m_context);
    m_timer->stop();
    m_waitingForLogin = true;

    // Nobody can log in to a database without accounts: the first administrator comes first.
    QSqlDatabase db = m_context.databases().OpenInterfaceDb();
    if (db.isOpen()) {
        UserStore store(db);
        if (store.count() == 0 && !store.failed()) {
            emit firstAdministratorRequested();
            return;
        }
    }
    emit loginRequested(remembered);
}

void StartupSequence::firstAccountCreated(const QString& userName)
{
    RememberedLogin next;
    next.userName = userName;
    emit loginRequested(next);
}

Login::Outcome StartupSequence::logIn(const QString& userName, const QString& password, bool remember,
                                      bool passwordIsToken)
{
    const Login::Outcome outcome = Login::logIn(m_context, userName, password, remember, passwordIsToken);
    if (outcome.loggedIn) {
        m_waitingForLogin = false;
        m_timer->start();
    }
    return outcome;
}

void StartupSequence::checkLisDatabase()
{
    if (m_context.settings.lisActive != 1)
        return;
    Databases& databases = m_context.databases();
    if (!databases.OpenLisDb().isOpen()) {
        m_timer->stop();
        m_stopped = true;
        m_context.requestSettingsWindow(QStringLiteral("corvanaserver"));
        emit unloadRequested();
    }
}

void StartupSequence::end(int exitCode)
{
    m_timer->stop();
    m_stopped = true;
    emit endProgramRequested(exitCode);
}
