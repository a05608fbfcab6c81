#pragma once

#include "platform/SoundPlayer.h"

#include <memory>

class QAudioOutput;
class QMediaPlayer;

// SoundPlayer over Qt Multimedia. The media objects are made at the first open, so that a program
// that never plays a sound never loads the multimedia back end. Without a setting of its own the
// gstreamer back end is chosen: the ffmpeg one crashes on a machine without a sound card.
class MediaSoundPlayer final : public SoundPlayer
{
public:
    MediaSoundPlayer();
    ~MediaSoundPlayer() override;
    MediaSoundPlayer(const MediaSoundPlayer&) = delete;
    MediaSoundPlayer& operator=(const MediaSoundPlayer&) = delete;

    bool open(const QString& file) override;
    bool play() override;
    void close() override;

private:
    bool ensurePlayer();

    std::unique_ptr<QAudioOutput> m_output;
    std::unique_ptr<QMediaPlayer> m_player;
    bool m_failed = false;
};
