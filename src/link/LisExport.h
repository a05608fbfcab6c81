#pragma once

#include "config/AppSettings.h"
#include "db/SqlRun.h"
#include "link/ChainValues.h"
#include "link/CurrentResult.h"

#include <QDateTime>

// The rules of writing a stored result into the LIS row of the requested test (`patienttest`).
// Pure functions; the database step runs them.
namespace LisExport {

// The export status after the key in the receive window's list.
inline const QString sentText = QStringLiteral("     Yes");
inline const QString notSentText = QStringLiteral("     No");

// Shown once for every result that would be sent while the LIS link is off.
inline const QString lisOffTitle = QStringLiteral("تنبية  !");
inline const QString lisOffText = QStringLiteral("خادم نظام كورفانا سيستم غير مفعل يمكنك تفعيلة من نافذة اعدادات ثم "
                                                 "اختار اعدادات كورفانا سيستم سيرفر");

enum class Decision
{
    Skip,   // automatic sending off, no 13-character patient identifier or no LIS test code
    LisOff, // it would be sent, but the LIS link is off: the user is told
    Send,
};

Decision decide(const CurrentResult& record, const AppSettings& settings);

// The LIS row of the patient's request for the test.
inline const QString requestQuerySql = QStringLiteral("SELECT * FROM patienttest where patientid=? and testcode=?");
BoundQuery requestQuery(const CurrentResult& record);
// Where the update writes: the same row.
inline const QString requestWhere = QStringLiteral("patientid=? and testcode=?");

// "dddd, dd MMM yyyy", three blanks, "hh:nn AM/PM" with English names.
QString editDate(const QDateTime& at);

// The columns written into the row. The interface's resultt1, resultt2, resultt3 go to the LIS's
// resultt, resultt1, resultt2.
SqlRun::Columns patienttestColumns(const CurrentResult& record, const QDateTime& now);

} // namespace LisExport
