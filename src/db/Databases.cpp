#include "db/Databases.h"

#include "config/AppSettings.h"
#include "db/DbMessages.h"
#include "db/Schema.h"
#include "db/SqliteFile.h"
#include "platform/Dialogs.h"
#include "platform/InstallFolder.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace {

const char* const slotNames[] = {"iface",       "ifaceQuiet1", "ifaceQuiet2", "ifaceQuiet3",
                                 "ifaceQuiet4", "lis",         "lisReceiver", "local"};

bool isInterface(DbSlot slot)
{
    return slot == DbSlot::Interface || slot == DbSlot::InterfaceQuiet1 || slot == DbSlot::InterfaceQuiet2 ||
           slot == DbSlot::InterfaceQuiet3 || slot == DbSlot::InterfaceQuiet4;
}

bool isLis(DbSlot slot)
{
    return slot == DbSlot::Lis || slot == DbSlot::LisReceiver;
}

// Connection names are process-wide in Qt; each Databases object (tests build several) gets its own.
QAtomicInt instances;

} // namespace

Databases::Databases(const DatabaseSources& sources, QObject* parent)
    : QObject(parent), m_sources(sources), m_busyTimeoutMs(SqliteFile::defaultBusyTimeoutMs)
{
    const int instance = instances.fetchAndAddRelaxed(1) + 1;
    for (int i = 0; i < slotCount; ++i)
        m_state[i].name = QStringLiteral("%1-%2").arg(QLatin1String(slotNames[i])).arg(instance);
}

Databases::~Databases()
{
    for (const SlotState& state : m_state) {
        if (!QSqlDatabase::contains(state.name))
            continue;
        QSqlDatabase::database(state.name, false).close();
        QSqlDatabase::removeDatabase(state.name);
    }
}

QSqlDatabase Databases::OpenInterfaceDb()
{
    return open(DbSlot::Interface);
}

QSqlDatabase Databases::OpenInterfaceDbQuiet(int which)
{
    Q_ASSERT(which >= 1 && which <= 4);
    return open(static_cast<DbSlot>(index(DbSlot::InterfaceQuiet1) + qBound(1, which, 4) - 1));
}

QSqlDatabase Databases::OpenLisDb()
{
    return open(DbSlot::Lis);
}

QSqlDatabase Databases::OpenLisDbForReceiver()
{
    return open(DbSlot::LisReceiver);
}

QSqlDatabase Databases::OpenLocalDb()
{
    return open(DbSlot::Local);
}

QSqlDatabase Databases::connection(DbSlot slot) const
{
    const QString& name = m_state[index(slot)].name;
    if (!QSqlDatabase::contains(name))
        return {};
    return QSqlDatabase::database(name, false);
}

bool Databases::isOpen(DbSlot slot) const
{
    return connection(slot).isOpen();
}

void Databases::close(DbSlot slot)
{
    connection(slot).close();
    m_state[index(slot)].openedWith = {};
}

void Databases::closeAll()
{
    for (int i = 0; i < slotCount; ++i)
        close(static_cast<DbSlot>(i));
}

ConnectionTarget Databases::target(DbSlot slot) const
{
    const QString folder = m_sources.folder.path();
    if (isInterface(slot))
        return ConnectionTargets::interfaceTarget(m_sources.settings, m_sources.interfaceConnString, folder);
    if (isLis(slot)) {
        return ConnectionTargets::lisTarget(m_sources.settings, m_sources.lisConnString, m_sources.lisIsAccess, folder);
    }
    return ConnectionTargets::localTarget(folder);
}

Dialect Databases::dialect(DbSlot slot) const
{
    return Dialect(target(slot).engine);
}

