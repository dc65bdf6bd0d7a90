#include "search/SnippetSearch.h"

#include "store/Library.h"
#include "store/NodeKey.h"

#include <QElapsedTimer>
#include <QHash>

#include <vector>

namespace search {

bool wordOccursIn(QStringView text, QStringView word)
{
    return text.contains(word, Qt::CaseInsensitive);
}

namespace {

// Characters a fragment may hold: ASCII letters whose only case variants (by Unicode folding)
// are the ASCII pair, and characters without case variants at all. Any match of the word in a
// field then holds the fragment as SQLite's LIKE compares it.
struct FragmentCharacters {
    std::vector<bool> safe = std::vector<bool>(0x10000, false);

    FragmentCharacters()
    {
        QHash<char16_t, int> classSize;
        for (char32_t c = 0; c < 0x10000; ++c)
            if (!QChar::isSurrogate(c))
                ++classSize[char16_t(QChar::toCaseFolded(c))];
        for (char32_t c = 0; c < 0x10000; ++c) {
            if (QChar::isSurrogate(c))
                continue;
            const int size = classSize.value(char16_t(QChar::toCaseFolded(c)));
            const bool asciiLetter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
            if (asciiLetter)
                safe[c] = size == 2;
            else
                safe[c] = size == 1 && QChar::toCaseFolded(c) == c && QChar::toLower(c) == c && QChar::toUpper(c) == c;
        }
    }
};

} // namespace

QString necessaryFragment(const QString &word)
{
    static const FragmentCharacters characters;
    QString best, run;
    const auto endRun = [&] {
        if (run.size() > best.size())
            best = run;
        run.clear();
    };
    for (const QChar ch : word) {
        if (characters.safe[ch.unicode()] && !ch.isSurrogate())
            run.append(ch.unicode() < 0x80 ? ch.toLower() : ch);
        else
            endRun();
    }
    endRun();
    return best;
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
    , m_fragment(necessaryFragment(word))
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
        store::Library::snippetTexts(m_lastRow, maxRows, m_fields.code, m_fields.learn, m_fragment);
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
