#include "app/CommandLine.h"

int commandParse(const CommandArgs& args)
{
    args.err << "corvana-vidas: parse is not available yet\n";
    return 1;
}
