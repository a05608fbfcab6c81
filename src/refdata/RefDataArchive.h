#pragma once

#include "db/Dialect.h"

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>

// The catalogue, the reference ranges and the comments as one JSON document, to set up a second
// station or restore one:
//
//   {"format": "corvana-refdata", "version": 1,
//    "testtable": [{"testcode": 1, "testsimp": "TSH", ...}, ...],
//    "normalrange": [...], "comments": [...]}
//
// Each row is an object of its table's columns with their stored values (null, a number, a text;
// `active` true or false), keys included, so that ranges and comments keep pointing at their test.
namespace RefDataArchive {

struct Outcome
{
    bool ok = false;
    QString error; // what is wrong, and where ("normalrange row 3, field lowlimit: ...")
    int tests = 0;
    int ranges = 0;
    int comments = 0;

    explicit operator bool() const { return ok; }
};

// The three tables of `db` as the document, keys in order.
Outcome exportTables(const QSqlDatabase& db, QByteArray& document);

// Checks the whole document first; then, in one transaction, replaces the three tables' rows with
// it. A document with any fault changes nothing. Tables that hold rows are replaced only when
// `replace` is set.
Outcome importTables(const QSqlDatabase& db, SqlEngine engine, const QByteArray& document, bool replace);

} // namespace RefDataArchive
