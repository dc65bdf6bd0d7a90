#include "export/Commands.h"

#include "browser/Commands.h"
#include "browser/FrmMain.h"
#include "export/Print.h"
#include "export/SaveAs.h"

namespace exporting {

void installCommands(browser::FrmMain &main)
{
    main.onCommand(browser::cmd::mnusaveas, mnusaveas_Click);
    main.onCommand(browser::cmd::mnuprint, mnuprint_Click);
}

} // namespace exporting
