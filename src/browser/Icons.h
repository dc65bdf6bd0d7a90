#pragma once
#include <QIcon>
#include <QString>

namespace browser {

// The tree's image list by key: "topopen", "groubopen1", "codeclose", "codeopen".
QIcon treeImage(const QString &key);
// The toolbar images by button key ("InsertCode", "EditCode", ...), from the icon theme.
QIcon toolbarImage(const QString &key);
// The images drawn by the program, for a system with no icon theme at all.
QIcon drawnToolbarImage(const QString &key);
// The icon theme used when the desktop's own theme lacks an icon (scripts/setup.sh installs it).
extern const char *const FallbackIconTheme;
// The program's own icon.
QIcon appIcon();

} // namespace browser
