#pragma once

#include "link/ChainValues.h"
#include "link/CurrentResult.h"

#include <QSqlRecord>
#include <QString>

// The rules of the evaluation of one result: its catalogue row, the correction factor and the
// choice of reference range. Pure functions over the record; the database step runs the queries
// they build and hands the rows back here.
namespace Evaluation {

// The catalogue look-up by the analyser's short assay name.
BoundQuery catalogueQuery(const QString& shortAssay);

// Txt_testsimp of an assay that has `rows` (two or more) catalogue rows: ">>", a blank and the
// short name for two rows, one ">" more per row up to ">>>>>" for five or more.
QString ambiguousName(int rows, const QString& shortAssay);

// Copies the catalogue row's columns that are not null into the record.
void takeCatalogueRow(const QSqlRecord& row, CurrentResult& record);

// The value after the correction factor: the value times the factor, with its comparison sign
// kept in front. A value or factor of zero (or a product too large to write) leaves the value as
// received.
QString applyFactor(const QString& value, const QString& factor);

// Which reference-range query applies, in the order they are tried.
enum class RangeCase
{
    None,
    ForAll,      // range kind 1: the pregnancy/smoking state alone
    ByAge,       // kind 2 with an age and its unit
    BySex,       // kind 3 with a sex
    BySexAndAge, // any kind, when sex, age unit and age are all known
};

struct RangeChoice
{
    RangeCase which = RangeCase::None;
    BoundQuery query;
};

// The range query for the record's test, patient and range kind; none when the record has no
// test code or too little is known of the patient.
RangeChoice rangeQuery(const CurrentResult& record);

// Copies the range row's eight columns that are not null into the record.
void takeRangeRow(const QSqlRecord& row, CurrentResult& record);

} // namespace Evaluation
