#include "importing/core/ImportWalk.h"

#include "editing/core/InputChecks.h"
#include "importing/core/DuplicateKey.h"
#include "platform/Text.h"
#include "store/Database.h"
#include "store/Library.h"

#include <QSqlQuery>

namespace importing::core::detail {

QString checkItem(const ImportItem &item, CheckedItem &checked)
{
    checked.title = platform::trimmedSpaces(item.title);
    if (checked.title.isEmpty())
        return QStringLiteral("لا عنوان له");
    if (checked.title.size() > editing::MaxTitleLength)
        return QStringLiteral("العنوان أطول من %1 حرفاً").arg(editing::MaxTitleLength);
    checked.code = platform::trimmedSpaces(item.code);
    if (checked.code.trimmed().isEmpty())
        return QStringLiteral("لا كود فيه");
    checked.category = platform::trimmedSpaces(item.category);
    if (checked.category.isEmpty())
        return QStringLiteral("لا فئة له");
    // An empty comment is stored as the add dialog stores it: empty text, not Null.
    checked.comment = platform::trimmedSpaces(item.comment);
    if (checked.comment.isNull())
        checked.comment = QString::fromLatin1("");
    return {};
}

struct Walk::Category {
    qint32 id = 0; // 0 until it is in the library
    qsizetype preview = 0; // its line in the preview
    // Its snippets by key (the first of equal ones): the library's, then the import's as they come
    // (id 0 in a preview).
    struct Known {
        qint32 id = 0;
        bool inLibrary = false;
    };
    QHash<Digest, Known> keys;
};

Walk::Walk(store::Library &library, DuplicateChoice choice, Writer *writer)
    : m_library(library)
    , m_choice(choice)
    , m_writer(writer)
{
    // Of two categories with one name, the first in table order takes the items, as packages do.
    const QList<store::Category> existing = library.categories();
    for (const store::Category &c : existing) {
        if (c.caption.isNull() || m_byName.contains(c.caption.toString()))
            continue;
        auto category = std::make_unique<Category>();
        category->id = c.id;
        category->preview = -1;
        m_byName.insert(c.caption.toString(), qsizetype(m_categories.size()));
        m_categories.push_back(std::move(category));
    }
}

Walk::~Walk() = default;

Walk::Category &Walk::categoryNamed(const QString &name)
{
    const auto at = m_byName.constFind(name);
    Category *category = nullptr;
    if (at == m_byName.cend()) {
        m_categories.push_back(std::make_unique<Category>());
        m_byName.insert(name, qsizetype(m_categories.size()) - 1);
        category = m_categories.back().get();
        category->preview = preview.categories.size();
        preview.categories.append({name, true, 0, 0});
        return *category;
    }
    category = m_categories[size_t(*at)].get();
    if (category->preview < 0) {
        // First met in this import: its snippets' keys are read now, and only its.
        category->preview = preview.categories.size();
        preview.categories.append({name, false, 0, 0});
        QSqlQuery q(m_library.database().db());
        q.setForwardOnly(true);
        if (!q.prepare(QStringLiteral("SELECT id, Head, code FROM Code WHERE Groub = ? ORDER BY id")))
            store::throwQueryError(q);
        q.addBindValue(category->id);
        if (!q.exec())
            store::throwQueryError(q);
        while (store::nextRow(q)) {
            const Digest digest = duplicateDigest(q.value(1).toString(), q.value(2).toString());
            if (!category->keys.contains(digest))
                category->keys.insert(digest, {q.value(0).toInt(), true});
        }
    }
    return *category;
}

void Walk::item(const ImportItem &item)
{
    CheckedItem checked;
    const QString reason = checkItem(item, checked);
    if (!reason.isEmpty()) {
        skipped({item.origin, reason});
        return;
    }
    checked.language = item.language;
    Category &category = categoryNamed(checked.category);
    CategoryPreview &line = preview.categories[category.preview];
    ++preview.items;
    ++line.items;
    const Digest digest = duplicateDigest(checked.title, checked.code);
    const auto found = category.keys.constFind(digest);
    const auto add = [&] {
        ++preview.toAdd;
        if (!m_writer)
            return qint32(0);
        if (category.id == 0) {
            category.id = m_writer->addCategory(checked.category);
            result.newCategories.append(checked.category);
        }
        ++result.added;
        return m_writer->addSnippet(category.id, checked, item.user);
    };
    if (found == category.keys.cend()) {
        category.keys.insert(digest, {add(), false});
        return;
    }
    ++preview.duplicates;
    ++line.duplicates;
    if (found->inLibrary)
        ++preview.duplicatesInLibrary;
    switch (m_choice) {
    case DuplicateChoice::Skip:
        ++result.duplicatesSkipped;
        break;
    case DuplicateChoice::KeepBoth:
        add(); // the first of equal snippets stays the one a later duplicate finds
        break;
    case DuplicateChoice::Replace:
        ++preview.toReplace;
        if (m_writer) {
            m_writer->replaceSnippet(found->id, category.id, checked);
            ++result.replaced;
        }
        break;
    }
}

void Walk::skipped(const SkippedItem &skip)
{
    if (preview.skipped.size() < MaxListedSkips)
        preview.skipped.append(skip);
    ++preview.skippedCount;
    ++result.skipped;
}

} // namespace importing::core::detail
