#pragma once
// Compacting the open library in place.
#include <functional>

namespace exchange {

// Runs work, which may close LibraryConnection (compaction does), then opens the library again
// whatever happened. Throws StoreError with work's failure and, if any, the failure to reopen.
void withLibraryReopened(const std::function<void()> &work);

// Keeps a backup, compacts the library file in place and opens LibraryConnection again, whatever
// happened. Throws StoreError; the library is then as it was.
void compactLibrary();

} // namespace exchange
