#include "ReportLab.h"
#include "db/Databases.h"
#include "reports/Barcodes.h"
#include "reports/ReportPages.h"
#include "reports/ReportRenderer.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlField>
#include <QTemporaryDir>
#include <QTest>

namespace {

// One property of the filled layout: "records", "records.COLUMN", "leftMargin", "SectionN.height",
// or "Control.property" (visible, left, top, height, caption, fore, back, opaque, font, barcode,
// picture); "none" for a control the layout does not have.
QString valueOf(const BuiltReport& report, const QString& key)
{
    const ReportLayout& l = report.layout;
    if (key == u"records")
        return QString::number(l.records.size());
    if (key.startsWith(u"records.")) {
        QStringList values;
        for (const QSqlRecord& r : l.records)
            values << r.value(key.mid(8)).toString();
        return values.join(u',');
    }
    if (key == u"leftMargin")
        return QString::number(l.leftMargin);
    const QString name = key.section(u'.', 0, 0), what = key.section(u'.', 1);
    if (const ReportSection* s = l.section(name); s && what == u"height")
        return QString::number(s->height);
    const ReportControl* c = l.find(name);
    if (!c)
        return QStringLiteral("none");
    if (what == u"visible")
        return c->visible ? "1" : "0";
    if (what == u"left")
        return QString::number(c->left);
    if (what == u"top")
        return QString::number(c->top);
    if (what == u"height")
        return QString::number(c->height);
    if (what == u"caption")
        return c->caption;
    if (what == u"fore")
        return QString::number(c->foreColor, 'f', 0);
    if (what == u"back")
        return c->opaque ? QString::number(c->backColor, 'f', 0) : QStringLiteral("clear");
    if (what == u"font")
        return QStringLiteral("%1 %2%3").arg(c->font.family).arg(c->font.size).arg(c->font.bold ? " bold" : "");
    if (what == u"barcode")
        return Barcodes::barsOf(c->caption).isValid() ? QStringLiteral("bars") : QStringLiteral("text");
    if (what == u"picture")
        return c->picture.isNull() ? QStringLiteral("none")
                                   : QStringLiteral("%1x%2").arg(c->picture.width()).arg(c->picture.height());
    return QStringLiteral("?") + what;
}

// A word of a PDF page as pdftotext reads it, in points.
struct Word
{
    int page;
    QRectF box;
    QString text;
};

QList<Word> wordsOf(const QString& pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(60000))
        return {};
    const QString html = QString::fromUtf8(p.readAllStandardOutput());
    static const QRegularExpression word(QStringLiteral(
        R"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"));
    QList<Word> words;
    int page = -1;
    for (auto m = word.globalMatch(html); m.hasNext();) {
        const auto w = m.next();
        if (w.captured(0).startsWith(u"<page")) {
            ++page;
            continue;
        }
        words.append({page,
                      QRectF(QPointF(w.captured(1).toDouble(), w.captured(2).toDouble()),
                             QPointF(w.captured(3).toDouble(), w.captured(4).toDouble())),
                      w.captured(5).normalized(QString::NormalizationForm_KC)});
    }
    return words;
}

} // namespace

// The report builder on stored results: the header geometry rules, the right-to-left patient
// block, the query of each layout, the single-result row with its colours, the barcode or plain
// ID, pictures, signatures and margins; then what the renderer makes of long and mixed texts.
class tst_ReportBuilder : public QObject
{
    Q_OBJECT

private slots:
    void builds_data();
    void builds();
    void longTextsStayInTheirBoxes();
    void longTextsPrintWhole_data();
    void longTextsPrintWhole();
    void aTextWithNoRoomForItsFirstLineGoesOver();
};

