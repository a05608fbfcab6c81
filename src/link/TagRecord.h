#pragma once

#include <QByteArray>
#include <QString>

// The record layout of the larger VIDAS models (VIDAS PC, VIDAS 3, through their link software):
// the same session and checksum as the mini VIDAS, but each field is a two-letter tag followed at
// once by its value and "|", with no RS before it, and the record is cut into lines of 80
// characters, each opened by RS. A cut can fall anywhere, inside a tag or a value, so the record is
// read by tag once the cuts are taken out, never by position.
//
// A record is told from a mini VIDAS one by its shape alone. Anything that is not certainly one or
// the other is refused with a reason: a sample identifier read from the wrong place could put a
// result on another patient.
namespace TagRecord {

// The order of day, month and year in the analyser's dates ([comsetup] DateOrder).
enum class DateOrder
{
    DMY,
    MDY,
    YMD,
};
// "MDY" and "YMD" (any case, blanks around) pick those orders; anything else is day first.
DateOrder dateOrderFrom(const QString& setting);
const char* dateOrderName(DateOrder order);

// The length of a line of the record between two RS cuts.
constexpr qsizetype kLineLength = 80;

enum class Shape
{
    Mini,    // an RS before every field and nowhere else: read by position
    Tag,     // RS only at the line cuts: read by tag
    Unknown, // neither, with certainty
};

// The shape of `piece`, the text that follows an "mtrsl" up to the next one (the parser's piece,
// CR LF pairs already removed). `why` gets the reason of Unknown.
Shape shapeOf(const QString& piece, QString* why = nullptr);

// The analyser's fields of a tag-layout record.
struct Fields
{
    QString sample;     // ci
    QString shortAssay; // rt
    QString longAssay;  // rn
    QString time;       // tt
    QString date;       // td
    QString reading;    // ql
    QString value;      // qn
    QString unit;       // y3
    QString instrument; // id
    QString serialNo;   // sn
};

// Reads the fields of a tag-shaped piece by tag, in any order; unknown tags are ignored. False,
// with the reason, when a field has no tag, a field the record is read by comes twice, or the
// sample (ci) or the assay (rt) is missing.
bool readFields(const QString& piece, Fields* fields, QString* why);

// A tag-layout date as the result shows it, dd/MM/yyyy. nn/nn/yyyy and nn/nn/yy are read in
// `order`; a date that begins with a four-digit year is always year/month/day. A text that is no
// date under that reading (month 13, 31 February) is returned as sent: it is never guessed.
QString testDate(const QString& value, DateOrder order);

// The number of a value with a decimal comma written with a point ("182,4" -> "182.4"). Empty when
// the number is ambiguous (both a comma and a point, or two commas).
QString decimalPoint(const QString& number);

// Writing the layout, for the simulator and the tests.
struct WriteOptions
{
    qsizetype lineLength = kLineLength;
    bool crlf = false;         // CR LF after the checksum
    bool decimalComma = false; // 182,4 instead of 182.4
    bool unitTwice = false;    // the unit in qn as well as in y3
    bool twoDigitYear = false; // nn/nn/yy instead of nn/nn/yyyy (not with YMD)
    DateOrder dateOrder = DateOrder::DMY;
    QByteArray instrument; // id, left out when empty
    QByteArray serialNo;   // sn, left out when empty
};

// The tag-layout record ("mtrsl|pi|...|", no RS) of a mini VIDAS record (RS mtrsl| RS pi| ...,
// without GS): the same fields by tag, the date in the chosen order, the unit in y3.
QByteArray fromMini(const QByteArray& miniRecord, const WriteOptions& options);
// STX, the record cut into lines each opened by RS, GS, the checksum, [CR LF,] ETX.
QByteArray frame(const QByteArray& tagRecord, const WriteOptions& options);

} // namespace TagRecord
