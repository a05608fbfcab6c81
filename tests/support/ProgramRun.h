#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What a finished run of one of the built programs gave back.
struct ProgramRun
{
    int exitCode = -1; // -1 when it did not finish normally in time
    QByteArray outBytes;
    QByteArray errBytes;
    QString out; // the same, read as UTF-8
    QString err;
};

// Runs `corvana-vidas` from the build folder with `arguments` and waits for it to finish.
ProgramRun runCorvanaVidas(const QStringList& arguments, int timeoutMs = 60000);
