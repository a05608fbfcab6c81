#pragma once

#include "common/CommandArgs.h"

// The database subcommands of corvana-vidas.
int commandCheck(const CommandArgs& args);     // CheckCommand.cpp
int commandSetupDemo(const CommandArgs& args); // SetupDemoCommand.cpp
