#include "config/AppSettings.h"

#include "common/Numbers.h"
#include "config/IniFile.h"

#include <QFileInfo>

AppSettings AppSettings::load(const QString& ini)
{
    AppSettings s;
    const auto text = [&ini](const QString& section, const char* key) {
        return ReadIni(ini, section, QString::fromLatin1(key));
    };
    const auto int16 = [&](const QString& section, const char* key) { return Numbers::toInt16(text(section, key)); };
    const auto real = [&](const QString& section, const char* key) { return Numbers::toNumber(text(section, key)); };
    using namespace IniKeys;

    s.settingsFileFound = QFileInfo(ini).isFile();
    if (!s.settingsFileFound)
        return s;

    // Database keys first, as the connection strings need them.
    s.CRVaccess = int16(corvanaserver, "CRVaccess");
    s.CRIauthentication = int16(server, "CRIauthentication");
    s.serverName = text(server, "servername");
    if (s.CRIauthentication != 0) {
        s.serverPassword = text(server, "Password");
        s.serverUserID = text(server, "UserID");
    }
    s.serverEngine = text(server, "engine");
    s.serverDatabase = text(server, "database");
    s.serverOdbcDriver = text(server, "odbcdriver");
    s.serverPort = text(server, "port");
    if (s.CRVaccess == 0) {
        s.CRVauthentication = int16(corvanaserver, "CRVauthentication");
        s.lisServerName = text(corvanaserver, "servername");
        if (s.CRVauthentication != 0) {
            s.lisPassword = text(corvanaserver, "Password");
            s.lisUserID = text(corvanaserver, "UserID");
        }
        s.lisEngine = text(corvanaserver, "engine");
        s.lisDatabase = text(corvanaserver, "database");
    }
    s.lisOdbcDriver = text(corvanaserver, "odbcdriver");
    s.lisPort = text(corvanaserver, "port");

    s.usepicture = int16(report, "usepicture");
    s.serialActive = int16(comsetup, "active");
    s.lisActive = int16(corvanaserver, "active");
    s.showonecomment1 = text(report, "showonecomment1");
    s.resulflag = int16(report, "resulflag");
    s.AbResBGSh_T = int16(report, "AbResBGSh_T");
    s.AbResBGShClr = real(report, "AbResBGShClr");
    s.AbResFonC_T = int16(report, "AbResFonC_T");
    s.AbResFonClr = real(report, "AbResFonClr");
    s.AbResFonClr2 = real(report, "AbResFonClr2");
    s.reportlayout = text(report, "reportlayout");
    s.IDdigitsNo = int16(report, "IDdigitsNo");
    s.showtopline = int16(report, "showtopline");
    s.showbuttomline = int16(report, "showbuttomline");
    s.soudorno = int16(comsetup, "soudorno");
    s.soundname = text(comsetup, "soundname");
    s.PCdateYN = int16(comsetup, "PCdateYN");
    s.autsavecrv = int16(comsetup, "autsavecrv");
    s.autoComment = int16(comsetup, "autoComment");
    s.rtlpatientname = int16(report, "rtlpatientname");
    s.Barcodes_T = int16(report, "Barcodes_T");
    s.reportstart = real(report, "reportstart");
    s.leftvalue = real(report, "leftvalue");
    s.spacevalue = int16(report, "spacevalue");
    s.reportprinter = text(report, "reportprinter");

    s.Remembers = int16(server, "Remembers");
    s.NIDT = text(server, "NIDT");
    s.NIDL = text(server, "NIDL");
    s.EnLanguage = int16(comsetup, "EnLanguage");
    s.DateOrder = text(comsetup, "DateOrder");
    s.FrameAck = int16(comsetup, "FrameAck");
    return s;
}
