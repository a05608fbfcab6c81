#include "refdata/RefDataDb.h"

#include "core/AppContext.h"
#include "db/Databases.h"
#include "refdata/RefDataMessages.h"

QSqlDatabase RefDataDb::open()
{
    return m_context.databases().OpenInterfaceDbQuiet(m_slot);
}

Dialogs& RefDataDb::dialogs() const
{
    return m_context.dialogs();
}

bool RefDataDb::saveFailed(const QSqlError& error)
{
    dialogs().error(RefDataMessages::saveFailedTitle, RefDataMessages::saveFailed + error.text());
    return false;
}

bool RefDataDb::deleteFailed(const QSqlError& error)
{
    dialogs().error(RefDataMessages::saveFailedTitle, RefDataMessages::deleteFailed + error.text());
    return false;
}
