#pragma once
// What an import would do to a library, told before anything is written: the items per category,
// the duplicates and the items that cannot be taken, with why.
#include "importing/core/ImportSource.h"

#include <QList>
#include <QString>

#include <functional>
#include <optional>

namespace store {
class Library;
}

namespace importing::core {

// Hands every item of one import to the sink. The real one reads a file or folder (readSource);
// anything that throws from it ends the import with the library as it was.
using Source = std::function<void(ItemSink &)>;
Source sourceAt(const QString &path, Format format);

// What becomes of an item whose title and code equal a snippet of its category (already in the
// library, or an earlier item of the same import). Asked once per import.
enum class DuplicateChoice {
    Skip, // the default for imports: a second import of one source adds nothing
    KeepBoth,
    Replace, // the snippet there is edited to the item's texts
};
QString choiceName(DuplicateChoice choice); // "skip", "keep", "replace"
std::optional<DuplicateChoice> choiceFromName(const QString &name);

struct CategoryPreview {
    QString name;
    bool isNew = false; // no category of that exact name yet: the import creates it
    qint64 items = 0; // valid items filed under it
    qint64 duplicates = 0; // of those, the duplicates
};

struct ImportPreview {
    QList<CategoryPreview> categories; // in the order the source first names them
    qint64 items = 0; // valid items
    qint64 duplicates = 0; // of those, equal to a snippet of their category or an earlier item
    qint64 duplicatesInLibrary = 0; // of the duplicates, those the library holds already
    qint64 toAdd = 0; // rows the choice adds
    qint64 toReplace = 0; // snippets the choice edits
    QList<SkippedItem> skipped; // the first MaxListedSkips, in the source's order
    qint64 skippedCount = 0; // all of them
};

// A source with a million bad files tells the first of them; the count says how many there were.
inline constexpr int MaxListedSkips = 1000;

// Reads the whole source once, keeping only keys (never texts), and writes nothing. Throws what the
// source throws (ImportError for a malformed source) and StoreError.
ImportPreview previewImport(store::Library &library, const Source &source, DuplicateChoice choice);

} // namespace importing::core
