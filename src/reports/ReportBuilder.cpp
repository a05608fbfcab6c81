#include "reports/ReportBuilder.h"

#include "common/DateFormats.h"
#include "common/Numbers.h"
#include "config/AppSettings.h"
#include "config/IniFile.h"
#include "db/SqlRun.h"
#include "platform/InstallFolder.h"
#include "reports/Barcodes.h"

#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSqlField>
#include <cmath>

namespace {

QString textOf(const QSqlRecord& row, const char* column)
{
    const QSqlField f = row.field(QLatin1String(column));
    return f.isValid() && !f.isNull() ? f.value().toString() : QString();
}

bool isNull(const QSqlRecord& row, const char* column)
{
    const QSqlField f = row.field(QLatin1String(column));
    return !f.isValid() || f.isNull();
}

// A clock time as "hh:nn AM/PM"; a text that is no time stays as it is.
QString amPm(const QString& time)
{
    static const QLocale english(QLocale::English, QLocale::UnitedStates);
    QTime t = english.toTime(time.trimmed(), QStringLiteral("hh:mm AP"));
    if (!t.isValid())
        t = english.toTime(time.trimmed(), QStringLiteral("h:mm AP"));
    if (!t.isValid())
        t = DateFormats::parseTime(time);
    return t.isValid() ? DateFormats::timeAmPm(t) : time.trimmed();
}

void show(ReportLayout& l, const char* name, bool visible)
{
    if (ReportControl* c = l.find(QLatin1String(name)))
        c->visible = visible;
}

void setTop(ReportLayout& l, const char* name, double top)
{
    if (ReportControl* c = l.find(QLatin1String(name)))
        c->top = top;
}

void setLeft(ReportLayout& l, const char* name, double left)
{
    if (ReportControl* c = l.find(QLatin1String(name)))
        c->left = left;
}

void setCaption(ReportLayout& l, const char* name, const QString& caption)
{
    if (ReportControl* c = l.find(QLatin1String(name)))
        c->caption = caption;
}

QImage pictureFile(const InstallFolder& folder, const char* name)
{
    const QString path = folder.filePath(QLatin1String(name));
    QImage image;
    // A damaged file loads as no picture: the report prints without it.
    if (QFileInfo::exists(path))
        image.load(path);
    return image;
}

// A title before a name: "د/" joins the name directly, "السيد" takes a blank after it.
QString titled(const QString& title, const QString& name)
{
    if (title.isEmpty() || name.isEmpty() || !title.back().isLetter())
        return title + name;
    return title + QLatin1Char(' ') + name;
}

} // namespace

ReportSelection ReportSelection::fromResultRow(const QSqlRecord& row)
{
    ReportSelection s;
    s.LblPatID = textOf(row, "patientid");
    s.LblPatName = textOf(row, "Patientname");
    s.LblTestDate = SqlRun::toDate(row.value(QStringLiteral("Testdate")));
    s.LblTestTime = textOf(row, "TestTime");
    const double age = Numbers::toNumber(textOf(row, "ageN"));
    s.LblAgeN = age == 0 ? QString() : Numbers::toText(age);
    s.LblAgeU = textOf(row, "ageU");
    s.LblSex = textOf(row, "sex");
    s.LblDocName = textOf(row, "DocName");
    s.Cmb_patientsefa = textOf(row, "patientsefa");
    s.Cmb_drsefa = textOf(row, "Drsefa");
    s.Txt_AUTOID = textOf(row, "AutoNum");
    return s;
}

ReportTexts ReportTexts::read(const QString& settingsIni)
{
    ReportTexts t;
    if (!QFileInfo::exists(settingsIni))
        return t;
    const auto key = [&settingsIni](const char* name) {
        return ReadIni(settingsIni, IniKeys::report, QLatin1String(name));
    };
    t.showrpttitle = Numbers::toInt16(key("showrpttitle"));
    t.showrpttitlettxt = key("showrpttitlettxt");
    t.showtestditals = Numbers::toInt16(key("showtestditals"));
    t.showtestditals1 = key("showtestditals1");
    t.showtestditals2 = key("showtestditals2");
    t.showtestditals3 = key("showtestditals3");
    t.showtestditals4 = key("showtestditals4");
    t.showtestditals5 = key("showtestditals5");
    t.showdoctorsig1 = key("showdoctorsig1");
    t.showdoctorsig2 = key("showdoctorsig2");
    key("showdoctorsigYN"); // read, as ever, and not used
    return t;
}

