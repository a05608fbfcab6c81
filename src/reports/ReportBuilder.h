#pragma once

#include "reports/ReportLayout.h"

#include <QDate>
#include <QDateTime>
#include <QSqlDatabase>
#include <QString>

struct AppSettings;
class InstallFolder;

// What the main window shows of the selected sample and result, all as display text, as the
// report takes it.
struct ReportSelection
{
    QString LblPatID;
    QString LblPatName;
    QDate LblTestDate;
    QString LblTestTime;
    QString LblAgeN;
    QString LblAgeU;
    QString LblSex;
    QString LblDocName;
    QString Cmb_patientsefa; // title before the patient's name
    QString Cmb_drsefa;      // title before the doctor's name
    QString Txt_AUTOID;      // AutoNum of the selected result

    // The selection as a stored Result row shows it (for the command line and tests).
    static ReportSelection fromResultRow(const QSqlRecord& row);
};

// The report keys read at every build (section "report" of VIDASSETING.INI); all empty when the
// settings file is missing.
struct ReportTexts
{
    qint16 showrpttitle = 0;
    QString showrpttitlettxt;
    qint16 showtestditals = 0;
    QString showtestditals1, showtestditals2, showtestditals3, showtestditals4, showtestditals5;
    QString showdoctorsig1, showdoctorsig2;

    static ReportTexts read(const QString& settingsIni);
};

// A filled layout and what its query did.
struct BuiltReport
{
    ReportLayout layout;
    bool queryOk = false;
    QString error; // the database's text when the query failed
};

// Fills one of the four layouts for a selection: the report settings (title, column captions,
// patient block geometry, right-to-left block, pictures, barcode), the rows of table Result and the
// signatures. No windows: the result is data that ReportRenderer paints.
class ReportBuilder
{
public:
    // `now` is the printing time; `iface` an open interface database connection.
    ReportBuilder(const AppSettings& settings, const InstallFolder& folder, QDateTime now, QSqlDatabase iface);

    BuiltReport MakeReportFixed(const ReportSelection& selection) const;
    BuiltReport MakeReportSingleA4(const ReportSelection& selection) const;
    BuiltReport MakeReportSingleA5(const ReportSelection& selection) const;
    BuiltReport MakeReportAllA5(const ReportSelection& selection) const;
    // The build operation of a layout by its name; an empty layout for an unknown name.
    BuiltReport build(const QString& layoutName, const ReportSelection& selection) const;

    // The barcode text for a patient ID, or empty when the ID is printed as text: only a
    // 13-character ID whose 13th digit is the check digit of its first 12 is encoded, so that the
    // bars never scan as another patient's number.
    static QString barcodeFor(const QString& patientId);

private:
    BuiltReport make(ReportLayout layout, const ReportSelection& selection) const;
    void headerBands(ReportLayout& l, const ReportTexts& texts) const;
    bool query(BuiltReport& report, const ReportSelection& selection) const;
    void patientBlock(ReportLayout& l, const ReportSelection& selection) const;
    void singleRow(ReportLayout& l, const QSqlRecord& row, const ReportTexts& texts) const;

    const AppSettings& m_settings;
    const InstallFolder& m_folder;
    QDateTime m_now;
    QSqlDatabase m_db;
};
