#pragma once
#include <QString>

namespace browser {
class FrmMain;
}

namespace app {

// Connects every subsystem's commands to the main window's menu items and toolbar.
void installCommands(browser::FrmMain &main);

// The folder of the open library, where its credits file lives.
QString libraryFolder();

// Opens the library at path, creating it with the starter snippets when it does not exist.
// A Jet library is converted first, after the user agreed. Returns the path opened (the
// converted library's); throws StoreError with an Arabic message naming the file and the reason.
QString openLibrary(const QString &path);

// The whole program: arguments, library, main window, event loop.
int run(int argc, char **argv);

} // namespace app
