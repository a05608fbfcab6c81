#pragma once

class AppContext;
class ProgramRestart;
class ProgramUi;

// The settings window (Opt_setting, grant 8, and the recovery path) and the About window
// (opt_aboutus, the main window's cmd_reportview). A save that restarts asks `restart` and ends
// the program.
void registerSettingsWindows(ProgramUi& ui, AppContext& context, ProgramRestart& restart);
