#pragma once

#include "link/CurrentResult.h"
#include "link/TagRecord.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// Reading the analyser's result records out of the message area. Pure functions: no state, no
// clock and no settings of their own, so every rule can be tried in isolation.
namespace MessageParser {

// A value without the blanks at both ends. Only the blank counts: control characters the analyser
// leaves around a value are part of it.
QString trimBlanks(QStringView text);

// The analyser's text is single-byte (0xB5 is the micro sign, 0xE9 é).
QString decode(const QByteArray& bytes);

// Removes every CR LF pair (a lone CR or LF stays) and cuts the text at every "mtrsl". The piece
// before the first "mtrsl" is kept: it is tried like any other.
QStringList splitPieces(const QString& messageArea);

// The record tests: longer than 50 characters and at least 12 fields when cut at "|".
bool isRecord(const QString& piece);

// A field's value: the text from its fourth character on, at most 100 characters, without the
// blanks at both ends. The first three characters are the analyser's field marker.
QString fieldValue(const QString& field);

// The test time as "hh:nn AM/PM"; a text that is not a clock time is returned unchanged.
QString testTime(const QString& value);

// The analyser's MM/DD/YY as DD/MM/20YY, taken by position: characters 4-5, "/", 1-2, "/20", 7-8.
// Short texts give empty pieces, never an error.
QString testDate(const QString& value);

struct ValueAndUnit
{
    QString value; // the number, or sign + blank + number
    QString unit;
};

// Splits the value field at single blanks into the value (with its comparison sign) and the unit.
ValueAndUnit splitValueAndUnit(const QString& value);

// The reported result: the reading, the value, or "reading (value)"; empty when both are empty.
QString resultText(const QString& reading, const QString& value);

struct Options
{
    bool timeFromClock = false; // PCdateYN = 1: the computer's date and time replace the record's
    QDateTime now;              // read only when timeFromClock is set
    TagRecord::DateOrder dateOrder = TagRecord::DateOrder::DMY; // the tag layout's dates
};

// Fills the analyser's fields of `record` from `piece` (fields 4 to 10, the value split, the patient
// identifier copied from the sample identifier). Returns false, leaving `record` as it was, when the
// piece fails the record tests. The record is not reset here and the result text is not composed:
// the evaluation has to run in between.
bool readRecord(const QString& piece, const Options& options, CurrentResult& record);

enum class Layout
{
    Mini, // an RS before every field: fields 4 to 10 by position
    Tag,  // the larger models: fields by tag
};
const char* layoutName(Layout layout); // "mini", "tag"

struct Reading
{
    enum class Kind
    {
        Skipped, // not a record (line noise, the text before the first record, too short)
        Read,    // `record` is filled
        Held,    // a record that fits neither layout with certainty: never read by position
    };
    Kind kind = Kind::Skipped;
    Layout layout = Layout::Mini;
    QString reason; // why it is held
};

// Reads one piece by its layout: the mini VIDAS layout by the rules above, unchanged; the tag
// layout by tag, its dates in `options.dateOrder`, a decimal comma read as a point, the unit from
// y3 when qn has none. `afterMarker`: an "mtrsl" came before the piece (the first piece of a message
// area has none). Fills `record` as readRecord does, and only when the piece is read.
Reading readPiece(const QString& piece, bool afterMarker, const Options& options, CurrentResult& record);

struct Parsed
{
    Reading reading;
    CurrentResult record; // reset, read, result text composed (when read)
    QString piece;        // as it came, "mtrsl" not included
};
// Every record and every held record of a message area, in order; skipped pieces are left out.
QList<Parsed> parsePieces(const QString& messageArea, const Options& options);

// Every record of a message area as parsing alone gives it (no evaluation, flagging or storage):
// reset, read, result text composed.
QList<CurrentResult> parseRecords(const QString& messageArea, const Options& options);

} // namespace MessageParser
