#pragma once

#include "reports/ReportLayout.h"

#include <QList>
#include <QSqlRecord>
#include <QString>
#include <QTextLayout>
#include <memory>

// How a filled layout falls onto pages, before anything is painted: every text wrapped at a
// readable size and its band grown to hold it (what lies below moves down), bands kept whole or
// continued on the next page, and the page count known, so that each page can say "page n of m".
namespace ReportPages {

// No report text is drawn smaller than this.
constexpr double kSmallestPoints = 7;

// A text laid out for a control: its lines at their offsets from the control's top-left corner.
struct Laid
{
    std::unique_ptr<QTextLayout> layout;
    double height = 0;
};

// The text as it fits the control's width: one line in a slightly smaller type when that is
// enough, otherwise as many wrapped lines as it takes. Never shortened.
Laid fit(const QString& text, const ReportControl& c);

// The control as it is drawn for `text`: an ID in the barcode font that is no symbol is drawn in
// readable type.
ReportControl drawnAs(const ReportControl& c, const QString& text);

// One control on a page: `control.top` and `control.height` on the page (twips from the paper's
// top edge), `left` from the layout's origin. A text that runs over a page break keeps its lines
// [firstLine, firstLine + lineCount) on this page; lineCount -1 is all of them.
struct Placed
{
    ReportControl control;
    const QSqlRecord* record = nullptr;
    QString text;
    int firstLine = 0;
    int lineCount = -1;
    // Bottoms of the lines still to place, from the control's top (texts of several lines only).
    QList<double> lineBottoms;
};

struct Page
{
    QList<Placed> items;
};

// The pages of the filled layout, each with its page footer and the line that names the patient
// and the page.
QList<Page> plan(const ReportLayout& layout);

// "page n of m", n counted from 1.
QString pageOf(int page, int pages);

} // namespace ReportPages
