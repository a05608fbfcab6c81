#pragma once

#include <QByteArray>

// The receive side of the analyser line, without the port: bytes in, what to do out.
//
// A lone ENQ is answered with one ACK. Everything else collects in the receive buffer until an EOT
// arrives; the text up to and including the first EOT then moves to the message area, which the
// parser empties. Only one EOT is cut per arrival, so a second complete message waits for the next
// one. The line is single-byte, so both areas hold bytes and the cap on what follows a cut counts
// bytes.
class SerialSession
{
public:
    static constexpr char ENQ = 0x05;
    static constexpr char ACK = 0x06;
    static constexpr char EOT = 0x04;
    // At most this many bytes after a cut EOT stay in the buffer.
    static constexpr qsizetype kMaxBufferAfterCut = 2500;

    struct Actions
    {
        QByteArray reply;        // to write to the port: one ACK or nothing
        bool messageCut = false; // a complete message was appended to the message area
    };

    // One arrival: everything read from the port at once.
    Actions onData(const QByteArray& s);

    // Empties the buffer and the message area.
    void reset();

    // Txt_buffer: received bytes that are not yet part of a complete message.
    const QByteArray& buffer() const { return m_buffer; }
    // Txt_data: complete messages waiting for the parser, which empties it.
    QByteArray& messageArea() { return m_messageArea; }
    const QByteArray& messageArea() const { return m_messageArea; }

private:
    QByteArray m_buffer;
    QByteArray m_messageArea;
};