void tst_ReportBuilder::builds_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<int>("autoNum");        // the selected result
    QTest::addColumn<QStringList>("change"); // settings "section/key=value"; "LblX=..." in the selection;
                                             // "file:NAME=good|corrupt" in the folder; "nosettings"
    QTest::addColumn<QStringList>("expect"); // property=value (see valueOf())

    const QString fixed = ReportLayouts::fixedA4, a4 = ReportLayouts::singleA4, a5 = ReportLayouts::singleA5,
                  a5all = ReportLayouts::allA5;
    QTest::newRow("title and band")
        << fixed << 1 << QStringList{}
        << QStringList{"Lbl_maintitle.visible=1", "Lbl_maintitle.top=250", "Lbl_maintitle.caption=Test Result Report",
                       "Shp_ditels.top=630",      "Lbl_D01.top=695",       "Lbl_D04.top=695",
                       "Lbl_D05.top=695",         "Lbl_D05.visible=1",     "Lbl_D02.caption=Result"};
    QTest::newRow("band without title") << fixed << 1 << QStringList{"report/showrpttitle=0"}
                                        << QStringList{"Lbl_maintitle.visible=0", "Shp_ditels.top=250",
                                                       "Lbl_D01.top=315", "Lbl_D03.top=315"};
    QTest::newRow("title without band") << a4 << 1 << QStringList{"report/showtestditals=0"}
                                        << QStringList{"Lbl_maintitle.top=250", "Shp_ditels.visible=0",
                                                       "Lbl_D01.visible=0", "Lbl_D05.visible=0"};
    QTest::newRow("patient's results of the day, first comment")
        << fixed << 2 << QStringList{}
        << QStringList{"records.testabrev=TSH,FT4",
                       "Lbl_CommentTitle.caption=Comment:", "Lbl_ComTxtREMARK.caption=Repeat after 3 months",
                       "Lbl1f.visible=1"};
    QTest::newRow("no flag column") << fixed << 1 << QStringList{"report/resulflag=0"}
                                    << QStringList{"Lbl_D05.visible=0", "Lbl1f.visible=0", "Lbl_D04.visible=1"};
    QTest::newRow("A5 all: no flag column at all")
        << a5all << 1 << QStringList{}
        << QStringList{"Lbl_D05.visible=none",       "Lbl_D04.visible=1",   "Lbl_D04.left=5046", "records=2",
                       "Label13.caption=Printed In", "Section4.height=1330"};
    QTest::newRow("single A4, flagged and shaded") << a4 << 1 << QStringList{}
                                                   << QStringList{"records=1",
                                                                  "Lbl1a.caption=TSH",
                                                                  "Lbl1c.caption=7.5",
                                                                  "Lbl1d.caption=uUI/ml",
                                                                  "Lbl1f.caption=H",
                                                                  "Lbl1e.caption=0.25 - 5.00",
                                                                  "Lbl1c.fore=255",
                                                                  "Lbl1c.back=13421823",
                                                                  "Lbl_ComTxtREMARK.caption=Repeat after 3 months",
                                                                  "Lbl_drsig1.caption=Dr. Director",
                                                                  "Lbl_drsig2.caption=Signature"};
    QTest::newRow("single A4, colour without shading")
        << a4 << 1 << QStringList{"report/AbResBGSh_T=0"} << QStringList{"Lbl1c.fore=255", "Lbl1c.back=clear"};
    QTest::newRow("single A4, empty flag: black, never shaded")
        << a4 << 2 << QStringList{"report/AbResFonC_T=1"}
        << QStringList{"Lbl1a.caption=FT4", "Lbl1f.caption=", "Lbl1c.fore=0", "Lbl1c.back=clear",
                       "Lbl_ComTxtREMARK.caption="};
    QTest::newRow("single A5: range caption with the range")
        << a5 << 1 << QStringList{"report/showtestditals=0"}
        << QStringList{"Lbl_D04.visible=1", "Lbl_D04.caption=Normal range",
                       "Lbl_D04.left=3288", "Lbl_D04.top=1956",
                       "Lbl1e.top=2268",    "Lbl_D01.visible=0"};
    QTest::newRow("single A5 without range, flag column off")
        << a5 << 5 << QStringList{"report/resulflag=0"} << QStringList{"Lbl_D04.visible=0",
                                                                       "Lbl1e.caption=",
                                                                       "Lbl1f.caption=",
                                                                       "Lbl1c.fore=255",
                                                                       "Lblname.caption=O'Brien 100% Smith",
                                                                       "Lbl_D05.visible=0"};
    QTest::newRow("single A5 band never shows the range caption")
        << a5 << 5 << QStringList{} << QStringList{"Lbl_D04.visible=0", "Lbl_D05.visible=1", "Lbl_D03.top=695"};
    QTest::newRow("right to left A4, block moved down")
        << fixed << 1 << QStringList{"report/rtlpatientname=1", "report/reportstart=100"}
        << QStringList{"Label5.left=6094", "Label7.left=6094",    "Lblname.left=7424",    "Label9.left=7424",
                       "Label1.left=0",    "Label13.left=0",      "Lblreqdate.left=1643", "Label10.left=1643",
                       "Lblid.left=1613",  "Label5.top=276",      "Lblid.top=221",        "Shape1.top=1387",
                       "Lbldr.top=1051",   "Section4.height=1450"};
    QTest::newRow("right to left A5") << a5all << 1 << QStringList{"report/rtlpatientname=1"}
                                      << QStringList{"Label5.left=3700", "Lblname.left=4870",    "Lbldr.left=4870",
                                                     "Label11.left=0",   "Lblrepdate.left=1310", "Lblid.left=1310",
                                                     "Label5.top=176"};
    QTest::newRow("rules off") << fixed << 1 << QStringList{"report/showtopline=0", "report/showbuttomline=2"}
                               << QStringList{"Shape2.visible=0", "Shape1.visible=0"};
    QTest::newRow("patient block texts") << fixed << 1 << QStringList{}
                                         << QStringList{"Lblname.caption=السيد أحمد محمود علي",
                                                        "Lblinfo.caption=Male - 45 Years",
                                                        "Lbldr.caption=د/سامي حسن",
                                                        "Lblreqdate.caption=05/12/2026  02:07 PM",
                                                        "Lblrepdate.caption=05/12/2026  02:07 PM",
                                                        "Label13.caption=Reporting Date"};
    QTest::newRow("age 0 and a time without AM/PM")
        << fixed << 1 << QStringList{"LblAgeN=0", "LblTestTime=9:05"}
        << QStringList{"Lblinfo.caption=Male ", "Lblreqdate.caption=05/12/2026  09:05 AM"};
    QTest::newRow("barcode of an EAN-13 ID") << fixed << 1 << QStringList{}
                                             << QStringList{"Lblid.caption=s{{{|GARREQ{|{001230|", "Lblid.barcode=bars",
                                                            "Label10.visible=0", "Lblid.top=121"};
    QTest::newRow("ID whose 13th digit is no check digit stays text")
        << fixed << 1 << QStringList{"LblPatID=2601140001231"}
        << QStringList{"Lblid.caption=2601140001231", "Lblid.barcode=text"};
    QTest::newRow("10-character ID unencoded") << a5all << 1 << QStringList{"LblPatID=2601140009"}
                                               << QStringList{"Lblid.caption=2601140009", "Lblid.barcode=text"};
    QTest::newRow("ID as plain text") << fixed << 1 << QStringList{"report/Barcodes_T=0"}
                                      << QStringList{"Lblid.caption=2601140001230   ", "Lblid.font=Tahoma 10 bold",
                                                     "Lblid.top=186", "Label10.visible=1"};
    QTest::newRow("patient without an ID: no namesake with one")
        << a5all << 6 << QStringList{} << QStringList{"records.resultt1=> 1200", "Lblid.caption="};
    QTest::newRow("500-character name") << fixed << 8 << QStringList{}
                                        << QStringList{"records=1", "records.resultt1=1.2"};
    QTest::newRow("result deleted before printing")
        << a4 << 99 << QStringList{} << QStringList{"records=0", "Lbl1c.caption=", "Lbl_CommentTitle.caption="};
    QTest::newRow("pictures") << fixed << 1
                              << QStringList{"report/usepicture=1", "report/reportstart=500", "file:header.jpg=good"}
                              << QStringList{"Imaget.visible=1", "Imaget.picture=400x60", "Imaget.height=1800",
                                             "Imagef.visible=1", "Imagef.picture=none",   "Imagef.height=730"};
    QTest::newRow("damaged picture") << a5 << 1 << QStringList{"report/usepicture=1", "file:header.jpg=corrupt"}
                                     << QStringList{"Imaget.visible=1", "Imaget.picture=none"};
    QTest::newRow("settings file missing")
        << fixed << 1 << QStringList{"nosettings"}
        << QStringList{"Lbl_maintitle.visible=0", "Lbl_D01.visible=0", "Lbl_drsig1.caption=", "records=2"};
    QTest::newRow("margin") << a5 << 1 << QStringList{"report/leftvalue=300.6"} << QStringList{"leftMargin=301"};
    QTest::newRow("no margin: in the middle") << fixed << 1 << QStringList{} << QStringList{"leftMargin=853"};
}

