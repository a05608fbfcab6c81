#include "reports/ReportPages.h"

#include "reports/Barcodes.h"
#include "reports/ReportRenderer.h"

#include <QFontMetricsF>
#include <QTextOption>
#include <algorithm>
#include <numeric>

namespace ReportPages {

namespace {

// Rows that touch count as one above the other.
constexpr double kTouching = 20;
// The line at the foot of every page: patient and page number.
constexpr double kRunningPoints = 7.5;
constexpr double kRunningGap = 60;

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

Laid layOut(const QString& text, const ReportControl& c, double points, bool wrap)
{
    Laid laid;
    laid.layout = std::make_unique<QTextLayout>(text, ReportRenderer::fontFor(c.font, points));
    QTextOption option(alignmentOf(c.align));
    option.setTextDirection(text.isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight);
    option.setWrapMode(wrap ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    laid.layout->setTextOption(option);
    laid.layout->beginLayout();
    double y = 0;
    for (QTextLine line = laid.layout->createLine(); line.isValid(); line = laid.layout->createLine()) {
        line.setLineWidth(c.width);
        line.setPosition(QPointF(0, y));
        y += line.height();
    }
    laid.layout->endLayout();
    laid.height = y;
    return laid;
}

double naturalWidth(const QString& text, const ReportControl& c, double points)
{
    QTextLayout layout(text, ReportRenderer::fontFor(c.font, points));
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setNumColumns(int(text.size()));
    layout.endLayout();
    return line.naturalTextWidth();
}

bool isText(const ReportControl& c)
{
    return c.kind == ControlKind::Label || c.kind == ControlKind::Field;
}

// A section placed for one record: its controls with the heights their texts need, everything
// below a grown text moved down by as much, and the section's height with them.
struct Block
{
    QList<Placed> items; // tops from the block's top
    double height = 0;
};

Block place(const ReportSection& s, const QSqlRecord* record)
{
    Block block;
    block.height = s.height;
    QList<double> designTop, designBottom;
    for (const ReportControl& c : s.controls) {
        if (!c.visible)
            continue;
        designTop << c.top;
        designBottom << c.top + c.height;
        Placed item;
        item.record = record;
        if (isText(c)) {
            item.text = controlText(c, record);
            item.control = drawnAs(c, item.text);
            if (item.control.barcodeFont || item.text.trimmed().isEmpty()) {
                block.items << item;
                continue;
            }
            const Laid laid = fit(item.text, item.control);
            if (laid.layout->lineCount() > 1) {
                for (int i = 0; i < laid.layout->lineCount(); ++i) {
                    const QTextLine line = laid.layout->lineAt(i);
                    item.lineBottoms << line.y() + line.height();
                }
                item.control.height = std::max(item.control.height, laid.height);
            }
        } else {
            item.control = c;
        }
        block.items << item;
    }
    // In the order of their tops, each control moves down by the most that any control whose
    // design box ends above it has grown or moved.
    QList<int> order(block.items.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return block.items[a].control.top < block.items[b].control.top; });
    QList<double> moved(block.items.size());
    double growth = 0;
    for (int at : order) {
        double shift = 0;
        for (int above : order) {
            if (designTop[above] >= designTop[at])
                break;
            if (designBottom[above] <= designTop[at] + kTouching)
                shift = std::max(shift, moved[above]);
        }
        Placed& item = block.items[at];
        item.control.top += shift;
        moved[at] = item.control.top + item.control.height - designBottom[at];
        growth = std::max(growth, moved[at]);
    }
    block.height += std::max(0.0, growth);
    return block;
}

// Takes from `block` what fits in `room`; the rest stays in `block`, moved up to start at 0. A
// text of several lines is split between its lines. With `force`, something is taken even when
// nothing fits, so that a band taller than a page still ends.
Block take(Block& block, double room, bool force)
{
    Block part, rest;
    for (const Placed& item : block.items) {
        const ReportControl& c = item.control;
        if (c.top + c.height <= room + 0.5) {
            part.items << item;
            continue;
        }
        if (c.top < room && item.lineBottoms.size() > 1) {
            qsizetype fits = 0;
            while (fits < item.lineBottoms.size() && c.top + item.lineBottoms[fits] <= room + 0.5)
                ++fits;
            if (fits > 0) {
                const double used = item.lineBottoms[fits - 1];
                Placed here = item;
                here.lineCount = int(fits);
                here.lineBottoms = item.lineBottoms.mid(0, fits);
                here.control.height = used;
                part.items << here;
                Placed there = item;
                there.firstLine = item.firstLine + int(fits);
                there.lineBottoms.clear();
                for (qsizetype i = fits; i < item.lineBottoms.size(); ++i)
                    there.lineBottoms << item.lineBottoms[i] - used;
                there.control.top = c.top + used;
                there.control.height = c.height - used;
                rest.items << there;
                continue;
            }
        }
        rest.items << item;
    }
    if (part.items.isEmpty() && force && !rest.items.isEmpty()) {
        const auto first = std::min_element(rest.items.begin(), rest.items.end(), [](const Placed& a, const Placed& b) {
            return a.control.top < b.control.top;
        });
        part.items << *first;
        rest.items.erase(first);
    }
    double cut = block.height;
    for (const Placed& item : rest.items)
        cut = std::min(cut, item.control.top);
    for (Placed& item : rest.items)
        item.control.top -= cut;
    part.height = cut;
    rest.height = std::max(0.0, block.height - cut);
    block = rest;
    return part;
}

ReportControl runningControl(const char* name, const QString& text, double left, double width, TextAlign align)
{
    ReportControl c;
    c.name = QLatin1String(name);
    c.caption = text;
    c.left = left;
    c.width = width;
    c.height = 0;
    c.align = align;
    c.font = {QStringLiteral("Noto Sans"), kRunningPoints, false};
    return c;
}

// The patient and the page, at the foot of every page; the page text is filled in per page.
ReportSection runningLine(const ReportLayout& layout)
{
    ReportSection s{QStringLiteral("running"), 0, {}};
    const double pageWidth = 2000, idWidth = layout.patientId.isEmpty() ? 0 : 2300;
    s.controls << runningControl("RunningId", layout.patientId, 0, idWidth, TextAlign::Left)
               << runningControl("RunningName", layout.patientName, idWidth,
                                 layout.width - idWidth - pageWidth - kRunningGap, TextAlign::Left)
               << runningControl("RunningPage", pageOf(0, 1), layout.width - pageWidth, pageWidth, TextAlign::Right);
    const double line = QFontMetricsF(ReportRenderer::fontFor(s.controls.first().font, kRunningPoints)).height();
    for (ReportControl& c : s.controls) {
        c.top = kRunningGap;
        c.height = line;
    }
    s.height = line + kRunningGap;
    return s;
}

void addAt(Page& page, const Block& block, double y)
{
    for (Placed item : block.items) {
        item.control.top += y;
        page.items << item;
    }
}

} // namespace

Laid fit(const QString& text, const ReportControl& c)
{
    const double nominal = std::max(kSmallestPoints, c.font.size);
    if (c.canGrow)
        return layOut(text, c, nominal, true);
    // A little smaller on one line reads better than two lines.
    for (double points = nominal; points >= std::max(kSmallestPoints, nominal * 0.8); points -= 0.5)
        if (naturalWidth(text, c, points) <= c.width)
            return layOut(text, c, points, false);
    return layOut(text, c, std::max(kSmallestPoints, nominal * 0.9), true);
}

ReportControl drawnAs(const ReportControl& c, const QString& text)
{
    if (!c.barcodeFont || Barcodes::barsOf(text).isValid())
        return c;
    ReportControl plain = c;
    plain.barcodeFont = false;
    plain.font = {QStringLiteral("Tahoma"), 10, true};
    return plain;
}

QString pageOf(int page, int pages)
{
    return QStringLiteral("page %1 of %2").arg(page + 1).arg(pages);
}

QList<Page> plan(const ReportLayout& layout)
{
    const ReportSection none;
    const auto sectionOf = [&](const char* name) -> const ReportSection& {
        const ReportSection* s = layout.section(QLatin1String(name));
        return s ? *s : none;
    };
    const QSqlRecord* first = layout.records.isEmpty() ? nullptr : &layout.records.first();
    const ReportSection running = runningLine(layout);
    const Block runningBlock = place(running, nullptr);
    const Block footer = place(sectionOf("Section3"), nullptr);
    const double runningTop = layout.paperHeight() - layout.bottomMargin - runningBlock.height;
    const double footerTop = runningTop - footer.height;
    const double top = layout.topMargin;

    QList<Page> pages{Page{}};
    double y = top;
    // Where a band starts on a new page: below the repeated page header. A band that cannot start
    // here goes there, unless it already stands there.
    const double freshTop = top + (layout.headerIsBody ? 0.0 : place(sectionOf("Section2"), first).height);
    const auto newPage = [&] {
        pages.append(Page{});
        y = top;
        if (!layout.headerIsBody) {
            const Block header = place(sectionOf("Section2"), first);
            addAt(pages.last(), header, y);
            y += header.height;
        }
    };
    // A band on the pages from here on: kept whole when it fits on a page of its own, otherwise
    // continued on the next page where it is cut.
    const auto flow = [&](Block block, bool keepWhole) {
        for (;;) {
            if (y + block.height <= footerTop + 0.5) {
                addAt(pages.last(), block, y);
                y += block.height;
                return;
            }
            if (keepWhole && y > freshTop + 0.5 && block.height <= footerTop - freshTop) {
                newPage();
                continue;
            }
            const Block part = take(block, footerTop - y, y <= freshTop + 0.5);
            addAt(pages.last(), part, y);
            y += part.height;
            if (block.items.isEmpty())
                return;
            newPage();
        }
    };

    const Block reportHeader = place(sectionOf("Section4"), nullptr);
    addAt(pages.last(), reportHeader, y);
    y += reportHeader.height;
    if (layout.headerIsBody) {
        // The one result and its comment, once, continued on further pages when long.
        flow(place(sectionOf("Section2"), first), false);
    } else {
        const Block header = place(sectionOf("Section2"), first);
        addAt(pages.last(), header, y);
        y += header.height;
        for (const QSqlRecord& record : layout.records) {
            const Block row = place(sectionOf("Section1"), &record);
            if (row.height > 0)
                flow(row, true);
        }
    }
    const Block end = place(sectionOf("Section5"), nullptr);
    if (end.height > 0)
        flow(end, false);

    for (qsizetype n = 0; n < pages.size(); ++n) {
        const bool last = n == pages.size() - 1;
        Block foot = footer;
        // With the result in the page header, the signatures stand once, under the whole comment.
        if (layout.headerIsBody && !last)
            foot.items.removeIf([](const Placed& item) { return isText(item.control); });
        addAt(pages[n], foot, footerTop);
        Block line = runningBlock;
        for (Placed& item : line.items)
            if (item.control.name == u"RunningPage")
                item.text = item.control.caption = pageOf(int(n), int(pages.size()));
        addAt(pages[n], line, runningTop);
    }
    return pages;
}

} // namespace ReportPages
