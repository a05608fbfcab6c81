#pragma once

#include <QImage>
#include <QString>

// Reads EAN-13 bars back the way a scanner does, with the GS1 tables written out on their own:
// from module text ('1' dark) or from a scan line across a picture of the symbol.
namespace BarcodeScan {

// The 13 digits (plus add-on digits after a '+') the modules carry; empty when they are not a
// valid EAN-13 (guards, a pattern of no set, a parity order of no first digit, a wrong check digit).
QString decodeModules(const QString& modules);

struct Scan
{
    QString digits;          // as decodeModules
    double moduleDots = 0;   // width of one module on the picture
    int leftQuiet = 0;       // light modules before the first bar, up to the picture's edge or ink
    int rightQuiet = 0;      // light modules after the end guard (before an add-on or ink)
    bool evenWidths = false; // every bar and space is a whole number of modules within 0.2
};

// Scans row `y` of `image` from `x0` to `x1`.
Scan scanRow(const QImage& image, int y, int x0, int x1);

} // namespace BarcodeScan
