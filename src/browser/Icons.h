#pragma once
#include <QIcon>
#include <QString>

namespace browser {

// The tree's image list by key: "topopen", "groubopen1", "codeclose", "codeopen".
QIcon treeImage(const QString &key);
// The toolbar images by button key ("InsertCode", "EditCode", ...).
QIcon toolbarImage(const QString &key);
// The program's own icon.
QIcon appIcon();

} // namespace browser
