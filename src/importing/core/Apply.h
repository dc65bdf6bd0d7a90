#pragma once
// Taking an import into a library: all of it or nothing, after a backup.
#include "importing/core/Preview.h"

namespace importing::core {

struct ImportResult {
    qint64 added = 0;
    qint64 replaced = 0;
    qint64 duplicatesSkipped = 0;
    qint64 skipped = 0; // items that could not be taken (see the preview's reasons)
    QStringList newCategories;
    QString backup; // the copy kept first; empty for a team library, which the server backs up
};

// Keeps a backup of the library, then adds the source's valid items in one transaction: snippets
// of the user's own (unless an item says otherwise), under the category of that exact name or a
// new one, duplicates as the choice says. Throws (the library unchanged) what the source throws,
// StoreError, or StoreError from the backup before anything is written.
ImportResult applyImport(store::Library &library, const Source &source, DuplicateChoice choice);

} // namespace importing::core
