#pragma once

#include "TestInstall.h"

#include <QFile>

// Writes "section/key=value" settings over a test install's; "-" removes its settings file.
inline void applySettings(TestInstall& install, const QStringList& settings)
{
    for (const QString& s : settings) {
        if (s == QLatin1String("-"))
            QFile::remove(install.settingsIni());
        else
            install.setSetting(s.section('/', 0, 0), s.section('/', 1).section('=', 0, 0), s.section('=', 1));
    }
}
