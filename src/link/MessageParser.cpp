#include "link/MessageParser.h"

#include "common/DateFormats.h"

namespace MessageParser {

namespace {

const QLatin1String recordMarker("mtrsl");
constexpr QChar fieldSeparator = QLatin1Char('|');
constexpr QChar blank = QLatin1Char(' ');
constexpr qsizetype minimumRecordLength = 51;
constexpr qsizetype minimumFieldCount = 12;
constexpr qsizetype maximumValueLength = 100;

// Characters `from` (counted from 1) onward, at most `count` of them; empty past the end.
QStringView part(QStringView text, qsizetype from, qsizetype count)
{
    const qsizetype start = from - 1;
    if (start >= text.size())
        return {};
    return text.sliced(start, std::min(count, text.size() - start));
}

// Words w2 .. wk joined by single blanks, as the unit is built after the value.
QString joinFrom2(const QList<QString>& words)
{
    QString unit = words[2];
    for (qsizetype i = 3; i < words.size(); ++i)
        unit += blank + words[i];
    return unit;
}

} // namespace

QString trimBlanks(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == blank)
        ++begin;
    while (end > begin && text[end - 1] == blank)
        --end;
    return text.sliced(begin, end - begin).toString();
}

QString decode(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes);
}

QStringList splitPieces(const QString& messageArea)
{
    QString text = messageArea;
    text.remove(QStringLiteral("\r\n"));
    return text.split(recordMarker, Qt::KeepEmptyParts, Qt::CaseSensitive);
}

bool isRecord(const QString& piece)
{
    return piece.size() >= minimumRecordLength && piece.count(fieldSeparator) + 1 >= minimumFieldCount;
}

QString fieldValue(const QString& field)
{
    return trimBlanks(part(field, 4, maximumValueLength));
}

QString testTime(const QString& value)
{
    const QTime time = DateFormats::parseTime(value);
    return time.isValid() ? DateFormats::timeAmPm(time) : value;
}

QString testDate(const QString& value)
{
    QString date;
    date.append(part(value, 4, 2)).append(QLatin1Char('/')).append(part(value, 1, 2));
    date.append(QLatin1String("/20")).append(part(value, 7, 2));
    return date;
}

ValueAndUnit splitValueAndUnit(const QString& value)
{
    QList<QString> words;
    for (const QStringView word : QStringView(value).split(blank))
        words.append(trimBlanks(word));
    const qsizetype k = words.size() - 1;
    // A missing word counts as empty; w0 .. w2 are always looked at.
    while (words.size() < 3)
        words.append(QString());

    ValueAndUnit result;
    const bool signed_ = words[0] == QLatin1String(">") || words[0] == QLatin1String("<");
    if (signed_) {
        result.value = words[0] + blank + words[1];
        if (k >= 8)
            result.unit = words[2];
        else if (k >= 2)
            result.unit = joinFrom2(words);
    } else {
        result.value = words[0];
        if (k == 1)
            result.unit = words[1];
        else if (k >= 2 && k <= 7)
            result.unit = joinFrom2(words);
    }
    return result;
}

QString resultText(const QString& reading, const QString& value)
{
    if (reading.isEmpty())
        return value;
    if (value.isEmpty())
        return reading;
    return reading + QLatin1String(" (") + value + QLatin1Char(')');
}

bool readRecord(const QString& piece, const Options& options, CurrentResult& record)
{
    if (!isRecord(piece))
        return false;
    const QStringList fields = piece.split(fieldSeparator);
    record.LblSampID = fieldValue(fields[4]);
    record.Txt_shortAssay = fieldValue(fields[5]);
    record.Txt_LongAssay = fieldValue(fields[6]);
    if (options.timeFromClock) {
        record.LblTestTime = DateFormats::timeAmPm(options.now.time());
        record.LblTestDate = DateFormats::dayMonthYear(options.now.date());
    } else {
        record.LblTestTime = testTime(fieldValue(fields[7]));
        record.LblTestDate = testDate(fieldValue(fields[8]));
    }
    record.Txt_resultt2 = fieldValue(fields[9]);
    const ValueAndUnit split = splitValueAndUnit(fieldValue(fields[10]));
    record.Txt_resultt3 = split.value;
    record.Txt_TESTUNIT = split.unit;
    record.LblPatID = record.LblSampID;
    return true;
}

