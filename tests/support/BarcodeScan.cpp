#include "BarcodeScan.h"

#include <QStringList>
#include <cmath>

namespace BarcodeScan {

namespace {

const QStringList setL = {"0001101", "0011001", "0010011", "0111101", "0100011",
                          "0110001", "0101111", "0111011", "0110111", "0001011"};
const QStringList setG = {"0100111", "0110011", "0011011", "0100001", "0011101",
                          "0111001", "0000101", "0010001", "0001001", "0010111"};
const QStringList setR = {"1110010", "1100110", "1101100", "1000010", "1011100",
                          "1001110", "1010000", "1000100", "1001000", "1110100"};
const QStringList firstDigitParity = {"LLLLLL", "LLGLGG", "LLGGLG", "LLGGGL", "LGLLGG",
                                      "LGGLLG", "LGGGLL", "LGLGLG", "LGLGGL", "LGGLGL"};

bool dark(QRgb p)
{
    return qGray(p) < 128;
}

} // namespace

QString decodeModules(const QString& modules)
{
    if (modules.size() < 95 || modules.left(3) != u"101" || modules.mid(45, 5) != u"01010" ||
        modules.mid(92, 3) != u"101")
        return {};
    QString digits, parity;
    for (int i = 0; i < 6; ++i) {
        const QString m = modules.mid(3 + 7 * i, 7);
        if (setL.contains(m)) {
            digits += QString::number(setL.indexOf(m));
            parity += u'L';
        } else if (setG.contains(m)) {
            digits += QString::number(setG.indexOf(m));
            parity += u'G';
        } else {
            return {};
        }
    }
    for (int i = 0; i < 6; ++i) {
        const auto d = setR.indexOf(modules.mid(50 + 7 * i, 7));
        if (d < 0)
            return {};
        digits += QString::number(d);
    }
    const auto first = firstDigitParity.indexOf(parity);
    if (first < 0)
        return {};
    digits.prepend(QString::number(first));
    int sum = 0;
    for (int i = 0; i < 13; ++i)
        sum += digits.at(i).digitValue() * (i % 2 == 0 ? 1 : 3);
    if (sum % 10 != 0)
        return {};
    // An add-on: gap, "1011", digits of L or G separated by "01".
    const QString rest = modules.mid(95);
    const auto start = rest.indexOf(QStringLiteral("1011"));
    if (start < 0)
        return digits;
    QString addOn;
    for (qsizetype at = start + 4; at + 7 <= rest.size(); at += 9) {
        const QString m = rest.mid(at, 7);
        const auto d = std::max(setL.indexOf(m), setG.indexOf(m));
        if (d < 0)
            return {};
        addOn += QString::number(d);
    }
    return digits + u'+' + addOn;
}

Scan scanRow(const QImage& image, int y, int x0, int x1)
{
    Scan scan;
    int first = -1;
    for (int x = x0; x < x1 && first < 0; ++x)
        if (dark(image.pixel(x, y)))
            first = x;
    if (first < 0)
        return scan;
    // Runs of equal colour from the first bar on.
    QList<int> runs;
    int x = first;
    while (x < x1) {
        const bool d = dark(image.pixel(x, y));
        int end = x;
        while (end < x1 && dark(image.pixel(end, y)) == d)
            ++end;
        runs << end - x;
        x = end;
    }
    // The start guard's three runs are one module each.
    if (runs.size() < 3)
        return scan;
    scan.moduleDots = (runs[0] + runs[1] + runs[2]) / 3.0;
    QString modules;
    scan.evenWidths = true;
    int endGuard = -1;
    for (qsizetype i = 0; i < runs.size(); ++i) {
        const double m = runs[i] / scan.moduleDots;
        const int n = int(std::lround(m));
        if (i % 2 == 0 && std::abs(m - n) > 0.2)
            scan.evenWidths = false;
        if (i == runs.size() - 1 && i % 2 == 1)
            break; // the light run after the last bar
        modules += QString(n, i % 2 == 0 ? u'1' : u'0');
        if (modules.size() == 95)
            endGuard = int(i);
    }
    scan.digits = decodeModules(modules);
    int left = 0;
    for (int px = first - 1; px >= 0 && !dark(image.pixel(px, y)); --px)
        ++left;
    scan.leftQuiet = int(left / scan.moduleDots);
    if (endGuard >= 0 && endGuard + 1 < runs.size())
        scan.rightQuiet = int(runs[endGuard + 1] / scan.moduleDots);
    return scan;
}

} // namespace BarcodeScan