QSqlDatabase Databases::open(DbSlot slot)
{
    SlotState& state = m_state[index(slot)];
    const ConnectionTarget wanted = target(slot);
    if (reusable(slot, wanted)) {
        state.error.clear();
        return connection(slot);
    }
    if (replacedInTransaction(slot, wanted)) {
        // The unit of work began on the file that is gone: it fails as a whole (its transaction is
        // dropped with the connection) and its next try opens the file now at the path.
        close(slot);
        state.error = QStringLiteral("%1: the database file was replaced during the work; it is opened again")
                          .arg(QDir::toNativeSeparators(wanted.databaseName));
        return connection(slot);
    }
    close(slot);
    // The Jet file gets a second try on a new connection, as a file share may be slow to answer.
    const int tries = wanted.engine == SqlEngine::Jet ? 2 : 1;
    for (int attemptNo = 0; attemptNo < tries; ++attemptNo) {
        if (attempt(slot, wanted, attemptNo > 0)) {
            state.error.clear();
            state.openedWith = wanted;
            state.fileIdentity = wanted.isSqlite() ? SqliteFile::identity(wanted.databaseName) : QByteArray();
            return connection(slot);
        }
    }
    showFailure(slot, wanted);
    return connection(slot);
}

bool Databases::reusable(DbSlot slot, const ConnectionTarget& wanted)
{
    QSqlDatabase db = connection(slot);
    if (!db.isOpen() || m_state[index(slot)].openedWith != wanted)
        return false;
    if (wanted.isSqlite()) {
        const QByteArray now = SqliteFile::identity(wanted.databaseName);
        return !now.isEmpty() && now == m_state[index(slot)].fileIdentity;
    }
    if (wanted.engine == SqlEngine::SqlServer || wanted.engine == SqlEngine::Postgres) {
        // A server may have dropped the connection since the last unit of work.
        QSqlQuery probe(db);
        return probe.exec(QStringLiteral("SELECT 1"));
    }
    return true;
}

bool Databases::replacedInTransaction(DbSlot slot, const ConnectionTarget& wanted)
{
    QSqlDatabase db = connection(slot);
    if (!wanted.isSqlite() || !db.isOpen() || m_state[index(slot)].openedWith != wanted)
        return false;
    // SQLite refuses a BEGIN inside a transaction; outside one, a deferred BEGIN takes no lock.
    QSqlQuery probe(db);
    if (probe.exec(QStringLiteral("BEGIN"))) {
        probe.exec(QStringLiteral("ROLLBACK"));
        return false;
    }
    return true;
}