void tst_ReportBuilder::builds()
{
    QFETCH(QString, layout);
    QFETCH(int, autoNum);
    QFETCH(QStringList, change);
    QFETCH(QStringList, expect);
    ReportLab lab;
    QVERIFY(lab.ready);
    ReportSelection selection = lab.selection(autoNum);
    for (const QString& c : change) {
        if (c.startsWith(u"file:")) {
            QFile file(lab.install.path() + u'/' + c.mid(5).section(u'=', 0, 0));
            QVERIFY(file.open(QIODevice::WriteOnly));
            if (c.endsWith(u"=good")) {
                QImage picture(400, 60, QImage::Format_RGB32);
                picture.fill(Qt::darkBlue);
                QVERIFY(picture.save(&file, "JPG"));
            } else {
                file.write("\xFF\xD8\xFF\xE0 not a picture");
            }
        } else if (c == u"nosettings") {
            lab.install.context(); // the connection strings are taken before the file goes
            QVERIFY(QFile::rename(lab.install.settingsIni(), lab.install.settingsIni() + ".away"));
        } else if (c.startsWith(u"Lbl")) {
            const QString value = c.section(u'=', 1);
            if (c.startsWith(u"LblPatID="))
                selection.LblPatID = value;
            else if (c.startsWith(u"LblAgeN="))
                selection.LblAgeN = value;
            else if (c.startsWith(u"LblTestTime="))
                selection.LblTestTime = value;
        } else {
            lab.install.setSettings({c});
        }
    }
    BuiltReport report;
    if (change.contains(QStringLiteral("nosettings"))) {
        // The context read before the file went: the start-up settings stay, the report texts go.
        AppContext& context = lab.install.context();
        context.settings = AppSettings::load(lab.install.settingsIni() + ".away");
        context.buildConnectionStrings();
        const ReportBuilder builder(context.settings, context.installFolder(), context.clock().now(),
                                    context.databases().OpenInterfaceDb());
        report = builder.build(layout, selection);
    } else {
        report = lab.build(layout, selection);
    }
    QVERIFY2(report.queryOk, qPrintable(report.error));
    QCOMPARE(report.layout.name, layout);
    for (const QString& e : expect) {
        const QString key = e.section(u'=', 0, 0);
        QCOMPARE(key + u'=' + valueOf(report, key), e);
    }
    // A good picture is on the page, under the texts.
    if (change.contains(QStringLiteral("file:header.jpg=good"))) {
        const QImage page = ReportRenderer::toImages(report.layout, 48).value(0);
        bool blue = false;
        for (int y = 0; y < page.height() && !blue; ++y)
            for (int x = 0; x < page.width() && !blue; ++x)
                blue = QColor(page.pixel(x, y)).blue() > 100 && qGray(page.pixel(x, y)) < 80;
        QVERIFY(blue);
    }
}

