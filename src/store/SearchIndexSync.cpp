// Keeping the index in step with Code: folding in the changes the triggers noted, within the
// write that made them, or in the background steps for a bulk change.
#include "store/SearchIndexPrivate.h"

#include <QHash>

namespace store {

using namespace searchindex;

qint64 SearchIndex::Private::pendingCount() const
{
    return scalar(QStringLiteral("SELECT count(*) FROM SearchPending"));
}

// Folds the pending changes into the index, oldest first, until budget runs out (if given); the
// caller holds a write transaction or savepoint. Returns whether changes remain.
bool SearchIndex::Private::drainNow(const std::optional<QDeadlineTimer> &budget)
{
    Progress p = readState();
    useStopOf(p);
    const qint64 pending = pendingCount();
    if (pending == 0)
        return false;
    if (p.done && pending > kBulkChange) {
        createSchema();
        restarted = true;
        return false;
    }
    // For each row the earliest entry holds what the index has; once the row is folded in, all
    // its entries go. Rows not reached keep every entry, so a later call sees them whole.
    struct Changed {
        qint64 rid = 0;
        QList<qint64> seqs;
    };
    QList<Changed> changed;
    {
        QHash<qint64, qsizetype> at;
        SqliteStatement q(*database, "SELECT seq, rid FROM SearchPending ORDER BY seq");
        while (q.step()) {
            const qint64 seq = q.integer(0);
            const qint64 rid = q.integer(1);
            const auto it = at.constFind(rid);
            if (it != at.constEnd()) {
                changed[it.value()].seqs.append(seq);
            } else {
                at.insert(rid, changed.size());
                changed.append(Changed{rid, {seq}});
            }
        }
    }
    SqliteStatement old(*database, "SELECT had, Head, code, Learn FROM SearchPending WHERE seq = ?");
    SqliteStatement current(*database, "SELECT Head, code, Learn FROM Code WHERE rowid = ?");
    FtsWriter fts(*database, stop);
    QString spare;
    qsizetype folded = 0;
    for (; folded < changed.size() && !(budget && folded > 0 && budget->hasExpired()); ++folded) {
        const Changed &c = changed[folded];
        if (c.rid > p.limit())
            continue; // the build has not reached it: it indexes the row as it will be then
        old.bindInt(1, c.seqs.first());
        if (!old.step())
            throw StoreError(QStringLiteral("فهرس البحث ناقص"));
        if (old.integer(0) != 0) {
            QString values[3];
            for (int f = 0; f < 3; ++f)
                values[f] = valueText(old, 1 + f, spare).toString();
            fts.remove(c.rid, values);
            --p.rows;
        }
        old.reset();
        current.bindInt(1, c.rid);
        if (current.step()) {
            fts.insert(c.rid, current, 0);
            ++p.rows;
        }
        current.reset();
    }
    const bool more = folded < changed.size();
    if (more) {
        SqliteStatement drop(*database, "DELETE FROM SearchPending WHERE seq = ?");
        for (qsizetype i = 0; i < folded; ++i) {
            for (const qint64 seq : changed[i].seqs) {
                drop.bindInt(1, seq);
                drop.run();
            }
        }
    } else {
        run(QStringLiteral("DELETE FROM SearchPending"));
    }
    run(QStringLiteral("UPDATE SearchIndexState SET rows = ?"), {p.rows});
    return more;
}

void SearchIndex::Private::drainPending()
{
    if (postgres) {
        postgres->drainPending();
        return;
    }
    if (!usable)
        return;
    bool left = false;
    try {
        inTransaction(*database, [&left, this] {
            left = !foldAtOnce(pendingCount());
            if (!left)
                drainNow();
        });
    } catch (const StoreError &) {
        rebuild(); // in the same transaction, so the write and the fresh start commit together
        return;
    }
    if (left)
        notifyBuilding();
    else
        notifyIfRestarted();
}

void SearchIndex::Private::foldPending()
{
    if (postgres || !usable || readOnly)
        return;
    try {
        inTransaction(*database, [this] { drainNow(); });
    } catch (const StoreError &) {
        return; // still pending: nothing is lost, the index only folds them in later
    }
    notifyIfRestarted();
}

} // namespace store
