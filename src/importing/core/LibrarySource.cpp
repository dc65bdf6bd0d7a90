#include "importing/core/LibrarySource.h"

#include "store/Library.h"

#include <QHash>

namespace importing::core {

Source librarySource(store::Library &from, const QList<qint32> &ids)
{
    return [&from, ids](ItemSink &sink) {
        QHash<qint32, QString> categories;
        for (const store::Category &category : from.categories())
            categories.insert(category.id, category.caption.toString());
        for (const qint32 id : ids) {
            const QString origin = QStringLiteral("#%1").arg(id);
            const std::optional<store::Snippet> row = from.snippet(id);
            if (!row) {
                sink.skipped({origin, QStringLiteral("لا كود بهذا الرقم في المكتبة التي يُنسخ منها")});
                continue;
            }
            ImportItem item;
            const QString category = row->groub.isNull() ? QString() : categories.value(row->groub.toInt());
            item.category = category.isEmpty() ? store::UncategorisedCaption : category;
            item.title = row->head.toString();
            item.code = row->code.toString();
            item.comment = row->learn.toString();
            item.user = store::isTrue(row->user);
            item.language = from.snippetLanguage(id);
            item.origin = origin;
            sink.item(item);
        }
    };
}

QList<qint32> snippetsOfCategory(store::Library &from, qint32 category)
{
    QList<qint32> ids;
    for (const store::SnippetSummary &summary : from.snippetSummaries())
        if (!summary.groub.isNull() && summary.groub.toInt() == category)
            ids.append(summary.id);
    std::sort(ids.begin(), ids.end());
    return ids;
}

} // namespace importing::core
