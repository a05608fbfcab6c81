#pragma once

#include <QMetaObject>
#include <QString>

class QTimer;
class SoundPlayer;

// The notification sound of a stored result. Each sound replaces the one before and is cut by the
// receive window's sound timer (Timersx, 1.5 s), which closes the player when it fires. Every
// error is silent.
class Notification
{
public:
    // Neither is owned; `timersx` must outlive this object or be destroyed with it.
    Notification(SoundPlayer& player, QTimer& timersx);
    ~Notification();
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    // Plays `file` from the start; nothing happens when it cannot be played.
    void PlayNotification(const QString& file);
    // Stops the timer and closes the player (the timer's end, and the window's unloading).
    void close();

private:
    SoundPlayer& m_player;
    QTimer& m_timersx;
    QMetaObject::Connection m_timeout;
};
