#include "link/PatientMatch.h"

#include <QSqlField>
#include <QTest>

Q_DECLARE_METATYPE(SqlEngine)

namespace {
QSqlRecord row(const QList<std::pair<const char*, QVariant>>& columns)
{
    QSqlRecord record;
    for (const auto& [name, value] : columns) {
        QSqlField field(QString::fromLatin1(name), value.isValid() ? value.metaType() : QMetaType::fromType<QString>());
        if (value.isValid())
            field.setValue(value);
        record.append(field);
    }
    return record;
}

const QString columns = "SELECT patientid,patientsefa,patientnamear,patientsex,patientage,patientageunit,"
                        "referredbysefa,referredbyname,moreinfo FROM patientinfo WHERE ";
const QString columnsWithDate = "SELECT patientid,requestdate,patientsefa,patientnamear,patientsex,patientage,"
                                "patientageunit,referredbysefa,referredbyname,moreinfo FROM patientinfo WHERE ";
} // namespace

class tst_PatientMatch : public QObject
{
    Q_OBJECT

private slots:
    void identifierModes_data();
    void identifierModes();
    void pregnancyState_data();
    void pregnancyState();
    void patientRow();
};

void tst_PatientMatch::identifierModes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("id");
    QTest::addColumn<SqlEngine>("engine");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QVariantList>("values");

    const QDate today(2026, 12, 5);
    QTest::newRow("13, 12 chars, SQL Server")
        << 13 << "260114000123" << SqlEngine::SqlServer << columns + "SUBSTRING(patientid, 1, 12) =? "
        << QVariantList{"260114000123"};
    QTest::newRow("13, Jet") << 13 << "260114000123" << SqlEngine::Jet << columns + "Mid(patientid, 1, 12) =? "
                             << QVariantList{"260114000123"};
    QTest::newRow("13, SQLite") << 13 << "260114000123" << SqlEngine::Sqlite << columns + "substr(patientid, 1, 12) =? "
                                << QVariantList{"260114000123"};
    QTest::newRow("13, 11 chars") << 13 << "26011400012" << SqlEngine::SqlServer << QString() << QVariantList{};
    QTest::newRow("13, 13 chars") << 13 << "2601140001230" << SqlEngine::SqlServer << QString() << QVariantList{};
    QTest::newRow("10, 10 chars") << 10 << "2601140007" << SqlEngine::SqlServer
                                  << columns + "SUBSTRING(patientid, 3, 10) =? " << QVariantList{"2601140007"};
    QTest::newRow("10, Jet") << 10 << "2601140007" << SqlEngine::Jet << columns + "Mid(patientid, 3, 10) =? "
                             << QVariantList{"2601140007"};
    QTest::newRow("10, 12 chars") << 10 << "260114000123" << SqlEngine::SqlServer << QString() << QVariantList{};
    QTest::newRow("4, today only") << 4 << "0042" << SqlEngine::SqlServer
                                   << columnsWithDate + "SUBSTRING(patientid, 9, 4) =? and requestdate= ? "
                                   << QVariantList{"0042", today};
    QTest::newRow("4, Jet") << 4 << "0042" << SqlEngine::Jet
                            << columnsWithDate + "Mid(patientid, 9, 4) =? and requestdate= ? "
                            << QVariantList{"0042", today};
    QTest::newRow("4, 5 chars") << 4 << "00042" << SqlEngine::SqlServer << QString() << QVariantList{};
    QTest::newRow("other mode") << 12 << "260114000123" << SqlEngine::SqlServer << QString() << QVariantList{};
    QTest::newRow("mode 0") << 0 << "0042" << SqlEngine::SqlServer << QString() << QVariantList{};
    QTest::newRow("empty id") << 13 << "" << SqlEngine::SqlServer << QString() << QVariantList{};
}

void tst_PatientMatch::identifierModes()
{
    QFETCH(int, mode);
    QFETCH(QString, id);
    QFETCH(SqlEngine, engine);
    QFETCH(QString, sql);
    QFETCH(QVariantList, values);
    const BoundQuery q = PatientMatch::patientQuery(mode, id, Dialect(engine), QDate(2026, 12, 5));
    QCOMPARE(q.sql, sql);
    QCOMPARE(q.values, values);
}

void tst_PatientMatch::pregnancyState_data()
{
    QTest::addColumn<QString>("moreinfo");
    QTest::addColumn<int>("state");
    QTest::newRow("1 then 0") << "0000000010" << 1;
    QTest::newRow("1 then 1") << "0000000011" << 0;
    QTest::newRow("0 then 0") << "0000000000" << 0;
    QTest::newRow("nine characters ending in 1") << "000000001" << 1;
    QTest::newRow("longer") << "00000000102345" << 1;
    QTest::newRow("letter after 1") << "000000001x" << 1;
    QTest::newRow("blank 9th") << "00000000 0" << 0;
    QTest::newRow("short") << "0001" << 0;
    QTest::newRow("empty") << "" << 0;
}

void tst_PatientMatch::pregnancyState()
{
    QFETCH(QString, moreinfo);
    QFETCH(int, state);
    QCOMPARE(PatientMatch::pregnancyState(moreinfo), state);
}

void tst_PatientMatch::patientRow()
{
    CurrentResult r;
    r.LblPatID = QStringLiteral("260114000123");
    PatientMatch::takePatientRow(row({{"patientid", QStringLiteral("2601140001230")},
                                      {"patientsefa", QStringLiteral("السيد")},
                                      {"patientnamear", QStringLiteral("أحمد")},
                                      {"patientsex", QStringLiteral("Male")},
                                      {"patientage", 45.0},
                                      {"patientageunit", QStringLiteral("Years")},
                                      {"referredbysefa", QStringLiteral("د/")},
                                      {"referredbyname", QStringLiteral("سامي")},
                                      {"moreinfo", QStringLiteral("0000000010")}}),
                                 r);
    QCOMPARE(r.LblPatID, QStringLiteral("2601140001230"));
    QCOMPARE(r.Txt_patientsefa, QStringLiteral("السيد"));
    QCOMPARE(r.LblPatName, QStringLiteral("أحمد"));
    QCOMPARE(r.LblSex, QStringLiteral("Male"));
    QCOMPARE(r.LblAgeN, QStringLiteral("45"));
    QCOMPARE(r.LblAgeU, QStringLiteral("Years"));
    QCOMPARE(r.Txt_DocSEFA, QStringLiteral("د/"));
    QCOMPARE(r.LblDocName, QStringLiteral("سامي"));
    QCOMPARE(r.Chk_pregsmok, 1);

    // A text age is read as a number; nulls leave the fields empty.
    CurrentResult n;
    PatientMatch::takePatientRow(row({{"patientid", QStringLiteral("2601140001247")},
                                      {"patientsefa", {}},
                                      {"patientnamear", {}},
                                      {"patientsex", {}},
                                      {"patientage", QStringLiteral(" 7.50 y")},
                                      {"patientageunit", {}},
                                      {"referredbysefa", {}},
                                      {"referredbyname", {}},
                                      {"moreinfo", {}}}),
                                 n);
    QCOMPARE(n.LblPatID, QStringLiteral("2601140001247"));
    QCOMPARE(n.LblAgeN, QStringLiteral("7.5"));
    QVERIFY(n.LblPatName.isEmpty() && n.LblSex.isEmpty() && n.LblAgeU.isEmpty() && n.LblDocName.isEmpty());
    QCOMPARE(n.Chk_pregsmok, 0);
}

QTEST_GUILESS_MAIN(tst_PatientMatch)
#include "tst_PatientMatch.moc"
