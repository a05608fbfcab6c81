#pragma once

#include "common/CommandArgs.h"

// The report subcommands of corvana-vidas (ReportCommand.cpp). `report` draws text and so needs a
// QGuiApplication: see reportCommandDraws.
int commandReport(const CommandArgs& args);
int commandEan13(const CommandArgs& args);

// Whether the command line (program name first) runs a subcommand that draws.
bool reportCommandDraws(const QStringList& arguments);
