#pragma once
// The table that keeps each snippet's language, SnippetLanguage (id = Code.id, Language), kept
// beside the library's own tables without changing them. A snippet without a row is Visual
// Basic, so a library without the table reads as it always did. A trigger on Code removes a
// snippet's row with it, whoever deletes the snippet (another program, a category's delete).
namespace store {

class Database;

// Whether the table is there (and readable, on a team library).
bool hasLanguageTable(const Database &db);
// Creates the table and its delete trigger where either is missing (rows of snippets deleted
// while the trigger was missing go then too); writes nothing when both are there. Throws
// StoreError (nothing created) when it may not: a read-only library, a team role without the
// right to create them.
void ensureLanguageTable(const Database &db);

} // namespace store
