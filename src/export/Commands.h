#pragma once
// Hooks the save-as and print commands onto the main window's menu items (and so its toolbar).
namespace browser {
class FrmMain;
}

namespace exporting {

struct CommandTarget;
CommandTarget targetOf(browser::FrmMain &main);
void installCommands(browser::FrmMain &main);

} // namespace exporting
