#include "app/AppContext.h"

AppContext::AppContext(InstallFolder folder, Dialogs* dialogs, Clock* clock, QObject* parent)
    : QObject(parent), m_folder(std::move(folder)), m_dialogs(dialogs), m_clock(clock)
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