void tst_ReportBuilder::longTextsStayInTheirBoxes()
{
    // A 500-character name, a long comment and a mixed Arabic/Latin doctor: nothing is painted
    // outside the patient block's columns, the comment grows its band, and the report fits one page.
    ReportLab lab;
    QVERIFY(lab.ready);
    lab.install.setSettings({"report/rtlpatientname=0"});
    ReportSelection s = lab.selection(8);
    s.LblDocName = QStringLiteral("د. Sami حسن Hassan الدين ") + QString(40, u'x');
    QVERIFY(lab.install.exec(TestInstall::Db::Interface, "UPDATE Result SET comment=? WHERE AutoNum=8",
                             {QString(60, u'w').replace(u'w', QStringLiteral("word "))}));
    BuiltReport report = lab.build(ReportLayouts::fixedA4, s);
    QVERIFY(report.queryOk);
    const QList<QImage> pages = ReportRenderer::toImages(report.layout, 96);
    QCOMPARE(pages.size(), 1);
    const QImage& page = pages.first();
    const ReportControl* name = report.layout.find("Lblname");
    const ReportControl* caption2 = report.layout.find("Label1");
    const double dots = 96 / 1440.0;
    const double x = report.layout.leftMargin, top = report.layout.topMargin;
    // Between the end of the first column's values and the second column's captions: paper only.
    const int from = int((x + name->left + name->width) * dots) + 2, to = int((x + caption2->left) * dots) - 2;
    for (int px = from; px < to; ++px)
        for (int py = int((top + 100) * dots); py < int((top + 1250) * dots); ++py)
            QVERIFY2(qGray(page.pixel(px, py)) > 200, qPrintable(QStringLiteral("ink at %1,%2").arg(px).arg(py)));
    // The long name is printed whole: the block grows, and the column band's frame moves down with it.
    const QList<ReportPages::Page> planned = ReportPages::plan(report.layout);
    double nameBottom = 0, frameTop = 0;
    for (const ReportPages::Placed& item : planned.first().items) {
        if (item.control.name == u"Lblname")
            nameBottom = item.control.top + item.control.height;
        if (item.control.name == u"Shp_ditels")
            frameTop = item.control.top;
    }
    QVERIFY2(nameBottom > top + report.layout.section("Section4")->height && frameTop > nameBottom,
             qPrintable(QStringLiteral("%1 %2").arg(nameBottom).arg(frameTop)));
    const int frameY = int(frameTop * dots), frameX = int((x + 9000) * dots);
    int darkest = 255;
    for (int dy = -1; dy <= 1; ++dy)
        darkest = std::min(darkest, qGray(page.pixel(frameX, frameY + dy)));
    QVERIFY2(darkest < 160, qPrintable(QString::number(darkest)));
}

