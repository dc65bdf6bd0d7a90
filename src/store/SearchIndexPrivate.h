#pragma once
// The state of one library's search index and the steps its files share: building
// (SearchIndexBuild.cpp), keeping in step with Code (SearchIndexSync.cpp) and answering
// (SearchIndexQuery.cpp). Nothing outside those files includes it.
#include "store/PgSearch.h"
#include "store/SearchIndex.h"
#include "store/SearchWords.h"

#include <QDeadlineTimer>
#include <QSqlQuery>

#include <functional>
#include <limits>
#include <memory>

namespace store {

namespace searchindex {

inline const QString kPending = QStringLiteral("SearchPending");
inline const QString kState = QStringLiteral("SearchIndexState");
inline const QString kStop = QStringLiteral("SearchStop");
inline const QStringList kTriggers = {QStringLiteral("SearchPendingBeforeInsert"),
                                      QStringLiteral("SearchPendingInsert"), QStringLiteral("SearchPendingUpdate"),
                                      QStringLiteral("SearchPendingDelete")};

// More pending rows than this (a bulk change by another program) are cheaper to index afresh.
inline constexpr qint64 kBulkChange = 20000;
// Up to this many pending rows are folded in by the write that made them; more (a package applied,
// another program's bulk change) are left to the background steps, so the write commits at the
// disk's pace, and a search meanwhile judges the pending rows itself.
inline constexpr qint64 kFoldInWrite = 1000;
// An FTS query of a long word needs only some of its trigrams to stay a superset.
inline constexpr int kMaxTrigrams = 24;
// How the tables store the trigrams; another value in a library means the index is rebuilt.
inline constexpr int kFormat = 2;
// A trigram found in more than this share of a field's rows (in a sample taken before the
// build) is left out of that field's index: it costs about a byte per row and narrows nothing.
// Small libraries keep every trigram, so the sample means something.
inline constexpr double kStopShare = 0.2;
inline constexpr int kStopMinRows = 2000;
inline constexpr int kStopSample = 4096;

struct Progress {
    int fold = 0;
    int format = 0;
    qint64 stopId = 0; // 0 until the left-out trigrams are chosen
    qint64 built = 0; // rows up to this rowid are indexed while building
    bool done = false;
    qint64 rows = 0; // rows the index holds
    qint64 limit() const { return done ? std::numeric_limits<qint64>::max() : built; }
};

// Whether a write or an opening folds the pending changes in at once (or starts the index afresh)
// rather than leaving them to the background steps.
inline bool foldAtOnce(qint64 pending) { return pending <= kFoldInWrite || pending > kBulkChange; }

} // namespace searchindex

struct SearchIndex::Private {
    using Progress = searchindex::Progress;
    using TrigramSet = searchindex::TrigramSet;

    const Database *database = nullptr;
    bool readOnly = false;
    std::unique_ptr<PgSearch> postgres; // a team library's index instead
    bool usable = false;
    bool restarted = false; // the schema was made afresh: the listener is to be told
    std::function<void()> listener;
    // Trigrams left out of each field's table, fixed from the build's first step on, and the id
    // under which they were chosen: another program's rebuild chooses anew, so it is checked.
    TrigramSet stop[3];
    qint64 stopId = 0;

    QSqlDatabase db() const { return database->db(); }
    QSqlQuery run(const QString &sql, const QVariantList &values = {}) const { return runQuery(db(), sql, values); }
    qint64 scalar(const QString &sql, const QVariantList &values = {}) const
    {
        QSqlQuery q = run(sql, values);
        return nextRow(q) ? q.value(0).toLongLong() : 0;
    }
    Progress readState() const;
    void notifyBuilding();
    void notifyIfRestarted();

    // SearchIndex.cpp: opening
    void attach(const Database &db, bool readOnly);
    void detach();
    Status status() const;
    bool hasWork() const;
    double buildProgress() const;

    // SearchIndexBuild.cpp
    void useStopOf(const Progress &p);
    void chooseStop();
    void createSchema();
    bool schemaComplete() const;
    bool codeKeyedByRowid() const;
    bool buildStep(int budgetMs);
    void rebuild();

    // SearchIndexSync.cpp
    qint64 pendingCount() const;
    bool drainNow(const std::optional<QDeadlineTimer> &budget = std::nullopt);
    void drainPending();
    void foldPending();

    // SearchIndexQuery.cpp
    QStringList queryTrigrams(int field, const QString &word) const;
    std::optional<QList<SearchCandidate>> candidates(const QString &foldedWord, bool head, bool code, bool learn);
};

} // namespace store
