#include "link/Flagging.h"

#include "common/Numbers.h"

namespace Flagging {

namespace {

struct Reading
{
    QChar sign; // '<', '>' or nothing
    double value = 0.0;
};

// The value after the factor, without its comparison sign.
Reading readingOf(const QString& value)
{
    Reading r;
    if (value.startsWith(QLatin1Char('<')) || value.startsWith(QLatin1Char('>'))) {
        r.sign = value.front();
        r.value = Numbers::toNumber(value.mid(1));
    } else {
        r.value = Numbers::toNumber(value);
    }
    return r;
}

} // namespace

Outcome classify(const CurrentResult& r)
{
    if (r.Txt_resultt1.isEmpty())
        return Outcome::NoResult;
    if (r.Txt_resultt2 == QLatin1String("Positive"))
        return Outcome::Positive;
    if (r.Txt_resultt2 == QLatin1String("Negative"))
        return Outcome::Negative;
    if (r.Txt_TEST_min.isEmpty() && r.Txt_TEST_max.isEmpty())
        return Outcome::NoLimits;
    // A missing limit counts as 0.
    const Reading x = readingOf(r.Txt_resultt3);
    const double lo = Numbers::toNumber(r.Txt_TEST_min);
    const double hi = Numbers::toNumber(r.Txt_TEST_max);
    if (x.sign.isNull() && lo <= x.value && x.value <= hi)
        return Outcome::Normal;
    const bool high = !r.Txt_TEST_maxEX.isEmpty() && (x.value > hi || (x.sign == u'>' && x.value == hi));
    if (high)
        return Outcome::High;
    const bool low = !r.Txt_TEST_minEX.isEmpty() && (x.value < lo || (x.sign == u'<' && x.value == lo));
    return low ? Outcome::Low : Outcome::Unflagged;
}

Outcome Flag(CurrentResult& r, bool autoComment)
{
    const Outcome outcome = classify(r);
    switch (outcome) {
    case Outcome::NoResult:
    case Outcome::Negative:
    case Outcome::Normal:
        r.Txt_TEST_F.clear();
        return outcome;
    case Outcome::Positive:
        r.Txt_TEST_F = QStringLiteral(" *");
        return outcome;
    case Outcome::NoLimits:
        return outcome;
    case Outcome::Low:
        r.Txt_TEST_F = r.Txt_TEST_minEX;
        break;
    case Outcome::High:
        r.Txt_TEST_F = r.Txt_TEST_maxEX;
        break;
    case Outcome::Unflagged:
        break;
    }
    // Plain text comparisons, as the flag texts are compared everywhere: a flag that is empty
    // equals an empty low flag text too.
    if (autoComment) {
        if (r.Txt_TEST_F == r.Txt_TEST_minEX) {
            if (!r.Txt_LOWCOMMENT.isEmpty())
                r.txt_comment = r.Txt_LOWCOMMENT;
        } else if (r.Txt_TEST_F == r.Txt_TEST_maxEX) {
            if (!r.Txt_HIGHCOMMENT.isEmpty())
                r.txt_comment = r.Txt_HIGHCOMMENT;
        }
    }
    return outcome;
}

Shade shadeOf(const CurrentResult& r)
{
    const Outcome outcome = classify(r);
    if (outcome == Outcome::NoResult)
        return Shade::NoResult;
    if (!r.Txt_TEST_F.isEmpty())
        return Shade::Flagged;
    if (outcome == Outcome::Normal || outcome == Outcome::Negative)
        return Shade::Normal;
    return Shade::Plain;
}

QColor background(Shade shade)
{
    switch (shade) {
    case Shade::Flagged:
        return QColor(255, 192, 192);
    case Shade::Normal:
        return QColor(214, 254, 242);
    case Shade::NoResult:
    case Shade::Plain:
        break;
    }
    return QColor(255, 255, 255);
}

} // namespace Flagging
