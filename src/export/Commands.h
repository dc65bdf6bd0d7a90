#pragma once
// Hooks the save-as and print commands onto the main window (menu items and toolbar).
namespace browser {
class FrmMain;
}

namespace exporting {

void installCommands(browser::FrmMain &main);

} // namespace exporting
