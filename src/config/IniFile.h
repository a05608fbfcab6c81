#pragma once

#include <QString>

// Access to the two settings files in the Windows profile format: [section] and key=value lines,
// section and key names matched without regard to case.
//
// Reading never fails: a missing file, section or key gives an empty text. Values come back cut at
// the first NUL, trimmed, without one pair of enclosing quotes ("..." or '...', the blanks inside
// kept), and at most 259 characters long. Writing creates the file, the section or the key as
// needed and leaves every other byte of the file as it was; writing a secret makes the file private.
//
// Files written on Arabic Windows are in code page 1256; files in UTF-8 are read as such, and a file
// that starts with the UTF-16 LE byte-order mark as UTF-16. A write keeps the file's encoding.
QString ReadIni(const QString& file, const QString& section, const QString& key);
bool WriteIni(const QString& file, const QString& section, const QString& key, const QString& value);

namespace IniFormat {
constexpr int kMaxValueLength = 259;
// The keys whose values are secrets (the server passwords, the remember-me token): a file WriteIni
// writes one into is made readable by its owner only.
bool isSecretKey(const QString& key);
} // namespace IniFormat