namespace {

// The tag layout's fields into the record; false, with the reason, when a value cannot be read with
// certainty.
bool readTagRecord(const QString& piece, const Options& options, CurrentResult& record, QString* why)
{
    TagRecord::Fields fields;
    if (!TagRecord::readFields(piece, &fields, why))
        return false;
    const ValueAndUnit split = splitValueAndUnit(fields.value);
    const QString value = TagRecord::decimalPoint(split.value);
    if (value.isEmpty() && !split.value.isEmpty()) {
        *why = QStringLiteral("the number %1 has both a comma and a point").arg(split.value);
        return false;
    }
    if (!split.unit.isEmpty() && !fields.unit.isEmpty() && split.unit != fields.unit) {
        *why = QStringLiteral("the unit %1 in qn differs from %2 in y3").arg(split.unit, fields.unit);
        return false;
    }
    record.LblSampID = fields.sample;
    record.Txt_shortAssay = fields.shortAssay;
    record.Txt_LongAssay = fields.longAssay;
    if (options.timeFromClock) {
        record.LblTestTime = DateFormats::timeAmPm(options.now.time());
        record.LblTestDate = DateFormats::dayMonthYear(options.now.date());
    } else {
        record.LblTestTime = testTime(fields.time);
        record.LblTestDate = TagRecord::testDate(fields.date, options.dateOrder);
    }
    record.Txt_resultt2 = fields.reading;
    record.Txt_resultt3 = value;
    record.Txt_TESTUNIT = split.unit.isEmpty() ? fields.unit : split.unit;
    record.LblInstrument = fields.instrument;
    record.LblSerialNo = fields.serialNo;
    record.LblPatID = record.LblSampID;
    return true;
}

} // namespace

const char* layoutName(Layout layout)
{
    return layout == Layout::Tag ? "tag" : "mini";
}

Reading readPiece(const QString& piece, bool afterMarker, const Options& options, CurrentResult& record)
{
    Reading reading;
    QString why;
    const TagRecord::Shape shape = TagRecord::shapeOf(piece, &why);
    if (shape == TagRecord::Shape::Mini) {
        if (readRecord(piece, options, record))
            reading.kind = Reading::Kind::Read;
        return reading;
    }
    // Line noise is too short to be a record of either layout; before the first "mtrsl" only what
    // the mini VIDAS rules would have read counts.
    const bool recordSized = piece.size() >= minimumRecordLength && (afterMarker || isRecord(piece));
    if (shape == TagRecord::Shape::Tag && afterMarker) {
        reading.layout = Layout::Tag;
        CurrentResult read = record;
        if (readTagRecord(piece, options, read, &why)) {
            record = read;
            reading.kind = Reading::Kind::Read;
            return reading;
        }
    } else if (shape == TagRecord::Shape::Tag) {
        why = QStringLiteral("fields before any mtrsl");
    }
    if (recordSized) {
        reading.kind = Reading::Kind::Held;
        reading.reason = why;
    }
    return reading;
}

QList<Parsed> parsePieces(const QString& messageArea, const Options& options)
{
    QList<Parsed> out;
    const QStringList pieces = splitPieces(messageArea);
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        Parsed parsed;
        parsed.reading = readPiece(pieces[i], i > 0, options, parsed.record);
        if (parsed.reading.kind == Reading::Kind::Skipped)
            continue;
        if (parsed.reading.kind == Reading::Kind::Read)
            parsed.record.Txt_resultt1 = resultText(parsed.record.Txt_resultt2, parsed.record.Txt_resultt3);
        parsed.piece = pieces[i];
        out.append(parsed);
    }
    return out;
}

QList<CurrentResult> parseRecords(const QString& messageArea, const Options& options)
{
    QList<CurrentResult> records;
    for (const Parsed& parsed : parsePieces(messageArea, options)) {
        if (parsed.reading.kind == Reading::Kind::Read)
            records.append(parsed.record);
    }
    return records;
}

} // namespace MessageParser
