#pragma once
// Compacting the open library in place.

namespace exchange {

// Keeps a backup, compacts the library file in place and opens LibraryConnection again, whatever
// happened. Throws StoreError; the library is then as it was.
void compactLibrary();

} // namespace exchange
