#pragma once
// Reading snippets that other programs (or a folder of files) hold, one item at a time, before
// anything is written to a library.
#include <QString>

#include <optional>

namespace importing::core {

struct ImportItem
{
    QString category; // the Tamrisk category name (nested source folders joined, see reader)
    QString title;    // as in the source (apply trims and checks)
    QString code;
    QString comment;
    QString language; // source's own language name, canonicalised when known; "" = none
    bool user = true; // only Tamrisk's own export-all folder carries false
    QString origin;   // file (and place) it came from, for messages
};

struct SkippedItem
{
    QString origin;
    QString reason; /* Arabic */
};

class ItemSink
{
public:
    virtual ~ItemSink() = default;
    virtual void item(const ImportItem &item) = 0;
    virtual void skipped(const SkippedItem &skip) = 0;
};

enum class Format { Folder, VsCode, MassCode, SnippetsLab, CherryTree };

std::optional<Format> detectFormat(const QString &path); // nullopt when not recognised
QString formatName(Format); // "folder", "vscode", "masscode", "snippetslab", "cherrytree"
std::optional<Format> formatFromName(const QString &name);

// Streams the items one by one (memory bounded for folders); throws ImportError (derived from
// platform::Error, Arabic message naming the file and the place) on a malformed source.
void readSource(const QString &path, Format format, ItemSink &sink);

} // namespace importing::core
