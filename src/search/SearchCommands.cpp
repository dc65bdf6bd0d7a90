#include "search/SearchCommands.h"

#include "browser/Commands.h"
#include "browser/FrmMain.h"
#include "search/FrmFind.h"
#include "search/IndexBuilder.h"

namespace search {

void installCommands(browser::FrmMain &main)
{
    new IndexBuilder(&main); // a library opened without its search index gets it meanwhile
    main.onCommand(browser::cmd::mnusearch, [](browser::FrmMain &m) { FrmFind::open(&m); });
}

} // namespace search
