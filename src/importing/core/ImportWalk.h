#pragma once
// The one pass over a source that the preview and the apply share, so that what the preview
// promises is what the apply does. Private to this folder.
#include "importing/core/Apply.h"
#include "importing/core/DuplicateKey.h"

#include <QHash>

#include <memory>

namespace importing::core::detail {

using Digest = DuplicateDigest;

// An item as it would be stored.
struct CheckedItem {
    QString category, title, code, comment, language;
};
// Why the item cannot be taken; empty when it can, and then checked holds its texts.
QString checkItem(const ImportItem &item, CheckedItem &checked);

// The writes of an apply; a preview has none.
class Writer
{
public:
    virtual ~Writer() = default;
    virtual qint32 addCategory(const QString &name) = 0;
    virtual qint32 addSnippet(qint32 category, const CheckedItem &item, bool user) = 0;
    virtual void replaceSnippet(qint32 id, qint32 category, const CheckedItem &item) = 0;
};

class Walk : public ItemSink
{
public:
    Walk(store::Library &library, DuplicateChoice choice, Writer *writer);
    ~Walk() override;
    void item(const ImportItem &item) override;
    void skipped(const SkippedItem &skip) override;

    ImportPreview preview;
    ImportResult result;

private:
    struct Category;
    Category &categoryNamed(const QString &name);

    store::Library &m_library;
    DuplicateChoice m_choice;
    Writer *m_writer;
    QHash<QString, qsizetype> m_byName; // into m_categories
    std::vector<std::unique_ptr<Category>> m_categories;
};

} // namespace importing::core::detail
