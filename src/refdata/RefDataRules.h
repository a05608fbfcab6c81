#pragma once

#include "db/SqlRun.h"

#include <QString>
#include <QVariant>
#include <functional>
#include <optional>

// What a row of the catalogue, the reference ranges or the comment library must be before it is
// stored, whoever stores it: the three windows check the row they are about to write and
// `refdata import` checks every row of its document with the same rules, so a file can never bring
// in what a window refuses.
//
// Rows are given as their columns' values (null, a number, a text), as they would be stored.
namespace RefDataRules {

// The first rule a row breaks: the column, the window's message, and the same in English for the
// command line.
struct Refusal
{
    QString column;
    QString message;
    QString reason;
};

// The name of another test (not `testcode`) that already has `assay`, if any; the windows ask the
// database, the import the document itself.
using AssayOwner = std::function<std::optional<QString>(const QString& assay, qint64 testcode)>;
// Whether `testcode` is a test of the catalogue.
using TestExists = std::function<bool(qint64 testcode)>;

std::optional<Refusal> checkTest(const SqlRun::Columns& row, const AssayOwner& assayOwner);
std::optional<Refusal> checkRange(const SqlRun::Columns& row);
std::optional<Refusal> checkComment(const SqlRun::Columns& row, const TestExists& testExists);

// The age units a range may name; evaluation matches the patient's unit as text.
const QStringList& ageUnits();

} // namespace RefDataRules
