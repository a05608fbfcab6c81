#pragma once

#include "config/AppSettings.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

// The connection strings in the OLE DB form that the settings window and the support staff know.
// They stay the visible text; the Qt SQL connection is derived from them (see ConnectionTarget).
namespace ConnectionStrings {

inline const QString interfaceCatalog = QStringLiteral("InterfaceVIDAS");
inline const QString lisCatalog = QStringLiteral("Patients");

// One SQL Server string: Windows login when `authentication` is 0 (user and password are then left
// out), SQL login otherwise. Values are cut at a NUL and trimmed, as the settings file gives them.
QString sqlServer(qint16 authentication, const QString& server, const QString& userId, const QString& password,
                  const QString& catalog);

// From the [server] keys.
QString InterfaceConnString(const AppSettings& settings);
// From the [corvanaserver] keys; empty when the LIS is the Jet file (CRVaccess nonzero).
QString LisConnString(const AppSettings& settings);

// The key=value pairs of an OLE DB string, in order. Keys are not case-sensitive; a segment that
// does not start with a known key belongs to the value before it (a password may hold ";").
QList<std::pair<QString, QString>> parse(const QString& oledb);
// The value of `key` in an OLE DB string, empty when absent.
QString value(const QString& oledb, const QString& key);

// An ODBC attribute value, in braces when it would otherwise end the attribute or lose blanks.
QString odbcValue(const QString& value);
// The ODBC connection string for a SQL Server string built above.
QString odbcForSqlServer(const QString& oledb, const QString& driver);
// The ODBC connection string for a Jet (Access) file.
QString odbcForJet(const QString& file, const QString& driver);

// ODBC driver used when the settings name none: the SQL Server driver that ships with Windows,
// FreeTDS elsewhere.
QString defaultSqlServerDriver();
// The Access drivers tried in turn for a Jet file when the settings name none: the name of the
// current (64-bit) driver first, then that of the older 32-bit one.
QStringList defaultJetDrivers();

// The LIS's Jet file. On Windows the LIS installs it at "D:\corvana system\bin\Patients.mdb"; on
// other systems the same folders are looked for inside the install folder.
QString jetLisFile(const QString& installFolder);

} // namespace ConnectionStrings
