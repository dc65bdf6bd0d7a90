#pragma once
// Telling the user that the library is damaged, from the readers that otherwise show what they
// could read (the tree, the view, the count).
#include <QString>

class QWidget;

namespace browser {

// Shows the message once for a burst of failed reads (the tree's two loaders fail one after the
// other), after the work in progress has returned; another failure after the box closed shows it
// again.
void reportDamagedLibrary(QWidget *owner, const QString &message);

} // namespace browser
