#pragma once

#include "TestInstall.h"

#include <QFile>
#include <QStringList>

// Writes "section/key=value" settings over a test install's; "-" removes its settings file first.
inline void applySettings(TestInstall& install, const QStringList& settings)
{
    for (const QString& setting : settings) {
        if (setting == QLatin1String("-")) {
            QFile::remove(install.settingsIni());
            continue;
        }
        const qsizetype slash = setting.indexOf(QLatin1Char('/'));
        const qsizetype eq = setting.indexOf(QLatin1Char('='));
        install.setSetting(setting.left(slash), setting.mid(slash + 1, eq - slash - 1), setting.mid(eq + 1));
    }
}
