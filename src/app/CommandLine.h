#pragma once

#include <QStringList>

// corvana-vidas: the headless command line over the core. Returns the process exit code.
int runCommandLine(const QStringList& arguments);
