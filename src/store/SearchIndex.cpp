#include "store/SearchIndex.h"

#include "store/Database.h"
#include "store/LibraryConnection.h"
#include "store/PgSearch.h"
#include "store/SearchFold.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <limits>

namespace store {

namespace {

const QString kPending = QStringLiteral("SearchPending");
const QString kState = QStringLiteral("SearchIndexState");
const QString kStop = QStringLiteral("SearchStop");
const QStringList kFts = {QStringLiteral("SearchHead"), QStringLiteral("SearchCode"), QStringLiteral("SearchLearn")};
const QStringList kTriggers = {QStringLiteral("SearchPendingBeforeInsert"), QStringLiteral("SearchPendingInsert"),
                               QStringLiteral("SearchPendingUpdate"), QStringLiteral("SearchPendingDelete")};

// More pending rows than this (a bulk change by another program) are cheaper to index afresh.
constexpr qint64 kBulkChange = 20000;
// Up to this many pending rows are folded in by the write that made them; more (a package applied,
// another program's bulk change) are left to the background steps, so the write commits at the
// disk's pace, and a search meanwhile judges the pending rows itself.
constexpr qint64 kFoldInWrite = 1000;
// An FTS query of a long word needs only some of its trigrams to stay a superset.
constexpr int kMaxTrigrams = 24;
// How the tables store the trigrams; another value in a library means the index is rebuilt.
constexpr int kFormat = 2;
// A trigram found in more than this share of a field's rows (in a sample taken before the
// build) is left out of that field's index: it costs about a byte per row and narrows nothing.
// Small libraries keep every trigram, so the sample means something.
constexpr double kStopShare = 0.2;
constexpr int kStopMinRows = 2000;
constexpr int kStopSample = 4096;

struct Global {
    QString connection;
    bool postgres = false; // a team library: store/PgSearch
    bool usable = false;
    bool restarted = false; // the schema was made afresh: the listener is to be told
    std::function<void()> listener;
    // Trigrams left out of each field's table, fixed from the build's first step on, and the id
    // under which they were chosen: another program's rebuild chooses anew, so it is checked.
    QSet<QString> stop[3];
    qint64 stopId = 0;
};
Global g;

QSqlDatabase db() { return QSqlDatabase::database(g.connection, false); }

QSqlQuery run(const QString &sql, const QVariantList &values = {}) { return runQuery(db(), sql, values); }

qint64 scalar(const QString &sql, const QVariantList &values = {})
{
    QSqlQuery q = run(sql, values);
    return nextRow(q) ? q.value(0).toLongLong() : 0;
}

struct Progress {
    int fold = 0;
    int format = 0;
    qint64 stopId = 0; // 0 until the left-out trigrams are chosen
    qint64 built = 0; // rows up to this rowid are indexed while building
    bool done = false;
    qint64 rows = 0; // rows the index holds
    qint64 limit() const { return done ? std::numeric_limits<qint64>::max() : built; }
};

Progress readState()
{
    QSqlQuery q = run(QStringLiteral("SELECT fold, format, sampled, built, done, rows FROM SearchIndexState"));
    if (!nextRow(q))
        throw StoreError(QStringLiteral("فهرس البحث ناقص"));
    return {q.value(0).toInt(),      q.value(1).toInt(),      q.value(2).toLongLong(),
            q.value(3).toLongLong(), q.value(4).toInt() != 0, q.value(5).toLongLong()};
}

// The text the index and the exact test see for a stored value: Null as empty, other types as text.
QString foldedValue(const QVariant &value) { return foldForSearch(value.toString()); }

// The distinct trigrams (of code points) of a folded text, in order of first occurrence.
QStringList trigramsOf(const QString &text)
{
    const QList<uint> points = text.toUcs4();
    QStringList all;
    QSet<QString> seen;
    for (qsizetype i = 0; i + 3 <= points.size(); ++i) {
        const QString t = QString::fromUcs4(reinterpret_cast<const char32_t *>(points.constData() + i), 3);
        if (!seen.contains(t)) {
            seen.insert(t);
            all.append(t);
        }
    }
    return all;
}

// The tables hold each trigram as one word of hexadecimal digits (six per code point), so the
// index gets exactly the trigrams chosen for it and a query cannot be read as FTS syntax.
QString trigramToken(const QString &trigram)
{
    QString token;
    token.reserve(18);
    for (const uint c : trigram.toUcs4())
        token += QStringLiteral("%1").arg(c, 6, 16, QLatin1Char('0'));
    return token;
}

// The words stored for a field's value: its trigrams except the ones left out of that field.
QString indexedText(int field, const QVariant &value)
{
    QString text;
    for (const QString &t : trigramsOf(foldedValue(value))) {
        if (g.stop[field].contains(t))
            continue;
        if (!text.isEmpty())
            text += QLatin1Char(' ');
        text += trigramToken(t);
    }
    return text;
}

// Makes the left-out trigrams in memory those the index was built with.
void useStopOf(const Progress &p)
{
    if (p.stopId == g.stopId)
        return;
    for (QSet<QString> &s : g.stop)
        s.clear();
    g.stopId = p.stopId;
    QSqlQuery q = run(QStringLiteral("SELECT field, gram FROM SearchStop"));
    while (nextRow(q)) {
        const int field = q.value(0).toInt();
        if (field >= 0 && field < 3)
            g.stop[field].insert(q.value(1).toString());
    }
}

// Chooses the trigrams to leave out, from rows spread evenly over the table; before any row is indexed.
void chooseStop()
{
    for (QSet<QString> &s : g.stop)
        s.clear();
    g.stopId = 0;
    run(QStringLiteral("DELETE FROM SearchStop"));
    if (scalar(QStringLiteral("SELECT count(*) FROM Code")) >= kStopMinRows) {
        const qint64 first = scalar(QStringLiteral("SELECT min(rowid) FROM Code"));
        const qint64 last = scalar(QStringLiteral("SELECT max(rowid) FROM Code"));
        QStringList picks;
        for (qint64 i = 0; i < kStopSample; ++i)
            picks.append(QString::number(first + (last - first) * i / (kStopSample - 1)));
        picks.removeDuplicates();
        QHash<QString, int> rowsWith[3];
        int sampled = 0;
        QSqlQuery q = run(
            QStringLiteral("SELECT Head, code, Learn FROM Code WHERE rowid IN (%1)").arg(picks.join(QLatin1Char(','))));
        while (nextRow(q)) {
            ++sampled;
            for (int f = 0; f < 3; ++f)
                for (const QString &t : trigramsOf(foldedValue(q.value(f))))
                    ++rowsWith[f][t];
        }
        if (sampled >= kStopMinRows / 2) {
            for (int f = 0; f < 3; ++f) {
                for (auto it = rowsWith[f].cbegin(); it != rowsWith[f].cend(); ++it) {
                    if (it.value() > kStopShare * sampled) {
                        g.stop[f].insert(it.key());
                        run(QStringLiteral("INSERT INTO SearchStop (field, gram) VALUES (?, ?)"), {f, it.key()});
                    }
                }
            }
        }
    }
    g.stopId = QRandomGenerator::global()->bounded(qint64(1), std::numeric_limits<qint64>::max());
    run(QStringLiteral("UPDATE SearchIndexState SET sampled = ?"), {g.stopId});
}

// Inserts into or deletes from the three tables, with prepared statements reused across rows.
class FtsWriter
{
public:
    FtsWriter()
    {
        for (int i = 0; i < 3; ++i) {
            m_insert[i] = QSqlQuery(db());
            if (!m_insert[i].prepare(QStringLiteral("INSERT INTO %1 (rowid, t) VALUES (?, ?)").arg(kFts[i])))
                throwQueryError(m_insert[i]);
            m_delete[i] = QSqlQuery(db());
            if (!m_delete[i].prepare(
                    QStringLiteral("INSERT INTO %1 (%1, rowid, t) VALUES ('delete', ?, ?)").arg(kFts[i])))
                throwQueryError(m_delete[i]);
        }
    }
    void insert(qint64 rowid, const QVariant (&values)[3]) { write(m_insert, rowid, values); }
    void remove(qint64 rowid, const QVariant (&values)[3]) { write(m_delete, rowid, values); }

private:
    static void write(QSqlQuery (&queries)[3], qint64 rowid, const QVariant (&values)[3])
    {
        for (int i = 0; i < 3; ++i) {
            queries[i].bindValue(0, rowid);
            queries[i].bindValue(1, indexedText(i, values[i]));
            if (!queries[i].exec())
                throwQueryError(queries[i]);
        }
    }
    QSqlQuery m_insert[3], m_delete[3];
};

void createSchema()
{
    for (const QString &t : kTriggers)
        run(QStringLiteral("DROP TRIGGER IF EXISTS ") + t);
    for (const QString &t : kFts)
        run(QStringLiteral("DROP TABLE IF EXISTS ") + t);
    run(QStringLiteral("DROP TABLE IF EXISTS ") + kPending);
    run(QStringLiteral("DROP TABLE IF EXISTS ") + kState);
    run(QStringLiteral("DROP TABLE IF EXISTS ") + kStop);
    for (QSet<QString> &s : g.stop)
        s.clear();
    g.stopId = 0;
    // No column sizes and no positions: the exact test judges every candidate anyway, and the
    // index stays a small part of the file. The words are trigram tokens (indexedText).
    for (const QString &t : kFts)
        run(QStringLiteral("CREATE VIRTUAL TABLE %1 USING fts5(t, content='', detail=none, columnsize=0, "
                           "tokenize='ascii')")
                .arg(t));
    run(QStringLiteral("CREATE TABLE SearchPending (seq INTEGER PRIMARY KEY, rid INTEGER NOT NULL, "
                       "had INTEGER NOT NULL, Head, code, Learn)"));
    run(QStringLiteral(
        "CREATE TABLE SearchIndexState (fold INTEGER NOT NULL, format INTEGER NOT NULL, "
        "sampled INTEGER NOT NULL, built INTEGER NOT NULL, done INTEGER NOT NULL, rows INTEGER NOT NULL)"));
    run(QStringLiteral("CREATE TABLE SearchStop (field INTEGER NOT NULL, gram TEXT NOT NULL)"));
    run(QStringLiteral("INSERT INTO SearchIndexState VALUES (?, ?, 0, 0, 0, 0)"), {kSearchFoldVersion, kFormat});
    // Plain SQL only, so every program can go on writing Code. An insert that replaces a row
    // (INSERT OR REPLACE) removes the old one without a delete trigger: the BEFORE trigger keeps it.
    run(QStringLiteral("CREATE TRIGGER SearchPendingBeforeInsert BEFORE INSERT ON Code BEGIN "
                       "INSERT INTO SearchPending (rid, had, Head, code, Learn) "
                       "SELECT rowid, 1, Head, code, Learn FROM Code WHERE rowid = NEW.rowid; END"));
    run(QStringLiteral("CREATE TRIGGER SearchPendingInsert AFTER INSERT ON Code BEGIN "
                       "INSERT INTO SearchPending (rid, had) VALUES (NEW.rowid, 0); END"));
    run(QStringLiteral("CREATE TRIGGER SearchPendingUpdate AFTER UPDATE OF id, Head, code, Learn ON Code BEGIN "
                       "INSERT INTO SearchPending (rid, had, Head, code, Learn) "
                       "VALUES (OLD.rowid, 1, OLD.Head, OLD.code, OLD.Learn); "
                       "INSERT INTO SearchPending (rid, had) SELECT NEW.rowid, 0 WHERE NEW.rowid <> OLD.rowid; END"));
    run(QStringLiteral("CREATE TRIGGER SearchPendingDelete AFTER DELETE ON Code BEGIN "
                       "INSERT INTO SearchPending (rid, had, Head, code, Learn) "
                       "VALUES (OLD.rowid, 1, OLD.Head, OLD.code, OLD.Learn); END"));
}

bool schemaComplete()
{
    QStringList names = kFts + kTriggers;
    names << kPending << kState << kStop;
    QStringList marks;
    for (int i = 0; i < names.size(); ++i)
        marks << QStringLiteral("?");
    QVariantList values;
    for (const QString &n : names)
        values << n;
    return scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name IN (%1)").arg(marks.join(u',')), values)
           == names.size();
}

// The index is keyed by rowid, which only an INTEGER PRIMARY KEY keeps stable (VACUUM renumbers others).
bool codeKeyedByRowid()
{
    QSqlQuery q = run(QStringLiteral("PRAGMA table_info(Code)"));
    int keys = 0;
    bool idIsKey = false;
    while (nextRow(q)) {
        if (q.value(5).toInt() > 0) {
            ++keys;
            idIsKey = q.value(1).toString().compare(QLatin1String("id"), Qt::CaseInsensitive) == 0
                      && q.value(2).toString().compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0;
        }
    }
    if (keys != 1 || !idIsKey)
        return false;
    run(QStringLiteral("SELECT rowid FROM Code LIMIT 1")); // fails WITHOUT ROWID
    return true;
}

void notifyBuilding()
{
    g.restarted = false;
    if (g.listener)
        g.listener();
}

void notifyIfRestarted()
{
    if (g.restarted)
        notifyBuilding();
}

qint64 pendingCount() { return scalar(QStringLiteral("SELECT count(*) FROM SearchPending")); }

// Whether a write or an opening folds the pending changes in at once (or starts the index afresh)
// rather than leaving them to the background steps.
bool foldAtOnce(qint64 pending) { return pending <= kFoldInWrite || pending > kBulkChange; }

// Folds the pending changes into the index, oldest first, until budget runs out (if given); the
// caller holds a write transaction or savepoint. Returns whether changes remain.
bool drainNow(const std::optional<QDeadlineTimer> &budget = std::nullopt)
{
    Progress p = readState();
    useStopOf(p);
    const qint64 pending = pendingCount();
    if (pending == 0)
        return false;
    if (p.done && pending > kBulkChange) {
        createSchema();
        g.restarted = true;
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
        QSqlQuery q = run(QStringLiteral("SELECT seq, rid FROM SearchPending ORDER BY seq"));
        while (nextRow(q)) {
            const qint64 seq = q.value(0).toLongLong();
            const qint64 rid = q.value(1).toLongLong();
            const auto it = at.constFind(rid);
            if (it != at.constEnd()) {
                changed[it.value()].seqs.append(seq);
            } else {
                at.insert(rid, changed.size());
                changed.append(Changed{rid, {seq}});
            }
        }
    }
    QSqlQuery old(db());
    old.setForwardOnly(true);
    if (!old.prepare(QStringLiteral("SELECT had, Head, code, Learn FROM SearchPending WHERE seq = ?")))
        throwQueryError(old);
    QSqlQuery current(db());
    current.setForwardOnly(true);
    if (!current.prepare(QStringLiteral("SELECT Head, code, Learn FROM Code WHERE rowid = ?")))
        throwQueryError(current);
    FtsWriter fts;
    qsizetype folded = 0;
    for (; folded < changed.size() && !(budget && folded > 0 && budget->hasExpired()); ++folded) {
        const Changed &c = changed[folded];
        if (c.rid > p.limit())
            continue; // the build has not reached it: it indexes the row as it will be then
        old.bindValue(0, c.seqs.first());
        if (!old.exec())
            throwQueryError(old);
        if (!nextRow(old))
            throw StoreError(QStringLiteral("فهرس البحث ناقص"));
        if (old.value(0).toInt() != 0) {
            const QVariant values[3] = {old.value(1), old.value(2), old.value(3)};
            fts.remove(c.rid, values);
            --p.rows;
        }
        old.finish();
        current.bindValue(0, c.rid);
        if (!current.exec())
            throwQueryError(current);
        if (nextRow(current)) {
            const QVariant values[3] = {current.value(0), current.value(1), current.value(2)};
            fts.insert(c.rid, values);
            ++p.rows;
        }
        current.finish();
    }
    const bool more = folded < changed.size();
    if (more) {
        QSqlQuery drop(db());
        if (!drop.prepare(QStringLiteral("DELETE FROM SearchPending WHERE seq = ?")))
            throwQueryError(drop);
        for (qsizetype i = 0; i < folded; ++i) {
            for (const qint64 seq : changed[i].seqs) {
                drop.bindValue(0, seq);
                if (!drop.exec())
                    throwQueryError(drop);
            }
        }
    } else {
        run(QStringLiteral("DELETE FROM SearchPending"));
    }
    run(QStringLiteral("UPDATE SearchIndexState SET rows = ?"), {p.rows});
    return more;
}

void beginWrite() { run(QStringLiteral("BEGIN IMMEDIATE")); }

void commitWrite()
{
    QSqlQuery commit(db());
    if (!commit.exec(QStringLiteral("COMMIT"))) {
        const QString text = commit.lastError().text();
        QSqlQuery(db()).exec(QStringLiteral("ROLLBACK"));
        throw StoreError(describeSqlError(text));
    }
}

template <typename Work>
void inTransaction(Work &&work)
{
    beginWrite();
    try {
        work();
    } catch (...) {
        QSqlQuery(db()).exec(QStringLiteral("ROLLBACK"));
        throw;
    }
    commitWrite();
}

// The trigrams of the word a field's query asks for: those its table holds, at most kMaxTrigrams.
QStringList queryTrigrams(int field, const QString &word)
{
    QStringList all;
    for (const QString &t : trigramsOf(word))
        if (!g.stop[field].contains(t))
            all.append(t);
    if (all.size() <= kMaxTrigrams)
        return all;
    QStringList some;
    for (int i = 0; i < kMaxTrigrams; ++i)
        some.append(all[qsizetype(i) * (all.size() - 1) / (kMaxTrigrams - 1)]);
    return some;
}

QString ftsQuery(const QStringList &trigrams)
{
    QStringList tokens;
    for (const QString &t : trigrams)
        tokens.append(trigramToken(t));
    return tokens.join(QLatin1String(" AND "));
}

} // namespace

SearchIndex::Status SearchIndex::status()
{
    if (g.postgres)
        return pgsearch::status();
    if (!g.usable)
        return Status::Unavailable;
    try {
        return readState().done ? Status::Ready : Status::Building;
    } catch (const StoreError &) {
        return Status::Unavailable;
    }
}

bool SearchIndex::hasWork()
{
    if (g.postgres)
        return pgsearch::status() == Status::Building;
    if (!g.usable || LibraryConnection::isReadOnly())
        return false;
    try {
        return !readState().done || pendingCount() > 0;
    } catch (const StoreError &) {
        return false;
    }
}

double SearchIndex::buildProgress()
{
    if (g.postgres)
        return pgsearch::buildProgress();
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

bool SearchIndex::buildStep(int budgetMs)
{
    if (g.postgres)
        return pgsearch::buildStep(budgetMs);
    if (!g.usable)
        return false;
    bool more = false;
    QElapsedTimer timer;
    timer.start();
    inTransaction([&] {
        // Changes first: until they are folded in, every search reads their rows.
        if (drainNow(QDeadlineTimer(budgetMs))) {
            more = true;
            return;
        }
        Progress p = readState();
        if (p.done)
            return;
        if (p.stopId == 0)
            chooseStop();
        useStopOf(readState());
        FtsWriter fts;
        QSqlQuery rows(db());
        rows.setForwardOnly(true);
        if (!rows.prepare(
                QStringLiteral("SELECT rowid, Head, code, Learn FROM Code WHERE rowid > ? ORDER BY rowid LIMIT 64")))
            throwQueryError(rows);
        bool end = false;
        do {
            rows.bindValue(0, p.built);
            if (!rows.exec())
                throwQueryError(rows);
            int n = 0;
            while (nextRow(rows)) {
                const QVariant values[3] = {rows.value(1), rows.value(2), rows.value(3)};
                p.built = rows.value(0).toLongLong();
                fts.insert(p.built, values);
                ++p.rows;
                ++n;
            }
            rows.finish();
            end = n < 64;
        } while (!end && timer.elapsed() < budgetMs);
        run(QStringLiteral("UPDATE SearchIndexState SET built = ?, done = ?, rows = ?"),
            {p.built, end ? 1 : 0, p.rows});
        more = !end;
    });
    return more;
}

void SearchIndex::buildAll()
{
    while (buildStep(1000)) { }
}

void SearchIndex::rebuild()
{
    if (g.connection.isEmpty())
        return;
    if (g.postgres) {
        if (pgsearch::rebuild())
            notifyBuilding();
        return;
    }
    try {
        inSavepoint(db(), "search_rebuild", [] { createSchema(); });
        g.usable = true;
    } catch (const StoreError &) {
        g.usable = false;
        return;
    }
    notifyBuilding();
}

std::optional<QList<SearchCandidate>> SearchIndex::candidates(const QString &foldedWord, bool head, bool code,
                                                              bool learn)
{
    if (g.postgres) {
        bool restarted = false;
        auto rows = pgsearch::candidates(foldedWord, head, code, learn, restarted);
        if (restarted)
            notifyBuilding();
        return rows;
    }
    if (!g.usable || foldedWord.contains(QChar(0)))
        return std::nullopt;
    if (trigramsOf(foldedWord).isEmpty())
        return std::nullopt;
    try {
        if (!readState().done)
            return std::nullopt;
        const qint64 pending = pendingCount();
        if (pending > 0 && foldAtOnce(pending)) {
            try {
                inTransaction([] { drainNow(); });
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

void SearchIndex::setBuildListener(std::function<void()> listener) { g.listener = std::move(listener); }

void SearchIndex::drainPending()
{
    if (g.postgres) {
        pgsearch::drainPending();
        return;
    }
    if (!g.usable)
        return;
    bool left = false;
    try {
        inSavepoint(db(), "search_drain", [&left] {
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

void SearchIndex::attach(const Database &database)
{
    g.connection = database.name();
    g.usable = false;
    g.postgres = database.engine() == Engine::Postgres;
    if (g.postgres) {
        pgsearch::attach(database, LibraryConnection::isReadOnly());
        if (pgsearch::status() == Status::Building) {
            try {
                buildStep(40); // a small library is ready at once
            } catch (const StoreError &) {
                // the builder tries again
            }
            if (pgsearch::status() == Status::Building)
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
            g.usable = true;
            try {
                if (foldAtOnce(pendingCount()))
                    inTransaction([] { drainNow(); });
                g.restarted = false; // told below
            } catch (const StoreError &) {
                // read-only: the pending rows are judged by each search (candidates())
            }
            const Progress p = readState();
            // Rows written while the triggers were missing leave the count wrong. Pending rows
            // change it by those that are there now less those the index had.
            if (p.done
                && p.rows + scalar(QStringLiteral("SELECT count(*) FROM (SELECT DISTINCT rid FROM SearchPending) "
                                                  "WHERE rid IN (SELECT rowid FROM Code)"))
                           - scalar(QStringLiteral("SELECT count(*) FROM (SELECT min(seq), had FROM SearchPending "
                                                   "GROUP BY rid) WHERE had = 1"))
                       != scalar(QStringLiteral("SELECT count(*) FROM Code")))
                rebuild();
        }
        if (g.usable && !readState().done) {
            buildStep(40); // a small library is ready at once
            if (!readState().done)
                notifyBuilding();
        } else if (hasWork()) {
            notifyBuilding();
        }
    } catch (const StoreError &) {
        g.usable = false;
    }
}

void SearchIndex::detach()
{
    if (g.postgres)
        pgsearch::detach();
    g.postgres = false;
    g.connection.clear();
    g.usable = false;
    for (QSet<QString> &s : g.stop)
        s.clear();
    g.stopId = 0;
}

QStringList SearchIndex::tableNames()
{
    QStringList names = kFts;
    names << kPending << kState << kStop;
    return names;
}

} // namespace store
