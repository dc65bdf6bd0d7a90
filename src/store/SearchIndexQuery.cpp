// Answering a search: the rows the index proposes for a folded word, and every row changed since
// it last saw them.
#include "store/SearchIndexPrivate.h"

namespace store {

using namespace searchindex;

namespace {

QString ftsQuery(const QStringList &trigrams)
{
    QStringList tokens;
    for (const QString &t : trigrams)
        tokens.append(trigramToken(t));
    return tokens.join(QLatin1String(" AND "));
}

} // namespace

// The trigrams of the word a field's query asks for: those its table holds, at most kMaxTrigrams.
QStringList SearchIndex::Private::queryTrigrams(int field, const QString &word) const
{
    QStringList all;
    for (const Trigram t : trigramsOf(word))
        if (!stop[field].contains(t))
            all.append(trigramText(t));
    if (all.size() <= kMaxTrigrams)
        return all;
    QStringList some;
    for (int i = 0; i < kMaxTrigrams; ++i)
        some.append(all[qsizetype(i) * (all.size() - 1) / (kMaxTrigrams - 1)]);
    return some;
}

std::optional<QList<SearchCandidate>> SearchIndex::Private::candidates(const QString &foldedWord, bool head, bool code,
                                                                       bool learn)
{
    if (postgres) {
        bool restarted = false;
        auto rows = postgres->candidates(foldedWord, head, code, learn, restarted);
        if (restarted)
            notifyBuilding();
        return rows;
    }
    if (!usable || foldedWord.contains(QChar(0)))
        return std::nullopt;
    if (trigramsOf(foldedWord).isEmpty())
        return std::nullopt;
    try {
        if (!readState().done)
            return std::nullopt;
        const qint64 pending = pendingCount();
        if (pending > 0 && foldAtOnce(pending)) {
            try {
                inTransaction(*database, [this] { drainNow(); });
            } catch (const StoreError &) {
                // read-only or busy: the pending rows are judged below
            }
            notifyIfRestarted();
            if (!readState().done)
                return std::nullopt;
        }
        useStopOf(readState());
    } catch (const StoreError &) {
        return std::nullopt;
    }
    const bool fields[3] = {head, code, learn};
    QStringList parts;
    QVariantList values;
    for (int i = 0; i < 3; ++i) {
        if (!fields[i])
            continue;
        const QStringList trigrams = queryTrigrams(i, foldedWord);
        if (trigrams.isEmpty())
            return std::nullopt; // every trigram of the word is in most rows: the index cannot narrow it
        parts.append(QStringLiteral("SELECT rowid AS r, %2 AS f FROM %1 WHERE %1 MATCH ?").arg(kFts[i]).arg(1 << i));
        values.append(ftsQuery(trigrams));
    }
    if (parts.isEmpty())
        return QList<SearchCandidate>{};
    QList<SearchCandidate> rows;
    try {
        QSqlQuery q = run(QStringLiteral("SELECT r, sum(f) FROM (%1) GROUP BY r ORDER BY r")
                              .arg(parts.join(QLatin1String(" UNION ALL "))),
                          values);
        while (nextRow(q)) {
            const int f = q.value(1).toInt();
            rows.append({q.value(0).toLongLong(), (f & 1) != 0, (f & 2) != 0, (f & 4) != 0});
        }
        // A word in most rows: reading the proposed rows one list at a time costs more than the
        // scan, which reads them all in order, so the index leaves it to the scan.
        if (rows.size() >= kFewRows
            && double(rows.size()) > kMostRows * double(scalar(QStringLiteral("SELECT count(*) FROM Code"))))
            return std::nullopt;
        // Rows changed since the index last saw them: any of their fields may hold the word now.
        QSqlQuery changed = run(QStringLiteral("SELECT DISTINCT rid FROM SearchPending ORDER BY rid"));
        QList<SearchCandidate> merged;
        qsizetype at = 0;
        while (nextRow(changed)) {
            const qint64 rid = changed.value(0).toLongLong();
            while (at < rows.size() && rows[at].row < rid)
                merged.append(rows[at++]);
            if (at < rows.size() && rows[at].row == rid)
                ++at;
            merged.append({rid, head, code, learn});
        }
        if (!merged.isEmpty()) {
            merged.append(rows.mid(at));
            rows = std::move(merged);
        }
    } catch (const StoreError &) {
        rebuild(); // the tables are damaged or gone
        return std::nullopt;
    }
    return rows;
}

} // namespace store
