#pragma once
// The main window's command for importing from other programs.
namespace browser {
class FrmMain;
}

namespace importing {

// Connects mnuImport.
void installCommands(browser::FrmMain &main);
void importCommand(browser::FrmMain &main);

} // namespace importing
