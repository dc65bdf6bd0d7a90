#include "export/Commands.h"

#include "browser/FrmMain.h"
#include "export/Print.h"
#include "export/SaveAs.h"
#include "store/NodeKey.h"

#include <QAction>
#include <QTabBar>

namespace exporting {

CommandTarget targetOf(browser::FrmMain &main)
{
    browser::FrmMain *m = &main;
    return CommandTarget{m, [m] { return m->selectedKey(); }, [m](const QString &key) { m->selectNode(key); },
                         m->RTxt1(), m->TS1()};
}

void installCommands(browser::FrmMain &main)
{
    browser::FrmMain *m = &main;
    if (QAction *save = main.command(QStringLiteral("mnusaveas")))
        QObject::connect(save, &QAction::triggered, m, [m] { mnusaveas_Click(targetOf(*m)); });
    if (QAction *print = main.command(QStringLiteral("mnuprint")))
        QObject::connect(print, &QAction::triggered, m, [m] { mnuprint_Click(m, m->RTxt1(), m->TS1()); });
}

} // namespace exporting
