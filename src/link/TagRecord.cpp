#include "link/TagRecord.h"

#include "link/AnalyserCapture.h"
#include "link/MessageParser.h"

#include <QDate>
#include <QList>
#include <QRegularExpression>
#include <QSet>

namespace TagRecord {

namespace {

constexpr QChar rs = QChar(0x1E);
constexpr QChar gs = QChar(0x1D);
constexpr QChar bar = QLatin1Char('|');
// "mtrsl" opens the first line, right after the line's RS, and is not part of the piece.
constexpr qsizetype markerLength = 5;
constexpr qsizetype maximumValueLength = 100;

// The record's own text in the piece: up to GS, or through the last "|" when no GS came.
qsizetype bodyEnd(const QString& piece)
{
    const qsizetype end = piece.indexOf(gs);
    return end >= 0 ? end : piece.lastIndexOf(bar) + 1;
}

// Every field between the first and the last "|" opens with RS, and holds no other.
bool miniShaped(const QString& piece)
{
    const QStringList fields = piece.split(bar);
    for (qsizetype i = 1; i + 1 < fields.size(); ++i) {
        if (!fields[i].startsWith(rs) || fields[i].count(rs) != 1)
            return false;
    }
    return true;
}

// Cut k of the record (k >= 1) stands before its character 80k; in the piece, "mtrsl" is missing
// and the k-1 cuts before are there, so it sits at 81k - 6.
bool atLineCut(qsizetype pieceIndex)
{
    return (pieceIndex + markerLength + 1) % (kLineLength + 1) == 0;
}

bool isTagChar(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
}

QString twoDigits(int n)
{
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
}

} // namespace

DateOrder dateOrderFrom(const QString& setting)
{
    const QString order = setting.trimmed().toUpper();
    if (order == QLatin1String("MDY"))
        return DateOrder::MDY;
    if (order == QLatin1String("YMD"))
        return DateOrder::YMD;
    return DateOrder::DMY;
}

const char* dateOrderName(DateOrder order)
{
    switch (order) {
    case DateOrder::MDY:
        return "MDY";
    case DateOrder::YMD:
        return "YMD";
    case DateOrder::DMY:
        break;
    }
    return "DMY";
}

Shape shapeOf(const QString& piece, QString* why)
{
    if (miniShaped(piece))
        return Shape::Mini;
    const qsizetype end = bodyEnd(piece);
    for (qsizetype i = 0; i < end; ++i) {
        if (piece[i] == rs && !atLineCut(i)) {
            if (why)
                *why = QStringLiteral("an RS where neither layout puts one (character %1 of the record)")
                           .arg(i + markerLength + 1);
            return Shape::Unknown;
        }
    }
    QString body = piece.left(end);
    body.remove(rs);
    if (!body.startsWith(bar)) {
        if (why)
            *why = QStringLiteral("text between mtrsl and the first field");
        return Shape::Unknown;
    }
    return Shape::Tag;
}

bool readFields(const QString& piece, Fields* out, QString* why)
{
    QString body = piece.left(bodyEnd(piece));
    body.remove(rs);
    const QStringList fields = body.split(bar);
    Fields read;
    const QList<std::pair<QLatin1String, QString*>> wanted = {
        {QLatin1String("ci"), &read.sample},     {QLatin1String("rt"), &read.shortAssay},
        {QLatin1String("rn"), &read.longAssay},  {QLatin1String("tt"), &read.time},
        {QLatin1String("td"), &read.date},       {QLatin1String("ql"), &read.reading},
        {QLatin1String("qn"), &read.value},      {QLatin1String("y3"), &read.unit},
        {QLatin1String("id"), &read.instrument}, {QLatin1String("sn"), &read.serialNo},
    };
    const auto refuse = [why](const QString& reason) {
        if (why)
            *why = reason;
        return false;
    };
    if (fields.isEmpty() || !fields.first().isEmpty())
        return refuse(QStringLiteral("text between mtrsl and the first field"));
    QSet<QString> seen;
    for (qsizetype i = 1; i < fields.size(); ++i) {
        const QString& field = fields[i];
        if (i + 1 == fields.size() && field.isEmpty())
            break; // after the last "|"
        if (field.size() < 2 || !isTagChar(field[0]) || !isTagChar(field[1]))
            return refuse(QStringLiteral("field %1 has no tag").arg(i));
        const QString tag = field.left(2);
        for (const auto& [name, slot] : wanted) {
            if (tag != name)
                continue;
            if (seen.contains(tag))
                return refuse(QStringLiteral("two %1 fields").arg(tag));
            seen.insert(tag);
            *slot =
                MessageParser::trimBlanks(QStringView(field).sliced(2, std::min(field.size() - 2, maximumValueLength)));
        }
    }
    if (!seen.contains(QStringLiteral("ci")))
        return refuse(QStringLiteral("no sample (ci) field"));
    if (!seen.contains(QStringLiteral("rt")))
        return refuse(QStringLiteral("no assay (rt) field"));
    *out = read;
    return true;
}

QString testDate(const QString& value, DateOrder order)
{
    static const QRegularExpression yearFirst(QStringLiteral(R"(^(\d{4})/(\d{2})/(\d{2})$)"));
    static const QRegularExpression yearLast(QStringLiteral(R"(^(\d{2})/(\d{2})/(\d{2}|\d{4})$)"));
    int year = 0;
    int month = 0;
    int day = 0;
    if (const auto m = yearFirst.match(value); m.hasMatch()) {
        year = m.captured(1).toInt();
        month = m.captured(2).toInt();
        day = m.captured(3).toInt();
    } else if (const auto n = yearLast.match(value); n.hasMatch()) {
        const int a = n.captured(1).toInt();
        const int b = n.captured(2).toInt();
        const QString last = n.captured(3);
        const int c = last.toInt() + (last.size() == 2 ? 2000 : 0);
        switch (order) {
        case DateOrder::DMY:
            day = a, month = b, year = c;
            break;
        case DateOrder::MDY:
            month = a, day = b, year = c;
            break;
        case DateOrder::YMD:
            // yy/mm/dd; a four-digit year at the end contradicts the order.
            if (last.size() == 4)
                return value;
            year = 2000 + a, month = b, day = last.toInt();
            break;
        }
    } else {
        return value;
    }
    const QDate date(year, month, day);
    if (!date.isValid())
        return value;
    return twoDigits(date.day()) + QLatin1Char('/') + twoDigits(date.month()) + QLatin1Char('/') +
           QString::number(date.year());
}

QString decimalPoint(const QString& number)
{
    const qsizetype commas = number.count(QLatin1Char(','));
    if (commas == 0)
        return number;
    if (commas > 1 || number.contains(QLatin1Char('.')))
        return {};
    QString read = number;
    read.replace(QLatin1Char(','), QLatin1Char('.'));
    return read;
}

namespace {

// MM/DD/YY of the mini VIDAS in the chosen order.
QByteArray writtenDate(const QByteArray& mini, const WriteOptions& options)
{
    if (mini.size() != 8 || mini[2] != '/' || mini[5] != '/')
        return mini;
    const QByteArray month = mini.left(2);
    const QByteArray day = mini.mid(3, 2);
    const QByteArray yy = mini.right(2);
    const QByteArray year = options.twoDigitYear ? yy : "20" + yy;
    switch (options.dateOrder) {
    case DateOrder::MDY:
        return month + '/' + day + '/' + year;
    case DateOrder::YMD:
        return "20" + yy + '/' + month + '/' + day;
    case DateOrder::DMY:
        break;
    }
    return day + '/' + month + '/' + year;
}

} // namespace

QByteArray fromMini(const QByteArray& miniRecord, const WriteOptions& options)
{
    QByteArray text = miniRecord;
    text.replace(AnalyserCapture::RS, QByteArray());
    QList<QByteArray> fields = text.split('|');
    if (!fields.isEmpty() && fields.last().isEmpty())
        fields.removeLast();
    QByteArray out;
    for (const QByteArray& field : std::as_const(fields)) {
        const QByteArray tag = field.left(2);
        const QByteArray value = field.mid(2);
        if (tag == "td") {
            out += "td" + writtenDate(value, options) + '|';
        } else if (tag == "qn") {
            const MessageParser::ValueAndUnit split = MessageParser::splitValueAndUnit(QString::fromLatin1(value));
            QByteArray number = split.value.toLatin1();
            if (options.decimalComma)
                number.replace('.', ',');
            const QByteArray unit = split.unit.toLatin1();
            out += "qn" + number + (options.unitTwice && !unit.isEmpty() ? ' ' + unit : QByteArray()) + '|';
            out += "y3" + unit + '|';
        } else {
            out += field + '|';
        }
    }
    if (!options.instrument.isEmpty())
        out += "id" + options.instrument + '|';
    if (!options.serialNo.isEmpty())
        out += "sn" + options.serialNo + '|';
    return out;
}

QByteArray frame(const QByteArray& tagRecord, const WriteOptions& options)
{
    const qsizetype line = std::max<qsizetype>(1, options.lineLength);
    QByteArray body;
    for (qsizetype at = 0; at < tagRecord.size(); at += line)
        body += AnalyserCapture::RS + tagRecord.mid(at, line);
    body += AnalyserCapture::GS;
    QByteArray out = AnalyserCapture::STX + body + AnalyserCapture::checksum(body);
    if (options.crlf)
        out += "\r\n";
    return out + AnalyserCapture::ETX;
}

} // namespace TagRecord
