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

// Only the blank counts: control characters the analyser leaves around a value are part of it.
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

QList<CurrentResult> parseRecords(const QString& messageArea, const Options& options)
{
    QList<CurrentResult> records;
    for (const QString& piece : splitPieces(messageArea)) {
        CurrentResult record;
        if (!readRecord(piece, options, record))
            continue;
        record.Txt_resultt1 = resultText(record.Txt_resultt2, record.Txt_resultt3);
        records.append(record);
    }
    return records;
}

} // namespace MessageParser
