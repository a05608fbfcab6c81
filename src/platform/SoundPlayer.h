#pragma once

#include <QString>

// Plays a sound file, the way the notification of a stored result uses it: open a file, play it,
// close it (which also stops it). The real one plays through Qt Multimedia; the tests' fake records
// the calls. Errors are only reported by the return values, never shown.
class SoundPlayer
{
public:
    virtual ~SoundPlayer() = default;

    // Prepares `file`; false when it cannot be played (missing, unreadable, no sound device).
    virtual bool open(const QString& file) = 0;
    // Starts the opened file; false when nothing is open or playing fails at once.
    virtual bool play() = 0;
    // Stops and forgets the file. Harmless when nothing is open.
    virtual void close() = 0;
};
