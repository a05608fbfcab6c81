#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// What the receive chain may take from a session, and what it must hold back. Only a record inside
// a frame whose checksum holds is read; everything else that carries a record (a frame whose
// checksum fails, one whose GS or checksum was lost on the line, record text outside any frame, a
// piece after "mtrsl" too short to be a record, any record of a session that never reached its
// EOT) is held with its raw bytes and the reason, and names every sample and assay that can be read
// from it, so that the list says what to ask the analyser for again. Line noise before the
// session's first "mtrsl" is ignored, as the analyser's framing around the records is.
namespace SessionFrames {

struct Held
{
    QByteArray bytes;    // as received: adjacent pieces that cannot be trusted, in one entry
    QString reason;      // why, e.g. "checksum 3f, expected 40", "no checksum", "session without EOT"
    QStringList samples; // per record that can be told apart: its sample identifier (empty: none read)
    QStringList assays;  // and its short assay name, in the same order

    // The list's key: "sample assay" for each result named, "?" when none can be read.
    QString key() const;
};

struct Sorted
{
    QStringList records; // the pieces after "mtrsl" of verified frames that pass the record tests
    QList<Held> held;
};

// `complete`: the session ended with its EOT. A session cut short (the program stopped, the port was
// reset) is held whole, however good its frames.
Sorted sort(const QByteArray& session, bool complete = true);

// A held entry of `bytes` with its reason, naming the samples and assays that can be read from it.
Held named(const QByteArray& bytes, const QString& reason);

} // namespace SessionFrames
