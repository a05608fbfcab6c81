#pragma once

#include <QtGlobal>

// Whether a process of this computer with that number still runs. A number the system has given
// to a new process since reads as running, so a caller only ever waits longer, never shorter.
bool processRuns(qint64 pid);
