#pragma once
// The user's own snippets: marking one, merging one, merging all. A snippet node is drawn blue
// exactly while its User flag is true, so every command here changes both or neither.
namespace browser {
class FrmMain;
}

namespace exchange {

// CurMrkUsr (user = true) and CurUsrCodRmv (user = false) on the selected snippet node.
// Returns false, changing nothing, when the node is not a snippet or its row is gone.
bool markSelectedSnippet(browser::FrmMain &main, bool user);
// UsrUn: after the user's yes, every true User becomes false and the tree is rebuilt.
void mergeAllUserSnippets(browser::FrmMain &main);
// Connects CurMrkUsr, CurUsrCodRmv and UsrUn of the main window's code menu.
void installUserMarkCommands(browser::FrmMain &main);

} // namespace exchange
