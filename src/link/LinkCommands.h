#pragma once

#include "common/CommandArgs.h"

// The receive-chain subcommands of corvana-vidas.
int commandParse(const CommandArgs& args);   // ParseCommand.cpp
int commandReplay(const CommandArgs& args);  // ReceiveCommands.cpp
int commandReceive(const CommandArgs& args); // ReceiveCommands.cpp
int commandOutbox(const CommandArgs& args);  // ReceiveCommands.cpp
