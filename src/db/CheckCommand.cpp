#include "app/CommandLine.h"

int commandCheck(const CommandArgs& args)
{
    args.err << "corvana-vidas: check is not available yet\n";
    return 1;
}
