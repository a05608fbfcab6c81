#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>

// The analyser's side of the line: cutting a capture into transmission sessions, the frame
// checksum, and making up plausible results in the analyser's format. The simulator, the demo and
// the tests use it.
//
// A session is ENQ, one frame per result (STX record GS cc ETX) and EOT. A record is a run of
// fields, each RS + a two-letter tag + the value + "|"; cc is the sum of the bytes from the first
// RS up to and including GS, modulo 256, as two lower-case hexadecimal digits.
namespace AnalyserCapture {

constexpr char STX = 0x02;
constexpr char ETX = 0x03;
constexpr char EOT = 0x04;
constexpr char ENQ = 0x05;
constexpr char ACK = 0x06;
constexpr char GS = 0x1D;
constexpr char RS = 0x1E;

struct Session
{
    QByteArray leading; // line noise before the session's ENQ
    QByteArray body;    // after the ENQ, up to and including the EOT when the capture has one
    bool operator==(const Session&) const = default;
};

// Each ENQ starts a session that runs to the next EOT. Bytes before an ENQ are that session's
// leading noise. Bytes after the last EOT (or a capture without any ENQ) form one more session
// without ENQ, unless they are only blanks and line ends.
QList<Session> splitSessions(const QByteArray& capture);

// The reads a line delivers when the analyser sends `capture`: line noise, each ENQ alone (so it is
// answered), then the rest of its session up to and including its EOT. Every byte of the capture
// is in exactly one read, in order, except blanks after the last session.
QList<QByteArray> deliveries(const QByteArray& capture);

// Two lower-case hexadecimal digits of the sum of `bytes` modulo 256.
QByteArray checksum(QByteArrayView bytes);

struct Frame
{
    QByteArray record; // from the first RS up to GS, GS not included
    QByteArray sent;   // the two characters after GS
    QByteArray computed;
    bool holds() const { return sent == computed; }
};

// Every frame of a capture (STX ... GS cc), in order. ETX is not required after the checksum.
QList<Frame> frames(const QByteArray& capture);

struct Result
{
    QByteArray sampleId;
    QByteArray shortAssay;
    QByteArray longAssay;
    QDateTime at;
    QByteArray reading;  // qualitative reading, empty for quantitative assays
    QByteArray value;    // number with optional sign before and unit after, blank separated
    QByteArray dilution; // sent as an extra field when not empty
};

// The record's fields, RS mtrsl| ... RS qn...| (no STX, GS, checksum or ETX).
QByteArray record(const Result& result);
// STX record GS cc ETX.
QByteArray frame(const Result& result);
// ENQ, the results' frames, EOT.
QByteArray session(const QList<Result>& results);

// `count` results of common assays, a few minutes apart from `start`, sample ids made of the
// date and a running number; the same seed gives the same results.
QList<Result> generate(int count, quint32 seed, const QDateTime& start);

} // namespace AnalyserCapture
