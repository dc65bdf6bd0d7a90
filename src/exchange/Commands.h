#pragma once
// The main window's commands for update packages and compaction.
class QString;

namespace browser {
class FrmMain;
}

namespace exchange {

// Connects mnuCompDbas, mnuCreateUpDat and mnuUpDat (and so their toolbar buttons).
void installCommands(browser::FrmMain &main);

// The commands themselves.
void compactCommand(browser::FrmMain &main);
void createPackageCommand(browser::FrmMain &main);
void applyPackageCommand(browser::FrmMain &main);
// The apply command on the package at path, without asking for the file (a package opened from
// the desktop or the command line).
void applyPackageFile(browser::FrmMain &main, const QString &path);

} // namespace exchange
