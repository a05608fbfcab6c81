#pragma once

#include <QImage>
#include <QList>
#include <QSqlRecord>
#include <QString>

// A banded report as data: five named sections of controls placed in twips (567 to the
// centimetre), filled by a builder and painted by ReportRenderer onto paper, PDF or an image.
//
//   Section4  report header   once, at the top of the first page
//   Section2  page header     at the top of every page
//   Section1  detail          once per record of the data source
//   Section3  page footer     at the foot of every page
//   Section5  report footer   once, after the last detail

enum class ControlKind
{
    Label,   // fixed text (its caption)
    Field,   // the record's column named by `binding`; its caption when unbound
    Picture, // an image, scaled to fit and kept in proportion
    Shape,   // a frame
    Line     // a horizontal rule along the control's top
};

enum class TextAlign
{
    Left,
    Center,
    Right
};

enum class Paper
{
    A4,
    A5
};

struct ReportFont
{
    QString family; // the first choice; ReportRenderer adds fallbacks found on every station
    double size = 10;
    bool bold = false;
};

struct ReportControl
{
    QString name;
    ControlKind kind = ControlKind::Label;
    QString caption;
    QString binding;
    // A second column printed after the first, a blank between (the flag after the value where a
    // layout has no flag column of its own).
    QString suffixBinding;
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
    bool visible = true;
    ReportFont font;
    TextAlign align = TextAlign::Left;
    // Colours as the settings store them: 24-bit values with red in the low byte.
    double foreColor = 0;
    double backColor = 0xFFFFFF;
    bool opaque = false; // paints its background
    // Drawn in the UPC/EAN barcode font: a caption made by Barcodes::EncodeEAN13 is drawn as bars,
    // any other text as plain readable text.
    bool barcodeFont = false;
    // Always wrapped at its own size (comments); any text that needs more lines than its height
    // holds grows its section downwards.
    bool canGrow = false;
    QImage picture;
};

struct ReportSection
{
    QString name;
    double height = 0;
    QList<ReportControl> controls;
};

struct ReportLayout
{
    QString name;
    Paper paper = Paper::A4;
    double width = 0;      // printable width of the design
    double leftMargin = 0; // twips from the paper's left edge
    double topMargin = 567;
    double bottomMargin = 567;
    QList<ReportSection> sections;
    // The single-result layouts carry their result and comment in the page header: printed once,
    // continued on the next page when long, and their footer's signatures on the last page only.
    bool headerIsBody = false;
    // Named at the foot of every page, with "page n of m".
    QString patientName;
    QString patientId;
    // The data source: the rows of the report's query, in the order the database gave them.
    QList<QSqlRecord> records;

    ReportSection* section(const QString& name);
    const ReportSection* section(const QString& name) const;
    // A control by name in whichever section holds it; nullptr when the layout has none.
    ReportControl* find(const QString& controlName);
    const ReportControl* find(const QString& controlName) const;

    // Paper size in twips (portrait).
    double paperWidth() const;
    double paperHeight() const;
};

// The text a control shows for `record` (bound fields) or its caption.
QString controlText(const ReportControl& control, const QSqlRecord* record);

// The four layouts with their default design.
namespace ReportLayouts {
inline const QString fixedA4 = QStringLiteral("Dpt_CRV_Fixed");
inline const QString singleA4 = QStringLiteral("Rpt_CRV2");
inline const QString singleA5 = QStringLiteral("Rpt_CRVA5");
inline const QString allA5 = QStringLiteral("Rpt_CRVA5All");

ReportLayout Dpt_CRV_Fixed();
ReportLayout Rpt_CRV2();
ReportLayout Rpt_CRVA5();
ReportLayout Rpt_CRVA5All();
// One of the four by name; a layout without sections for any other name.
ReportLayout byName(const QString& name);
bool isSingleResult(const QString& name);
} // namespace ReportLayouts
