#include "settings/ConnectionCheck.h"

#include "db/ConnectionStrings.h"
#include "db/ConnectionTarget.h"
#include "db/DbMessages.h"
#include "db/SqliteFile.h"
#include "settings/SettingsMessages.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QPointer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <memory>

namespace ConnectionCheck {

namespace {

QAtomicInt checks;

Message warning(const QString& text)
{
    return {DialogIcon::Warning, SettingsMessages::warningTitle, text};
}

Message failure(Server server, const ConnectionTarget& target)
{
    if (server == Server::Interface)
        return {DialogIcon::Error, DbMessages::connectionTitle, DbMessages::interfaceFailed};
    return {DialogIcon::Error, DbMessages::connectionTitle,
            target.engine == SqlEngine::Jet ? DbMessages::lisFileFailed : DbMessages::lisServerFailed};
}

ConnectionTarget targetOf(Server server, const AppSettings& typed, const QString& folder)
{
    if (server == Server::Interface)
        return ConnectionTargets::interfaceTarget(typed, ConnectionStrings::InterfaceConnString(typed), folder);
    return ConnectionTargets::lisTarget(typed, ConnectionStrings::LisConnString(typed), typed.CRVaccess, folder);
}

bool isSqlite(Server server, const AppSettings& typed)
{
    const QString& engine = server == Server::Interface ? typed.serverEngine : typed.lisEngine;
    return (server == Server::Interface || typed.CRVaccess == 0) &&
           engine.trimmed().compare(QLatin1String("sqlite"), Qt::CaseInsensitive) == 0;
}

// Opens the target on a connection of its own and asks it one question.
bool tryOpen(Server server, const ConnectionTarget& target, QString* reason)
{
    if (!target.isValid()) {
        *reason = target.error;
        return false;
    }
    if (target.isSqlite()) {
        *reason = SqliteFile::problem(target.databaseName, false);
        if (!reason->isEmpty())
            return false;
    }
    if (!QSqlDatabase::isDriverAvailable(target.driver)) {
        *reason = QStringLiteral("the Qt SQL driver %1 is not installed").arg(target.driver);
        return false;
    }
    const QString name = QStringLiteral("settings-check-%1").arg(checks.fetchAndAddRelaxed(1) + 1);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(target.driver, name);
        db.setConnectOptions(target.isSqlite() ? SqliteFile::connectOptions(2000) : target.connectOptions);
        target.applyLoginTo(db);
        for (const QString& candidate : QStringList{target.databaseName} + target.fallbackNames) {
            db.setDatabaseName(candidate);
            if ((ok = db.open()))
                break;
            *reason = db.lastError().text();
        }
        if (ok) {
            QSqlQuery probe(db);
            ok = probe.exec(target.isSqlite() ? QStringLiteral("SELECT count(*) FROM sqlite_master")
                                              : QStringLiteral("SELECT 1"));
            if (!ok)
                *reason = probe.lastError().text();
            // A LIS file without the LIS's tables is the wrong file.
            if (ok && target.isSqlite() && server == Server::Lis) {
                const QStringList tables = db.tables();
                ok = tables.contains(QStringLiteral("patientinfo"), Qt::CaseInsensitive) &&
                     tables.contains(QStringLiteral("patienttest"), Qt::CaseInsensitive);
                if (!ok)
                    *reason = QStringLiteral("the file has no LIS tables (patientinfo, patienttest)");
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

} // namespace

std::optional<Message> beforeConnecting(Server server, const AppSettings& typed, const QString& installFolder)
{
    if (isSqlite(server, typed))
        return std::nullopt;
    if (server == Server::Interface) {
        if (typed.serverName.trimmed().isEmpty())
            return warning(SettingsMessages::interfaceServerEmpty);
        if (typed.serverUserID.trimmed().isEmpty())
            return warning(SettingsMessages::interfaceLoginEmpty);
        return std::nullopt;
    }
    // Both names, whatever the database and login kind.
    if (typed.lisServerName.trimmed().isEmpty())
        return warning(SettingsMessages::lisServerEmpty);
    if (typed.lisUserID.trimmed().isEmpty())
        return warning(SettingsMessages::lisLoginEmpty);
    if (typed.CRVaccess != 0) {
        // The Jet file is only looked for, not opened.
        if (QFileInfo(ConnectionStrings::jetLisFile(installFolder)).isFile())
            return Message{DialogIcon::Information, SettingsMessages::resultTitle, SettingsMessages::databaseConnected};
        return Message{DialogIcon::Warning, SettingsMessages::resultTitle, SettingsMessages::databaseNotFound};
    }
    return std::nullopt;
}

Message connect(Server server, const AppSettings& typed, const QString& installFolder, QString* reason)
{
    const ConnectionTarget target = targetOf(server, typed, installFolder);
    QString why;
    if (!tryOpen(server, target, &why)) {
        if (reason)
            *reason = why;
        return failure(server, target);
    }
    return {DialogIcon::Information, SettingsMessages::resultTitle,
            target.isSqlite() ? SettingsMessages::databaseConnected : SettingsMessages::serverConnected};
}

void Runner::start(Server server, const AppSettings& typed, const QString& installFolder)
{
    if (m_busy)
        return;
    m_busy = true;
    auto outcome = std::make_shared<std::pair<Message, QString>>();
    QThread* thread = QThread::create([outcome, server, typed, installFolder] {
        outcome->first = ConnectionCheck::connect(server, typed, installFolder, &outcome->second);
    });
    QPointer<Runner> self = this;
    // The thread may outlive the window that asked (an unreachable server takes its time).
    QObject::connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    QObject::connect(thread, &QThread::finished, this, [self, outcome] {
        if (!self)
            return;
        self->m_busy = false;
        emit self->finished(outcome->first, outcome->second);
    });
    thread->start();
}

} // namespace ConnectionCheck
