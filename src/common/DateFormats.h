#pragma once

#include <QDateTime>
#include <QString>

// Date and time texts with English month and day names, whatever the machine's locale.
namespace DateFormats {

QString dayMonthYear(const QDate& date); // "dd-MMM-yyyy"   05-Dec-2026
QString timeAmPm(const QTime& time);     // "hh:nn AM/PM"   02:07 PM
QString longDate(const QDate& date);     // "dddd, dd MMM yyyy"  Saturday, 05 Dec 2026
QString slashDate(const QDate& date);    // "dd/MM/yyyy"    05/12/2026

// Reads a clock time such as "14:07", "9:05" or "14:07:30"; invalid when the text is not a time.
QTime parseTime(const QString& text);

} // namespace DateFormats
