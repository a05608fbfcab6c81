#pragma once

#include "common/CommandArgs.h"

// The reference-data subcommand of corvana-vidas: "refdata export FILE", "refdata import FILE
// [--replace]".
int commandRefdata(const CommandArgs& args); // RefDataCommand.cpp
