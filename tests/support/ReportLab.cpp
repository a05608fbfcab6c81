#include "ReportLab.h"

#include "db/Databases.h"
#include "db/SqlRun.h"

namespace {

struct Row
{
    const char* id;
    QString name;
    const char* day;
    const char* test;
    const char* result;
    const char* unit;
    const char* flag;
    const char* range;
    const char* comment;
};

QVariant orNull(const char* text)
{
    return text ? QVariant(QString::fromUtf8(text)) : SqlRun::nullText();
}

} // namespace

ReportLab::ReportLab()
{
    install.setSettings(
        {"report/reportlayout=A4 large paper", "report/showrpttitle=1", "report/showrpttitlettxt=Test Result Report",
         "report/showtestditals=1", "report/showtestditals1=Test", "report/showtestditals2=Result",
         "report/showtestditals3=Unit", "report/showtestditals4=Normal range", "report/showtestditals5=Flag",
         "report/showdoctorsig1=Dr. Director", "report/showdoctorsig2=Signature",
         "report/showonecomment1=Comment:", "report/resulflag=1", "report/Barcodes_T=1", "report/showtopline=1",
         "report/showbuttomline=1", "report/AbResFonClr2=255", "report/AbResBGSh_T=1", "report/AbResBGShClr=13421823"});
    if (!install.createDatabases())
        return;
    const QString ahmed = QStringLiteral("أحمد محمود علي");
    const QString fer = QStringLiteral("FER   08:05 AM");
    const Row rows[] = {
        {"2601140001230", ahmed, "2026-12-05", "TSH", "7.5", "uUI/ml", "H", "0.25 - 5.00", "Repeat after 3 months"},
        {"2601140001230", ahmed, "2026-12-05", "FT4", "12.79", "pmol/l", "", "9 - 19", nullptr},
        {"2601140001230", ahmed, "2026-12-04", "TSH", "3.1", "uUI/ml", "", "0.25 - 5.00", nullptr},
        {"2601140009995", ahmed, "2026-12-05", "PRL", "15", "ng/ml", "", "9.7 - 208.5", nullptr},
        {"O1", QStringLiteral("O'Brien 100% Smith"), "2026-12-05", "CRP", "3.4", "mg/l", "L", nullptr, nullptr},
        {nullptr, fer, "2026-12-05", "FER", "> 1200", "ng/ml", "", "30 - 400", nullptr},
        {"2601140001247", fer, "2026-12-05", "FER", "80", "ng/ml", "", "30 - 400", nullptr},
        {"X500", longName(), "2026-12-05", "CRP", "1.2", "mg/l", "", "< 6", nullptr},
    };
    for (const Row& r : rows) {
        const bool named = r.id && QByteArray(r.id) == "2601140001230";
        if (!install.exec(TestInstall::Db::Interface,
                          "INSERT INTO Result (patientid, Patientname, patientsefa, sex, ageN, ageU, DocName, Drsefa, "
                          "Testdate, TestTime, testabrev, shortAssay, resultt1, testunit, RESULTCASEPRINT, normalrang, "
                          "comment) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
                          {orNull(r.id), r.name, named ? QVariant(QStringLiteral("السيد")) : SqlRun::nullText(),
                           QStringLiteral("Male"), named ? QVariant(45) : SqlRun::nullNumber(), QStringLiteral("Years"),
                           named ? QVariant(QStringLiteral("سامي حسن")) : SqlRun::nullText(),
                           named ? QVariant(QStringLiteral("د/")) : SqlRun::nullText(),
                           QDate::fromString(QLatin1String(r.day), Qt::ISODate), QStringLiteral("02:07 PM"),
                           QString::fromLatin1(r.test), QString::fromLatin1(r.test), orNull(r.result), orNull(r.unit),
                           orNull(r.flag), orNull(r.range), orNull(r.comment)}))
            return;
    }
    ready = true;
}

QString ReportLab::longName()
{
    QString name;
    while (name.size() < 500)
        name += QStringLiteral("محمد Mohammed ");
    return name.left(500).trimmed();
}

ReportSelection ReportLab::selection(int autoNum)
{
    const QStringList row =
        install.texts(TestInstall::Db::Interface, "SELECT AutoNum FROM Result WHERE AutoNum=?", {autoNum});
    AppContext& context = install.context();
    const auto record = SqlRun::first(context.databases().OpenInterfaceDb(),
                                      QStringLiteral("SELECT * FROM Result WHERE AutoNum=?"), {autoNum});
    ReportSelection s = record ? ReportSelection::fromResultRow(*record) : ReportSelection{};
    if (row.isEmpty())
        s.Txt_AUTOID = QString::number(autoNum);
    return s;
}

BuiltReport ReportLab::build(const QString& layout, const ReportSelection& selection)
{
    AppContext& context = install.context();
    const ReportBuilder builder(context.settings, context.installFolder(), context.clock().now(),
                                context.databases().OpenInterfaceDb());
    return builder.build(layout, selection);
}
