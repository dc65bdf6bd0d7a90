#pragma once
// `tamrisk --palette`: the quick palette, shown by the window that has the library open when there
// is one (asked through the single-instance channel), otherwise by a start of its own.
#include <QString>

namespace browser {
class FrmMain;
}

namespace app {

// Brings up the window's palette (made once); the snippet chosen with Ctrl+Return is selected in
// the tree and the window comes to the front.
void showPalette(browser::FrmMain &main);

// A palette alone on the library at location, opened read-only; ends when the palette closes.
// Ctrl+Return starts the program's window on that library with the snippet selected.
int runPaletteAlone(const QString &location);

} // namespace app
