#pragma once

#include <QString>

class QApplication;

// The normal start: the login window of the install folder, then the main window and, with the
// serial link on, the receive window.
struct ProgramOptions
{
    QString home;          // install folder; empty: the platform's
    QString screenshot;    // PNG of the window in front when quitting; each window shown also
                           // goes to <name>-<objectName>.png beside it
    int quitAfterMs = 0;   // 0: run until the user ends the program
    QString demoLogin;     // "NAME:PASSWORD": typed into the login window, then Enter (demo only)
    bool demoWalk = false; // after the login, open the users, password, catalogue, ranges and comment
                           // windows and the receive window through the navigation strip, one
                           // after the other (demo only)
    bool showData = false; // the receive window opens with its raw view shown
};

int runProgram(QApplication& app, const ProgramOptions& options);
