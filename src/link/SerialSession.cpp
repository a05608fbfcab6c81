#include "link/SerialSession.h"

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
}
