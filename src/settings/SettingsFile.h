#pragma once

#include <QList>
#include <QString>

// Writing a whole page of settings at once: every key or none. The keys are set on a copy of the
// file, which then replaces it in one step, so a full disk or a crash halfway leaves the file as it
// was. Keys whose value is unchanged are not touched: their lines, and every other byte of the
// file (its code page, its CR LF line ends, comments), stay as they were.
namespace SettingsFile {

struct Edit
{
    QString section;
    QString key;
    QString value;
};

enum class Outcome
{
    Written,
    Missing,  // no such file: settings are never made up from nothing here
    ReadOnly, // the file is marked read-only
    Failed,   // the copy or the replacement could not be written
};

// Whether `file` can take a write at all (checked for both files before either is written).
Outcome writable(const QString& file);
Outcome write(const QString& file, const QList<Edit>& edits);

} // namespace SettingsFile
