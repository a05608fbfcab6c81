#pragma once

#include <QStringList>
#include <QTextStream>

// What every corvana-vidas subcommand gets: the install folder (--home or the platform's), the
// words after the subcommand's name, and the two output streams. A subcommand returns the process
// exit code.
struct CommandArgs
{
    QString home;
    QStringList words;
    QTextStream& out;
    QTextStream& err;
};
