#pragma once
// The search index inside the library file: three contentless FTS5 tables (detail=none, no
// column sizes) holding the trigrams of the folded title, code and comment of each snippet
// (foldForSearch), keyed by the rowid of Code (which must be the id, an INTEGER PRIMARY KEY).
// Each trigram is stored as one word, so the index can leave out the trigrams that most rows of
// a field hold (SearchStop, chosen from a sample when a large library's index is built): they
// make up most of the index's size and narrow nothing. A word whose trigrams are all left out is
// answered by the scan.
//
// Keeping it in step: plain-SQL triggers on Code record every changed rowid, with the values it
// had before, in SearchPending. They call no function of ours and touch no FTS table, so any
// other program (the sqlite3 tool, an older build) still writes the library as before. This
// program folds those pending changes into the index (drainPending): inside the transaction of
// each of its own writes (Library::transaction), before a search, and when a library opens; a
// bulk change of more rows is left to buildStep, and until then each search also proposes the
// pending rows as candidates, so its answers stay complete.
// For each rowid the earliest pending values are what the index holds, so they are deleted from
// it and the row as it is now is added.
//
// The index only proposes candidates, always a superset of the matching rows; the caller's exact
// test decides. A library without the index gets one built in short steps (buildStep), so the
// window stays responsive; until it is complete, candidates() says so and the caller scans.
// On a team library (PostgreSQL) the same functions work on folded copies of the texts with
// trigram indexes instead (store/PgSearch.h); the answers are the same.
// Each open Library has one, attached to its connection; everything here runs on that
// connection's thread.
#include <QList>
#include <QString>
#include <QVariantList>
#include <functional>
#include <memory>
#include <optional>

namespace store {

class Database;

// A row that might hold the word, and in which of its fields.
struct SearchCandidate {
    qint64 row = 0;
    bool head = false, code = false, learn = false;
};

class SearchIndex
{
public:
    enum class Status {
        Unavailable, // read-only library, Code keyed otherwise, or no FTS5 with trigrams: scan
        Building, // being built step by step: scan meanwhile
        Ready,
    };

    SearchIndex();
    ~SearchIndex();
    SearchIndex(const SearchIndex &) = delete;
    SearchIndex &operator=(const SearchIndex &) = delete;

    Status status() const;
    // Whether buildStep has work: the index is being built, or a bulk change waits to be folded in.
    bool hasWork() const;
    // Share of the rows indexed while building, 0..1.
    double buildProgress() const;
    // Indexes rows for about budgetMs in one short transaction; returns whether more remain.
    bool buildStep(int budgetMs);
    void buildAll();
    // Drops the index and starts building it again (e.g. after it was found damaged).
    void rebuild();

    // Rows of Code, ascending, whose fields might contain the folded word (a field not named
    // cannot contain it, by either way of matching): empty optional when
    // the index cannot answer (not ready, word shorter than three characters, library read-only
    // with changes not yet indexed). A damaged index is dropped and rebuilt, and the caller scans.
    std::optional<QList<SearchCandidate>> candidates(const QString &foldedWord, bool head, bool code, bool learn);

    // Called whenever buildStep gets work, so a window can drive it.
    void setBuildListener(std::function<void()> listener);

    // Called inside Library::transaction before it commits. On a file it never fails the write: an
    // index that cannot follow is dropped and rebuilt. On a team library a failure there has failed
    // the server's transaction as well, so it throws and the write is not stored.
    void drainPending();
    // On a team library whose index this connection keeps: the part of a data-modifying WITH query
    // that folds, in the same statement, the rows its query named from writes (PgSearch::foldWith),
    // so the write leaves nothing to drain. Empty otherwise.
    QString foldWith(const QString &from, const QVariant &head, const QVariant &code, const QVariant &learn,
                     QVariantList &values) const;
    // Called after each write committed: on a team library, refreshes the figures its searches
    // are planned by when this connection changed many rows.
    void settle();
    // Folds every pending change in now, in a transaction of its own; one that cannot be made
    // (read-only, busy) leaves them pending.
    void foldPending();

    // Connection life (Library::open, close). A read-only library's index is used as it is.
    void attach(const Database &db, bool readOnly);
    void detach();

    // Schema names, for tests and tools.
    static QStringList tableNames();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace store
