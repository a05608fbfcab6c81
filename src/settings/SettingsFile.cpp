#include "settings/SettingsFile.h"

#include "config/IniFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryDir>

namespace SettingsFile {

Outcome writable(const QString& file)
{
    const QFileInfo info(file);
    if (!info.isFile())
        return Outcome::Missing;
    // The owner's write bit, not access(): a file marked read-only stays so even for an administrator.
    if (!(info.permissions() & QFileDevice::WriteOwner))
        return Outcome::ReadOnly;
    return Outcome::Written;
}

Outcome write(const QString& file, const QList<Edit>& edits)
{
    if (const Outcome can = writable(file); can != Outcome::Written)
        return can;
    QFile original(file);
    if (!original.open(QIODevice::ReadOnly))
        return Outcome::Failed;
    const QByteArray before = original.readAll();
    original.close();

    QTemporaryDir scratch;
    const QString copy = scratch.filePath(QStringLiteral("settings.ini"));
    {
        QFile out(copy);
        if (!scratch.isValid() || !out.open(QIODevice::WriteOnly) || out.write(before) != before.size())
            return Outcome::Failed;
    }
    for (const Edit& edit : edits) {
        // An absent key and an empty one read the same, so an empty box adds no key.
        if (ReadIni(copy, edit.section, edit.key) == edit.value)
            continue;
        if (!WriteIni(copy, edit.section, edit.key, edit.value))
            return Outcome::Failed;
    }
    QFile done(copy);
    if (!done.open(QIODevice::ReadOnly))
        return Outcome::Failed;
    const QByteArray after = done.readAll();
    if (after == before)
        return Outcome::Written;
    QSaveFile save(file);
    if (!save.open(QIODevice::WriteOnly) || save.write(after) != after.size())
        return Outcome::Failed;
    return save.commit() ? Outcome::Written : Outcome::Failed;
}

} // namespace SettingsFile
