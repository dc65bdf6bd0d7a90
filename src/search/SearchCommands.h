#pragma once
// Hooks the search command onto the main window.
namespace browser {
class FrmMain;
}

namespace search {

// The menu item mnusearch (and so the toolbar button "SearchCode") opens the find dialog.
void installCommands(browser::FrmMain &main);

} // namespace search