void tst_ReportBuilder::longTextsPrintWhole_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<int>("flagColumn"); // resulflag
    for (const QString& layout :
         {ReportLayouts::fixedA4, ReportLayouts::singleA4, ReportLayouts::singleA5, ReportLayouts::allA5})
        for (int flag : {1, 0})
            QTest::addRow("%s, flag column %d", qPrintable(layout), flag) << layout << flag;
}

void tst_ReportBuilder::longTextsPrintWhole()
{
    // A multi-phase range, a long result text and a 1,200-character comment, on every layout: every
    // word is on the paper (never cut with an ellipsis), nothing is printed over anything else (the
    // comment never runs under the signatures), no row rule crosses a text, the flag is known on
    // every layout, and every page names the patient and its place among the pages.
    QFETCH(QString, layout);
    QFETCH(int, flagColumn);
    ReportLab lab;
    QVERIFY(lab.ready);
    lab.install.setSettings({QStringLiteral("report/resulflag=%1").arg(flagColumn)});
    const QString range =
        QStringLiteral("Male 2.1 to 17.7; Female 2.8 to 29.2; Pregnancy 1st trimester 9.7 to 208.5; "
                       "Pregnancy 2nd trimester 15.0 to 245.0; Pregnancy 3rd trimester 25.1 to 300.0");
    const QString reading = QStringLiteral("38.4 confirmed on a second aliquot after dilution");
    QStringList commentWords;
    for (int i = 0; commentWords.join(u' ').size() < 1200; ++i)
        commentWords << QStringLiteral("w%1").arg(i, 4, 10, QLatin1Char('0'));
    QVERIFY(lab.install.exec(TestInstall::Db::Interface,
                             "UPDATE Result SET normalrang=?, resultt1=?, comment=? WHERE AutoNum=1",
                             {range, reading, commentWords.join(u' ')}));
    QVERIFY(
        lab.install.exec(TestInstall::Db::Interface,
                         "UPDATE Result SET Patientname='Samira Haddad', patientsefa=NULL WHERE AutoNum IN (1, 2)"));
    const BuiltReport report = lab.build(layout, lab.selection(1));
    QVERIFY(report.queryOk);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    QVERIFY(ReportRenderer::toPdf(report.layout, pdf));
    const QList<Word> words = wordsOf(pdf);
    QVERIFY(!words.isEmpty());

    QStringList printed;
    for (const Word& w : words)
        printed << w.text;
    QVERIFY(!printed.join(u' ').contains(QChar(0x2026)));
    QStringList wanted = range.split(u' ') + reading.split(u' ');
    if (!ReportLayouts::isSingleResult(layout))
        wanted += commentWords; // the all-results layouts print the first result's comment
    else
        wanted += commentWords;
    for (const QString& w : wanted) {
        const qsizetype at = printed.indexOf(w);
        QVERIFY2(at >= 0, qPrintable(QStringLiteral("\"%1\" is not printed").arg(w)));
        printed.removeAt(at);
    }

    const int pages = words.last().page + 1;
    for (int n = 0; n < pages; ++n) {
        QStringList onPage;
        for (const Word& w : words)
            if (w.page == n)
                onPage << w.text;
        const QString line = onPage.join(u' ');
        QVERIFY2(line.contains(u"Samira Haddad") && onPage.contains(u"2601140001230") &&
                     line.contains(QStringLiteral("page %1 of %2").arg(n + 1).arg(pages)),
                 qPrintable(QStringLiteral("page %1: %2").arg(n + 1).arg(line.right(200))));
    }

    // Latin words never overlap (Arabic comes out a glyph at a time, in boxes that touch).
    for (qsizetype i = 0; i < words.size(); ++i)
        for (qsizetype j = i + 1; j < words.size(); ++j) {
            const Word &a = words[i], &b = words[j];
            if (a.page != b.page || a.text.isRightToLeft() || b.text.isRightToLeft())
                continue;
            const QRectF common = a.box.adjusted(0.5, 0.5, -0.5, -0.5) & b.box.adjusted(0.5, 0.5, -0.5, -0.5);
            QVERIFY2(common.isEmpty(), qPrintable(QStringLiteral("\"%1\" over \"%2\"").arg(a.text, b.text)));
        }

    // The flag stands in its column on the value's line, or after the value's last word.
    bool flagged = false;
    for (const Word& value : words)
        for (const Word& end : words)
            for (const Word& flag : words)
                flagged = flagged ||
                          (value.text == u"38.4" && end.text == u"dilution" && flag.text == u"H" &&
                           flag.page == value.page && end.page == value.page && flag.box.top() > value.box.top() - 2 &&
                           flag.box.top() < end.box.bottom() + 2 && flag.box.left() > value.box.left());
    QVERIFY(flagged);

    // A row rule never strikes through the texts of the rows.
    for (const ReportPages::Page& page : ReportPages::plan(report.layout))
        for (const ReportPages::Placed& rule : page.items) {
            if (rule.control.kind != ControlKind::Line)
                continue;
            for (const ReportPages::Placed& text : page.items)
                if (!text.text.trimmed().isEmpty() && text.control.kind == ControlKind::Field)
                    QVERIFY2(rule.control.top <= text.control.top ||
                                 rule.control.top >= text.control.top + text.control.height - 1,
                             qPrintable(text.text.left(40)));
        }

    // Nothing smaller than 7 pt, however narrow the place.
    ReportControl narrow;
    narrow.width = 300;
    narrow.font.size = 9;
    const ReportPages::Laid laid = ReportPages::fit(range, narrow);
    QVERIFY(laid.layout->font().pixelSize() >= 140);
}

