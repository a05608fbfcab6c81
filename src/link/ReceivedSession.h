#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QMetaType>
#include <QString>

// One transmission of the analyser, ENQ to EOT, as the receive chain processes it: its bytes, when
// it was received, and where it lies in the capture archive. A session is processed exactly once;
// its place in the archive (or, for a capture file replayed by hand, its digest) tells a session
// already stored from a new one.
struct ReceivedSession
{
    enum class Origin
    {
        Line,      // just received on the serial line
        Recovered, // found in the archive at start-up without a journal entry
        Replayed,  // a capture file sent through the chain by hand
        Direct,    // handed to the chain without a place (the receive window's parse button, tests)
    };

    QByteArray bytes;      // the message area: every byte up to and including the EOT
    QDateTime receivedAt;  // the moment the EOT arrived; storage takes it as "now"
    QString archiveFile;   // the archive file's name ("2026-12-05.bin"); empty without a place
    qint64 endOffset = -1; // the offset right after the EOT in that file
    Origin origin = Origin::Direct;
    bool force = false; // replay --force: process even when already recorded
    // Ended with its EOT. A session cut short (the program stopped, the port was reset) is held
    // whole and never stored.
    bool complete = true;
    // Whose archive: the install folder's own station mark. Stations that share one database have
    // archive files of the same names and sizes, so a place is only a place together with it.
    QString station;

    bool hasPlace() const { return !archiveFile.isEmpty() && endOffset >= 0; }
    // The archive file as the journal names it: "station/2026-12-05.bin", or the bare name without
    // a station mark (as the journal named every file before stations shared a database).
    QString journalFile() const { return station.isEmpty() ? archiveFile : station + QLatin1Char('/') + archiveFile; }
    // Identifies the session's content whatever the line noise and ENQ around it: SHA-256 of the
    // bytes from the first RS to the end.
    QString digest() const;
    static const char* originName(Origin origin);
};

Q_DECLARE_METATYPE(ReceivedSession)
