#pragma once
// The print command: the view's selection, or all of it, with its colours.
#include <QString>

namespace browser {
class FrmMain;
}

namespace exporting {

// Shown when the platform has no printer at all.
extern const QString NoPrinterMessage;

// Prints what the main window's view shows; the tab strip is redrawn when the command ends.
void mnuprint_Click(browser::FrmMain &main);

} // namespace exporting
