#pragma once

#include "db/ConnectionTarget.h"
#include "db/Dialect.h"

#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <array>
#include <functional>

class AppSettings;
class Dialogs;
class InstallFolder;

// What the openers read from their owner at every open: the install folder, the settings, the
// connection strings made from them, and where failures are shown. The owner keeps them alive for
// as long as the Databases object lives.
struct DatabaseSources
{
    const InstallFolder& folder;
    const AppSettings& settings;
    const QString& interfaceConnString;
    const QString& lisConnString;
    const qint16& lisIsAccess;
    Dialogs& dialogs;
    // Who is asked for the settings window in recovery mode on a server page ("server",
    // "corvanaserver") when OpenInterfaceDb fails; nobody when empty (a connection test).
    std::function<void(const QString& page)> askForSettings;
};

// The connection slots, one named Qt SQL connection each, and who uses them.
enum class DbSlot
{
    Interface,       // login, users, main window, search, editor, reference data, reports, settings test
    InterfaceQuiet1, // main window's result grid
    InterfaceQuiet2, // reference ranges and search
    InterfaceQuiet3, // comment library and test catalogue
    InterfaceQuiet4, // receive chain: evaluation and storage
    Lis,             // worklist, result editor, settings test, start-up check
    LisReceiver,     // receive chain: patient matching and LIS export
    Local,           // start-up date probe
};

// The program's database connections. Each opener opens its slot for the next unit of work from
// the owner's current settings and connection strings, and returns the connection; when that
// fails it has shown its message and returns a connection that is not open.
//
// A slot stays open between units of work: the next opener call keeps it when the settings still
// name the same database and the connection is alive (a server is asked "SELECT 1", a SQLite file
// must still be the same file: a backup restored over it or another file moved to its name is
// opened afresh, so that nothing goes on being written into a file that is no longer there), and
// otherwise opens it afresh. Every statement runs in auto-commit unless
// its caller starts a transaction, so each operation sees what the one before it committed.
//
// The interface database is brought to the current schema when a slot opens it. A missing
// embedded interface file is a connection failure unless creating it was asked for (see
// setMayCreateInterface), so that a deleted or misspelt file is never replaced by an empty one
// unnoticed. The LIS database is never created or changed in shape.
class Databases final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Databases)

public:
    explicit Databases(const DatabaseSources& sources, QObject* parent = nullptr);
    ~Databases() override;

    QSqlDatabase OpenInterfaceDb();
    // `which` is 1 to 4 (see DbSlot); failure shows the message but asks for no recovery.
    QSqlDatabase OpenInterfaceDbQuiet(int which);
    QSqlDatabase OpenLisDb();
    QSqlDatabase OpenLisDbForReceiver();
    QSqlDatabase OpenLocalDb();

    // The slot's connection as it stands (it may be closed).
    QSqlDatabase connection(DbSlot slot) const;
    bool isOpen(DbSlot slot) const;
    void close(DbSlot slot);
    void closeAll();

    // The dialect of the database a slot opens with the current settings.
    Dialect dialect(DbSlot slot) const;
    // What a slot opens with the current settings.
    ConnectionTarget target(DbSlot slot) const;
    // Why the slot's last open failed (for the command line and support); empty after a success.
    QString lastError(DbSlot slot) const { return m_state[index(slot)].error; }
    QString connectionName(DbSlot slot) const { return m_state[index(slot)].name; }

    // Whether the interface openers may create a missing embedded interface file (off by default:
    // only the set-up, `check --create` and a new install's answered question turn it on).
    void setMayCreateInterface(bool may) { m_mayCreateInterface = may; }
    bool mayCreateInterface() const { return m_mayCreateInterface; }

    // How long a SQLite statement waits for another program's lock before it fails.
    void setSqliteBusyTimeout(int milliseconds) { m_busyTimeoutMs = milliseconds; }
    // Called before every attempt to open a slot (the Jet file gets two).
    void setOpenObserver(std::function<void(DbSlot)> observer) { m_observer = std::move(observer); }

private:
    static constexpr int slotCount = 8;
    static int index(DbSlot slot) { return static_cast<int>(slot); }

    struct SlotState
    {
        QString name;
        ConnectionTarget openedWith;
        QByteArray fileIdentity; // of the SQLite file when it was opened
        QString error;
    };

    QSqlDatabase open(DbSlot slot);
    bool reusable(DbSlot slot, const ConnectionTarget& target);
    bool replacedInTransaction(DbSlot slot, const ConnectionTarget& target);
    bool attempt(DbSlot slot, const ConnectionTarget& target, bool fresh);
    bool createPostgresDatabase(const ConnectionTarget& wanted, QString* error);
    bool openFirstOf(QSqlDatabase& db, const ConnectionTarget& target, QString* error);
    bool prepareOpened(DbSlot slot, QSqlDatabase& db, const ConnectionTarget& target);
    void showFailure(DbSlot slot, const ConnectionTarget& target);
    QSqlDatabase handle(DbSlot slot, const QString& driver, bool fresh);

    DatabaseSources m_sources;
    std::array<SlotState, slotCount> m_state;
    int m_busyTimeoutMs;
    bool m_mayCreateInterface = false;
    std::function<void(DbSlot)> m_observer;
};
