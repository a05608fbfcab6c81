#pragma once

#include "platform/Clock.h"
#include "platform/InstallFolder.h"

#include <QByteArray>
#include <QDate>
#include <QString>

// The capture archive: every byte received on the analyser line, appended to one file per day in
// the install folder (captures/yyyy-MM-dd.bin). The bytes of a complete message are on disk before
// the message is parsed, so a result whose storage fails can be taken again from the file with
// `corvana-vidas replay`, which reads the file as it is.
class CaptureArchive
{
public:
    CaptureArchive(const InstallFolder& folder, const Clock& clock);

    // Keeps bytes as they arrive (lone ENQs and line noise included), until the next write.
    void received(const QByteArray& bytes);
    // Appends what was kept to today's file and waits until it is on disk. False, with the reason,
    // when the file cannot be written; the bytes are then kept for the next try.
    bool write(QString* error = nullptr);
    qsizetype pending() const { return m_pending.size(); }

    QString folder() const;
    QString fileFor(const QDate& day) const;

private:
    InstallFolder m_folder;
    const Clock& m_clock;
    QByteArray m_pending;
};
