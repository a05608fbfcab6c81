#include "reports/ReportLayout.h"

#include <QSqlField>

ReportSection* ReportLayout::section(const QString& name)
{
    for (ReportSection& s : sections)
        if (s.name == name)
            return &s;
    return nullptr;
}

const ReportSection* ReportLayout::section(const QString& name) const
{
    return const_cast<ReportLayout*>(this)->section(name);
}

ReportControl* ReportLayout::find(const QString& controlName)
{
    for (ReportSection& s : sections)
        for (ReportControl& c : s.controls)
            if (c.name == controlName)
                return &c;
    return nullptr;
}

const ReportControl* ReportLayout::find(const QString& controlName) const
{
    return const_cast<ReportLayout*>(this)->find(controlName);
}

double ReportLayout::paperWidth() const
{
    return paper == Paper::A4 ? 11906 : 8391; // 210 mm, 148 mm
}

double ReportLayout::paperHeight() const
{
    return paper == Paper::A4 ? 16838 : 11906; // 297 mm, 210 mm
}

namespace {

QString columnText(const QSqlRecord& record, const QString& column)
{
    const QSqlField field = record.field(column);
    return field.isValid() && !field.isNull() ? field.value().toString() : QString();
}

} // namespace

QString controlText(const ReportControl& control, const QSqlRecord* record)
{
    if (control.kind != ControlKind::Field || control.binding.isEmpty() || !record)
        return control.caption;
    const QString text = columnText(*record, control.binding);
    if (control.suffixBinding.isEmpty())
        return text;
    const QString suffix = columnText(*record, control.suffixBinding).trimmed();
    return suffix.isEmpty() ? text : text + QLatin1Char(' ') + suffix;
}

