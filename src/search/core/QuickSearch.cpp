#include "search/core/QuickSearch.h"

namespace search {

namespace {

SearchFields everyField()
{
    SearchFields fields;
    fields.caption = fields.code = fields.learn = true;
    return fields;
}

SearchOptions flexibleArabic()
{
    SearchOptions options;
    options.arabic = true;
    return options;
}

} // namespace

QuickSearch::QuickSearch(store::Library &library, const QString &word, const QHash<qint32, QString> &categories,
                         int limit)
    : m_library(library)
    , m_word(word)
    , m_categories(categories)
    , m_limit(limit)
    , m_search(library, word, everyField(), std::shared_ptr<TitleMeasure>(), flexibleArabic())
{ }

bool QuickSearch::stepFor(int budgetMs)
{
    return m_search.stepFor(budgetMs);
}

void QuickSearch::runToEnd()
{
    m_search.runToEnd();
}

QList<QuickHit> QuickSearch::results() const
{
    QList<QuickHit> inTitle, elsewhere;
    for (const SearchHit &hit : m_search.hits()) {
        QuickHit quick;
        quick.id = hit.id;
        quick.title = hit.title;
        quick.inTitle = wordOccursIn(hit.title, m_word, true);
        QList<QuickHit> &group = quick.inTitle ? inTitle : elsewhere;
        if (group.size() < m_limit)
            group.append(quick);
        if (inTitle.size() >= m_limit)
            break;
    }
    QList<QuickHit> ordered = inTitle;
    for (const QuickHit &hit : std::as_const(elsewhere)) {
        if (ordered.size() >= m_limit)
            break;
        ordered.append(hit);
    }
    // Only the shown snippets' categories are read, one row each.
    for (QuickHit &hit : ordered) {
        const std::optional<QVariant> groub = m_library.snippetField(hit.id, QStringLiteral("Groub"));
        const QString name = groub && !groub->isNull() ? m_categories.value(groub->toInt()) : QString();
        hit.category = name.isEmpty() ? store::UncategorisedCaption : name;
    }
    return ordered;
}

QHash<qint32, QString> QuickSearch::categoryNames(store::Library &library)
{
    QHash<qint32, QString> names;
    for (const store::Category &category : library.categories())
        names.insert(category.id, category.caption.toString());
    return names;
}

} // namespace search
