#pragma once

#include "settings/SettingsFile.h"

#include <QFont>
#include <QList>
#include <QString>

// The font and colour styles of the report's title elements, kept in MEMORYVIDAS.ini [reportdata]
// as colorTIT<x> (colour), ...fn (font name), ...fs (size), ...fb (bold), ...ul (underline) and
// ...fi (italic). Element 04 keeps only its colour and size.
namespace ReportStyles {

struct Element
{
    QString id;      // "1", "01", "a", ...
    QString control; // the sample that shows it in the settings window
};

// Every element the settings window styles, with its sample: the title lines 1-6 and 01-06, the
// report title (7), the column captions (8-12), the comment text (16) and heading (17), the two
// signature lines (20, 21) and the column headings a-e.
const QList<Element>& elements();
// Element 04 has only the colour and the size key.
bool fullStyle(const QString& id);
// The control name of an element's sample.
QString control(const QString& id);

struct Style
{
    int colour = 0; // 24-bit, red in the low byte
    QString fontName;
    double size = 0;
    bool bold = false;
    bool underline = false;
    bool italic = false;
};

Style read(const QString& memoryIni, const QString& id);
// The keys to write for an element (two for 04, six for the others).
QList<SettingsFile::Edit> edits(const QString& id, const Style& style);

// A style as a font on top of `base` (an empty name or a size of 0 keep the base's), and back.
QFont font(const Style& style, const QFont& base);
Style fromFont(const QFont& font, int colour);

} // namespace ReportStyles