void tst_ReportBuilder::aTextWithNoRoomForItsFirstLineGoesOver()
{
    // A comment that reaches the foot of a page with less room than its first line: it starts on
    // the next page, whole, and nothing of it stays behind.
    ReportLayout l;
    l.name = QStringLiteral("probe");
    l.paper = Paper::A5;
    l.width = 7000;
    l.patientName = QStringLiteral("Samira Haddad");
    const auto footOf = [](const ReportLayout& layout) {
        const QList<ReportPages::Page> pages = ReportPages::plan(layout);
        for (const ReportPages::Placed& item : pages.first().items)
            if (item.control.name == u"RunningPage")
                return item.control.top - 60; // the line's gap above its text
        return 0.0;
    };
    const double foot = footOf(l);
    QVERIFY(foot > 5000);
    ReportControl comment;
    comment.name = QStringLiteral("Lbl_ComTxtREMARK");
    comment.caption = QString(80, u'w').replace(u'w', QStringLiteral("word "));
    comment.width = 7000;
    comment.height = 300;
    comment.canGrow = true;
    l.sections << ReportSection{QStringLiteral("Section4"), foot - l.topMargin - 100, {}}
               << ReportSection{QStringLiteral("Section5"), 400, {comment}};
    const QList<ReportPages::Page> pages = ReportPages::plan(l);
    QCOMPARE(pages.size(), 2);
    int onFirst = 0, firstLineOnSecond = -1;
    for (const ReportPages::Placed& item : pages[0].items)
        onFirst += item.control.name == comment.name;
    for (const ReportPages::Placed& item : pages[1].items)
        if (item.control.name == comment.name)
            firstLineOnSecond = item.firstLine;
    QCOMPARE(onFirst, 0);
    QCOMPARE(firstLineOnSecond, 0);
}

QTEST_MAIN(tst_ReportBuilder)
#include "tst_ReportBuilder.moc"