QSqlDatabase Databases::handle(DbSlot slot, const QString& driver, bool fresh)
{
    const QString& name = m_state[index(slot)].name;
    if (QSqlDatabase::contains(name)) {
        if (!fresh && QSqlDatabase::database(name, false).driverName() == driver)
            return QSqlDatabase::database(name, false);
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
    return QSqlDatabase::addDatabase(driver, name);
}

bool Databases::attempt(DbSlot slot, const ConnectionTarget& wanted, bool fresh)
{
    QString& error = m_state[index(slot)].error;
    if (m_observer)
        m_observer(slot);
    if (!wanted.isValid()) {
        error = wanted.error;
        return false;
    }
    if (!QSqlDatabase::isDriverAvailable(wanted.driver)) {
        error = QStringLiteral("the Qt SQL driver %1 is not installed").arg(wanted.driver);
        return false;
    }
    bool created = false;
    if (wanted.isSqlite()) {
        // The start-up probe's file is scratch space and always made; the interface file only on request.
        const bool mayCreate = wanted.ownFile && (slot == DbSlot::Local || m_mayCreateInterface);
        error = SqliteFile::problem(wanted.databaseName, mayCreate);
        if (!error.isEmpty())
            return false;
        if (!QFileInfo::exists(wanted.databaseName)) {
            if (!SqliteFile::createPrivate(wanted.databaseName, &error))
                return false;
            created = true;
        }
    }
    QSqlDatabase db = handle(slot, wanted.driver, fresh);
    db.setConnectOptions(wanted.isSqlite() ? SqliteFile::connectOptions(m_busyTimeoutMs) : wanted.connectOptions);
    wanted.applyLoginTo(db);
    bool opened = openFirstOf(db, wanted, &error);
    if (!opened && wanted.isPostgres() && isInterface(slot) && m_mayCreateInterface &&
        error.contains(QLatin1String("does not exist"))) {
        // `check --create` on a server: the database is made on the server's maintenance database.
        if (!createPostgresDatabase(wanted, &error))
            return false;
        opened = openFirstOf(db, wanted, &error);
    }
    if (opened && prepareOpened(slot, db, wanted))
        return true;
    db.close();
    // A file made for this attempt and left without its schema would pass for a database next time.
    if (created) {
        for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
            QFile::remove(wanted.databaseName + suffix);
    }
    return false;
}

bool Databases::createPostgresDatabase(const ConnectionTarget& wanted, QString* error)
{
    const QString name = m_state[index(DbSlot::Interface)].name + QStringLiteral("-create");
    bool made = false;
    {
        QSqlDatabase admin = QSqlDatabase::addDatabase(wanted.driver, name);
        admin.setConnectOptions(wanted.connectOptions);
        wanted.applyLoginTo(admin);
        admin.setDatabaseName(QStringLiteral("postgres"));
        if (!admin.open()) {
            *error = QStringLiteral("the database %1 does not exist and cannot be made: %2")
                         .arg(wanted.databaseName, admin.lastError().text().trimmed());
        } else {
            // A name cannot be bound; it is quoted as an identifier instead.
            QString quoted = wanted.databaseName;
            quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
            QSqlQuery create(admin);
            made = create.exec(QStringLiteral("CREATE DATABASE \"%1\" ENCODING 'UTF8'").arg(quoted));
            if (!made) {
                *error = QStringLiteral("the database %1 does not exist and this login may not make it (%2): "
                                        "make it on the server, empty, and run check --create again")
                             .arg(wanted.databaseName, create.lastError().text().trimmed());
            }
        }
        admin.close();
    }
    QSqlDatabase::removeDatabase(name);
    return made;
}

bool Databases::openFirstOf(QSqlDatabase& db, const ConnectionTarget& wanted, QString* error)
{
    QStringList reasons;
    for (const QString& name : QStringList{wanted.databaseName} + wanted.fallbackNames) {
        db.setDatabaseName(name);
        if (db.open())
            return true;
        const QString reason = db.lastError().text().trimmed();
        if (!reason.isEmpty() && !reasons.contains(reason))
            reasons.append(reason);
    }
    *error = reasons.isEmpty() ? QStringLiteral("cannot be opened") : reasons.join(QStringLiteral("; "));
    return false;
}

bool Databases::prepareOpened(DbSlot slot, QSqlDatabase& db, const ConnectionTarget& wanted)
{
    QString& error = m_state[index(slot)].error;
    if (wanted.isSqlite() && !SqliteFile::configure(db, &error))
        return false;
    if (isInterface(slot)) {
        const Schema::Outcome schema = Schema::ensureInterface(db, wanted.engine);
        if (!schema) {
            error = schema.error;
            return false;
        }
    } else if (slot == DbSlot::Local) {
        const Schema::Outcome schema =
            Schema::runScript(db, SqlEngine::Sqlite, Schema::script(QStringLiteral("local-sqlite.sql")));
        if (!schema) {
            error = schema.error;
            return false;
        }
    } else if (wanted.isSqlite()) {
        // Only the demo and the tests put the LIS on SQLite; a file without its tables is a mistake
        // in the settings, better said now than at the first look-up.
        QStringList tables;
        for (const QString& table : db.tables())
            tables.append(table.toLower());
        if (!tables.contains(QLatin1String("patientinfo")) || !tables.contains(QLatin1String("patienttest"))) {
            error = QStringLiteral("the file has no LIS tables (patientinfo, patienttest)");
            return false;
        }
    }
    return true;
}

void Databases::showFailure(DbSlot slot, const ConnectionTarget& wanted)
{
    Dialogs& dialogs = m_sources.dialogs;
    if (slot == DbSlot::Local) {
        dialogs.error(DbMessages::installTitle, DbMessages::localFailed);
    } else if (isLis(slot)) {
        dialogs.error(DbMessages::connectionTitle,
                      wanted.engine == SqlEngine::Jet ? DbMessages::lisFileFailed : DbMessages::lisServerFailed);
    } else {
        dialogs.error(DbMessages::connectionTitle, DbMessages::interfaceFailed);
        if (slot == DbSlot::Interface && m_sources.askForSettings)
            m_sources.askForSettings(QStringLiteral("server"));
    }
}
