#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// What the settings window offers from this machine: the notification sounds and the serial devices.
namespace StationLists {

// Every "*.mp3" under `soundFolder` and its sub-folders, as paths relative to it ("/" between
// folders), sorted; empty when the folder is missing.
QStringList soundFiles(const QString& soundFolder);

struct SerialDevice
{
    QString device;      // what [comsetup] device holds: "/dev/ttyUSB0" (on Windows "COM3")
    QString description; // maker and kind, as the system describes it
};
// The serial devices the system knows now.
QList<SerialDevice> serialDevices();

} // namespace StationLists
