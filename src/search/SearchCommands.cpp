#include "search/SearchCommands.h"

#include "browser/Commands.h"
#include "browser/FrmMain.h"
#include "search/FrmFind.h"

namespace search {

void installCommands(browser::FrmMain &main)
{
    main.onCommand(browser::cmd::mnusearch, [](browser::FrmMain &m) { FrmFind::open(&m); });
}

} // namespace search
