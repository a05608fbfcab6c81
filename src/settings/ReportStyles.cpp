#include "settings/ReportStyles.h"

#include "common/Numbers.h"
#include "config/AppSettings.h"
#include "config/IniFile.h"

namespace ReportStyles {

const QList<Element>& elements()
{
    static const QList<Element> list = [] {
        QList<Element> l;
        for (int i = 1; i <= 6; ++i)
            l.append({QString::number(i), QStringLiteral("Lbl_titel%1").arg(i)});
        for (int i = 1; i <= 6; ++i)
            l.append({QStringLiteral("0%1").arg(i), QStringLiteral("Lbl_titel0%1").arg(i)});
        l.append({QStringLiteral("7"), QStringLiteral("Txt_showrpttitlettxt")});
        for (int i = 1; i <= 5; ++i)
            l.append({QString::number(7 + i), QStringLiteral("txt_showtestditals%1").arg(i)});
        l.append({QStringLiteral("16"), QStringLiteral("Lbl_showonecomment")});
        l.append({QStringLiteral("17"), QStringLiteral("Txt_showonecomment1")});
        l.append({QStringLiteral("20"), QStringLiteral("txt_showdoctorsig1")});
        l.append({QStringLiteral("21"), QStringLiteral("txt_showdoctorsig2")});
        for (const char* c : {"a", "b", "c", "d", "e"})
            l.append({QLatin1String(c), QStringLiteral("Lbl_") + QLatin1String(c)});
        return l;
    }();
    return list;
}

bool fullStyle(const QString& id)
{
    return id != QLatin1String("04");
}

Style read(const QString& memoryIni, const QString& id)
{
    const auto value = [&](const char* suffix) {
        return ReadIni(memoryIni, IniKeys::reportdata, QStringLiteral("colorTIT") + id + QLatin1String(suffix));
    };
    Style s;
    s.colour = static_cast<int>(Numbers::toNumber(value("")));
    s.size = Numbers::toNumber(value("fs"));
    if (fullStyle(id)) {
        s.fontName = value("fn");
        s.bold = Numbers::toInt16(value("fb")) == 1;
        s.underline = Numbers::toInt16(value("ul")) == 1;
        s.italic = Numbers::toInt16(value("fi")) == 1;
    }
    return s;
}

QList<SettingsFile::Edit> edits(const QString& id, const Style& style)
{
    const QString key = QStringLiteral("colorTIT") + id;
    const auto flag = [](bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); };
    QList<SettingsFile::Edit> list{{IniKeys::reportdata, key, QString::number(style.colour)}};
    if (fullStyle(id))
        list.append({IniKeys::reportdata, key + QStringLiteral("fn"), style.fontName});
    list.append({IniKeys::reportdata, key + QStringLiteral("fs"), Numbers::toText(style.size)});
    if (fullStyle(id)) {
        list.append({IniKeys::reportdata, key + QStringLiteral("fb"), flag(style.bold)});
        list.append({IniKeys::reportdata, key + QStringLiteral("ul"), flag(style.underline)});
        list.append({IniKeys::reportdata, key + QStringLiteral("fi"), flag(style.italic)});
    }
    return list;
}

QFont font(const Style& style, const QFont& base)
{
    QFont f = base;
    if (!style.fontName.isEmpty())
        f.setFamily(style.fontName);
    if (style.size > 0)
        f.setPointSizeF(style.size);
    f.setBold(style.bold);
    f.setUnderline(style.underline);
    f.setItalic(style.italic);
    return f;
}

Style fromFont(const QFont& font, int colour)
{
    Style s;
    s.colour = colour;
    s.fontName = font.family();
    s.size = font.pointSizeF() > 0 ? font.pointSizeF() : 0;
    s.bold = font.bold();
    s.underline = font.underline();
    s.italic = font.italic();
    return s;
}

} // namespace ReportStyles
