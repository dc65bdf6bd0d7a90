#pragma once
// The quick palette's search: the find dialog's search over title, code and comment with flexible
// Arabic matching, answered as one ordered list (snippets whose title holds the word first, then the
// rest, each group in table order) with each snippet's category. Only the first limit snippets are
// wanted, so it stops as soon as it has them: titles are searched first, and the other fields only
// while the list is not full. It runs in slices like the find dialog's, so a window can drop it for
// a newer word between two slices.
#include "search/core/SnippetSearch.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <memory>
#include <QString>

namespace search {

struct QuickHit {
    qint32 id = 0;
    QString title;
    QString category;
    bool inTitle = false;
};

class QuickSearch
{
public:
    // categories maps a category's id to its name (store::Library::categories, read once by the caller).
    QuickSearch(store::Library &library, const QString &word, const QHash<qint32, QString> &categories,
                int limit = 100);

    // Searches for up to budgetMs; false once the answer is complete.
    bool stepFor(int budgetMs);
    void runToEnd();
    bool finished() const { return m_finished; }

    // The ordered answer, at most limit snippets; complete only once finished().
    QList<QuickHit> results() const;

    static QHash<qint32, QString> categoryNames(store::Library &library);

private:
    bool full() const;

    store::Library &m_library;
    QString m_word;
    const QHash<qint32, QString> &m_categories;
    int m_limit;
    SnippetSearch m_titles;
    std::unique_ptr<SnippetSearch> m_rest;
    QList<SearchHit> m_others;
    QSet<qint32> m_inTitle;
    bool m_finished = false;
};

} // namespace search
