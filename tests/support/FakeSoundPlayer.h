#pragma once

#include "platform/SoundPlayer.h"

#include <QStringList>

// Records every call ("open <file>", "play", "close"); `openWorks` decides whether a file opens.
class FakeSoundPlayer final : public SoundPlayer
{
public:
    bool open(const QString& file) override { return calls << "open " + file, m_open = openWorks; }
    bool play() override { return calls << QStringLiteral("play"), m_open; }
    void close() override { calls << QStringLiteral("close"), m_open = false; }

    QStringList calls;
    bool openWorks = true;

private:
    bool m_open = false;
};
