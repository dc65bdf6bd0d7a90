#pragma once
// The main window's commands for update packages and compaction.
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

} // namespace exchange
