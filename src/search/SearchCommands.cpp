#include "search/SearchCommands.h"

#include "browser/FrmMain.h"
#include "search/FrmFind.h"
#include "search/IndexBuilder.h"

#include <QAction>

namespace search {

void installCommands(browser::FrmMain &main)
{
    new IndexBuilder(&main); // a library opened without its search index gets it meanwhile
    QAction *action = main.command(QStringLiteral("mnusearch"));
    if (!action)
        return;
    browser::FrmMain *window = &main;
    QObject::connect(action, &QAction::triggered, window, [window] { FrmFind::open(window); });
}

} // namespace search
