#include "store/SearchIndexPrivate.h"

#include <QSqlError>

namespace store {

using namespace searchindex;

searchindex::Progress SearchIndex::Private::readState() const
{
    QSqlQuery q = run(QStringLiteral("SELECT fold, format, sampled, built, done, rows FROM SearchIndexState"));
    if (!nextRow(q))
        throw StoreError(QStringLiteral("فهرس البحث ناقص"));
    return {q.value(0).toInt(),      q.value(1).toInt(),      q.value(2).toLongLong(),
            q.value(3).toLongLong(), q.value(4).toInt() != 0, q.value(5).toLongLong()};
}

void SearchIndex::Private::notifyBuilding()
{
    restarted = false;
    if (listener)
        listener();
}

void SearchIndex::Private::notifyIfRestarted()
{
    if (restarted)
        notifyBuilding();
}

SearchIndex::Status SearchIndex::Private::status() const
{
    if (postgres)
        return postgres->status();
    if (!usable)
        return Status::Unavailable;
    try {
        return readState().done ? Status::Ready : Status::Building;
    } catch (const StoreError &) {
        return Status::Unavailable;
    }
}

bool SearchIndex::Private::hasWork() const
{
    if (postgres)
        return postgres->status() == Status::Building;
    if (!usable || readOnly)
        return false;
    try {
        return !readState().done || pendingCount() > 0;
    } catch (const StoreError &) {
        return false;
    }
}

double SearchIndex::Private::buildProgress() const
{
    if (postgres)
        return postgres->buildProgress();
    try {
        const Progress p = readState();
        if (p.done)
            return 1.0;
        const qint64 last = scalar(QStringLiteral("SELECT max(rowid) FROM Code"));
        return last <= 0 ? 1.0 : qBound(0.0, double(p.built) / double(last), 1.0);
    } catch (const StoreError &) {
        return 0.0;
    }
}

void SearchIndex::Private::attach(const Database &connection, bool readOnly)
{
    database = &connection;
    this->readOnly = readOnly;
    usable = false;
    if (connection.engine() == Engine::Postgres) {
        postgres = std::make_unique<PgSearch>();
        postgres->attach(connection, readOnly);
        if (postgres->status() == Status::Building) {
            try {
                buildStep(40); // a small library is ready at once
            } catch (const StoreError &) {
                // the builder tries again
            }
            if (postgres->status() == Status::Building)
                notifyBuilding();
        }
        return;
    }
    // A search reads thousands of scattered rows: mapped pages spare a system call for each.
    QSqlQuery(db()).exec(QStringLiteral("PRAGMA mmap_size = 1073741824"));
    try {
        if (!codeKeyedByRowid())
            return;
        bool healthy = false;
        if (schemaComplete()) {
            try {
                const Progress p = readState();
                if (p.fold != kSearchFoldVersion || p.format != kFormat)
                    throw StoreError(QStringLiteral("فهرس البحث قديم"));
                for (const QString &t : kFts)
                    run(QStringLiteral("SELECT rowid FROM %1 WHERE %1 MATCH '616263' LIMIT 1").arg(t));
                healthy = true;
            } catch (const StoreError &) { }
        }
        if (!healthy) {
            rebuild(); // fails, leaving the index unusable, on a read-only library
        } else {
            usable = true;
            try {
                if (foldAtOnce(pendingCount()))
                    inTransaction(*database, [this] { drainNow(); });
                restarted = false; // told below
            } catch (const StoreError &) {
                // read-only: the pending rows are judged by each search (candidates())
            }
            const Progress p = readState();
            // Rows written while the triggers were missing leave the count wrong. Pending rows
            // change it by those that are there now less those the index had.
            if (p.done
                && p.rows
                           + scalar(QStringLiteral("SELECT count(*) FROM (SELECT DISTINCT rid FROM SearchPending) "
                                                   "WHERE rid IN (SELECT rowid FROM Code)"))
                           - scalar(QStringLiteral("SELECT count(*) FROM (SELECT min(seq), had FROM SearchPending "
                                                   "GROUP BY rid) WHERE had = 1"))
                       != scalar(QStringLiteral("SELECT count(*) FROM Code")))
                rebuild();
        }
        if (usable && !readState().done) {
            buildStep(40); // a small library is ready at once
            if (!readState().done)
                notifyBuilding();
        } else if (hasWork()) {
            notifyBuilding();
        }
    } catch (const StoreError &) {
        usable = false;
    }
}

void SearchIndex::Private::detach()
{
    if (postgres)
        postgres->detach();
    postgres.reset();
    database = nullptr;
    readOnly = false;
    usable = false;
    for (TrigramSet &s : stop)
        s.clear();
    stopId = 0;
}

SearchIndex::SearchIndex()
    : d(std::make_unique<Private>())
{ }

SearchIndex::~SearchIndex() = default;

void SearchIndex::attach(const Database &db, bool readOnly) { d->attach(db, readOnly); }
void SearchIndex::detach() { d->detach(); }
SearchIndex::Status SearchIndex::status() const { return d->status(); }
bool SearchIndex::hasWork() const { return d->hasWork(); }
double SearchIndex::buildProgress() const { return d->buildProgress(); }
bool SearchIndex::buildStep(int budgetMs) { return d->buildStep(budgetMs); }

void SearchIndex::buildAll()
{
    while (buildStep(1000)) { }
}

void SearchIndex::rebuild() { d->rebuild(); }

std::optional<QList<SearchCandidate>> SearchIndex::candidates(const QString &foldedWord, bool head, bool code,
                                                              bool learn)
{
    return d->candidates(foldedWord, head, code, learn);
}

void SearchIndex::setBuildListener(std::function<void()> listener) { d->listener = std::move(listener); }
void SearchIndex::drainPending() { d->drainPending(); }

void SearchIndex::settle()
{
    if (d->postgres)
        d->postgres->settle();
}

QString SearchIndex::foldWith(const QString &from, const QVariant &head, const QVariant &code, const QVariant &learn,
                              QVariantList &values) const
{
    return d->postgres ? d->postgres->foldWith(from, head, code, learn, values) : QString();
}
void SearchIndex::foldPending() { d->foldPending(); }

QStringList SearchIndex::tableNames()
{
    QStringList names = kFts;
    names << kPending << kState << kStop;
    return names;
}

} // namespace store
