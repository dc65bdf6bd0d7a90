#pragma once
// The print command: the view's selection, or all of it, with its colours.
#include <QString>

class QWidget;

namespace platform {
class RichTextBox;
}

namespace exporting {

// Shown when the platform has no printer at all.
extern const QString NoPrinterMessage;

// owner owns the dialog and messages; repaint (may be null) is redrawn when the command ends.
void mnuprint_Click(QWidget *owner, platform::RichTextBox *view, QWidget *repaint);

} // namespace exporting