ReportBuilder::ReportBuilder(const AppSettings& settings, const InstallFolder& folder, QDateTime now,
                             QSqlDatabase iface)
    : m_settings(settings), m_folder(folder), m_now(std::move(now)), m_db(std::move(iface))
{
}

BuiltReport ReportBuilder::MakeReportFixed(const ReportSelection& selection) const
{
    return make(ReportLayouts::Dpt_CRV_Fixed(), selection);
}

BuiltReport ReportBuilder::MakeReportSingleA4(const ReportSelection& selection) const
{
    return make(ReportLayouts::Rpt_CRV2(), selection);
}

BuiltReport ReportBuilder::MakeReportSingleA5(const ReportSelection& selection) const
{
    return make(ReportLayouts::Rpt_CRVA5(), selection);
}

BuiltReport ReportBuilder::MakeReportAllA5(const ReportSelection& selection) const
{
    return make(ReportLayouts::Rpt_CRVA5All(), selection);
}

BuiltReport ReportBuilder::build(const QString& layoutName, const ReportSelection& selection) const
{
    if (layoutName == ReportLayouts::fixedA4)
        return MakeReportFixed(selection);
    if (layoutName == ReportLayouts::singleA4)
        return MakeReportSingleA4(selection);
    if (layoutName == ReportLayouts::singleA5)
        return MakeReportSingleA5(selection);
    if (layoutName == ReportLayouts::allA5)
        return MakeReportAllA5(selection);
    return {};
}

QString ReportBuilder::barcodeFor(const QString& patientId)
{
    if (patientId.size() != 13)
        return {};
    const QString data = patientId.left(12).section(QRegularExpression(QStringLiteral("[\r\n]")), 0, 0);
    const QString symbol = Barcodes::EncodeEAN13(data);
    if (symbol.isEmpty() || data + Barcodes::EANCheckDigit(data) != patientId)
        return {};
    return symbol;
}

BuiltReport ReportBuilder::make(ReportLayout layout, const ReportSelection& selection) const
{
    const ReportTexts texts = ReportTexts::read(m_folder.settingsIni());
    BuiltReport report;
    report.layout = std::move(layout);
    ReportLayout& l = report.layout;
    const bool single = ReportLayouts::isSingleResult(l.name);

    headerBands(l, texts);
    if (query(report, selection) && !single && !l.records.isEmpty()) {
        const QSqlRecord& first = l.records.first();
        if (!isNull(first, "comment")) {
            setCaption(l, "Lbl_CommentTitle", m_settings.showonecomment1);
            setCaption(l, "Lbl_ComTxtREMARK", textOf(first, "comment"));
        }
    }
    patientBlock(l, selection);
    if (l.name == ReportLayouts::fixedA4 && m_settings.resulflag == 0) {
        show(l, "Lbl1f", false);
        // Without its column the flag follows the value: a flagged result is never printed plain.
        if (ReportControl* value = l.find(QStringLiteral("Lbl1c")))
            value->suffixBinding = QStringLiteral("RESULTCASEPRINT");
    }
    if (single && !l.records.isEmpty())
        singleRow(l, l.records.first(), texts);
    setCaption(l, "Lbl_drsig1", texts.showdoctorsig1);
    setCaption(l, "Lbl_drsig2", texts.showdoctorsig2);

    // Without a margin of its own the report stands in the middle of the paper, clear of the
    // edge no printer reaches.
    const double margin = std::round(m_settings.leftvalue);
    l.leftMargin = margin > 0 ? margin : std::round((l.paperWidth() - l.width) / 2);
    return report;
}

