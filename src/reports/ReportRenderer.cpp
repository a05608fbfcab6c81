#include "reports/ReportRenderer.h"

#include "reports/Barcodes.h"

#include <QFileInfo>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include <memory>

namespace ReportRenderer {

namespace {

constexpr double kTwipsPerInch = 1440;
constexpr double kTwipsPerMm = 1440 / 25.4;
constexpr double kSmallestPoints = 5.5;

// A text laid out for a control: its lines at their offsets from the control's top-left corner.
struct Laid
{
    std::unique_ptr<QTextLayout> layout;
    double height = 0;
};

Qt::Alignment alignmentOf(TextAlign align)
{
    switch (align) {
    case TextAlign::Center:
        return Qt::AlignHCenter;
    case TextAlign::Right:
        return Qt::AlignRight | Qt::AlignAbsolute;
    case TextAlign::Left:
        break;
    }
    return Qt::AlignLeft | Qt::AlignAbsolute;
}

// Lays `text` out at `points` in `width` twips; one line unless `wrap`. `maxLines` cuts it, the
// last line ending in "…".
Laid layOut(const QString& text, const ReportControl& c, double points, bool wrap, int maxLines = 0)
{
    Laid laid;
    QString shown = text;
    for (;;) {
        laid.layout = std::make_unique<QTextLayout>(shown, fontFor(c.font, points));
        QTextOption option(alignmentOf(c.align));
        option.setTextDirection(shown.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight);
        option.setWrapMode(wrap ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
        laid.layout->setTextOption(option);
        laid.layout->beginLayout();
        double y = 0;
        int lines = 0;
        bool cut = false;
        for (;;) {
            QTextLine line = laid.layout->createLine();
            if (!line.isValid())
                break;
            if (maxLines > 0 && lines == maxLines) {
                cut = true;
                break;
            }
            line.setLineWidth(c.width);
            line.setPosition(QPointF(0, y));
            y += line.height();
            ++lines;
        }
        laid.layout->endLayout();
        laid.height = y;
        if (!cut || shown.size() < 2)
            return laid;
        // Shorten until what is left ends on the last line with an ellipsis; the whole text stays
        // in the database.
        const QTextLine last = laid.layout->lineAt(maxLines - 1);
        const qsizetype keep = std::min<qsizetype>(last.textStart() + last.textLength(), shown.size() - 1) - 1;
        shown = shown.left(std::max<qsizetype>(1, keep)).trimmed() + QChar(0x2026);
    }
}

double naturalWidth(const QString& text, const ReportControl& c, double points)
{
    QTextLayout layout(text, fontFor(c.font, points));
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setNumColumns(int(text.size()));
    layout.endLayout();
    return line.naturalTextWidth();
}

// The text as it fits the control: smaller type on one line, then two or more lines, then cut.
Laid fit(const QString& text, const ReportControl& c)
{
    const double nominal = c.font.size;
    if (c.canGrow)
        return layOut(text, c, nominal, true);
    for (double points = nominal; points >= std::max(kSmallestPoints, nominal * 0.7); points -= 0.5)
        if (naturalWidth(text, c, points) <= c.width)
            return layOut(text, c, points, false);
    // Wrapped lines may use the control's height and half as much again below it.
    const double room = c.height * 1.5;
    for (double points = nominal * 0.9; points >= kSmallestPoints; points -= 0.5) {
        Laid laid = layOut(text, c, points, true);
        if (laid.height <= room)
            return laid;
    }
    const double lineHeight = QFontMetricsF(fontFor(c.font, kSmallestPoints)).height();
    return layOut(text, c, kSmallestPoints, true, std::max(1, int(room / lineHeight)));
}

void drawText(QPainter& p, const ReportControl& c, const QString& text, double x, double y)
{
    const QRectF box(x + c.left, y + c.top, c.width, c.height);
    if (c.opaque)
        p.fillRect(box, colorOf(c.backColor));
    if (text.trimmed().isEmpty())
        return;
    const Laid laid = fit(text, c);
    double top = box.top();
    if (laid.layout->lineCount() == 1) {
        // One line sits on the baseline a Latin line would have in the middle of the control, so
        // that Arabic (taller) and Latin texts of one row line up.
        const QFontMetricsF latin(fontFor({QString(), c.font.size, c.font.bold}, c.font.size));
        const double baseline = box.top() + (c.height - latin.ascent() - latin.descent()) / 2 + latin.ascent();
        top = baseline - laid.layout->lineAt(0).ascent();
    }
    p.setPen(colorOf(c.foreColor));
    laid.layout->draw(&p, QPointF(box.left(), top));
}

void drawPicture(QPainter& p, const ReportControl& c, double x, double y)
{
    if (c.picture.isNull())
        return;
    const QRectF box(x + c.left, y + c.top, c.width, c.height);
    QSizeF size = c.picture.size();
    size.scale(box.size(), Qt::KeepAspectRatio);
    const QRectF target(box.left() + (box.width() - size.width()) / 2, box.top(), size.width(), size.height());
    p.drawImage(target, c.picture);
}

// The symbol in the control's box: white behind bars and quiet zones, module width at most the
// nominal 0.33 mm and a whole number of device dots.
void drawBarcode(QPainter& p, const ReportControl& c, const Barcodes::Bars& bars, double x, double y, double dpi)
{
    const bool addOn = bars.addOnStart >= 0;
    const int total = Barcodes::leftQuietZone + int(bars.modules.size()) +
                      (addOn ? Barcodes::addOnRightQuietZone : Barcodes::rightQuietZone);
    double module = std::min(Barcodes::nominalModuleMm * kTwipsPerMm, c.width / total);
    const double twipsPerDot = kTwipsPerInch / dpi;
    if (dpi <= 2400) {
        double dots = std::round(module / twipsPerDot);
        if (dots * twipsPerDot * total > c.width)
            dots = std::floor(module / twipsPerDot);
        module = std::max(1.0, dots) * twipsPerDot;
    }
    // On the dot grid, so every bar of one width comes out the same.
    const double left = std::round((x + c.left) / twipsPerDot) * twipsPerDot;
    const double top = y + c.top;
    const QRectF box(left, top, module * total, c.height);
    p.fillRect(box, Qt::white);

    ReportControl digits = c;
    digits.font = {QStringLiteral("DejaVu Sans Mono"), std::clamp(module * 7 / 20 * 1.05, 5.0, 9.0), false};
    const QFont font = fontFor(digits.font, digits.font.size);
    const double textHeight = QFontMetricsF(font).height() * 0.85;
    const double barsBottom = top + c.height - textHeight;
    const double guardBottom = barsBottom + textHeight / 2;
    const double start = left + Barcodes::leftQuietZone * module;

    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    for (qsizetype i = 0; i < bars.modules.size(); ++i) {
        if (bars.modules.at(i) != u'1')
            continue;
        const bool inAddOn = addOn && i >= bars.addOnStart;
        const double barTop = inAddOn ? top + textHeight : top;
        const double bottom = inAddOn ? guardBottom : bars.guards.at(i) == u'1' ? guardBottom : barsBottom;
        p.fillRect(QRectF(start + i * module, barTop, module, bottom - barTop), Qt::black);
    }
    p.restore();

    p.setFont(font);
    p.setPen(Qt::black);
    const auto digitAt = [&](QChar d, double cx, double cy) {
        p.drawText(QRectF(cx - 4 * module, cy, 8 * module, textHeight), Qt::AlignHCenter | Qt::AlignTop, QString(d));
    };
    digitAt(bars.firstDigit, start - 4 * module, barsBottom);
    for (const auto& d : bars.digits)
        digitAt(d.digit, start + (d.start + 3.5) * module, d.addOn ? top : barsBottom);
}

void drawControl(QPainter& p, const ReportControl& c, const QSqlRecord* record, double x, double y, double dpi)
{
    if (!c.visible)
        return;
    switch (c.kind) {
    case ControlKind::Picture:
        drawPicture(p, c, x, y);
        return;
    case ControlKind::Shape: {
        const QRectF box(x + c.left, y + c.top, c.width, c.height);
        if (c.opaque)
            p.fillRect(box, colorOf(c.backColor));
        p.setPen(QPen(colorOf(c.foreColor), 12));
        p.setBrush(Qt::NoBrush);
        p.drawRect(box);
        return;
    }
    case ControlKind::Line:
        p.setPen(QPen(colorOf(c.foreColor), std::max(10.0, c.height)));
        p.drawLine(QPointF(x + c.left, y + c.top), QPointF(x + c.left + c.width, y + c.top));
        return;
    case ControlKind::Label:
    case ControlKind::Field:
        break;
    }
    const QString text = controlText(c, record);
    if (c.barcodeFont) {
        if (const Barcodes::Bars bars = Barcodes::barsOf(text); bars.isValid()) {
            drawBarcode(p, c, bars, x, y, dpi);
            return;
        }
        // Not a symbol: the ID in readable type.
        ReportControl plain = c;
        plain.font = {QStringLiteral("Tahoma"), 10, true};
        drawText(p, plain, text, x, y);
        return;
    }
    drawText(p, c, text, x, y);
}

// A section as painted for `record`: its controls moved down below comments that grew, and its
// height with them.
struct Placed
{
    QList<ReportControl> controls;
    double height = 0;
};

Placed place(const ReportSection& s, const QSqlRecord* record)
{
    Placed placed{s.controls, s.height};
    double growth = 0;
    for (const ReportControl& c : s.controls) {
        if (!c.canGrow || !c.visible)
            continue;
        const QString text = controlText(c, record);
        if (text.isEmpty())
            continue;
        const double extra = fit(text, c).height - c.height;
        if (extra <= 0)
            continue;
        for (ReportControl& other : placed.controls)
            if (other.top > c.top)
                other.top += extra;
        growth += extra;
    }
    placed.height += growth;
    return placed;
}

void paintSection(QPainter& p, const Placed& s, const QSqlRecord* record, double x, double y, double dpi)
{
    for (const ReportControl& c : s.controls)
        if (c.kind == ControlKind::Picture)
            drawControl(p, c, record, x, y, dpi);
    for (const ReportControl& c : s.controls)
        if (c.kind != ControlKind::Picture)
            drawControl(p, c, record, x, y, dpi);
}

} // namespace

QFont fontFor(const ReportFont& font, double points)
{
    QFont f;
    // Latin in the layout's face or Noto Sans; Arabic in Noto Naskh Arabic; DejaVu for the rest.
    QStringList families{QStringLiteral("Noto Sans"), QStringLiteral("Noto Naskh Arabic"),
                         QStringLiteral("DejaVu Sans")};
    if (!font.family.isEmpty() && !families.contains(font.family))
        families.prepend(font.family);
    f.setFamilies(families);
    f.setPixelSize(std::max(1, int(std::lround(points * 20))));
    f.setBold(font.bold);
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setKerning(true);
    return f;
}

QColor colorOf(double value)
{
    if (!(value >= 0 && value <= 0xFFFFFF))
        return Qt::black;
    const auto v = static_cast<quint32>(value);
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

int paint(const ReportLayout& layout, const PageSource& pages, double dpi)
{
    const ReportSection* reportHeader = layout.section(QStringLiteral("Section4"));
    const ReportSection* pageHeader = layout.section(QStringLiteral("Section2"));
    const ReportSection* detail = layout.section(QStringLiteral("Section1"));
    const ReportSection* pageFooter = layout.section(QStringLiteral("Section3"));
    const ReportSection* reportFooter = layout.section(QStringLiteral("Section5"));
    const ReportSection none;
    const auto orNone = [&none](const ReportSection* s) -> const ReportSection& { return s ? *s : none; };

    const double x = layout.leftMargin;
    const double top = layout.topMargin;
    const Placed footer = place(orNone(pageFooter), nullptr);
    const double footerTop = layout.paperHeight() - layout.bottomMargin - footer.height;

    int page = 0;
    QPainter* p = nullptr;
    double y = 0;
    const auto startPage = [&]() -> bool {
        p = pages(page);
        if (!p)
            return false;
        p->resetTransform();
        p->scale(dpi / kTwipsPerInch, dpi / kTwipsPerInch);
        p->setRenderHint(QPainter::Antialiasing, true);
        p->setRenderHint(QPainter::TextAntialiasing, true);
        y = top;
        if (page == 0) {
            const Placed head = place(orNone(reportHeader), nullptr);
            paintSection(*p, head, nullptr, x, y, dpi);
            y += head.height;
        }
        const QSqlRecord* first = layout.records.isEmpty() ? nullptr : &layout.records.first();
        const Placed header = place(orNone(pageHeader), first);
        paintSection(*p, header, first, x, y, dpi);
        y += header.height;
        return true;
    };
    const auto endPage = [&]() {
        paintSection(*p, footer, nullptr, x, footerTop, dpi);
        ++page;
    };
    // Starts a new page when `height` does not fit above the footer of this one.
    const auto room = [&](double height) -> bool {
        if (y + height <= footerTop || y <= top + 1)
            return true;
        endPage();
        return startPage();
    };

    if (!startPage())
        return 0;
    for (const QSqlRecord& record : layout.records) {
        const Placed row = place(orNone(detail), &record);
        if (row.height <= 0)
            continue;
        if (!room(row.height))
            return page;
        paintSection(*p, row, &record, x, y, dpi);
        y += row.height;
    }
    const Placed end = place(orNone(reportFooter), nullptr);
    if (end.height > 0) {
        if (!room(end.height))
            return page;
        paintSection(*p, end, nullptr, x, y, dpi);
    }
    endPage();
    return page;
}

bool toPdf(const ReportLayout& layout, const QString& file, QString* error)
{
    // Written beside and put in place when complete: never half a report under the name.
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly)) {
        if (error)
            *error = QStringLiteral("cannot write %1: %2").arg(file, out.errorString());
        return false;
    }
    QPdfWriter writer(&out);
    writer.setPageSize(QPageSize(layout.paper == Paper::A4 ? QPageSize::A4 : QPageSize::A5));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setResolution(1200);
    writer.setTitle(layout.name);
    writer.setCreator(QStringLiteral("Corvana Interface"));
    QPainter painter;
    bool done = painter.begin(&writer);
    if (done) {
        paint(
            layout,
            [&](int page) {
                if (page > 0)
                    writer.newPage();
                return &painter;
            },
            writer.resolution());
        done = painter.end();
    }
    if (!done || !out.commit()) {
        if (error)
            *error = QStringLiteral("cannot write %1: %2").arg(file, out.errorString());
        return false;
    }
    return true;
}

QList<QImage> toImages(const ReportLayout& layout, int dpi)
{
    QList<QImage> images;
    QPainter painter;
    const QSize size(int(std::lround(layout.paperWidth() * dpi / kTwipsPerInch)),
                     int(std::lround(layout.paperHeight() * dpi / kTwipsPerInch)));
    paint(
        layout,
        [&](int) {
            if (painter.isActive())
                painter.end();
            images.append(QImage(size, QImage::Format_RGB32));
            images.last().setDotsPerMeterX(int(std::lround(dpi / 0.0254)));
            images.last().setDotsPerMeterY(int(std::lround(dpi / 0.0254)));
            images.last().fill(Qt::white);
            painter.begin(&images.last());
            return &painter;
        },
        dpi);
    if (painter.isActive())
        painter.end();
    return images;
}

bool toPng(const ReportLayout& layout, const QString& file, int dpi, QString* error)
{
    const QList<QImage> images = toImages(layout, dpi);
    const QFileInfo info(file);
    for (qsizetype i = 0; i < images.size(); ++i) {
        const QString name =
            i == 0 ? file
                   : info.path() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral("-%1.png").arg(i + 1);
        if (!images[i].save(name, "PNG")) {
            if (error)
                *error = QStringLiteral("cannot write %1").arg(name);
            return false;
        }
    }
    return true;
}

} // namespace ReportRenderer
