#pragma once

#include <QSqlDatabase>
#include <QString>

// The demo's reference data in the interface database: a catalogue of the VIDAS assays of the
// sample captures (LIS codes 501-509, as the LIS stand-in's demo requests use them), reference
// ranges of every range kind, a few library comments, and a first administrator account.
namespace DemoData {

// Installs the catalogue, ranges and comments when the catalogue is empty; leaves it otherwise.
bool installCatalogue(const QSqlDatabase& iface, QString* error = nullptr);

// Adds the administrator "admin" (password "admin") when there is no account at all.
bool installAdministrator(const QSqlDatabase& iface, QString* error = nullptr);

} // namespace DemoData
