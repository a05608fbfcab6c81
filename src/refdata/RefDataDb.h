#pragma once

#include "db/SqlRun.h"
#include "platform/Dialogs.h"

#include <QSqlDatabase>

class AppContext;

// The connection of a reference-data window and how its failures reach the user. The windows open
// their quiet slot (the reference ranges the second, the catalogue and the comments the third): a
// database that went away shows the connection message and the window keeps what was typed,
// instead of the recovery path that would unload every window. A statement the database refuses
// after the open says so, with the database's reason; each save and delete is one statement or
// one transaction, so nothing is half-written.
class RefDataDb
{
public:
    RefDataDb(AppContext& context, int quietSlot) : m_context(context), m_slot(quietSlot) {}

    // The open connection, or one that is not open (the message has been shown).
    QSqlDatabase open();
    Dialogs& dialogs() const;
    AppContext& context() const { return m_context; }

    // Shows why a save (or delete) failed; always false, for `return refused(...)`.
    bool saveFailed(const QSqlError& error);
    bool deleteFailed(const QSqlError& error);

private:
    AppContext& m_context;
    int m_slot;
};
