#include "settings/ReportStyles.h"

#include "common/Numbers.h"
#include "config/AppSettings.h"
#include "config/IniFile.h"

namespace ReportStyles {

const QList<Element>& elements()
{
    static const QList<Element> list{
        {"1", "Lbl_titel1"},
        {"2", "Lbl_titel2"},
        {"3", "Lbl_titel3"},
        {"4", "Lbl_titel4"},
        {"5", "Lbl_titel5"},
        {"6", "Lbl_titel6"},
        {"01", "Lbl_titel01"},
        {"02", "Lbl_titel02"},
        {"03", "Lbl_titel03"},
        {"04", "Lbl_titel04"},
        {"05", "Lbl_titel05"},
        {"06", "Lbl_titel06"},
        {"7", "Txt_showrpttitlettxt"},
        {"8", "txt_showtestditals1"},
        {"9", "txt_showtestditals2"},
        {"10", "txt_showtestditals3"},
        {"11", "txt_showtestditals4"},
        {"12", "txt_showtestditals5"},
        {"16", "Lbl_showonecomment"},
        {"17", "Txt_showonecomment1"},
        {"20", "txt_showdoctorsig1"},
        {"21", "txt_showdoctorsig2"},
        {"a", "Lbl_a"},
        {"b", "Lbl_b"},
        {"c", "Lbl_c"},
        {"d", "Lbl_d"},
        {"e", "Lbl_e"},
    };
    return list;
}

QString control(const QString& id)
{
    for (const Element& element : elements()) {
        if (element.id == id)
            return element.control;
    }
    return {};
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
