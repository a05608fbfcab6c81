#include "common/Numbers.h"

#include <QLocale>
#include <cmath>
#include <limits>

namespace Numbers {

double toNumber(const QString& text)
{
    // Collect the leading number with blanks removed, then let the C locale convert it.
    QString digits;
    digits.reserve(text.size());
    bool seenDigit = false;
    bool seenPoint = false;
    bool seenExponent = false;
    bool exponentDigit = false;
    qsizetype exponentAt = -1;
    for (const QChar ch : text) {
        if (ch == u' ' || ch == u'\t' || ch == u'\r' || ch == u'\n')
            continue;
        if (ch.isDigit() && ch.unicode() < 128) {
            digits.append(ch);
            if (seenExponent)
                exponentDigit = true;
            else
                seenDigit = true;
            continue;
        }
        if ((ch == u'+' || ch == u'-') && (digits.isEmpty() || (seenExponent && digits.size() == exponentAt + 1))) {
            digits.append(ch);
            continue;
        }
        if (ch == u'.' && !seenPoint && !seenExponent) {
            seenPoint = true;
            digits.append(ch);
            continue;
        }
        if ((ch == u'e' || ch == u'E' || ch == u'd' || ch == u'D') && seenDigit && !seenExponent) {
            seenExponent = true;
            exponentAt = digits.size();
            digits.append(u'e');
            continue;
        }
        break;
    }
    if (!seenDigit)
        return 0.0;
    if (seenExponent && !exponentDigit)
        digits.truncate(exponentAt);
    bool ok = false;
    const double value = QLocale::c().toDouble(digits, &ok);
    if (!ok || !std::isfinite(value))
        return 0.0;
    return value;
}

QString toText(double value)
{
    if (!std::isfinite(value))
        return QStringLiteral("0");
    if (value == 0.0)
        return QStringLiteral("0");
    // 15 significant digits, as a double shows them; then written out without an exponent.
    QString text = QString::number(value, 'g', 15);
    const qsizetype e = text.indexOf(u'e');
    if (e >= 0) {
        const int exponent = text.mid(e + 1).toInt();
        QString mantissa = text.left(e);
        const bool negative = mantissa.startsWith(u'-');
        if (negative)
            mantissa.remove(0, 1);
        QString intPart = mantissa.section(u'.', 0, 0);
        QString fracPart = mantissa.section(u'.', 1);
        QString all = intPart + fracPart;
        qsizetype point = intPart.size() + exponent;
        if (point <= 0) {
            all = QString(-point, u'0') + all;
            point = 0;
        } else if (point > all.size()) {
            all += QString(point - all.size(), u'0');
        }
        QString whole = all.left(point);
        QString frac = all.mid(point);
        while (frac.endsWith(u'0'))
            frac.chop(1);
        if (whole.isEmpty())
            whole = QStringLiteral("0");
        text = (negative ? QStringLiteral("-") : QString()) + whole + (frac.isEmpty() ? QString() : u'.' + frac);
    }
    return text;
}

qint16 toInt16(const QString& text)
{
    const double value = std::trunc(toNumber(text));
    if (value > std::numeric_limits<qint16>::max() || value < std::numeric_limits<qint16>::min())
        return 0;
    return static_cast<qint16>(value);
}

} // namespace Numbers