void ReportBuilder::headerBands(ReportLayout& l, const ReportTexts& texts) const
{
    double position = 250;
    if (texts.showrpttitle == 1) {
        show(l, "Lbl_maintitle", true);
        setTop(l, "Lbl_maintitle", position);
        setCaption(l, "Lbl_maintitle", texts.showrpttitlettxt);
        position += 380;
    }
    if (texts.showtestditals == 1) {
        show(l, "Shp_ditels", true);
        setTop(l, "Shp_ditels", position);
        const QString captions[] = {texts.showtestditals1, texts.showtestditals2, texts.showtestditals3,
                                    texts.showtestditals4, texts.showtestditals5};
        const char* names[] = {"Lbl_D01", "Lbl_D02", "Lbl_D03", "Lbl_D04", "Lbl_D05"};
        for (int i = 0; i < 5; ++i) {
            // The A5 single-result layout puts the range caption with the range itself.
            if (i == 3 && l.name == ReportLayouts::singleA5)
                continue;
            if (i == 4 && m_settings.resulflag != 1)
                continue;
            show(l, names[i], true);
            setTop(l, names[i], position + 65);
            setCaption(l, names[i], captions[i]);
        }
        position += 430;
    }
}

bool ReportBuilder::query(BuiltReport& report, const ReportSelection& s) const
{
    QString sql = QStringLiteral("SELECT * FROM Result where ");
    QVariantList values;
    if (ReportLayouts::isSingleResult(report.layout.name)) {
        sql += QStringLiteral("AutoNum=?");
        values << Numbers::toNumber(s.Txt_AUTOID);
    } else if (!s.LblPatID.isEmpty()) {
        sql += QStringLiteral("Patientname= ? And patientid=?  And Testdate= ? ");
        values << s.LblPatName << s.LblPatID << s.LblTestDate;
    } else {
        // A patient without an ID shares the report with no namesake who has one.
        sql += QStringLiteral("Patientname= ? And (patientid IS NULL OR patientid='')  And Testdate= ? ");
        values << s.LblPatName << s.LblTestDate;
    }
    const SqlRun::Rows rows = SqlRun::select(m_db, sql, values);
    report.queryOk = rows.ok;
    report.error = rows.ok ? QString() : rows.errorText();
    report.layout.records = rows.records;
    return rows.ok;
}

