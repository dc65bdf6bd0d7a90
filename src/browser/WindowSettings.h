#pragma once
// The main window's placement and splitter position in the per-user settings store:
// application name = program base name, section "FrmMain", values in twips.
#include <QString>

class QMainWindow;

namespace browser {

class FrmMain;

class WindowSettings
{
public:
    static QString appName();
    // Window state, Left, Top, Height, Width, in that order; each default computed just before its key.
    static void restore(QMainWindow *window);
    // "Split", default three quarters of the inner width (read after the size was restored).
    static int restoredSplit(QMainWindow *window);
    // The geometry of the normal window, whatever the state; a minimized window saves state 0.
    static void save(FrmMain *window);
};

} // namespace browser
