#pragma once

#include <QString>

// The in-memory copy of VIDASSETING.INI, read once at start-up. Flags and whole numbers are kept as
// 16-bit integers (the number read, truncated), margins and colours as doubles, texts as text.
struct AppSettings
{
    // [server]
    qint16 CRIauthentication = 0;
    QString serverName;
    QString serverUserID;
    QString serverPassword;
    qint16 Remembers = 0;
    QString NIDT;
    QString NIDL;
    QString serverEngine;   // "sqlserver" (when empty), "sqlite" or "postgresql"
    QString serverDatabase; // SQLite file, relative to the install folder; PostgreSQL database name
    QString serverOdbcDriver;
    QString serverPort; // PostgreSQL only; 5432 when empty

    // [corvanaserver]
    qint16 CRVaccess = 0;
    qint16 lisActive = 0;
    QString lisServerName;
    qint16 CRVauthentication = 0;
    QString lisUserID;
    QString lisPassword;
    QString lisEngine;
    QString lisDatabase;
    QString lisOdbcDriver;
    QString lisPort;

    // [comsetup]
    qint16 serialActive = 0;
    qint16 PCdateYN = 0;
    qint16 soudorno = 0;
    QString soundname;
    qint16 autsavecrv = 0;
    qint16 autoComment = 0;
    qint16 EnLanguage = 0;
    QString DateOrder;   // the larger models' date order: DMY (when empty), MDY or YMD
    qint16 FrameAck = 0; // 1: every frame answered with ACK or NAK

    // [report]
    qint16 IDdigitsNo = 0;
    qint16 resulflag = 0;
    qint16 AbResBGSh_T = 0;
    double AbResBGShClr = 0;
    qint16 AbResFonC_T = 0;
    double AbResFonClr = 0;
    double AbResFonClr2 = 0;
    QString reportlayout;
    QString reportprinter;
    qint16 usepicture = 0;
    qint16 Barcodes_T = 0;
    qint16 rtlpatientname = 0;
    qint16 showtopline = 0;
    qint16 showbuttomline = 0;
    double reportstart = 0;
    double leftvalue = 0;
    qint16 spacevalue = 0;
    QString showonecomment1;

    // Whether VIDASSETING.INI existed when the settings were read.
    bool settingsFileFound = false;

    // Reads every key in the order the start-up follows. A missing settings file leaves everything
    // empty, which the first database open then reports.
    static AppSettings load(const QString& settingsIni);
};

// Names of the settings sections and keys, written once here.
namespace IniKeys {
inline const QString server = QStringLiteral("server");
inline const QString corvanaserver = QStringLiteral("corvanaserver");
inline const QString comsetup = QStringLiteral("comsetup");
inline const QString report = QStringLiteral("report");
inline const QString reportdata = QStringLiteral("reportdata");
} // namespace IniKeys
