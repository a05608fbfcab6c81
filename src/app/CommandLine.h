#pragma once

#include <QStringList>
#include <QTextStream>

// corvana-vidas: the headless command line over the core. Returns the process exit code.
int runCommandLine(const QStringList& arguments);

// What every subcommand gets: the install folder (--home or the platform's), the words after the
// subcommand's name, and the two output streams.
struct CommandArgs
{
    QString home;
    QStringList words;
    QTextStream& out;
    QTextStream& err;
};

// The subcommands, each in the folder of its subsystem.
int commandParse(const CommandArgs& args);     // link/ParseCommand.cpp
int commandCheck(const CommandArgs& args);     // db/CheckCommand.cpp
int commandSetupDemo(const CommandArgs& args); // db/SetupDemoCommand.cpp
int commandReplay(const CommandArgs& args);    // link/ReceiveCommands.cpp
int commandReceive(const CommandArgs& args);   // link/ReceiveCommands.cpp
int commandOutbox(const CommandArgs& args);    // link/ReceiveCommands.cpp