namespace ReportLayouts {

namespace {

const QString sans = QStringLiteral("Noto Sans");

struct Geometry
{
    double left, top, width, height;
};

ReportControl label(const char* name, const QString& caption, Geometry g, bool bold = false, double size = 10)
{
    ReportControl c;
    c.name = QLatin1String(name);
    c.caption = caption;
    c.left = g.left;
    c.top = g.top;
    c.width = g.width;
    c.height = g.height;
    c.font = {sans, size, bold};
    return c;
}

ReportControl hidden(ReportControl c)
{
    c.visible = false;
    return c;
}

ReportControl aligned(ReportControl c, TextAlign align)
{
    c.align = align;
    return c;
}

ReportControl field(const char* name, const char* binding, Geometry g, bool bold = false)
{
    ReportControl c = label(name, QString(), g, bold);
    c.kind = ControlKind::Field;
    c.binding = QLatin1String(binding);
    return c;
}

ReportControl shaped(const char* name, ControlKind kind, Geometry g)
{
    ReportControl c = label(name, QString(), g);
    c.kind = kind;
    c.foreColor = 0x404040;
    return c;
}

ReportControl picture(const char* name, Geometry g, bool visible)
{
    ReportControl c = shaped(name, ControlKind::Picture, g);
    c.visible = visible;
    return c;
}

// No flag column: the flag follows the value, so that a flagged result is known on every layout.
ReportControl flagged(ReportControl c)
{
    c.suffixBinding = QStringLiteral("RESULTCASEPRINT");
    return c;
}

ReportControl grows(ReportControl c)
{
    c.canGrow = true;
    return c;
}

const QString blanks = QStringLiteral("   ");

// The patient block of Section4: first column (name, sex and age, doctor), second column (ID,
// request date, printing date), the header picture and the two rules.
ReportSection patientBlock(bool a4)
{
    const double width = a4 ? 10200 : 7395;
    const double valueLeft = a4 ? 1358 : 1273, valueWidth = a4 ? 2760 : 2550;
    const double captionLeft2 = a4 ? 5773 : 4016;
    const double valueLeft2 = a4 ? 7426 : 5386, valueWidth2 = a4 ? 2775 : 2010;
    const double h = 285;
    ReportSection s{QStringLiteral("Section4"), 1350, {}};
    s.controls << picture("Imaget", {0, 0, width, 1300}, false);
    if (a4)
        s.controls << picture("Img_logo", {0, 0, 1400, 1000}, true);
    s.controls << shaped("Shape2", ControlKind::Line, {0, 37, width, 20})
               << shaped("Shape1", ControlKind::Line, {0, 1287, width, 20});
    const double captionWidth = a4 ? 1300 : 1245;
    s.controls << label("Label5", QStringLiteral("Name"), {28, 104, captionWidth, h}, true)
               << label("Label7", QStringLiteral("Patient Info."), {28, 504, captionWidth, h}, true)
               << label("Label3", QStringLiteral("Referred By"), {28, 904, captionWidth, h}, true);
    s.controls << label("Label4", blanks, {valueLeft, 479, valueWidth, h})
               << label("Label9", blanks, {valueLeft, 879, valueWidth, h})
               << label("Lblname", QString(), {valueLeft, 79, valueWidth, h})
               << label("Lblinfo", QString(), {valueLeft, 504, valueWidth, h})
               << label("Lbldr", QString(), {valueLeft, 879, valueWidth, h});
    s.controls << label("Label1", QStringLiteral("Patient ID."), {captionLeft2, 104, a4 ? 1590.0 : 1300.0, h}, true)
               << label("Label11", QStringLiteral("Request Date"), {captionLeft2, 504, a4 ? 1590.0 : 1300.0, h}, true)
               << label("Label13", a4 ? QStringLiteral("Reporting Date") : QStringLiteral("Printed In"),
                        {captionLeft2, 904, a4 ? 1590.0 : 1300.0, h}, true);
    s.controls << hidden(label("Label10", blanks, {valueLeft2, 79, valueWidth2, h}))
               << label("Label6", blanks, {valueLeft2, 479, valueWidth2, h})
               << label("Label8", blanks, {valueLeft2, 879, valueWidth2, h})
               << label("Lblreqdate", QString(), {valueLeft2, 491, valueWidth2, h})
               << label("Lblrepdate", QString(), {valueLeft2, 904, valueWidth2, h});
    ReportControl id = label("Lblid", QString(), {a4 ? 7396.0 : 5203.0, 49, a4 ? 2700.0 : 2205.0, h});
    id.barcodeFont = true;
    s.controls << id;
    return s;
}

// Section2 down to the column-caption band; `flag` and `range` give the Left of Lbl_D05 (none
// when negative) and the Left and Top of Lbl_D04.
ReportSection pageHeader(bool a4, double result, double unit, double flag, Geometry range)
{
    ReportSection s{QStringLiteral("Section2"), 1100, {}};
    s.controls << hidden(aligned(label("Lbl_maintitle", QStringLiteral("Test Result Report"),
                                       {a4 ? 113.0 : 0.0, 250, a4 ? 10125.0 : 7425.0, 390}, true, 15),
                                 TextAlign::Center));
    ReportControl frame = shaped("Shp_ditels", ControlKind::Shape, {0, 630, a4 ? 10200.0 : 7395.0, 400});
    frame.visible = false;
    frame.opaque = true;
    frame.backColor = 0xF2F2F2;
    s.controls << frame;
    s.controls << hidden(label("Lbl_D01", QStringLiteral("Test details "), {76, 695, 2475, 285}, true))
               << hidden(label("Lbl_D02", QStringLiteral("Result"), {result, 695, 1305, 285}, true))
               << hidden(label("Lbl_D03", QStringLiteral("Unit"), {unit, 695, 1245, 285}, true))
               << hidden(label("Lbl_D04", a4 ? QStringLiteral("Normal range") : QStringLiteral("Normal range:"), range,
                               true));
    if (flag >= 0)
        s.controls << hidden(label("Lbl_D05", QStringLiteral("Flag"), {flag, 695, 1095, 285}, true));
    return s;
}

// Signature lines stand at the right of the page.
ReportControl signature(const char* name, bool a4, double top)
{
    return aligned(label(name, QString(), {a4 ? 6600.0 : 3710.0, top, a4 ? 3600.0 : 3630.0, 285}, true),
                   TextAlign::Center);
}

ReportSection pageFooter(bool a4, bool signatures)
{
    const double width = a4 ? 10200 : 7395;
    ReportSection s{QStringLiteral("Section3"), 800, {}};
    if (signatures) {
        s.height = 1500;
        s.controls << signature("Lbl_drsig1", a4, 0) << signature("Lbl_drsig2", a4, 300);
        s.controls << picture("Imagef", {0, 700, width, 730}, false);
    } else {
        s.controls << picture("Imagef", {0, 0, width, 730}, false);
    }
    return s;
}

ReportControl commentTitle(double top, double width)
{
    ReportControl c = label("Lbl_CommentTitle", QString(), {76, top, width, 285}, true);
    c.canGrow = true;
    return c;
}

ReportControl commentText(double top, double width)
{
    return grows(label("Lbl_ComTxtREMARK", QString(), {76, top, width, 300}));
}

ReportLayout base(const QString& name, Paper paper)
{
    ReportLayout l;
    l.name = name;
    l.paper = paper;
    l.width = paper == Paper::A4 ? 10200 : 7395;
    return l;
}

} // namespace

ReportLayout Dpt_CRV_Fixed()
{
    ReportLayout l = base(fixedA4, Paper::A4);
    ReportSection detail{QStringLiteral("Section1"), 345, {}};
    detail.controls << field("Lbl1a", "testabrev", {76, 30, 2797, 285})
                    << aligned(label("Lbl1b", QStringLiteral(":"), {2873, 30, 150, 285}), TextAlign::Center)
                    << field("Lbl1c", "resultt1", {3033, 30, 1305, 285}, true)
                    << field("Lbl1d", "testunit", {4422, 30, 1080, 285})
                    << aligned(field("Lbl1f", "RESULTCASEPRINT", {5556, 30, 645, 285}, true), TextAlign::Center)
                    << field("Lbl1e", "normalrang", {6293, 30, 3900, 285})
                    << shaped("Line1", ControlKind::Line, {76, 335, 10124, 10});
    ReportSection footer{QStringLiteral("Section5"), 1800, {}};
    footer.controls << commentTitle(150, 4000) << commentText(450, 10124) << signature("Lbl_drsig1", true, 1050)
                    << signature("Lbl_drsig2", true, 1350);
    l.sections << patientBlock(true) << pageHeader(true, 3033, 4422, 5556, {6293, 695, 2505, 285}) << detail
               << pageFooter(true, false) << footer;
    return l;
}

ReportLayout Rpt_CRVA5All()
{
    ReportLayout l = base(allA5, Paper::A5);
    ReportSection detail{QStringLiteral("Section1"), 345, {}};
    detail.controls << field("Text1", "testabrev", {76, 30, 2447, 285})
                    << aligned(label("Label2", QStringLiteral(":"), {2550, 30, 150, 285}), TextAlign::Center)
                    << flagged(field("Text2", "resultt1", {2693, 30, 1305, 285}, true))
                    << field("Text3", "testunit", {4054, 30, 960, 285})
                    << field("Text5", "normalrang", {5046, 30, 2349, 285})
                    << shaped("Line1", ControlKind::Line, {76, 335, 7319, 10});
    ReportSection footer{QStringLiteral("Section5"), 1800, {}};
    footer.controls << commentTitle(150, 4000) << commentText(450, 7319) << signature("Lbl_drsig1", false, 1050)
                    << signature("Lbl_drsig2", false, 1350);
    l.sections << patientBlock(false) << pageHeader(false, 2693, 4054, -1, {5046, 695, 2349, 285}) << detail
               << pageFooter(false, false) << footer;
    return l;
}

namespace {

// The single-result layouts carry their one result row in the page header, under the band.
ReportLayout single(const QString& name, bool a4)
{
    ReportLayout l = base(name, a4 ? Paper::A4 : Paper::A5);
    l.headerIsBody = true;
    const double result = a4 ? 3033 : 2976, unit = a4 ? 4422 : 4393, flag = a4 ? 5556 : 5641;
    const Geometry range = a4 ? Geometry{6293, 695, 2505, 285} : Geometry{3288, 1956, 2400, 285};
    ReportSection header = pageHeader(a4, result, unit, flag, range);
    header.controls << label("Lbl1a", QString(), {76, 1330, a4 ? 2797.0 : 2447.0, 285})
                    << aligned(label("Lbl1b", QStringLiteral(":"), {a4 ? 2873.0 : 2800.0, 1330, 150, 285}),
                               TextAlign::Center)
                    << label("Lbl1c", QString(), {result, 1330, a4 ? 1305.0 : 1350.0, 285}, true)
                    << label("Lbl1d", QString(), {unit, 1330, a4 ? 1080.0 : 1200.0, 285})
                    << aligned(label("Lbl1f", QString(), {flag, 1330, 645, 285}, true), TextAlign::Center);
    if (a4)
        header.controls << label("Lbl1e", QString(), {6293, 1330, 3900, 285});
    else
        header.controls << label("Lbl1e", QString(), {3571, 2268, 3824, 285});
    const double commentTop = a4 ? 1850 : 2750;
    header.controls << commentTitle(commentTop, 4000) << commentText(commentTop + 300, a4 ? 10124.0 : 7319.0);
    header.height = commentTop + 700;
    ReportSection detail{QStringLiteral("Section1"), 0, {}};
    ReportSection footer{QStringLiteral("Section5"), 0, {}};
    l.sections << patientBlock(a4) << header << detail << pageFooter(a4, true) << footer;
    return l;
}

} // namespace

ReportLayout Rpt_CRV2()
{
    return single(singleA4, true);
}

ReportLayout Rpt_CRVA5()
{
    return single(singleA5, false);
}

ReportLayout byName(const QString& name)
{
    if (name == fixedA4)
        return Dpt_CRV_Fixed();
    if (name == singleA4)
        return Rpt_CRV2();
    if (name == singleA5)
        return Rpt_CRVA5();
    if (name == allA5)
        return Rpt_CRVA5All();
    return {};
}

bool isSingleResult(const QString& name)
{
    return name == singleA4 || name == singleA5;
}

} // namespace ReportLayouts
