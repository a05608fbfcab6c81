#pragma once

#include <QList>
#include <QString>

class AppContext;

// What the About window shows: the program and its build, where it is installed, the databases it
// works with now, the Qt it runs on, and the licences of what ships with it.
namespace AboutInfo {

inline const QString programName = QStringLiteral("Corvana Interface VIDAS");

struct Line
{
    QString objectName; // the label that shows it
    QString caption;
    QString value;
};

QString version();
QString buildDate();
QList<Line> lines(const AppContext& context);
// One paragraph per component: name, its licence.
QList<Line> licences();

} // namespace AboutInfo
