#pragma once
// Compacting the open library in place.
#include <QString>

class QWidget;

namespace exchange {

// Compacts the library file and opens LibraryConnection again, whatever happened.
// Returns an empty string, or the Arabic text of what failed (the library is then as it was).
QString compactLibrary(QWidget *owner);

} // namespace exchange
