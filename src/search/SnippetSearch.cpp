#include "search/SnippetSearch.h"

#include "store/Library.h"
#include "store/NodeKey.h"

#include <QElapsedTimer>

namespace search {

bool wordOccursIn(QStringView text, QStringView word)
{
    return text.contains(word, Qt::CaseInsensitive);
}

QString SearchHit::key() const { return store::snippetKey(id); }

TitleWidths::TitleWidths(const QFont &font)
    : m_font(font)
    , m_metrics(font)
{
}

int TitleWidths::width(const QString &title)
{
    const auto it = m_widths.constFind(title);
    if (it != m_widths.cend())
        return *it;
    const int w = m_metrics.horizontalAdvance(title);
    m_widths.insert(title, w);
    return w;
}

SnippetSearch::SnippetSearch(const QString &word, SearchFields fields, Measure measure)
    : m_word(word)
    , m_fields(fields)
    , m_measure(std::move(measure))
{
}

bool SnippetSearch::matches(const QString &title, const QString &code, const QString &learn) const
{
    if (m_fields.caption && wordOccursIn(title, m_word))
        return true;
    if (m_fields.code && wordOccursIn(code, m_word))
        return true;
    return m_fields.learn && wordOccursIn(learn, m_word);
}

bool SnippetSearch::step(int maxRows)
{
    m_newHitsFrom = m_hits.size();
    if (m_finished)
        return false;
    // Only the columns a test can look at are read: the code column is most of the table.
    const QList<store::SnippetText> rows =
        store::Library::snippetTexts(m_lastRow, maxRows, m_fields.code, m_fields.learn);
    for (const store::SnippetText &row : rows) {
        const QString title = row.head.toString(); // Null reads as empty
        if (m_measure)
            m_widest = qMax(m_widest, m_measure(title));
        if (matches(title, row.code.toString(), row.learn.toString()))
            m_hits.append({row.id, title});
        m_lastRow = row.row;
    }
    m_rowsRead += rows.size();
    if (rows.size() < qMax(maxRows, 1))
        m_finished = true;
    return !m_finished;
}

bool SnippetSearch::stepFor(int budgetMs)
{
    const qsizetype firstNew = m_hits.size();
    QElapsedTimer timer;
    timer.start();
    bool more = true;
    // Small slices keep one call near its budget even when rows are long.
    while (more && timer.elapsed() < budgetMs)
        more = step(m_fields.code ? 128 : 512);
    m_newHitsFrom = firstNew;
    return more;
}

void SnippetSearch::runToEnd()
{
    const qsizetype firstNew = m_hits.size();
    while (step(2000)) {
    }
    m_newHitsFrom = firstNew;
}

} // namespace search
