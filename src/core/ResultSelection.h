#pragma once

#include <QDate>
#include <QString>
#include <QVariantList>

// Which Result rows the main window's result grid shows: the condition behind WHERE, with its
// values bound in the order of its "?" marks. The patient list sets it for a patient of the day,
// the search for one result.
struct ResultSelection
{
    QString condition;
    QVariantList values;

    bool isEmpty() const { return condition.isEmpty(); }

    // A patient of the day: by identifier, date and name; a patient without an identifier by name
    // and date only.
    static ResultSelection forPatient(const QString& patientId, const QString& name, const QDate& testDate)
    {
        if (patientId.isEmpty())
            return {QStringLiteral("Patientname= ? and Testdate= ? "), {name, testDate}};
        return {QStringLiteral("patientid=? and Testdate= ? and Patientname= ? "), {patientId, testDate, name}};
    }
    // One result, by its AutoNum.
    static ResultSelection forResult(qint64 autoNum) { return {QStringLiteral(" AutoNum= ? "), {autoNum}}; }
};
