#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// The settings window's rules, without the window: how stored values are shown and stored back,
// and what Save refuses, in its order.
namespace SettingsRules {

// The pages, by the settings section each one edits (also the recovery pages' names).
inline const QString interfacePage = QStringLiteral("server");
inline const QString lisPage = QStringLiteral("corvanaserver");
inline const QString serialPage = QStringLiteral("comsetup");

// Engines of a server page: [server] engine / [corvanaserver] engine.
inline const QString sqlServerEngine = QStringLiteral("sqlserver");
inline const QString sqliteEngine = QStringLiteral("sqlite");
inline const QString postgresEngine = QStringLiteral("postgresql");
// An empty or unknown engine setting counts as SQL Server, as the openers take it.
bool isSqlite(const QString& engine);
// The engine boxes' entries: SQL Server, SQLite file, PostgreSQL; and back.
int engineIndex(const QString& engine);
QString engineAt(int index);

// cboPort: "COM" + the stored port number; stored back from its fourth character on ("COM3": "3").
QString portEntry(const QString& storedPort);
QString portValue(const QString& entry);

// cboParity: entries in the order even, mark, none, odd, space; stored as "e", "m", "n", "o", "s".
const QStringList& parityCaptions();
const QStringList& parityLetters();
// The entry of a stored letter (case and blanks ignored); -1 for none.
int parityIndex(const QString& letter);

// Report margins: stored in twips (567 to the centimetre), shown (to a hundredth) and typed in
// centimetres.
inline constexpr double kTwipsPerCm = 567;
inline constexpr double kMaxMarginCm = 8;
inline constexpr double kMaxSpacingCm = 2;
QString marginShown(const QString& storedTwips);
QString marginStored(const QString& typedCm);
// spacevalue keeps the whole part only.
QString spacingStored(const QString& typedCm);
// What a margin box accepts.
inline const QString marginCharacters = QStringLiteral("0123456789.");

// What Save checks, in this order; the first refusal's text, or nothing when all is well. The
// server names are only asked of a SQL Server page: an embedded file needs neither.
struct SaveCheck
{
    bool interfaceIsSqlite = false;
    QString serverName;
    QString userId;
    QString leftCm;
    QString topCm;
    QString spacingCm;
};
std::optional<QString> serverRefusal(const SaveCheck& check);
std::optional<QString> refusal(const SaveCheck& check);

} // namespace SettingsRules
