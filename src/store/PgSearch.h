#pragma once
// The search index of a team library (PostgreSQL), behind SearchIndex's functions.
//
// searchtext holds, for every row of Code, its title, code and comment folded by foldForSearch
// (Null as empty), with pg_trgm's GIN indexes when the extension can be had; a LIKE on the folded
// text then gives exactly the rows whose folded field holds the folded word, a superset of what
// either way of matching finds, and the caller's exact test decides as on SQLite.
//
// The folding is this program's, so the server cannot compute it: a row trigger on Code (plain
// SQL, security definer, so a role that may write Code needs nothing more) notes each changed id
// in searchpending, and this program folds those rows inside the transaction of each of its own
// writes, before a search, and while building. Every writer of searchtext first takes one
// transaction-level advisory lock, so the last one to fold a row is the last one that changed it.
// A role that may not write searchtext leaves the notes to others; its searches scan meanwhile.
#include "store/SearchIndex.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariantList>

namespace store {

class Database;

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

private:
    QSqlDatabase db() const;
    QSqlQuery run(const QString &sql, const QVariantList &values = {}) const;
    qint64 scalar(const QString &sql, const QVariantList &values = {}) const;
    void lockWriters();
    bool schemaComplete();
    void refold(const QList<qint64> &ids);
    void drainNow();
    void foldOthers();
    bool narrows(const QString &where, const QString &pattern);
    void createSchema();
    bool done();

    const Database *m_db = nullptr;
    bool m_usable = false;
    bool m_readOnly = false;
    bool m_folds = true; // may write the index tables
};

} // namespace store
