#include "importing/core/Preview.h"

#include "importing/core/ImportWalk.h"

namespace importing::core {

Source sourceAt(const QString &path, Format format)
{
    return [path, format](ItemSink &sink) { readSource(path, format, sink); };
}

QString choiceName(DuplicateChoice choice)
{
    switch (choice) {
    case DuplicateChoice::Skip:
        return QStringLiteral("skip");
    case DuplicateChoice::KeepBoth:
        return QStringLiteral("keep");
    case DuplicateChoice::Replace:
        return QStringLiteral("replace");
    }
    return {};
}

std::optional<DuplicateChoice> choiceFromName(const QString &name)
{
    for (DuplicateChoice c : {DuplicateChoice::Skip, DuplicateChoice::KeepBoth, DuplicateChoice::Replace})
        if (choiceName(c) == name)
            return c;
    return std::nullopt;
}

ImportPreview previewImport(store::Library &library, const Source &source, DuplicateChoice choice)
{
    detail::Walk walk(library, choice, nullptr);
    source(walk);
    return walk.preview;
}

} // namespace importing::core
