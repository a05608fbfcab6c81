#include "platform/MediaSoundPlayer.h"

#include <QAudioOutput>
#include <QFileInfo>
#include <QMediaPlayer>
#include <QUrl>

MediaSoundPlayer::MediaSoundPlayer() = default;

MediaSoundPlayer::~MediaSoundPlayer()
{
    close();
    // The player refers to its output; it goes first.
    m_player.reset();
    m_output.reset();
}

bool MediaSoundPlayer::ensurePlayer()
{
    if (m_player)
        return true;
    if (m_failed)
        return false;
    if (qEnvironmentVariableIsEmpty("QT_MEDIA_BACKEND"))
        qputenv("QT_MEDIA_BACKEND", "gstreamer");
    m_output = std::make_unique<QAudioOutput>();
    m_player = std::make_unique<QMediaPlayer>();
    m_player->setAudioOutput(m_output.get());
    // Without a usable back end the player reports itself unavailable; sounds are then silent.
    if (!m_player->isAvailable()) {
        m_player.reset();
        m_output.reset();
        m_failed = true;
        return false;
    }
    return true;
}

bool MediaSoundPlayer::open(const QString& file)
{
    const QFileInfo info(file);
    if (!info.isFile() || !info.isReadable())
        return false;
    if (!ensurePlayer())
        return false;
    m_player->setSource(QUrl::fromLocalFile(info.absoluteFilePath()));
    return m_player->error() == QMediaPlayer::NoError;
}

bool MediaSoundPlayer::play()
{
    if (!m_player || m_player->source().isEmpty())
        return false;
    m_player->play();
    return m_player->error() == QMediaPlayer::NoError;
}

void MediaSoundPlayer::close()
{
    if (!m_player)
        return;
    m_player->stop();
    m_player->setSource(QUrl());
}
