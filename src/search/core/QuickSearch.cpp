#include "search/core/QuickSearch.h"

#include <QElapsedTimer>

namespace search {

namespace {

constexpr int kRowsPerStep = 500;

SearchFields fields(bool titleOnly)
{
    SearchFields fields;
    fields.caption = true;
    fields.code = fields.learn = !titleOnly;
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
    , m_titles(library, word, fields(true), std::shared_ptr<TitleMeasure>(), flexibleArabic())
{ }

bool QuickSearch::full() const
{
    return m_titles.hits().size() + m_others.size() >= m_limit;
}

bool QuickSearch::stepFor(int budgetMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!m_finished) {
        if (!m_rest) {
            const bool more = m_titles.step(kRowsPerStep);
            if (m_titles.hits().size() >= m_limit) {
                m_finished = true;
            } else if (!more) {
                for (const SearchHit &hit : m_titles.hits())
                    m_inTitle.insert(hit.id);
                m_rest = std::make_unique<SnippetSearch>(m_library, m_word, fields(false),
                                                         std::shared_ptr<TitleMeasure>(), flexibleArabic());
            }
        } else {
            const bool more = m_rest->step(kRowsPerStep);
            for (qsizetype i = m_rest->newHitsFrom(); i < m_rest->hits().size() && !full(); ++i)
                if (!m_inTitle.contains(m_rest->hits().at(i).id))
                    m_others.append(m_rest->hits().at(i));
            m_finished = !more || full();
        }
        if (clock.elapsed() >= budgetMs)
            break;
    }
    return !m_finished;
}

void QuickSearch::runToEnd()
{
    while (stepFor(1000)) { }
}

QList<QuickHit> QuickSearch::results() const
{
    QList<QuickHit> ordered;
    const auto add = [&](const SearchHit &hit, bool inTitle) {
        if (ordered.size() >= m_limit)
            return;
        QuickHit quick;
        quick.id = hit.id;
        quick.title = hit.title;
        quick.inTitle = inTitle;
        ordered.append(quick);
    };
    for (const SearchHit &hit : m_titles.hits())
        add(hit, true);
    for (const SearchHit &hit : m_others)
        add(hit, false);
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
