#include "link/AnalyserCapture.h"

#include <QRandomGenerator>
#include <array>
#include <cmath>

namespace AnalyserCapture {

namespace {
bool onlyBlanks(QByteArrayView bytes)
{
    for (const char c : bytes) {
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            return false;
    }
    return true;
}

QByteArray field(const char* tag, const QByteArray& value)
{
    return RS + QByteArray(tag) + value + '|';
}
} // namespace

QList<Session> splitSessions(const QByteArray& capture)
{
    QList<Session> sessions;
    qsizetype pos = 0;
    while (pos < capture.size()) {
        const qsizetype enq = capture.indexOf(ENQ, pos);
        if (enq < 0) {
            const QByteArray rest = capture.mid(pos);
            if (sessions.isEmpty() || !onlyBlanks(rest))
                sessions.append({{}, rest});
            break;
        }
        const qsizetype eot = capture.indexOf(EOT, enq + 1);
        const qsizetype end = eot < 0 ? capture.size() : eot + 1;
        sessions.append({capture.mid(pos, enq - pos), capture.mid(enq + 1, end - enq - 1)});
        pos = end;
    }
    return sessions;
}

QList<QByteArray> deliveries(const QByteArray& capture)
{
    QList<QByteArray> reads;
    qsizetype at = 0;
    for (const Session& s : splitSessions(capture)) {
        const bool hasEnq = at + s.leading.size() < capture.size() && capture.at(at + s.leading.size()) == ENQ;
        at += s.leading.size() + (hasEnq ? 1 : 0) + s.body.size();
        if (!s.leading.isEmpty())
            reads.append(s.leading);
        if (hasEnq)
            reads.append(QByteArray(1, ENQ));
        if (!s.body.isEmpty())
            reads.append(s.body);
    }
    return reads;
}

QByteArray checksum(QByteArrayView bytes)
{
    unsigned sum = 0;
    for (const char c : bytes)
        sum += static_cast<unsigned char>(c);
    return QByteArray::number(sum % 256, 16).rightJustified(2, '0');
}

QList<Frame> frames(const QByteArray& capture)
{
    QList<Frame> found;
    qsizetype pos = 0;
    for (;;) {
        const qsizetype stx = capture.indexOf(STX, pos);
        if (stx < 0)
            break;
        const qsizetype gs = capture.indexOf(GS, stx + 1);
        if (gs < 0)
            break;
        const qsizetype rs = capture.indexOf(RS, stx + 1);
        const qsizetype from = (rs < 0 || rs > gs) ? gs : rs;
        Frame f;
        f.record = capture.mid(from, gs - from);
        f.sent = capture.mid(gs + 1, 2);
        f.computed = checksum(QByteArrayView(capture).sliced(from, gs - from + 1));
        found.append(f);
        pos = gs + 1;
    }
    return found;
}

QByteArray record(const Result& r)
{
    QByteArray text = field("mtrsl", {}) + field("pi", {}) + field("pn", {}) + field("si", {});
    text += field("ci", r.sampleId) + field("rt", r.shortAssay) + field("rn", r.longAssay);
    text += field("tt", r.at.time().toString(QStringLiteral("HH:mm")).toLatin1());
    text += field("td", r.at.date().toString(QStringLiteral("MM/dd/yy")).toLatin1());
    text += field("ql", r.reading) + field("qn", r.value);
    if (!r.dilution.isEmpty())
        text += field("qd", r.dilution);
    return text;
}

QByteArray frame(const Result& r)
{
    const QByteArray body = record(r) + GS;
    return STX + body + checksum(body) + ETX;
}

QByteArray session(const QList<Result>& results)
{
    QByteArray bytes(1, ENQ);
    for (const Result& r : results)
        bytes += frame(r);
    bytes += EOT;
    return bytes;
}

namespace {
struct Assay
{
    const char* shortName;
    const char* longName;
    const char* unit; // empty: qualitative, the value is an index without unit
    double low;
    double high;
    int decimals;
    double threshold; // qualitative: index at or above which the reading is positive
};

constexpr std::array<Assay, 9> kAssays{{
    {"TSH", "TSH", "uUI/ml", 0.05, 9.0, 2, 0},
    {"FT4", "Free T4", "pmol/l", 8.0, 25.0, 2, 0},
    {"FER", "Ferritin", "ng/ml", 5.0, 600.0, 0, 0},
    {"PRL", "Prolactin", "ng/ml", 2.0, 40.0, 1, 0},
    {"CRP", "C-Reactive Protein", "mg/l", 0.5, 80.0, 1, 0},
    {"VITD", "25 OH Vitamin D Total", "ng/ml", 8.1, 80.0, 1, 0},
    {"ATPO", "Anti-TPO", "IU/ml", 5.0, 600.0, 1, 0},
    {"HIV5", "HIV DUO Ultra", "", 0.05, 0.6, 2, 0.25},
    {"HBS", "HBs Ag Ultra", "", 0.01, 0.3, 2, 0.13},
}};
} // namespace

QList<Result> generate(int count, quint32 seed, const QDateTime& start)
{
    QRandomGenerator random(seed);
    QList<Result> results;
    for (int i = 0; i < count; ++i) {
        const Assay& assay = kAssays[random.bounded(static_cast<quint32>(kAssays.size()))];
        Result r;
        r.at = start.addSecs(240LL * i);
        r.sampleId = r.at.date().toString(QStringLiteral("yyMMdd")).toLatin1() +
                     QByteArray::number(100 + i).rightJustified(6, '0');
        r.shortAssay = assay.shortName;
        r.longAssay = assay.longName;
        const double number = assay.low + (assay.high - assay.low) * random.generateDouble();
        QByteArray value = QByteArray::number(number, 'f', assay.decimals);
        if (*assay.unit == '\0') {
            r.reading = number >= assay.threshold ? "Positive" : "Negative";
            r.value = value;
        } else {
            // Now and then a value beyond the measuring range, sent with its comparison sign.
            const quint32 roll = random.bounded(10U);
            if (roll == 0)
                value = "< " + QByteArray::number(assay.low, 'f', assay.decimals);
            else if (roll == 1)
                value = "> " + QByteArray::number(assay.high * 2, 'f', assay.decimals);
            r.value = value + ' ' + assay.unit;
        }
        results.append(r);
    }
    return results;
}

} // namespace AnalyserCapture
