#pragma once

#include <QString>

class QApplication;

// Starting the program on the receive window alone, on a given install folder: for the demo and
// for stations that only collect results.
struct ReceiverOnlyOptions
{
    QString home;          // install folder; empty: the platform's
    QString screenshot;    // PNG of the window to save before quitting
    int quitAfterMs = 0;   // 0: run until the receiver is switched OFF
    bool showData = false; // open with the raw view shown
};

int runReceiverOnly(QApplication& app, const ReceiverOnlyOptions& options);
