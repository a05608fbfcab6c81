#include "link/Notification.h"

#include "platform/SoundPlayer.h"

#include <QTimer>

Notification::Notification(SoundPlayer& player, QTimer& timersx) : m_player(player), m_timersx(timersx)
{
    m_timeout = QObject::connect(&m_timersx, &QTimer::timeout, &m_timersx, [this] { close(); });
}

Notification::~Notification()
{
    QObject::disconnect(m_timeout);
}

void Notification::PlayNotification(const QString& file)
{
    m_timersx.stop();
    m_player.close();
    if (!m_player.open(file) || !m_player.play()) {
        m_player.close();
        m_timersx.stop();
        return;
    }
    m_timersx.start();
}

void Notification::close()
{
    m_timersx.stop();
    m_player.close();
}
