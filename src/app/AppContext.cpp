#include "app/AppContext.h"

#include "db/ConnectionStrings.h"
#include "db/Databases.h"

AppContext::AppContext(InstallFolder folder, Dialogs* dialogs, Clock* clock, QObject* parent)
    : QObject(parent), m_folder(std::move(folder)), m_dialogs(dialogs), m_clock(clock),
      m_databases(new Databases(*this))
{
}

void AppContext::setReceiverOn(qint16 on)
{
    m_receiverOn = on;
}

void AppContext::loadSettings()
{
    settings = AppSettings::load(m_folder.settingsIni());
}

void AppContext::buildConnectionStrings()
{
    InterfaceConnString.clear();
    LisConnString.clear();
    LisIsAccess = 0;
    if (!settings.settingsFileFound)
        return;
    LisIsAccess = settings.CRVaccess;
    InterfaceConnString = ConnectionStrings::InterfaceConnString(settings);
    LisConnString = ConnectionStrings::LisConnString(settings);
}
