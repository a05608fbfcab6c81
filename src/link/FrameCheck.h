#pragma once

#include <QByteArray>
#include <QList>

// The analyser closes every frame with a checksum: the sum of the bytes from the record's first RS
// up to and including GS, modulo 256, as two lower-case hexadecimal digits. A session is cut here
// into the frames it carries and the text around them, so that a frame whose checksum fails never
// reaches the parser: a single flipped bit on the line could otherwise change a value or a sample
// identifier and still look like a good record.
namespace FrameCheck {

enum class Checksum
{
    None, // text outside any frame: the analyser sent no checksum for it
    Ok,
    Bad,
};

struct Segment
{
    QByteArray bytes; // a frame from its first RS through GS and the two checksum characters
    Checksum checksum = Checksum::None;
    QByteArray sent;     // the two characters after GS, as received
    QByteArray computed; // what they should have been

    bool operator==(const Segment&) const = default;
};

// The session's bytes in order, every byte in exactly one segment. A frame ends at each GS; it
// starts at the first RS after the last STX before that GS (or after the previous frame's checksum
// when there is no STX). A region that holds no RS before its GS is line noise and stays plain text.
QList<Segment> segments(const QByteArray& session);

// The session without its bad frames: what may be parsed.
QByteArray withoutBadFrames(const QList<Segment>& segments);

const char* name(Checksum checksum); // "ok", "bad", "none"

} // namespace FrameCheck
