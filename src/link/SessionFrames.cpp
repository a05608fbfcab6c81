#include "link/SessionFrames.h"

#include "link/AnalyserCapture.h"
#include "link/FrameCheck.h"
#include "link/MessageParser.h"
#include "link/TagRecord.h"

namespace SessionFrames {

namespace {

const QByteArray kMarker = QByteArrayLiteral("mtrsl");

// The first value of a field by its tag ("ci", "rt"), whether RS or "|" comes before the tag: a
// damaged frame's fields may be out of place, and the larger analysers send tags without RS.
// A tag given twice in one record names nothing: either value could be the wrong one.
QString tagged(const QByteArray& bytes, const char* tag)
{
    const qsizetype tagSize = qsizetype(qstrlen(tag));
    QString found;
    int count = 0;
    for (qsizetype at = bytes.indexOf(tag); at >= 0; at = bytes.indexOf(tag, at + 1)) {
        if (at == 0 || (bytes[at - 1] != AnalyserCapture::RS && bytes[at - 1] != '|'))
            continue;
        qsizetype end = bytes.indexOf('|', at);
        if (end < 0)
            end = bytes.size();
        if (++count == 1)
            found = MessageParser::decode(bytes.mid(at + tagSize, end - at - tagSize)).trimmed();
    }
    return count == 1 ? found : QString();
}

// The sample and assay of every record whose fields can be read, one pair per piece.
void name(Held& held)
{
    QList<QByteArray> records;
    qsizetype from = 0;
    for (qsizetype at = held.bytes.indexOf(kMarker); at >= 0; at = held.bytes.indexOf(kMarker, at + 1)) {
        records.append(held.bytes.mid(from, at - from));
        from = at;
    }
    records.append(held.bytes.mid(from));
    for (const QByteArray& record : std::as_const(records)) {
        const QString sample = tagged(record, "ci");
        const QString assay = tagged(record, "rt");
        if (!assay.isEmpty() || !sample.isEmpty() || record.contains("ci")) {
            held.samples.append(sample);
            held.assays.append(assay);
        }
    }
}

QString checksumReason(const FrameCheck::Segment& s)
{
    if (s.sent.size() < 2)
        return QStringLiteral("checksum missing, expected %1").arg(QString::fromLatin1(s.computed));
    return QStringLiteral("checksum %1, expected %2").arg(QString::fromLatin1(s.sent), QString::fromLatin1(s.computed));
}

// Bytes that carry part of a record: a field separator or a field start.
bool carriesFields(const QByteArray& bytes)
{
    return bytes.contains('|') || bytes.contains(AnalyserCapture::RS);
}

class Sorter
{
public:
    explicit Sorter(bool complete) : m_complete(complete) {}

    void segment(const FrameCheck::Segment& s)
    {
        const bool marked = s.bytes.contains(kMarker);
        const bool afterRecord = m_seenRecord;
        m_seenRecord = m_seenRecord || marked;
        switch (s.checksum) {
        case FrameCheck::Checksum::Ok:
            verified(s);
            return;
        case FrameCheck::Checksum::Bad:
            // A damaged frame too short to be a record and before any record is line noise.
            if (marked || s.bytes.size() > 50 || afterRecord)
                hold(s.bytes, m_complete ? checksumReason(s) : incomplete());
            return;
        case FrameCheck::Checksum::None:
            if (marked || (afterRecord && carriesFields(s.bytes)))
                hold(s.bytes, m_complete ? QStringLiteral("no checksum") : incomplete());
            else if (m_complete)
                m_open = false; // framing between frames ends a run of held pieces (a session cut
                                // short is held as one)
            return;
        }
    }

    Sorted take()
    {
        for (Held& h : m_sorted.held)
            name(h);
        return std::move(m_sorted);
    }

private:
    static QString incomplete() { return QStringLiteral("session without EOT"); }

    void verified(const FrameCheck::Segment& s)
    {
        const QStringList pieces = MessageParser::splitPieces(MessageParser::decode(s.bytes));
        QStringList records;
        bool shortPiece = false;
        for (qsizetype i = 1; i < pieces.size(); ++i) {
            // The larger models' records have fewer fields than the mini VIDAS's twelve; the chain
            // reads them by tag or holds them with the reason.
            if (MessageParser::isRecord(pieces[i]) || TagRecord::shapeOf(pieces[i]) == TagRecord::Shape::Tag)
                records.append(pieces[i]);
            else
                shortPiece = true;
        }
        if (!m_complete)
            return hold(s.bytes, incomplete());
        if (shortPiece)
            return hold(s.bytes, QStringLiteral("not a complete record"));
        m_open = false;
        m_sorted.records += records;
    }

    // Adjacent pieces that cannot be trusted (a frame whose GS was lost and the frame it ran into)
    // are one held entry.
    void hold(const QByteArray& bytes, const QString& reason)
    {
        if (m_open && !m_sorted.held.isEmpty()) {
            Held& last = m_sorted.held.last();
            last.bytes += bytes;
            if (!last.reason.split(QStringLiteral("; ")).contains(reason))
                last.reason += QStringLiteral("; ") + reason;
            return;
        }
        m_sorted.held.append({bytes, reason, {}, {}});
        m_open = true;
    }

    bool m_complete;
    bool m_seenRecord = false;
    bool m_open = false; // the last held entry may still grow
    Sorted m_sorted;
};

} // namespace

QString Held::key() const
{
    QStringList names;
    for (qsizetype i = 0; i < samples.size(); ++i) {
        const QString sample = samples[i].isEmpty() ? QStringLiteral("?") : samples[i];
        names.append(assays[i].isEmpty() ? sample : sample + QLatin1Char(' ') + assays[i]);
    }
    return names.isEmpty() ? QStringLiteral("?") : names.join(QStringLiteral(", "));
}

Held named(const QByteArray& bytes, const QString& reason)
{
    Held held{bytes, reason, {}, {}};
    name(held);
    return held;
}

Sorted sort(const QByteArray& session, bool complete)
{
    Sorter sorter(complete);
    for (const FrameCheck::Segment& s : FrameCheck::segments(session))
        sorter.segment(s);
    return sorter.take();
}

} // namespace SessionFrames
