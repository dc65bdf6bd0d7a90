#pragma once
namespace store {

class Database;

// The tables (and the tree's index) of a new library. Throws StoreError.
void createLibraryTables(const Database &db);

// The tree needs only id, title, category and flag of every snippet: a covering index lets it
// read those without paging through every snippet's code. Best effort: a read-only library
// simply goes without.
void addTreeIndex(const Database &db);

// Fills a new, empty library with the starter categories and snippets a newcomer sees.
// Throws StoreError.
void writeStarterLibrary(const Database &db);

} // namespace store
