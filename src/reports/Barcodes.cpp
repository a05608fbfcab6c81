#include "reports/Barcodes.h"

#include <algorithm>
#include <array>

namespace Barcodes {

namespace {

// GS1 set L (odd parity); set R is its complement and set G the mirror image of R.
constexpr std::array<const char*, 10> kSetL = {"0001101", "0011001", "0010011", "0111101", "0100011",
                                               "0110001", "0101111", "0111011", "0110111", "0001011"};
// Left-half parity by the first digit, EAN-5 parity by its checksum, EAN-2 by its value modulo 4.
constexpr std::array<const char*, 10> kEan13Parity = {"AAAAAA", "AABABB", "AABBAB", "AABBBA", "ABAABB",
                                                      "ABBAAB", "ABBBAA", "ABABAB", "ABABBA", "ABBABA"};
constexpr std::array<const char*, 10> kEan5Parity = {"BBAAA", "BABAA", "BAABA", "BAAAB", "ABBAA",
                                                     "AABBA", "AAABB", "ABABA", "ABAAB", "AABAB"};
constexpr std::array<const char*, 4> kEan2Parity = {"AA", "AB", "BA", "BB"};

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool allDigits(const QString& s)
{
    for (const QChar c : s)
        if (!isDigit(c))
            return false;
    return true;
}

QChar digitChar(qsizetype digit)
{
    return QChar(char16_t(u'0' + digit));
}

int digitAt(const QString& s, qsizetype i)
{
    return s.at(i).unicode() - u'0';
}

// Appends `pattern` to the bars, marking it as guard or as the digit `digit`.
void append(Bars& bars, const QString& pattern, bool guard, QChar digit = {}, bool addOn = false)
{
    if (!digit.isNull())
        bars.digits.append({digit, int(bars.modules.size()), addOn});
    bars.modules += pattern;
    bars.guards += QString(pattern.size(), guard ? u'1' : u'0');
}

} // namespace

QString patternL(int digit)
{
    return QString::fromLatin1(kSetL.at(digit));
}

QString patternR(int digit)
{
    QString r = patternL(digit);
    for (QChar& c : r)
        c = c == u'1' ? u'0' : u'1';
    return r;
}

QString patternG(int digit)
{
    QString r = patternR(digit);
    std::reverse(r.begin(), r.end());
    return r;
}

QString MapDigit(int digit, const QString& set)
{
    if (digit < 0 || digit >= set.size())
        return {};
    return set.mid(digit, 1);
}

QString ParityPattern(int position, int firstDigit)
{
    if (position < 1 || position > 6 || firstDigit < 0 || firstDigit > 9)
        return {};
    return QString(QLatin1Char(kEan13Parity.at(firstDigit)[position - 1]));
}

QString EANCheckDigit(const QString& digits)
{
    if (digits.size() != 12 || !allDigits(digits))
        return {};
    int sum = 0;
    // Numbered from the right starting at 1: odd positions weigh 3.
    for (int i = 0; i < 12; ++i)
        sum += digitAt(digits, 11 - i) * (i % 2 == 0 ? 3 : 1);
    const int check = 10 - sum % 10;
    return QString::number(check == 10 ? 0 : check);
}

QString EncodeAddOn(const QString& digits)
{
    if (!allDigits(digits))
        return {};
    const char* parity = nullptr;
    if (digits.size() == 2) {
        parity = kEan2Parity.at(digits.toInt() % 4);
    } else if (digits.size() == 5) {
        const int sum = 3 * (digitAt(digits, 0) + digitAt(digits, 2) + digitAt(digits, 4)) +
                        9 * (digitAt(digits, 1) + digitAt(digits, 3));
        parity = kEan5Parity.at(sum % 10);
    } else {
        return {};
    }
    QString out = QStringLiteral("m");
    for (qsizetype i = 0; i < digits.size(); ++i) {
        if (i > 0)
            out += u'n';
        out += MapDigit(digitAt(digits, i), parity[i] == 'A' ? addOnSetA : addOnSetB);
    }
    return out;
}

QString EncodeEAN13(const QString& digits)
{
    const auto n = digits.size();
    if (n < 12 || n > 18 || n == 16 || !allDigits(digits))
        return {};
    const QString data = digits.left(12) + EANCheckDigit(digits.left(12));
    QString addOn;
    if (n == 14 || n == 15)
        addOn = EncodeAddOn(digits.right(2));
    else if (n == 17 || n == 18)
        addOn = EncodeAddOn(digits.right(5));

    const int first = digitAt(data, 0);
    QString out = MapDigit(first, firstDigitSet) + QStringLiteral("{{{|");
    for (int i = 1; i <= 6; ++i)
        out += MapDigit(digitAt(data, i), ParityPattern(i, first) == u"A" ? setA : setB);
    out += QStringLiteral("{|{");
    for (int i = 7; i <= 12; ++i)
        out += MapDigit(digitAt(data, i), rightSet);
    out += u'|';
    if (!addOn.isEmpty())
        out += u'}' + addOn;
    return out;
}

Bars barsOf(const QString& encoded)
{
    // firstDigit "{{{|" 6 left "{|{" 6 right "|" [ "}m" d ("n" d)* ]
    if (encoded.size() < 21)
        return {};
    const auto first = firstDigitSet.indexOf(encoded.at(0));
    if (first < 0 || encoded.mid(1, 4) != u"{{{|" || encoded.mid(11, 3) != u"{|{" || encoded.at(20) != u'|')
        return {};
    Bars bars;
    bars.firstDigit = digitChar(first);
    append(bars, QStringLiteral("101"), true);
    QString parity;
    for (int i = 5; i < 11; ++i) {
        const QChar c = encoded.at(i);
        if (const auto a = setA.indexOf(c); a >= 0) {
            append(bars, patternL(int(a)), false, digitChar(a));
            parity += u'A';
        } else if (const auto b = setB.indexOf(c); b >= 0) {
            append(bars, patternG(int(b)), false, digitChar(b));
            parity += u'B';
        } else {
            return {};
        }
    }
    // A left half whose parities belong to another first digit would scan as another number.
    if (parity != QLatin1String(kEan13Parity.at(first)))
        return {};
    append(bars, QStringLiteral("01010"), true);
    for (int i = 14; i < 20; ++i) {
        const auto r = rightSet.indexOf(encoded.at(i));
        if (r < 0)
            return {};
        append(bars, patternR(int(r)), false, digitChar(r));
    }
    append(bars, QStringLiteral("101"), true);
    if (encoded.size() == 21)
        return bars;

    // The add-on: "}m", then digits with "n" between them.
    if (encoded.mid(21, 2) != u"}m")
        return {};
    append(bars, QString(addOnGap, u'0'), false);
    bars.addOnStart = int(bars.modules.size());
    append(bars, QStringLiteral("1011"), false);
    int count = 0;
    for (qsizetype i = 23; i < encoded.size(); ++i) {
        const QChar c = encoded.at(i);
        if (count > 0) {
            if (c != u'n' || ++i >= encoded.size())
                return {};
            append(bars, QStringLiteral("01"), false);
        }
        const QChar d = encoded.at(i);
        if (const auto a = addOnSetA.indexOf(d); a >= 0)
            append(bars, patternL(int(a)), false, digitChar(a), true);
        else if (const auto b = addOnSetB.indexOf(d); b >= 0)
            append(bars, patternG(int(b)), false, digitChar(b), true);
        else
            return {};
        ++count;
    }
    if (count != 2 && count != 5)
        return {};
    return bars;
}

} // namespace Barcodes
