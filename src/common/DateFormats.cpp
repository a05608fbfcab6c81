#include "common/DateFormats.h"

#include <QLocale>
#include <QRegularExpression>

namespace DateFormats {

namespace {
const QLocale& english()
{
    static const QLocale locale(QLocale::English, QLocale::UnitedStates);
    return locale;
}
} // namespace

QString dayMonthYear(const QDate& date)
{
    return english().toString(date, QStringLiteral("dd-MMM-yyyy"));
}

QString timeAmPm(const QTime& time)
{
    return english().toString(time, QStringLiteral("hh:mm AP"));
}

QString longDate(const QDate& date)
{
    return english().toString(date, QStringLiteral("dddd, dd MMM yyyy"));
}

QString slashDate(const QDate& date)
{
    return english().toString(date, QStringLiteral("dd/MM/yyyy"));
}

QTime parseTime(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^\\s*(\\d{1,2}):(\\d{1,2})(?::(\\d{1,2}))?\\s*$"));
    const auto match = pattern.match(text);
    if (!match.hasMatch())
        return {};
    const int seconds = match.captured(3).isEmpty() ? 0 : match.captured(3).toInt();
    return QTime(match.captured(1).toInt(), match.captured(2).toInt(), seconds);
}

} // namespace DateFormats
