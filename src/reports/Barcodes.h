#pragma once

#include <QList>
#include <QString>

// EAN-13 with an optional EAN-2 or EAN-5 add-on, first as the text a UPC/EAN barcode font draws
// (one character per digit of each parity set, guards and spacers as single characters), then
// that text turned into the bars themselves, so reports draw the symbol without any font.
namespace Barcodes {

inline const QString firstDigitSet = QStringLiteral("qrstuvwxyz");
inline const QString setA = QStringLiteral("ABCDEFGHIJ");
inline const QString setB = QStringLiteral("QRSTUVWXYZ");
inline const QString rightSet = QStringLiteral("0123456789");
inline const QString addOnSetA = QStringLiteral("+,./:;=?@K");
inline const QString addOnSetB = QStringLiteral("LMNOP[\\]^_");

// The whole symbol as font text; empty when `digits` cannot be encoded (length not 12 to 18, 16,
// or a character that is not a digit).
QString EncodeEAN13(const QString& digits);
// The add-on part ("m" ...) for 2 or 5 digits; empty otherwise.
QString EncodeAddOn(const QString& digits);
// The GS1 modulo-10 check digit of 12 data digits.
QString EANCheckDigit(const QString& digits);
// "A" or "B": the parity of left-half position 1..6 for the first data digit.
QString ParityPattern(int position, int firstDigit);
// The character of `digit` in a ten-character set.
QString MapDigit(int digit, const QString& set);

// The bars of a symbol. Modules run left to right from the start guard: '1' dark, '0' light.
// Quiet zones are not part of it; the renderer keeps them clear (see quiet zone constants).
struct Bars
{
    struct Digit
    {
        QChar digit;
        int start = 0; // first module of the digit
        bool addOn = false;
    };

    QString modules;
    QString guards;   // '1' where a module belongs to a guard pattern (drawn longer)
    QChar firstDigit; // printed in the left quiet zone
    QList<Digit> digits;
    int addOnStart = -1; // first module of the add-on, -1 without one

    bool isValid() const { return !modules.isEmpty(); }
};

// Turns font text made by EncodeEAN13 back into bars; empty bars for any other text (a plain
// patient ID, a damaged symbol).
Bars barsOf(const QString& encoded);

// Modules of light margin GS1 asks for around an EAN-13 symbol.
constexpr int leftQuietZone = 11;
constexpr int rightQuietZone = 7;
constexpr int addOnRightQuietZone = 5;
// Light modules between the symbol and its add-on (GS1: 7 to 12).
constexpr int addOnGap = 9;
// The nominal module width of EAN-13 in millimetres (magnification 1.0), and the narrowest GS1 allows.
constexpr double nominalModuleMm = 0.33;
constexpr double smallestModuleMm = 0.264;

// The GS1 module patterns of the digit sets L (parity A), G (parity B) and R.
QString patternL(int digit);
QString patternG(int digit);
QString patternR(int digit);

} // namespace Barcodes
