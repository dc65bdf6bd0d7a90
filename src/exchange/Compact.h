#pragma once
// Compacting the open library in place.

namespace store {
class Library;
}

namespace exchange {

// Keeps a backup, compacts the library file in place and opens it again, whatever happened.
// Throws StoreError; the library is then as it was.
void compactLibrary(store::Library &library);

} // namespace exchange
