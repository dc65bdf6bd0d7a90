#pragma once
namespace store {

class Database;

// Fills a new, empty library with the starter categories and snippets a newcomer sees.
// Throws StoreError.
void writeStarterLibrary(const Database &db);

} // namespace store
