#pragma once

#include <QByteArray>
#include <QList>

// The receive side of the analyser line, without the port: bytes in, what to do out.
//
// A lone ENQ is answered with one ACK, and so is an ENQ that ends a read right after an EOT (the
// analyser's next session asking for the line). Everything else collects in the receive buffer until an EOT
// arrives; the text up to and including the first EOT then moves to the message area, which the
// parser empties. Only one EOT is cut per call: the owner calls `onData` with no bytes to cut the
// next complete message still in the buffer. The line is single-byte, so both areas hold bytes and
// the cap on what follows a cut counts bytes.
//
// Every byte handed in gets a position in the stream of the line (lone ENQs included), the same
// position the capture archive gives it, so that a cut message is known by where its EOT lies.
class SerialSession
{
public:
    static constexpr char ENQ = 0x05;
    static constexpr char ACK = 0x06;
    static constexpr char EOT = 0x04;
    static constexpr char STX = 0x02;
    static constexpr char ETX = 0x03;
    static constexpr char NAK = 0x15;
    // With frame answers on, the analyser sends a refused frame again; the sixth refusal in a row
    // keeps the frame, so that it is held and shown instead of lost.
    static constexpr int kMaxRefusals = 6;
    // At most this many bytes after a cut EOT stay in the buffer.
    static constexpr qsizetype kMaxBufferAfterCut = 2500;

    struct Actions
    {
        QByteArray reply;        // to write to the port: ACK, NAK (one per frame with frame answers), or nothing
        bool messageCut = false; // a complete message was appended to the message area
        qint64 cutEnd = -1;      // stream position right after the cut EOT
    };

    // One arrival: everything read from the port at once. No bytes: cut the next message only.
    Actions onData(const QByteArray& s);

    // Empties the buffer and the message area; stream positions go on counting.
    void reset();

    // [comsetup] FrameAck: each frame is answered after its ETX, ACK when its checksum holds and NAK
    // when not. A refused frame is taken out of the buffer (the analyser sends it again), except the
    // sixth refusal in a row, which stays for the chain to hold.
    void setFrameAnswers(bool on) { m_frameAnswers = on; }

    // Txt_buffer: received bytes that are not yet part of a complete message.
    const QByteArray& buffer() const { return m_buffer; }
    bool hasCompleteMessage() const { return m_buffer.contains(EOT); }
    // Txt_data: complete messages waiting for the parser, which empties it.
    QByteArray& messageArea() { return m_messageArea; }
    const QByteArray& messageArea() const { return m_messageArea; }
    // How many bytes were handed in so far.
    qint64 streamPosition() const { return m_fed; }

private:
    // Where a run of buffer bytes came from in the stream (runs break at lone ENQs and drops).
    struct Run
    {
        qsizetype bufferIndex;
        qint64 streamPos;
    };
    qint64 streamPosOf(qsizetype bufferIndex) const;
    QByteArray answerFrames();
    void dropFromBuffer(qsizetype from, qsizetype to);

    QByteArray m_buffer;
    QByteArray m_messageArea;
    QList<Run> m_runs;
    qint64 m_fed = 0;
    bool m_frameAnswers = false;
    qsizetype m_frameFrom = 0; // where the next frame may start in the buffer (after the last answer)
    int m_refusals = 0;        // frames refused in a row
};
