#pragma once
// The search index of a team library (PostgreSQL), behind SearchIndex's functions.
//
// searchtext holds, for every row of Code, its title and comment folded by foldForSearch (Null as
// empty), and searchcode its folded code, with pg_trgm's GIN indexes when the extension can be had; a LIKE on the
// folded text then gives exactly the rows whose folded field holds the folded word, a superset of what either way of
// matching finds, and the caller's exact test decides as on SQLite.
//
// The folding is this program's, so the server cannot compute it. This program's own adds and
// edits write the folded texts in the statement that writes the row (foldWith). A row trigger on
// Code (security definer, so a role that may write Code needs nothing more) drops the folded copy
// of a deleted row, and notes in searchpending each changed row whose folding is not there yet
// (another tool's writes, this program's other writes); those this program folds inside the
// transaction of each of its own writes, before a search, and while building. A writer folds only
// the rows its transaction holds locked in Code, so no common lock serialises writers.
// A role that may not write searchtext leaves the notes to others; searches judge noted rows.
#include "store/SearchIndex.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariantList>

namespace store {

class Database;

// When the index narrows a search, on either engine: with up to kFewRows candidates always; with
// more than kMostRows of the rows the scan, which reads them all in order, is quicker.
inline constexpr qsizetype kFewRows = 1000;
inline constexpr double kMostRows = 0.5;

class PgSearch
{
public:
    void attach(const Database &db, bool readOnly);
    void detach();
    SearchIndex::Status status();
    double buildProgress();
    bool buildStep(int budgetMs);
    // Drops and creates the tables anew; returns whether the index is to be built.
    bool rebuild();
    // nullopt: scan. A damaged index is rebuilt (restarted set).
    std::optional<QList<SearchCandidate>> candidates(const QString &foldedWord, bool head, bool code, bool learn,
                                                     bool &restarted);
    // Inside the caller's transaction; throws StoreError when it fails, which has failed that
    // transaction too.
    void drainPending();
    // The part of a data-modifying WITH query that folds the rows the query named from returns
    // (id, Head, code, Learn), from the texts head, code and learn, which were written there; its
    // values are appended to values. Empty when this connection does not keep the index.
    // After a write committed: refreshes the planner's figures after a bulk change.
    void settle();
    QString foldWith(const QString &from, const QVariant &head, const QVariant &code, const QVariant &learn,
                     QVariantList &values) const;

private:
    QSqlDatabase db() const;
    QSqlQuery run(const QString &sql, const QVariantList &values = {}) const;
    qint64 scalar(const QString &sql, const QVariantList &values = {}) const;
    void lockWriters();
    bool schemaComplete();
    void refold(const QList<qint64> &ids);
    void drainNow();
    void foldOthers();
    void refresh();
    void createSchema();
    bool done();

    const Database *m_db = nullptr;
    bool m_usable = false;
    bool m_readOnly = false;
    bool m_folds = true; // may write the index tables
    mutable int m_foldedSinceCheck = 0;
};

} // namespace store
