#pragma once
// The find dialog's search without the dialog (and without any window: the command line uses it): which snippets
// contain a word, in table order. When the library's search index is ready and the word has at least three characters
// after folding, the index proposes the rows and only those are read and tested; otherwise the table is scanned. Either
// way the rows are read in slices (step), so a window can stay responsive while a large library is searched; runToEnd
// does it all at once. The answer is the same.
#include <QList>
#include <QString>
#include <QStringView>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "store/Library.h"
#include "store/SearchIndex.h"

namespace search {

// The fields a search looks in; with none, nothing matches.
struct SearchFields {
    bool caption = false; // Head
    bool code = false; // code
    bool learn = false; // Learn
};

// The word anywhere in the text, ignoring case. Case is compared by Unicode case folding,
// the same in every locale ("DIM" finds "Dim", "É" finds "é"); Arabic letters, diacritics
// and tatweel compare as they are. The word is not trimmed.
bool wordOccursIn(QStringView text, QStringView word);
// With arabic set, both sides are compared after store::foldForSearch (case, tatweel, harakat,
// alef forms, ى and ة; see store/SearchFold.h). A word that folds to nothing (only tatweel or
// harakat) is looked for as typed. Without it, as above.
bool wordOccursIn(QStringView text, QStringView word, bool arabic);

// Where the word occurs in the text by the same rules, as (start, length) in text, left to right
// and not overlapping. With arabic set a match takes the tatweel and harakat that follow it.
QList<std::pair<qsizetype, qsizetype>> wordMatches(QStringView text, QStringView word, bool arabic);

struct SearchOptions {
    bool arabic = false; // Arabic-aware matching (wordOccursIn)
    bool useIndex = true; // false: always scan (for comparison)
};

// A piece of the word that any field containing the word must contain, ignoring the case of
// ASCII letters only: the longest run of the word's characters whose case variants are just
// the two ASCII letters or none at all ("k" and "s" have non-ASCII variants, Greek letters too).
// Empty when there is no such run. The library skips long texts without it; the matching
// itself stays wordOccursIn, so the answer is the same with or without it.
QString necessaryFragment(const QString &word);

struct SearchHit {
    qint32 id = 0;
    QString title;
    QString key() const; // the tree key "T" + id
};

// Title widths for the find dialog's scroll extent; the window's font measures them
// (search/TitleWidths.h). Known widths are kept between searches.
class TitleMeasure
{
public:
    virtual ~TitleMeasure() = default;
    virtual int width(const QString &title) = 0;
    // The widest title of the whole table, when it is known for the table as it is now.
    virtual std::optional<int> knownWidest() = 0;
};

class SnippetSearch
{
public:
    // measure gives a title's width; every title of the table is measured, matching or not.
    using Measure = std::function<int(const QString &title)>;

    // Searches library, which must outlive the search.
    SnippetSearch(store::Library &library, const QString &word, SearchFields fields, Measure measure = {},
                  SearchOptions options = {});
    // Leaves the widest title of the table to widths, which remember it between searches
    // (widestTitle() is then -1 unless it was known already): no title is measured here, so a
    // scan costs no more than the reading and a search does not wait for the measuring.
    SnippetSearch(store::Library &library, const QString &word, SearchFields fields,
                  std::shared_ptr<TitleMeasure> widths, SearchOptions options = {});

    // Whether a row matches: title, then code, then comment, each only when its field is asked for.
    // A row gives one result however many of its fields contain the word.
    bool matches(const QString &title, const QString &code, const QString &learn) const;

    // Asks the index for candidates, if it has not yet; usedIndex() tells the answer afterwards.
    void begin();
    // Reads and tests up to maxRows more rows; returns false once the whole table is done.
    // Store failures throw store::StoreError; the search can then not go on.
    bool step(int maxRows = 500);
    // Steps until at least budgetMs have passed or the table is done; returns as step().
    bool stepFor(int budgetMs);
    void runToEnd();

    bool finished() const { return m_finished; }
    const QList<SearchHit> &hits() const { return m_hits; }
    // Hits found by the last step call (the tail of hits()).
    qsizetype newHitsFrom() const { return m_newHitsFrom; }
    int widestTitle() const { return m_widest; }
    qint64 rowsRead() const { return m_rowsRead; }
    // Whether the rows came from the index (known after the first step).
    bool usedIndex() const { return m_candidates.has_value(); }

private:
    void start();
    bool stepCandidates(int maxRows);
    void finishCandidates();

    store::Library &m_library;
    QString m_word;
    QString m_folded;
    QString m_fragment;
    SearchFields m_fields;
    SearchOptions m_options;
    Measure m_measure;
    std::shared_ptr<TitleMeasure> m_widths;
    bool m_started = false;
    std::optional<QList<store::SearchCandidate>> m_candidates;
    qsizetype m_nextCandidate = 0;
    QList<SearchHit> m_hits;
    qsizetype m_newHitsFrom = 0;
    qint64 m_lastRow = 0;
    qint64 m_rowsRead = 0;
    int m_widest = 0;
    bool m_finished = false;
};

} // namespace search
