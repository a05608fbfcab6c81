#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

class AppContext;

// The search window's work without the window: checks what was asked, builds the statement of the
// chosen kind with every value bound, and reads at most 100 hits.
namespace ResultSearch {

enum class Kind
{
    SampleId,    // Opt_SamID
    PatientId,   // Opt_PatID
    PatientData, // Opt_namesex
    Test,        // Opt_testx
};

struct Request
{
    Kind kind = Kind::PatientData;
    QString sampleId;
    QString patientId;
    bool byName = false;
    QString name;
    bool bySex = false;
    QString sex;
    bool byDate = false;
    QDate first, last;
    QString test;
    QString compare; // "Positive", "Negative", ">", "<" or empty
    QString number;  // Text_RETICS_H
};

struct Hit
{
    qint64 autoNum = 0;
    QString sampleId, patientId, patientName, sex, ageN, ageU;
    QDate testDate;
    bool sending = false;
    QString test, value;
};

struct Outcome
{
    enum class State
    {
        Refused, // a check failed: `warning` says why (empty: refused without a message)
        NothingToRun,
        Ran,
        Failed, // the statement failed; the grid stays empty
    };
    State state = State::NothingToRun;
    QString warning;
    bool clearsGrid = false; // the refusal empties the grid and sets the count to "0"
    QList<Hit> hits;
};

inline constexpr int maxHits = 100;

// The checks in their order, then the statement and its hits.
Outcome search(AppContext& context, const Request& request);

// The count label: the number of hits, "> 100" when the list is full.
QString countText(int hits);

// Every test name stored in Result, in order.
QStringList testNames(AppContext& context);

} // namespace ResultSearch
