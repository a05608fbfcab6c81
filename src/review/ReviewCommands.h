#pragma once

#include "common/CommandArgs.h"

// The result-review subcommand of corvana-vidas: "history AUTONUM", a stored result's changes.
int commandHistory(const CommandArgs& args); // HistoryCommand.cpp
