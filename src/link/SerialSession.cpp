#include "link/SerialSession.h"

SerialSession::Actions SerialSession::onData(const QByteArray& s)
{
    Actions actions;
    // Only an ENQ that arrives on its own is the analyser asking for the line; one that comes
    // with other bytes is plain data.
    if (s.size() == 1 && s.front() == ENQ) {
        actions.reply = QByteArray(1, ACK);
        return actions;
    }
    m_buffer.append(s);
    const qsizetype eot = m_buffer.indexOf(EOT);
    if (eot < 0)
        return actions;
    m_messageArea.append(m_buffer.left(eot + 1));
    m_buffer = m_buffer.mid(eot + 1, kMaxBufferAfterCut);
    actions.messageCut = true;
    return actions;
}

void SerialSession::reset()
{
    m_buffer.clear();
    m_messageArea.clear();
}
