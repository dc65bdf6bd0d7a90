#pragma once
// The main window's add, edit and delete commands (menu items "Add", "edit", "del"; the
// toolbar, the tree's double click and its Delete key trigger those same items), and the trash
// (the edit menu's "mnuTrash").
namespace browser {
class FrmMain;
}

namespace editing {

void installCommands(browser::FrmMain &main);

// The commands themselves, as the menu items run them.
void addCommand(browser::FrmMain &main);
void editCommand(browser::FrmMain &main);
void deleteCommand(browser::FrmMain &main);
void trashCommand(browser::FrmMain &main);

} // namespace editing
