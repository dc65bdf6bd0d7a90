#include "search/core/SnippetSearch.h"

#include "store/Library.h"
#include "store/NodeKey.h"
#include "store/SearchFold.h"
#include "store/SearchIndex.h"

#include <QElapsedTimer>
#include <QHash>

#include <vector>

namespace search {

bool wordOccursIn(QStringView text, QStringView word) { return text.contains(word, Qt::CaseInsensitive); }

namespace {

bool foldedOccursIn(QStringView text, const QString &foldedWord)
{
    return store::foldForSearch(text).contains(foldedWord, Qt::CaseSensitive);
}

} // namespace

bool wordOccursIn(QStringView text, QStringView word, bool arabic)
{
    if (!arabic)
        return wordOccursIn(text, word);
    const QString folded = store::foldForSearch(word);
    return folded.isEmpty() ? wordOccursIn(text, word) : foldedOccursIn(text, folded);
}

QList<std::pair<qsizetype, qsizetype>> wordMatches(QStringView text, QStringView word, bool arabic)
{
    QList<std::pair<qsizetype, qsizetype>> result;
    const QString folded = arabic ? store::foldForSearch(word) : QString();
    if (folded.isEmpty()) {
        if (word.isEmpty())
            return result;
        // Simple case folding keeps lengths, so a match is as long as the word.
        for (qsizetype at = text.indexOf(word, 0, Qt::CaseInsensitive); at >= 0;
             at = text.indexOf(word, at + word.size(), Qt::CaseInsensitive))
            result.append({at, word.size()});
        return result;
    }
    const store::FoldedText mapped = store::foldForSearchMapped(text);
    for (qsizetype at = mapped.text.indexOf(folded); at >= 0; at = mapped.text.indexOf(folded, at + folded.size())) {
        const qsizetype start = mapped.origin[at];
        qsizetype end = mapped.origin[at + folded.size() - 1] + 1;
        if (end < text.size() && text[end - 1].isHighSurrogate() && text[end].isLowSurrogate())
            ++end;
        while (end < text.size() && store::isSearchIgnorable(text[end].unicode()))
            ++end;
        result.append({start, end - start});
    }
    return result;
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

SnippetSearch::SnippetSearch(store::Library &library, const QString &word, SearchFields fields, Measure measure,
                             SearchOptions options)
    : m_library(library)
    , m_word(word)
    , m_folded(store::foldForSearch(word))
    , m_fields(fields)
    , m_options(options)
    , m_measure(std::move(measure))
{
    // Tatweel and harakat may stand between any two characters of a text the folding matches,
    // so no piece of the word is sure to be in it as typed.
    if (!m_options.arabic || m_folded.isEmpty())
        m_fragment = necessaryFragment(word);
}

SnippetSearch::SnippetSearch(store::Library &library, const QString &word, SearchFields fields,
                             std::shared_ptr<TitleMeasure> widths, SearchOptions options)
    : SnippetSearch(library, word, fields, Measure{}, options)
{
    m_widths = std::move(widths);
}

bool SnippetSearch::matches(const QString &title, const QString &code, const QString &learn) const
{
    const bool folded = m_options.arabic && !m_folded.isEmpty();
    const auto occurs = [&](const QString &text) {
        return folded ? foldedOccursIn(text, m_folded) : wordOccursIn(text, m_word);
    };
    if (m_fields.caption && occurs(title))
        return true;
    if (m_fields.code && occurs(code))
        return true;
    return m_fields.learn && occurs(learn);
}

void SnippetSearch::start()
{
    m_started = true;
    const bool anyField = m_fields.caption || m_fields.code || m_fields.learn;
    // The index holds folded text: the folded word's candidates cover both ways of matching.
    if (m_options.useIndex && anyField)
        m_candidates = m_library.searchIndex().candidates(m_folded, m_fields.caption, m_fields.code, m_fields.learn);
}

bool SnippetSearch::stepCandidates(int maxRows)
{
    const QList<store::SearchCandidate> &all = *m_candidates;
    const qsizetype count = qMin<qsizetype>(qMax(maxRows, 1), all.size() - m_nextCandidate);
    const QList<store::SearchCandidate> slice = all.mid(m_nextCandidate, count);
    m_nextCandidate += count;
    // A field the index did not propose cannot hold the word: neither read nor tested.
    QList<qint64> rows, codeRows, learnRows;
    for (const store::SearchCandidate &c : slice) {
        rows.append(c.row);
        if (c.code && m_fields.code)
            codeRows.append(c.row);
        if (c.learn && m_fields.learn)
            learnRows.append(c.row);
    }
    const bool folded = m_options.arabic && !m_folded.isEmpty();
    const auto occurs = [&](const QVariant &text) {
        return folded ? foldedOccursIn(text.toString(), m_folded) : wordOccursIn(text.toString(), m_word);
    };
    qsizetype at = 0;
    const QList<store::SnippetText> texts = m_library.snippetTextsOf(rows, codeRows, learnRows);
    for (const store::SnippetText &row : texts) {
        while (slice[at].row != row.row)
            ++at;
        const store::SearchCandidate &c = slice[at];
        if ((m_fields.caption && c.head && occurs(row.head)) || (m_fields.code && c.code && occurs(row.code))
            || (m_fields.learn && c.learn && occurs(row.learn)))
            m_hits.append({row.id, row.head.toString()});
    }
    m_rowsRead += texts.size();
    if (m_nextCandidate < all.size())
        return true;
    finishCandidates();
    return false;
}

void SnippetSearch::finishCandidates()
{
    m_finished = true;
    if (m_widths) {
        m_widest = m_widths->knownWidest().value_or(-1);
    } else if (m_measure) {
        for (const QString &title : m_library.titles())
            m_widest = qMax(m_widest, m_measure(title));
    }
}

void SnippetSearch::begin()
{
    if (!m_started)
        start();
}

bool SnippetSearch::step(int maxRows)
{
    m_newHitsFrom = m_hits.size();
    if (m_finished)
        return false;
    begin();
    if (m_candidates)
        return stepCandidates(maxRows);
    // Only the columns a test can look at are read: the code column is most of the table.
    const QList<store::SnippetText> rows = m_library.snippetTexts(m_lastRow, maxRows, m_fields.code, m_fields.learn,
                                                                  m_fragment);
    for (const store::SnippetText &row : rows) {
        const QString title = row.head.toString(); // Null reads as empty
        if (m_measure)
            m_widest = qMax(m_widest, m_measure(title));
        if (matches(title, row.code.toString(), row.learn.toString()))
            m_hits.append({row.id, title});
        m_lastRow = row.row;
    }
    m_rowsRead += rows.size();
    if (rows.size() < qMax(maxRows, 1)) {
        m_finished = true;
        if (m_widths)
            m_widest = m_widths->knownWidest().value_or(-1);
    }
    return !m_finished;
}

bool SnippetSearch::stepFor(int budgetMs)
{
    const qsizetype firstNew = m_hits.size();
    QElapsedTimer timer;
    timer.start();
    bool more = true;
    begin();
    // Small slices keep one call near its budget even when rows are long. Candidates come in
    // larger batches: each batch is one query, and only proposed fields are read.
    const int rows = m_candidates ? 1024 : m_fields.code ? 128 : 512;
    while (more && timer.elapsed() < budgetMs)
        more = step(rows);
    m_newHitsFrom = firstNew;
    return more;
}

void SnippetSearch::runToEnd()
{
    const qsizetype firstNew = m_hits.size();
    while (step(2000)) { }
    m_newHitsFrom = firstNew;
}

} // namespace search
