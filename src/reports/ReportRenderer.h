#pragma once

#include "reports/ReportLayout.h"

#include <QFont>
#include <QImage>
#include <QList>
#include <QString>
#include <functional>

class QPainter;

// Paints a filled layout, band by band, onto pages of its paper size as ReportPages plans them:
// the report header on the first page, the page header and footer on every page, one detail band
// per record (a new page when the next one would run into the footer), then the report footer;
// at the foot of every page the patient's name and ID and "page n of m".
//
// Text is shaped and laid out in its own direction (Arabic right to left, mixed text by the
// bidirectional rules), in fonts every station has (Noto, DejaVu; Debian: fonts-noto-core,
// fonts-dejavu-core). A text too long for its control gets a slightly smaller type, then as many
// lines as it needs, never below 7 pt and never shortened: its band grows to hold it.
// A caption in the barcode font made by Barcodes::EncodeEAN13 is drawn as bars with GS1 quiet
// zones, bar widths snapped to the device's dots; any other text in that font is drawn readable.
namespace ReportRenderer {

// Called for each page, 0 first; returns the painter for that page, its origin at the paper's
// top-left corner in device units, or nullptr to stop.
using PageSource = std::function<QPainter*(int page)>;

// Paints every page; `dpi` is the device's resolution. The number of pages painted.
int paint(const ReportLayout& layout, const PageSource& pages, double dpi);

// A PDF of the report (text kept as text). False with `error` set when the file cannot be written.
bool toPdf(const ReportLayout& layout, const QString& file, QString* error = nullptr);
// Each page as an image at `dpi`.
QList<QImage> toImages(const ReportLayout& layout, int dpi = 150);
// The pages as PNG files: `file` for the first page, "name-2.png" and on for the next ones.
bool toPng(const ReportLayout& layout, const QString& file, int dpi = 150, QString* error = nullptr);

// The font a control's text is drawn in, sized in twips (1 point = 20 twips), with the fallbacks.
QFont fontFor(const ReportFont& font, double points);
// A 24-bit colour value with red in the low byte.
QColor colorOf(double value);

} // namespace ReportRenderer
