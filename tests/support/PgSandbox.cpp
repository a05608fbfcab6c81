#include "PgSandbox.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUuid>
#include <cstdlib>
#include <memory>

namespace PgSandbox {

namespace {

const QString script = QStringLiteral(CORVANA_SOURCE_DIR "/scripts/pg-sandbox.sh");

struct OwnServer
{
    std::unique_ptr<QTemporaryDir> dir;
    QString socket;
    QString error;
    bool tried = false;
};

OwnServer& own()
{
    static OwnServer server;
    return server;
}

void stopOwn()
{
    OwnServer& server = own();
    if (server.dir)
        QProcess::execute(QStringLiteral("bash"), {script, QStringLiteral("stop"), server.dir->path()});
}

QString startOwn(QString* error)
{
    OwnServer& server = own();
    if (!server.tried) {
        server.tried = true;
        // Under /tmp, so that the server's own user can reach it.
        server.dir = std::make_unique<QTemporaryDir>(QStringLiteral("/tmp/corvana-pg-XXXXXX"));
        QProcess start;
        start.start(QStringLiteral("bash"), {script, QStringLiteral("start"), server.dir->path()});
        if (!start.waitForFinished(120000) || start.exitCode() != 0) {
            server.error = QStringLiteral("the PostgreSQL sandbox did not start: %1")
                               .arg(QString::fromLocal8Bit(start.readAllStandardError()).trimmed());
        } else {
            server.socket = QString::fromLocal8Bit(start.readAllStandardOutput()).trimmed();
            std::atexit(stopOwn);
        }
    }
    if (error)
        *error = server.error;
    return server.socket;
}

QAtomicInt connections;

} // namespace

bool admin(const QString& sql, QString* error)
{
    const QString socket = socketFolder(error);
    if (socket.isEmpty())
        return false;
    const QString name = QStringLiteral("pg-admin-%1").arg(connections.fetchAndAddRelaxed(1));
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(socket);
        db.setUserName(role);
        db.setDatabaseName(QStringLiteral("postgres"));
        if (!db.open()) {
            if (error)
                *error = db.lastError().text();
        } else {
            QSqlQuery query(db);
            ok = query.exec(sql);
            if (!ok && error)
                *error = query.lastError().text();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

bool inUse()
{
    return qEnvironmentVariable("CORVANA_TEST_ENGINE") == QLatin1String("postgresql");
}

QString socketFolder(QString* error)
{
    const QString given = qEnvironmentVariable("CORVANA_PG_SOCKET");
    if (!given.isEmpty())
        return given;
    return startOwn(error);
}

QString createDatabase(QString* error)
{
    const QString name = QStringLiteral("t_") + QUuid::createUuid().toString(QUuid::Id128).left(20);
    if (!admin(QStringLiteral("CREATE DATABASE %1").arg(name), error))
        return {};
    return name;
}

void dropDatabase(const QString& name)
{
    if (!name.isEmpty())
        admin(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name), nullptr);
}

} // namespace PgSandbox
