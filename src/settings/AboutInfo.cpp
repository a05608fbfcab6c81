#include "settings/AboutInfo.h"

#include "core/AppContext.h"
#include "db/Databases.h"

#include <QDir>
#include <QLocale>
#include <QtGlobal>

#ifndef CORVANA_VERSION
#define CORVANA_VERSION "0.1"
#endif

namespace AboutInfo {

QString version()
{
    return QStringLiteral(CORVANA_VERSION);
}

QString buildDate()
{
    // __DATE__ is "Mmm dd yyyy" (day padded with a blank); shown as the program shows dates.
    const QDate date = QLocale::c().toDate(QString::fromLatin1(__DATE__).simplified(), QStringLiteral("MMM d yyyy"));
    return date.isValid() ? QLocale::c().toString(date, QStringLiteral("dd-MMM-yyyy")) : QString::fromLatin1(__DATE__);
}

QList<Line> lines(const AppContext& context)
{
    const Databases& databases = context.databases();
    const auto target = [&databases](DbSlot slot) {
        const ConnectionTarget t = databases.target(slot);
        return t.label.isEmpty() ? t.error : t.label;
    };
    QList<Line> list{
        {QStringLiteral("Lbl_program"), QStringLiteral("البرنامج"), programName},
        {QStringLiteral("Lbl_version"), QStringLiteral("الاصدار"), version()},
        {QStringLiteral("Lbl_builddate"), QStringLiteral("تاريخ البناء"), buildDate()},
        {QStringLiteral("Lbl_installfolder"), QStringLiteral("مجلد التثبيت"),
         QDir::toNativeSeparators(context.installFolder().path())},
        {QStringLiteral("Lbl_interfacedb"), QStringLiteral("قاعدة بيانات الانترفيس"), target(DbSlot::Interface)},
    };
    if (context.settings.lisActive == 1)
        list.append({QStringLiteral("Lbl_lisdb"), QStringLiteral("قاعدة بيانات كورفانا سيستم"), target(DbSlot::Lis)});
    else
        list.append({QStringLiteral("Lbl_lisdb"), QStringLiteral("قاعدة بيانات كورفانا سيستم"),
                     QStringLiteral("الربط غير مفعل")});
    list.append(
        {QStringLiteral("Lbl_qtversion"), QStringLiteral("Qt"),
         QStringLiteral("%1 (built with %2)").arg(QString::fromLatin1(qVersion()), QStringLiteral(QT_VERSION_STR))});
    return list;
}

QList<Line> licences()
{
    return {
        {{}, QStringLiteral("Qt 6"), QStringLiteral("GNU LGPL version 3")},
        {{}, QStringLiteral("SQLite"), QStringLiteral("Public domain")},
        {{}, QStringLiteral("libsodium"), QStringLiteral("ISC licence")},
        {{}, QStringLiteral("unixODBC"), QStringLiteral("GNU LGPL version 2.1")},
        {{}, QStringLiteral("GStreamer"), QStringLiteral("GNU LGPL version 2.1")},
        {{}, QStringLiteral("DejaVu fonts"), QStringLiteral("Bitstream Vera licence (free)")},
        {{}, QStringLiteral("Noto fonts"), QStringLiteral("SIL Open Font Licence 1.1")},
    };
}

} // namespace AboutInfo
