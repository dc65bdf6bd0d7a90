#pragma once
// Changing the library the window shows: a team library on a PostgreSQL server, or back to the
// library file.
#include <QString>

namespace browser {
class FrmMain;
}

namespace app {

// A libpq URI (postgresql:// or postgres://) rather than a file.
bool isTeamLibrary(const QString &location);

// The file the "back to the library file" command opens: the one the program started on, or,
// when it started on a team library, the default library.
void setFileLibrary(const QString &path);
QString fileLibrary();

// The file menu's team-library commands.
void installTeamLibraryCommands(browser::FrmMain &main);

// Closes the open library and opens location in its place in the same window: the tree, the
// count and the read-only notice follow. A password given is used for this connection only; when
// the server asks for one and none was given, the user is asked. When location cannot be opened
// the library before is opened again and the reason shown; returns whether location is open.
bool switchLibrary(browser::FrmMain &main, const QString &location, const QString &password = {});

// The read-only notice and the write commands as the open library needs them.
void showLibraryMode(browser::FrmMain &main);

} // namespace app
