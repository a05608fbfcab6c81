#include "core/AppContext.h"

#include "db/ConnectionStrings.h"
#include "db/Databases.h"
#include "platform/MediaSoundPlayer.h"

AppContext::AppContext(InstallFolder folder, Dialogs* dialogs, Clock* clock, QObject* parent)
    : QObject(parent), m_folder(std::move(folder)), m_dialogs(dialogs), m_clock(clock),
      m_databases(new Databases({m_folder, settings, InterfaceConnString, LisConnString, LisIsAccess, *m_dialogs,
                                 [this](const QString& page) { requestSettingsWindow(page); }},
                                this))
{
}

SoundPlayer& AppContext::soundPlayer() const
{
    if (m_soundPlayer)
        return *m_soundPlayer;
    if (!m_mediaSoundPlayer)
        m_mediaSoundPlayer = std::make_unique<MediaSoundPlayer>();
    return *m_mediaSoundPlayer;
}

void AppContext::setReceiverOn(qint16 on)
{
    m_receiverOn = on;
}

void AppContext::setLineStatus(const LineStatus& status)
{
    if (status == m_lineStatus)
        return;
    m_lineStatus = status;
    emit lineStatusChanged();
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
