#include "store/PgSearch.h"

#include "store/Database.h"
#include "store/SearchFold.h"

#include <QElapsedTimer>
#include <QSet>
#include <QSqlQuery>
#include <QStringList>

namespace store {

namespace {

// Any fixed number: every writer of searchtext holds it until its transaction ends.
constexpr qint64 kLockKey = 0x54616d5372636858; // "TamSrchX"
// How the table stores the texts; another value in a library means the index is rebuilt.
constexpr int kFormat = 1;
constexpr int kBuildRows = 500;

} // namespace

QSqlDatabase PgSearch::db() const { return m_db->db(); }

// Statements without values are sent as they are: PostgreSQL prepares no transaction control or DDL.
QSqlQuery PgSearch::run(const QString &sql, const QVariantList &values) const
{
    if (!values.isEmpty())
        return runQuery(db(), sql, values);
    QSqlQuery q(db());
    if (!q.exec(sql))
        throwQueryError(q);
    return q;
}

qint64 PgSearch::scalar(const QString &sql, const QVariantList &values) const
{
    QSqlQuery q = run(sql, values);
    return nextRow(q) ? q.value(0).toLongLong() : 0;
}

void PgSearch::lockWriters() { run(QStringLiteral("SELECT pg_advisory_xact_lock(?)"), {kLockKey}); }

bool PgSearch::schemaComplete()
{
    return scalar(QStringLiteral("SELECT count(*) FROM pg_catalog.pg_class WHERE relnamespace = "
                                 "current_schema()::regnamespace AND relname IN ('searchtext', 'searchpending', "
                                 "'searchstate')"))
               == 3
           && scalar(QStringLiteral("SELECT count(*) FROM pg_catalog.pg_trigger t JOIN pg_catalog.pg_class c ON "
                                    "c.oid = t.tgrelid WHERE c.relname = 'code' AND c.relnamespace = "
                                    "current_schema()::regnamespace AND t.tgname IN ('code_search', "
                                    "'code_search_truncate')"))
                  == 2;
}

// Writes the folded texts of the rows of Code with these ids; ids without a row are dropped.
void PgSearch::refold(const QList<qint64> &ids)
{
    if (ids.isEmpty())
        return;
    QStringList list;
    for (qint64 id : ids)
        list.append(QString::number(id));
    // Only numbers are put into the text.
    QSqlQuery rows = run(
        QStringLiteral("SELECT id, Head, code, Learn FROM Code WHERE id IN (%1)").arg(list.join(QLatin1Char(','))));
    QSqlQuery upsert(db());
    if (!upsert.prepare(QStringLiteral("INSERT INTO searchtext (id, head, code, learn) VALUES (?, ?, ?, ?) "
                                       "ON CONFLICT (id) DO UPDATE SET head = excluded.head, code = excluded.code, "
                                       "learn = excluded.learn")))
        throwQueryError(upsert);
    QSet<qint64> present;
    while (nextRow(rows)) {
        const qint64 id = rows.value(0).toLongLong();
        present.insert(id);
        upsert.bindValue(0, id);
        for (int f = 0; f < 3; ++f)
            upsert.bindValue(f + 1, foldForSearch(rows.value(f + 1).toString()));
        if (!upsert.exec())
            throwQueryError(upsert);
    }
    QStringList gone;
    for (qint64 id : ids)
        if (!present.contains(id))
            gone.append(QString::number(id));
    if (!gone.isEmpty())
        run(QStringLiteral("DELETE FROM searchtext WHERE id IN (%1)").arg(gone.join(QLatin1Char(','))));
}

// Folds the rows noted as changed; the caller holds a transaction and the writers' lock.
void PgSearch::drainNow()
{
    QSqlQuery q = run(QStringLiteral("DELETE FROM searchpending RETURNING rid"));
    QSet<qint64> seen;
    QList<qint64> ids;
    bool truncated = false;
    while (nextRow(q)) {
        const qint64 id = q.value(0).toLongLong();
        truncated = truncated || id == 0;
        if (id != 0 && !seen.contains(id)) {
            seen.insert(id);
            ids.append(id);
        }
    }
    if (truncated)
        run(QStringLiteral("DELETE FROM searchtext s WHERE NOT EXISTS (SELECT 1 FROM Code c WHERE c.id = s.id)"));
    for (qsizetype i = 0; i < ids.size(); i += kBuildRows)
        refold(ids.mid(i, kBuildRows));
}

void PgSearch::createSchema()
{
    run(QStringLiteral("DROP TRIGGER IF EXISTS code_search ON Code"));
    run(QStringLiteral("DROP TRIGGER IF EXISTS code_search_truncate ON Code"));
    run(QStringLiteral("DROP FUNCTION IF EXISTS searchpending_note()"));
    run(QStringLiteral("DROP TABLE IF EXISTS searchtext, searchpending, searchstate"));
    run(QStringLiteral("CREATE TABLE searchtext (id integer PRIMARY KEY, head text NOT NULL, code text NOT NULL, "
                       "learn text NOT NULL)"));
    run(QStringLiteral("CREATE TABLE searchpending (seq bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY, "
                       "rid integer NOT NULL)"));
    run(QStringLiteral("CREATE TABLE searchstate (fold integer NOT NULL, format integer NOT NULL, "
                       "built bigint NOT NULL, done boolean NOT NULL)"));
    run(QStringLiteral("INSERT INTO searchstate VALUES (?, ?, 0, false)"), {kSearchFoldVersion, kFormat});
    // Trigram indexes make the LIKE quick; without the extension it reads the folded table, which
    // still answers correctly.
    bool trigrams = false;
    try {
        inTransaction(*m_db, [this] { run(QStringLiteral("CREATE EXTENSION IF NOT EXISTS pg_trgm")); });
        trigrams = true;
    } catch (const StoreError &) { }
    if (trigrams)
        for (const char *field : {"head", "code", "learn"})
            run(QStringLiteral("CREATE INDEX searchtext_%1 ON searchtext USING gin (%1 gin_trgm_ops)")
                    .arg(QLatin1String(field)));
    // Id 0 (never an identity value) stands for a truncated table.
    run(QStringLiteral(
        "CREATE FUNCTION searchpending_note() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER "
        "SET search_path = pg_catalog, pg_temp AS $$ BEGIN "
        "IF TG_OP = 'TRUNCATE' THEN "
        "EXECUTE format('INSERT INTO %I.searchpending (rid) VALUES (0)', TG_TABLE_SCHEMA); RETURN NULL; END IF; "
        "IF TG_OP <> 'INSERT' THEN "
        "EXECUTE format('INSERT INTO %I.searchpending (rid) VALUES ($1)', TG_TABLE_SCHEMA) USING OLD.id; END IF; "
        "IF TG_OP <> 'DELETE' THEN "
        "EXECUTE format('INSERT INTO %I.searchpending (rid) VALUES ($1)', TG_TABLE_SCHEMA) USING NEW.id; END IF; "
        "RETURN NULL; END $$"));
    run(QStringLiteral("CREATE TRIGGER code_search AFTER INSERT OR DELETE OR UPDATE OF id, Head, code, Learn ON Code "
                       "FOR EACH ROW EXECUTE FUNCTION searchpending_note()"));
    run(QStringLiteral("CREATE TRIGGER code_search_truncate AFTER TRUNCATE ON Code "
                       "FOR EACH STATEMENT EXECUTE FUNCTION searchpending_note()"));
}

bool PgSearch::done() { return scalar(QStringLiteral("SELECT count(*) FROM searchstate WHERE done")) > 0; }

void PgSearch::attach(const Database &database, bool readOnly)
{
    m_db = &database;
    m_readOnly = readOnly;
    m_usable = false;
    try {
        bool healthy = false;
        if (schemaComplete()) {
            QSqlQuery q = run(QStringLiteral("SELECT fold, format FROM searchstate"));
            healthy = nextRow(q) && q.value(0).toInt() == kSearchFoldVersion && q.value(1).toInt() == kFormat;
        }
        if (!healthy) {
            if (!readOnly)
                rebuild();
            return;
        }
        m_usable = true;
        if (readOnly)
            return;
        inTransaction(*m_db, [this] {
            lockWriters();
            drainNow();
        });
        // Rows written while the trigger was missing leave the counts apart.
        if (done()
            && scalar(QStringLiteral("SELECT (SELECT count(*) FROM Code) - (SELECT count(*) FROM searchtext)")) != 0)
            rebuild();
    } catch (const StoreError &) {
        m_usable = false;
    }
}

void PgSearch::detach()
{
    m_db = nullptr;
    m_usable = false;
}

SearchIndex::Status PgSearch::status()
{
    if (!m_usable)
        return SearchIndex::Status::Unavailable;
    try {
        return done() ? SearchIndex::Status::Ready : SearchIndex::Status::Building;
    } catch (const StoreError &) {
        return SearchIndex::Status::Unavailable;
    }
}

double PgSearch::buildProgress()
{
    try {
        if (done())
            return 1.0;
        const qint64 last = scalar(QStringLiteral("SELECT coalesce(max(id), 0) FROM Code"));
        const qint64 built = scalar(QStringLiteral("SELECT built FROM searchstate"));
        return last <= 0 ? 1.0 : qBound(0.0, double(built) / double(last), 1.0);
    } catch (const StoreError &) {
        return 0.0;
    }
}

bool PgSearch::buildStep(int budgetMs)
{
    if (!m_usable || m_readOnly)
        return false;
    bool more = false;
    QElapsedTimer timer;
    timer.start();
    inTransaction(*m_db, [&] {
        lockWriters();
        drainNow();
        QSqlQuery state = run(QStringLiteral("SELECT built, done FROM searchstate"));
        if (!nextRow(state))
            throw StoreError(QStringLiteral("فهرس البحث ناقص"));
        if (state.value(1).toBool())
            return;
        qint64 built = state.value(0).toLongLong();
        bool end = false;
        do {
            QSqlQuery q = run(QStringLiteral("SELECT id FROM Code WHERE id > ? ORDER BY id LIMIT ?"),
                              {built, kBuildRows});
            QList<qint64> ids;
            while (nextRow(q))
                ids.append(q.value(0).toLongLong());
            refold(ids);
            if (!ids.isEmpty())
                built = ids.last();
            end = ids.size() < kBuildRows;
        } while (!end && timer.elapsed() < budgetMs);
        run(QStringLiteral("UPDATE searchstate SET built = ?, done = ?"), {built, end});
        more = !end;
    });
    return more;
}

bool PgSearch::rebuild()
{
    if (!m_db || m_readOnly)
        return false;
    try {
        inTransaction(*m_db, [this] {
            lockWriters();
            createSchema();
        });
        m_usable = true;
    } catch (const StoreError &) {
        m_usable = false;
        return false;
    }
    return true;
}

std::optional<QList<SearchCandidate>> PgSearch::candidates(const QString &foldedWord, bool head, bool code, bool learn,
                                                           bool &restarted)
{
    restarted = false;
    if (!m_usable || foldedWord.toUcs4().size() < 3)
        return std::nullopt;
    try {
        if (!done())
            return std::nullopt;
        if (scalar(QStringLiteral("SELECT count(*) FROM (SELECT 1 FROM searchpending LIMIT 1) p")) != 0) {
            if (m_readOnly)
                return std::nullopt;
            inTransaction(*m_db, [this] {
                lockWriters();
                drainNow();
            });
        }
    } catch (const StoreError &) {
        return std::nullopt; // not allowed to fold the changes others made: scan
    }
    QString pattern = foldedWord;
    pattern.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    pattern.replace(QLatin1Char('%'), QLatin1String("\\%"));
    pattern.replace(QLatin1Char('_'), QLatin1String("\\_"));
    pattern = QLatin1Char('%') + pattern + QLatin1Char('%');
    const bool fields[3] = {head, code, learn};
    const char *names[3] = {"head", "code", "learn"};
    QStringList tests, wheres;
    QVariantList values;
    for (int i = 0; i < 3; ++i) {
        tests.append(fields[i] ? QStringLiteral("%1 LIKE ? ESCAPE '\\'").arg(QLatin1String(names[i]))
                               : QStringLiteral("false"));
        if (fields[i])
            values.append(pattern);
    }
    for (int i = 0; i < 3; ++i) {
        if (fields[i]) {
            wheres.append(QStringLiteral("%1 LIKE ? ESCAPE '\\'").arg(QLatin1String(names[i])));
            values.append(pattern);
        }
    }
    if (wheres.isEmpty())
        return QList<SearchCandidate>{};
    QList<SearchCandidate> rows;
    try {
        QSqlQuery q = run(QStringLiteral("SELECT id, %1 FROM searchtext WHERE %2 ORDER BY id")
                              .arg(tests.join(QLatin1String(", ")), wheres.join(QLatin1String(" OR "))),
                          values);
        while (nextRow(q))
            rows.append({q.value(0).toLongLong(), q.value(1).toBool(), q.value(2).toBool(), q.value(3).toBool()});
    } catch (const StoreError &) {
        restarted = rebuild(); // the tables are damaged or gone
        return std::nullopt;
    }
    return rows;
}

void PgSearch::drainPending()
{
    if (!m_usable || m_readOnly)
        return;
    try {
        inTransaction(*m_db, [this] {
            lockWriters();
            drainNow();
        });
    } catch (const StoreError &) {
        // Left noted for a writer that may fold them; searches scan until then.
    }
}

} // namespace store
