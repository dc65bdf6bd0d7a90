#pragma once
#include <QString>

namespace store {

inline const QString LibraryFileName = QStringLiteral("codedb.mdb");

// The program folder's codedb.mdb when there is one (portable use), else the one in the
// user's application data folder (which may not exist yet).
QString defaultLibraryPath();

} // namespace store
