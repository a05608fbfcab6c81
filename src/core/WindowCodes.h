#pragma once

#include <QtGlobal>

// Which window is in front; each window records its code when it loads, so the receiver
// indicator is drawn on that window.
namespace WindowCode {
constexpr qint16 Main = 1;
constexpr qint16 Ranges = 2;
constexpr qint16 Catalogue = 3;
constexpr qint16 Comments = 4;
constexpr qint16 ResultEditor = 5;
constexpr qint16 Search = 6;
constexpr qint16 Users = 7;
constexpr qint16 Password = 8;
constexpr qint16 Settings = 9;
} // namespace WindowCode
