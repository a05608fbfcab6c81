#pragma once

class QApplication;

// Builds the application context and shows the first window; returns the event loop's exit code.
int runCorvana(QApplication& app);
