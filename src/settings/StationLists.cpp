#include "settings/StationLists.h"

#include <QDir>
#include <QDirIterator>
#include <QSerialPortInfo>

namespace StationLists {

QStringList soundFiles(const QString& soundFolder)
{
    QStringList files;
    const QDir root(soundFolder);
    // "*.mp3" as Windows matches it: "Ding.MP3" too.
    QDirIterator it(soundFolder, QDir::Files | QDir::Readable, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        if (file.endsWith(QLatin1String(".mp3"), Qt::CaseInsensitive))
            files.append(root.relativeFilePath(file));
    }
    files.sort(Qt::CaseInsensitive);
    return files;
}

QList<SerialDevice> serialDevices()
{
    QList<SerialDevice> devices;
    for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts()) {
        QStringList words;
        for (const QString& word : {port.manufacturer(), port.description()}) {
            if (!word.trimmed().isEmpty() && !words.contains(word.trimmed()))
                words.append(word.trimmed());
        }
#ifdef Q_OS_WIN
        devices.append({port.portName(), words.join(QLatin1Char(' '))});
#else
        devices.append({port.systemLocation(), words.join(QLatin1Char(' '))});
#endif
    }
    return devices;
}

} // namespace StationLists
