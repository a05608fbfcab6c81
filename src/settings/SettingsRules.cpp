#include "settings/SettingsRules.h"

#include "common/Numbers.h"
#include "settings/SettingsMessages.h"

#include <cmath>

namespace SettingsRules {

bool isSqlite(const QString& engine)
{
    return engine.trimmed().compare(sqliteEngine, Qt::CaseInsensitive) == 0;
}

int engineIndex(const QString& engine)
{
    if (isSqlite(engine))
        return 1;
    return engine.trimmed().compare(postgresEngine, Qt::CaseInsensitive) == 0 ? 2 : 0;
}

QString engineAt(int index)
{
    return index == 1 ? sqliteEngine : index == 2 ? postgresEngine : sqlServerEngine;
}

QString portEntry(const QString& storedPort)
{
    return QStringLiteral("COM") + Numbers::toText(std::round(Numbers::toNumber(storedPort)));
}

QString portValue(const QString& entry)
{
    return entry.mid(3).trimmed();
}

const QStringList& parityCaptions()
{
    static const QStringList captions{QStringLiteral("even"), QStringLiteral("mark"), QStringLiteral("none"),
                                      QStringLiteral("odd"), QStringLiteral("space")};
    return captions;
}

const QStringList& parityLetters()
{
    static const QStringList letters{QStringLiteral("e"), QStringLiteral("m"), QStringLiteral("n"), QStringLiteral("o"),
                                     QStringLiteral("s")};
    return letters;
}

int parityIndex(const QString& letter)
{
    return static_cast<int>(parityLetters().indexOf(letter.trimmed().toLower()));
}

QString marginShown(const QString& storedTwips)
{
    return Numbers::toText(std::round(Numbers::toNumber(storedTwips) / kTwipsPerCm * 100) / 100);
}

QString marginStored(const QString& typedCm)
{
    return Numbers::toText(Numbers::toNumber(typedCm) * kTwipsPerCm);
}

QString spacingStored(const QString& typedCm)
{
    return Numbers::toText(std::trunc(Numbers::toNumber(typedCm) * kTwipsPerCm));
}

std::optional<QString> serverRefusal(const SaveCheck& check)
{
    if (check.interfaceIsSqlite)
        return std::nullopt;
    if (check.serverName.trimmed().isEmpty())
        return SettingsMessages::interfaceServerEmpty;
    if (check.userId.trimmed().isEmpty())
        return SettingsMessages::interfaceLoginEmpty;
    return std::nullopt;
}

std::optional<QString> refusal(const SaveCheck& check)
{
    if (auto server = serverRefusal(check))
        return server;
    if (Numbers::toNumber(check.leftCm) > kMaxMarginCm)
        return SettingsMessages::leftMarginTooLarge;
    if (Numbers::toNumber(check.topCm) > kMaxMarginCm)
        return SettingsMessages::topMarginTooLarge;
    if (Numbers::toNumber(check.spacingCm) > kMaxSpacingCm)
        return SettingsMessages::spacingTooLarge;
    return std::nullopt;
}

} // namespace SettingsRules
