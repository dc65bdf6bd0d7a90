#include "importing/Commands.h"

#include "about/Effects.h"
#include "browser/Commands.h"
#include "browser/FrmMain.h"
#include "importing/FrmImport.h"

#include <QTabBar>

namespace importing {

void importCommand(browser::FrmMain &main)
{
    main.rebuildTree([&main] {
        FrmImport dialog(main.library(), &main);
        dialog.exec();
    });
    about::RepaintControl(main.TS1());
    main.updateCount();
}

void installCommands(browser::FrmMain &main) { main.onCommand(browser::cmd::mnuImport, importCommand); }

} // namespace importing