void ReportBuilder::patientBlock(ReportLayout& l, const ReportSelection& s) const
{
    const bool a4 = l.paper == Paper::A4;
    const double start = m_settings.reportstart;
    if (m_settings.showtopline != 1)
        show(l, "Shape2", false);
    if (m_settings.showbuttomline != 1)
        show(l, "Shape1", false);
    static const std::pair<const char*, double> offsets[] = {
        {"Shape2", 37},   {"Shape1", 1287}, {"Label5", 176},     {"Lblname", 151}, {"Label10", 151},
        {"Label1", 176},  {"Lblid", 121},   {"Label7", 576},     {"Label4", 551},  {"Lblinfo", 576},
        {"Label11", 576}, {"Label6", 551},  {"Lblreqdate", 563}, {"Label3", 976},  {"Lbldr", 951},
        {"Label9", 951},  {"Label13", 976}, {"Lblrepdate", 976}, {"Label8", 951},
    };
    for (const auto& [name, offset] : offsets)
        setTop(l, name, start + offset);
    if (ReportSection* block = l.section(QStringLiteral("Section4")))
        block->height = std::round(start + (a4 ? 1350 : 1330));

    if (m_settings.rtlpatientname == 1) {
        for (const char* name : {"Label5", "Label7", "Label3"})
            setLeft(l, name, a4 ? 6094 : 3700);
        for (const char* name : {"Lblname", "Lblinfo", "Lbldr", "Label4", "Label9"})
            setLeft(l, name, a4 ? 7424 : 4870);
        for (const char* name : {"Label1", "Label11", "Label13"})
            setLeft(l, name, 0);
        for (const char* name : {"Label10", "Label6", "Label8", "Lblreqdate", "Lblrepdate"})
            setLeft(l, name, a4 ? 1643 : 1310);
        setLeft(l, "Lblid", a4 ? 1613 : 1310);
    }

    if (m_settings.usepicture == 1) {
        ReportControl* top = l.find(QStringLiteral("Imaget"));
        ReportControl* foot = l.find(QStringLiteral("Imagef"));
        top->visible = foot->visible = true;
        foot->height = 730;
        top->height = start + 1300;
        top->picture = pictureFile(m_folder, "header.jpg");
        foot->picture = pictureFile(m_folder, "tailer.jpg");
    }

    setCaption(l, "Lblname", titled(s.Cmb_patientsefa, s.LblPatName));
    l.patientName = titled(s.Cmb_patientsefa, s.LblPatName);
    l.patientId = s.LblPatID;

    ReportControl* id = l.find(QStringLiteral("Lblid"));
    if (m_settings.Barcodes_T != 1) {
        id->font = {QStringLiteral("Tahoma"), 10, true};
        id->barcodeFont = false;
        id->top += 65;
        id->caption = s.LblPatID + QStringLiteral("   ");
        show(l, "Label10", true);
    } else {
        const QString symbol = barcodeFor(s.LblPatID);
        id->caption = symbol.isEmpty() ? s.LblPatID : symbol;
        // Bars and the digits under them take the height down to the next line of the block.
        if (!symbol.isEmpty())
            id->height = 420;
    }

    const QString age = Numbers::toNumber(s.LblAgeN) != 0
                            ? QStringLiteral(" - ") + s.LblAgeN + QLatin1Char(' ') + s.LblAgeU
                            : QStringLiteral(" ");
    setCaption(l, "Lblinfo", s.LblSex + age);
    setCaption(l, "Lbldr", titled(s.Cmb_drsefa, s.LblDocName));
    setCaption(l, "Lblreqdate", DateFormats::slashDate(s.LblTestDate) + QStringLiteral("  ") + amPm(s.LblTestTime));
    setCaption(l, "Lblrepdate",
               DateFormats::slashDate(m_now.date()) + QStringLiteral("  ") + DateFormats::timeAmPm(m_now.time()));
}

void ReportBuilder::singleRow(ReportLayout& l, const QSqlRecord& row, const ReportTexts& texts) const
{
    if (!isNull(row, "testabrev"))
        setCaption(l, "Lbl1a", textOf(row, "testabrev"));
    if (!isNull(row, "resultt1"))
        setCaption(l, "Lbl1c", textOf(row, "resultt1"));
    if (!isNull(row, "testunit"))
        setCaption(l, "Lbl1d", textOf(row, "testunit"));
    ReportControl* result = l.find(QStringLiteral("Lbl1c"));
    if (!isNull(row, "RESULTCASEPRINT")) {
        const QString flag = textOf(row, "RESULTCASEPRINT");
        if (m_settings.resulflag == 1)
            setCaption(l, "Lbl1f", flag);
        else if (!flag.trimmed().isEmpty())
            result->caption = (result->caption + QLatin1Char(' ') + flag.trimmed()).trimmed();
        if (!flag.isEmpty()) {
            result->foreColor = m_settings.AbResFonClr2;
            if (m_settings.AbResBGSh_T == 1) {
                result->opaque = true;
                result->backColor = m_settings.AbResBGShClr;
            }
        } else {
            // An unflagged result prints in black.
            result->foreColor = 0;
        }
    }
    if (!isNull(row, "normalrang")) {
        setCaption(l, "Lbl1e", textOf(row, "normalrang"));
        if (l.name == ReportLayouts::singleA5) {
            show(l, "Lbl_D04", true);
            setCaption(l, "Lbl_D04", texts.showtestditals4);
        }
    }
    if (!isNull(row, "comment")) {
        setCaption(l, "Lbl_CommentTitle", m_settings.showonecomment1);
        setCaption(l, "Lbl_ComTxtREMARK", textOf(row, "comment"));
    }
}
