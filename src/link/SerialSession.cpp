#include "link/SerialSession.h"

#include "link/FrameCheck.h"

SerialSession::Actions SerialSession::onData(const QByteArray& s)
{
    Actions actions;
    const qint64 at = m_fed;
    m_fed += s.size();
    // Only an ENQ that arrives on its own is the analyser asking for the line; one that comes
    // with other bytes is plain data.
    if (s.size() == 1 && s.front() == ENQ) {
        actions.reply = QByteArray(1, ACK);
        return actions;
    }
    // The same holds for an ENQ right after a session's EOT in one read: the session is complete,
    // so the ENQ opens the next one and is answered at once, like a lone one, instead of waiting
    // for the analyser to ask again. Inside a frame it stays data.
    const bool enqAfterEot = s.size() >= 2 && s.back() == ENQ && s[s.size() - 2] == EOT;
    if (enqAfterEot)
        actions.reply = QByteArray(1, ACK);
    if (!s.isEmpty()) {
        m_runs.append({m_buffer.size(), at});
        m_buffer.append(enqAfterEot ? s.chopped(1) : s);
        // The last frame's answer goes out before the ACK of the ENQ that follows it.
        if (m_frameAnswers)
            actions.reply = answerFrames() + actions.reply;
    }
    const qsizetype eot = m_buffer.indexOf(EOT);
    if (eot < 0)
        return actions;
    actions.cutEnd = streamPosOf(eot) + 1;
    m_messageArea.append(m_buffer.left(eot + 1));
    const qsizetype rest = eot + 1;
    const qint64 restPos = rest < m_buffer.size() ? streamPosOf(rest) : -1;
    m_buffer = m_buffer.mid(rest, kMaxBufferAfterCut);
    // The runs of what stays, shifted to the new start of the buffer.
    QList<Run> runs;
    if (!m_buffer.isEmpty()) {
        runs.append({0, restPos});
        for (const Run& run : std::as_const(m_runs)) {
            if (run.bufferIndex > rest && run.bufferIndex - rest < m_buffer.size())
                runs.append({run.bufferIndex - rest, run.streamPos});
        }
    }
    m_runs = runs;
    m_frameFrom = std::clamp<qsizetype>(m_frameFrom - rest, 0, m_buffer.size());
    actions.messageCut = true;
    return actions;
}

qint64 SerialSession::streamPosOf(qsizetype bufferIndex) const
{
    qint64 pos = -1;
    for (const Run& run : m_runs) {
        if (run.bufferIndex > bufferIndex)
            break;
        pos = run.streamPos + (bufferIndex - run.bufferIndex);
    }
    return pos;
}

void SerialSession::reset()
{
    m_buffer.clear();
    m_messageArea.clear();
    m_runs.clear();
    m_frameFrom = 0;
    m_refusals = 0;
}

QByteArray SerialSession::answerFrames()
{
    QByteArray reply;
    for (qsizetype etx = m_buffer.indexOf(ETX, m_frameFrom); etx >= 0; etx = m_buffer.indexOf(ETX, m_frameFrom)) {
        const qsizetype stx = m_buffer.lastIndexOf(STX, etx);
        const qsizetype start = stx >= m_frameFrom ? stx : m_frameFrom;
        const QList<FrameCheck::Segment> segments = FrameCheck::segments(m_buffer.sliced(start, etx - start));
        const bool holds = std::any_of(segments.cbegin(), segments.cend(),
                                       [](const auto& s) { return s.checksum == FrameCheck::Checksum::Ok; }) &&
                           std::none_of(segments.cbegin(), segments.cend(),
                                        [](const auto& s) { return s.checksum == FrameCheck::Checksum::Bad; });
        if (holds) {
            reply += ACK;
            m_refusals = 0;
            m_frameFrom = etx + 1;
            continue;
        }
        reply += NAK;
        if (++m_refusals < kMaxRefusals) {
            dropFromBuffer(start, etx + 1);
            m_frameFrom = start;
        } else {
            m_refusals = 0;
            m_frameFrom = etx + 1;
        }
    }
    return reply;
}

void SerialSession::dropFromBuffer(qsizetype from, qsizetype to)
{
    const qsizetype count = to - from;
    const qint64 restPos = to < m_buffer.size() ? streamPosOf(to) : -1;
    m_buffer.remove(from, count);
    QList<Run> runs;
    for (const Run& run : std::as_const(m_runs)) {
        if (run.bufferIndex < from)
            runs.append(run);
    }
    // The bytes after the dropped frame keep their own stream positions.
    if (restPos >= 0)
        runs.append({from, restPos});
    for (const Run& run : std::as_const(m_runs)) {
        if (run.bufferIndex > to)
            runs.append({run.bufferIndex - count, run.streamPos});
    }
    m_runs = runs;
}
