#pragma once

#include <QByteArray>
#include <QString>

// Windows code page 1256 (Arabic), the "ANSI" text of settings files written on Arabic Windows.
namespace Cp1256 {
QString decode(QByteArrayView bytes);
// Characters the code page lacks become '?'; `lossless` tells whether that happened.
QByteArray encode(QStringView text, bool* lossless = nullptr);
bool canEncode(QStringView text);
} // namespace Cp1256
