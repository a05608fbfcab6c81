#include "reports/ReportRenderer.h"

#include "reports/Barcodes.h"
#include "reports/ReportPages.h"

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

void drawText(QPainter& p, const ReportPages::Placed& item, double x)
{
    const ReportControl& c = item.control;
    const QRectF box(x + c.left, c.top, c.width, c.height);
    if (c.opaque)
        p.fillRect(box, colorOf(c.backColor));
    if (item.text.trimmed().isEmpty())
        return;
    const ReportPages::Laid laid = ReportPages::fit(item.text, c);
    p.setPen(colorOf(c.foreColor));
    if (laid.layout->lineCount() == 1) {
        // One line sits on the baseline a Latin line would have in the middle of the control, so
        // that Arabic (taller) and Latin texts of one row line up.
        const QFontMetricsF latin(fontFor({QString(), c.font.size, c.font.bold}, c.font.size));
        const double baseline = box.top() + (c.height - latin.ascent() - latin.descent()) / 2 + latin.ascent();
        laid.layout->draw(&p, QPointF(box.left(), baseline - laid.layout->lineAt(0).ascent()));
        return;
    }
    // The lines that stand on this page, the first of them at the control's top.
    const int last = item.lineCount < 0 ? laid.layout->lineCount() : item.firstLine + item.lineCount;
    const double offset = laid.layout->lineAt(std::min(item.firstLine, laid.layout->lineCount() - 1)).y();
    for (int i = item.firstLine; i < std::min(last, laid.layout->lineCount()); ++i)
        laid.layout->lineAt(i).draw(&p, QPointF(box.left(), box.top() - offset));
}

void drawPicture(QPainter& p, const ReportControl& c, double x)
{
    if (c.picture.isNull())
        return;
    const QRectF box(x + c.left, c.top, c.width, c.height);
    QSizeF size = c.picture.size();
    size.scale(box.size(), Qt::KeepAspectRatio);
    const QRectF target(box.left() + (box.width() - size.width()) / 2, box.top(), size.width(), size.height());
    p.drawImage(target, c.picture);
}

// The symbol in the control's box: white behind bars and quiet zones, module width at most the
// nominal 0.33 mm and a whole number of device dots.
void drawBarcode(QPainter& p, const ReportControl& c, const Barcodes::Bars& bars, double x, double dpi)
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
    const double top = c.top;
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

void drawControl(QPainter& p, const ReportPages::Placed& item, double x, double dpi)
{
    const ReportControl& c = item.control;
    switch (c.kind) {
    case ControlKind::Picture:
        drawPicture(p, c, x);
        return;
    case ControlKind::Shape: {
        const QRectF box(x + c.left, c.top, c.width, c.height);
        if (c.opaque)
            p.fillRect(box, colorOf(c.backColor));
        p.setPen(QPen(colorOf(c.foreColor), 12));
        p.setBrush(Qt::NoBrush);
        p.drawRect(box);
        return;
    }
    case ControlKind::Line:
        p.setPen(QPen(colorOf(c.foreColor), std::max(10.0, c.height)));
        p.drawLine(QPointF(x + c.left, c.top), QPointF(x + c.left + c.width, c.top));
        return;
    case ControlKind::Label:
    case ControlKind::Field:
        break;
    }
    if (c.barcodeFont) {
        if (const Barcodes::Bars bars = Barcodes::barsOf(item.text); bars.isValid()) {
            drawBarcode(p, c, bars, x, dpi);
            return;
        }
    }
    drawText(p, item, x);
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
    const QList<ReportPages::Page> planned = ReportPages::plan(layout);
    const double x = layout.leftMargin;
    for (int n = 0; n < planned.size(); ++n) {
        QPainter* p = pages(n);
        if (!p)
            return n;
        p->resetTransform();
        p->scale(dpi / kTwipsPerInch, dpi / kTwipsPerInch);
        p->setRenderHint(QPainter::Antialiasing, true);
        p->setRenderHint(QPainter::TextAntialiasing, true);
        // Pictures first, under the texts.
        for (const ReportPages::Placed& item : planned[n].items)
            if (item.control.kind == ControlKind::Picture)
                drawControl(*p, item, x, dpi);
        for (const ReportPages::Placed& item : planned[n].items)
            if (item.control.kind != ControlKind::Picture)
                drawControl(*p, item, x, dpi);
    }
    return int(planned.size());
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
