#include "link/FrameCheck.h"

#include "link/AnalyserCapture.h"

namespace FrameCheck {

namespace {

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

} // namespace

QList<Segment> segments(const QByteArray& session)
{
    using AnalyserCapture::GS;
    using AnalyserCapture::RS;
    QList<Segment> out;
    const auto plain = [&out](QByteArray bytes) {
        if (bytes.isEmpty())
            return;
        if (!out.isEmpty() && out.last().checksum == Checksum::None)
            out.last().bytes += bytes;
        else
            out.append({std::move(bytes), Checksum::None, {}, {}});
    };
    qsizetype pos = 0;
    while (pos < session.size()) {
        const qsizetype gs = session.indexOf(GS, pos);
        if (gs < 0)
            break;
        // A frame starts at the last STX before its GS: when a glitch ate the GS of the frame
        // before, that frame stays text (and is held as unverified) instead of merging into this
        // one, whose own checksum can still vouch for it.
        const qsizetype stx = session.lastIndexOf(AnalyserCapture::STX, gs);
        const qsizetype rs = session.indexOf(RS, stx >= pos ? stx : pos);
        if (rs < 0 || rs > gs) {
            // A stray GS in line noise: no record can stand before it.
            plain(session.mid(pos, gs + 1 - pos));
            pos = gs + 1;
            continue;
        }
        plain(session.mid(pos, rs - pos));
        const qsizetype end = std::min(gs + 3, session.size());
        Segment frame;
        frame.bytes = session.mid(rs, end - rs);
        frame.sent = session.mid(gs + 1, end - gs - 1);
        frame.computed = AnalyserCapture::checksum(QByteArrayView(session).sliced(rs, gs + 1 - rs));
        // A checksum cut short or not made of hexadecimal digits cannot vouch for the frame.
        const bool wellFormed = frame.sent.size() == 2 && isHex(frame.sent[0]) && isHex(frame.sent[1]);
        frame.checksum = wellFormed && frame.sent.toLower() == frame.computed ? Checksum::Ok : Checksum::Bad;
        out.append(frame);
        pos = end;
    }
    plain(session.mid(pos));
    return out;
}

QByteArray withoutBadFrames(const QList<Segment>& segments)
{
    QByteArray kept;
    for (const Segment& s : segments) {
        if (s.checksum != Checksum::Bad)
            kept += s.bytes;
    }
    return kept;
}

const char* name(Checksum checksum)
{
    switch (checksum) {
    case Checksum::Ok:
        return "ok";
    case Checksum::Bad:
        return "bad";
    case Checksum::None:
        break;
    }
    return "none";
}

} // namespace FrameCheck
