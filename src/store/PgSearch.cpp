#include "store/PgSearch.h"

#include "store/Database.h"
#include "store/PgReconnect.h"
#include "store/SearchFold.h"

#include <QElapsedTimer>
#include <QSet>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QStringList>

#include <algorithm>
#include <vector>

namespace store {

namespace {

// How the table stores the texts; another value in a library means the index is rebuilt.
constexpr int kFormat = 6;
constexpr int kBuildRows = 500;
// More changed rows than this are left to the scan rather than judged one by one.
constexpr int kMaxJudged = 1000;
// Rows folded by this connection after which it looks whether the planner's figures lag (settle()).
constexpr int kSettleRows = 1000;

// The numbers of an integer array as the driver gives it, "{1,2,3}"; none for NULL.
QList<qint64> numbersOf(const QVariant &array)
{
    QList<qint64> numbers;
    const QString text = array.toString();
    if (text.size() < 3)
        return numbers;
    const QList<QStringView> parts = QStringView(text).mid(1, text.size() - 2).split(u',');
    numbers.reserve(parts.size());
    for (QStringView part : parts)
        numbers.append(part.toLongLong());
    return numbers;
}

// What a row of searchtext was folded from: the trigger leaves a changed row unnoted when its
// folding is already there, written by the same statement (foldWith) or left by a change that
// changed nothing (another tool's "SET Learn = Learn"). %1 is the row, as NEW or a table's alias.
QString sourceOf(const QString &row) { return QStringLiteral("md5(ROW(%1.Head, %1.code, %1.Learn)::text)").arg(row); }

// The folded code has a table of its own, rewritten only when the code changed: an edit of a title
// or a comment leaves the code's many trigrams in their index. source: the rows to write, as
// (id, head, learn, source) and (id, code).
QString upsertText(const QString &source)
{
    return QStringLiteral("INSERT INTO searchtext (id, head, learn, source) %1 ON CONFLICT (id) DO UPDATE SET "
                          "head = excluded.head, learn = excluded.learn, source = excluded.source")
        .arg(source);
}

QString upsertCode(const QString &source)
{
    return QStringLiteral("INSERT INTO searchcode (id, code) %1 ON CONFLICT (id) DO UPDATE SET code = excluded.code "
                          "WHERE searchcode.code IS DISTINCT FROM excluded.code")
        .arg(source);
}

// Drops the folded rows (aliased s) where the condition holds.
QString dropFolded(const QString &where)
{
    return QStringLiteral("WITH d AS (DELETE FROM searchcode s WHERE %1) DELETE FROM searchtext s WHERE %1").arg(where);
}

} // namespace

QSqlDatabase PgSearch::db() const { return m_db->db(); }

// Statements without values are fetched whole, not row by row: the caller may run others while it
// reads them (refold).
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

// Waits for the writes under way to end and holds off new ones until this transaction ends, so
// what is read from Code here is what stays there: for the folding of rows this connection did
// not change itself. The writers' own folding takes no lock (drainPending).
void PgSearch::lockWriters() { run(QStringLiteral("LOCK TABLE Code IN SHARE MODE")); }

// By name, as a new session answers from its caches rather than by reading the catalogs through.
bool PgSearch::schemaComplete()
{
    const auto here = [](const char *name) {
        return QStringLiteral("quote_ident(current_schema()) || '.%1'").arg(QLatin1String(name));
    };
    QString tables;
    for (const char *table : {"searchtext", "searchcode", "searchpending", "searchstate"})
        tables += QStringLiteral("to_regclass(%1) IS NOT NULL AND ").arg(here(table));
    return scalar(QStringLiteral("SELECT count(*) WHERE %1 to_regprocedure(%2) IS NOT NULL AND (SELECT count(*) FROM "
                                 "pg_catalog.pg_trigger WHERE tgrelid = to_regclass(%3) AND tgname IN "
                                 "('code_search', 'code_search_truncate')) = 2")
                      .arg(tables, here("searchcandidates(text, integer, integer, integer, float8)"), here("code")))
           > 0;
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
    QSqlQuery rows = run(QStringLiteral("SELECT id, Head, code, Learn, %1 FROM Code c WHERE id IN (%2)")
                             .arg(sourceOf(QStringLiteral("c")), list.join(QLatin1Char(','))));
    QSqlQuery upsert(db());
    if (!upsert.prepare(QStringLiteral("WITH t AS (%1) %2")
                            .arg(upsertText(QStringLiteral("VALUES (?::integer, ?::text, ?::text, ?::text)")),
                                 upsertCode(QStringLiteral("VALUES (?::integer, ?::text)")))))
        throwQueryError(upsert);
    QSet<qint64> present;
    m_foldedSinceCheck += int(ids.size());
    while (nextRow(rows)) {
        const qint64 id = rows.value(0).toLongLong();
        present.insert(id);
        upsert.bindValue(0, id);
        upsert.bindValue(1, foldForSearch(rows.value(1).toString()));
        upsert.bindValue(2, foldForSearch(rows.value(3).toString()));
        upsert.bindValue(3, rows.value(4));
        upsert.bindValue(4, id);
        upsert.bindValue(5, foldForSearch(rows.value(2).toString()));
        if (!upsert.exec())
            throwQueryError(upsert);
    }
    QStringList gone;
    for (qint64 id : ids)
        if (!present.contains(id))
            gone.append(QString::number(id));
    if (!gone.isEmpty())
        run(dropFolded(QStringLiteral("s.id IN (%1)").arg(gone.join(QLatin1Char(',')))));
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
        run(dropFolded(QStringLiteral("NOT EXISTS (SELECT 1 FROM Code c WHERE c.id = s.id)")));
    for (qsizetype i = 0; i < ids.size(); i += kBuildRows)
        refold(ids.mid(i, kBuildRows));
}

void PgSearch::createSchema()
{
    run(QStringLiteral("DROP TRIGGER IF EXISTS code_search ON Code"));
    run(QStringLiteral("DROP TRIGGER IF EXISTS code_search_truncate ON Code"));
    run(QStringLiteral("DROP FUNCTION IF EXISTS searchpending_note()"));
    // An older build's function too (another signature), which a rebuild from it brings back.
    run(QStringLiteral("DROP FUNCTION IF EXISTS searchcandidates(text, integer, integer, float8)"));
    run(QStringLiteral("DROP FUNCTION IF EXISTS searchcandidates(text, integer, integer, integer, float8)"));
    run(QStringLiteral("DROP TABLE IF EXISTS searchtext, searchcode, searchpending, searchstate"));
    run(QStringLiteral(
        "CREATE TABLE searchtext (id integer PRIMARY KEY, head text NOT NULL, learn text NOT NULL, source text)"));
    run(QStringLiteral("CREATE TABLE searchcode (id integer PRIMARY KEY, code text NOT NULL)"));
    // The transaction that noted the change: a writer folds its own rows and no others.
    run(QStringLiteral("CREATE TABLE searchpending (seq bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY, "
                       "rid integer NOT NULL, xid xid8 NOT NULL DEFAULT pg_current_xact_id())"));
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
        for (const auto &[table, field] :
             {std::pair{"searchtext", "head"}, {"searchtext", "learn"}, {"searchcode", "code"}})
            run(QStringLiteral("CREATE INDEX %1_%2 ON %1 USING gin (%2 gin_trgm_ops)")
                    .arg(QLatin1String(table), QLatin1String(field)));
    // Id 0 (never an identity value) stands for a truncated table. A deleted row needs no folding,
    // so its folded copy goes at once; a changed one is noted unless its folding is there already.
    // The schema is written into the body, so its statements are planned once per session.
    QSqlQuery schemaName = run(QStringLiteral(
        "SELECT quote_ident(current_schema()), quote_literal(quote_ident(current_schema()) || '.searchtext')"));
    if (!nextRow(schemaName))
        throw StoreError(QStringLiteral("فهرس البحث ناقص"));
    const QString in = schemaName.value(0).toString() + QLatin1Char('.');
    const QString searchTextLiteral = schemaName.value(1).toString();
    run(QStringLiteral("CREATE FUNCTION searchpending_note() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER "
                       "SET search_path = pg_catalog, pg_temp AS $$ BEGIN "
                       "IF TG_OP = 'TRUNCATE' THEN INSERT INTO %1searchpending (rid) VALUES (0); RETURN NULL; END IF; "
                       "IF TG_OP = 'DELETE' OR OLD.id <> NEW.id THEN DELETE FROM %1searchtext WHERE id = OLD.id; "
                       "DELETE FROM %1searchcode WHERE id = OLD.id; END IF; "
                       "IF TG_OP = 'DELETE' THEN RETURN NULL; END IF; "
                       "IF NOT EXISTS (SELECT 1 FROM %1searchtext WHERE id = NEW.id AND source = %2) THEN "
                       "INSERT INTO %1searchpending (rid) VALUES (NEW.id); END IF; "
                       "RETURN NULL; END $$")
            .arg(in, sourceOf(QStringLiteral("NEW"))));
    // A search's candidates in one round trip, as one row: a verdict, 0 when the index answers,
    // else -1 not built, -2 too many changes to judge one by one, -3 more than most of the rows
    // (and more than few) found, where the scan is quicker; the rows whose folded fields are LIKE
    // the pattern with the field of each (0 title, 1 code, 2 comment), in no order; and the rows
    // changed since they were folded. Arrays rather than a row each: thousands of candidates cost
    // less to send and to read. Counting stops past the cap, so a word in every row costs a
    // fraction of the scan it goes to. The planner prices a sequential scan by the table's pages,
    // not by the long texts stored beside them that a scan unpacks: once the index narrows, it is
    // used. Costs so priced pass the threshold for compiling queries to machine code, which takes
    // longer than these queries do: jit is off in here. The plans do not depend on the word: made
    // once per session. LIKE's escape character is the backslash.
    run(QStringLiteral(R"sql(
CREATE FUNCTION searchcandidates(pattern text, fields integer, judged integer, few integer, most float8)
RETURNS TABLE (verdict integer, hit_ids integer[], hit_fields integer[], changed_ids integer[]) LANGUAGE plpgsql
SET enable_seqscan = off SET jit = off SET plan_cache_mode = force_generic_plan
SET search_path = pg_catalog, pg_temp AS $$
DECLARE
  noted integer[];
  cap bigint;
  ids integer[];
  kinds integer[];
BEGIN
  IF NOT EXISTS (SELECT 1 FROM %1searchstate WHERE done) THEN
    RETURN QUERY SELECT -1, NULL::integer[], NULL::integer[], NULL::integer[];
    RETURN;
  END IF;
  SELECT array_agg(DISTINCT p.rid) INTO noted FROM (SELECT s.rid FROM %1searchpending s LIMIT judged + 1) p;
  IF cardinality(noted) > judged OR 0 = ANY (noted) THEN
    RETURN QUERY SELECT -2, NULL::integer[], NULL::integer[], NULL::integer[];
    RETURN;
  END IF;
  SELECT greatest(few, ceil(c.reltuples * most)) INTO cap FROM pg_class c WHERE c.oid = %2::regclass;
  SELECT array_agg(f.id), array_agg(f.field) INTO ids, kinds FROM (
    SELECT t.id, 0 FROM %1searchtext t WHERE fields & 1 <> 0 AND t.head LIKE pattern
    UNION ALL SELECT c.id, 1 FROM %1searchcode c WHERE fields & 2 <> 0 AND c.code LIKE pattern
    UNION ALL SELECT t.id, 2 FROM %1searchtext t WHERE fields & 4 <> 0 AND t.learn LIKE pattern
    LIMIT cap + 1) f(id, field);
  IF cardinality(ids) > cap THEN
    RETURN QUERY SELECT -3, NULL::integer[], NULL::integer[], NULL::integer[];
    RETURN;
  END IF;
  RETURN QUERY SELECT 0, ids, kinds, noted;
END $$)sql")
            .arg(in, searchTextLiteral));
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
        // A role that may change Code but not the index leaves its changes noted, for others.
        m_folds = scalar(QStringLiteral(
                      "SELECT count(*) WHERE has_table_privilege('searchtext', 'INSERT, UPDATE, DELETE') AND "
                      "has_table_privilege('searchcode', 'INSERT, UPDATE, DELETE') AND "
                      "has_table_privilege('searchpending', 'SELECT, DELETE')"))
                  > 0;
        foldOthers();
        // Rows written while the trigger was missing leave the counts apart (changes still noted, if
        // the writers under way kept them from being folded just now, would too).
        if (done()
            && scalar(QStringLiteral("SELECT CASE WHEN EXISTS (SELECT 1 FROM searchpending) THEN 0 ELSE "
                                     "(SELECT count(*) FROM Code) - (SELECT count(*) FROM searchtext) END"))
                   != 0)
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
    bool finished = false;
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
        finished = end;
    });
    if (finished)
        refresh(); // the fresh tables' size tells when the index narrows a search
    return more;
}

bool PgSearch::rebuild()
{
    if (!m_db || m_readOnly)
        return false;
    try {
        inTransaction(*m_db, [this] {
            // The mode the trigger's own change takes, at once: no other rebuild gets in between.
            run(QStringLiteral("LOCK TABLE Code IN SHARE ROW EXCLUSIVE MODE"));
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
    if (!m_usable || foldedWord.toUcs4().size() < 3 || foldedWord.contains(QChar(0)))
        return std::nullopt;
    const int fields = int(head) | int(code) << 1 | int(learn) << 2;
    if (fields == 0)
        return QList<SearchCandidate>{};
    QString pattern = foldedWord;
    pattern.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    pattern.replace(QLatin1Char('%'), QLatin1String("\\%"));
    pattern.replace(QLatin1Char('_'), QLatin1String("\\_"));
    // Sent as an escape string literal, in a statement of one round trip.
    pattern.replace(QLatin1Char('\''), QLatin1String("''"));
    pattern.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    const QString call = QStringLiteral("SELECT * FROM searchcandidates(E'%%1%', %2, %3, %4, %5)")
                             .arg(pattern, QString::number(fields), QString::number(kMaxJudged),
                                  QString::number(kFewRows), QString::number(kMostRows));
    // A writer folds the changes it finds waiting (or a truncation), then asks again; what is
    // still noted (a read-only client folds nothing) is judged row by row.
    for (bool folded = m_readOnly;; folded = true) {
        int verdict = -1;
        QList<qint64> ids, kinds, changed;
        try {
            QSqlQuery q = run(call);
            if (nextRow(q)) {
                verdict = q.value(0).toInt();
                ids = numbersOf(q.value(1));
                kinds = numbersOf(q.value(2));
                changed = numbersOf(q.value(3));
            }
        } catch (const StoreError &) {
            // A server gone away is no reason to build anew; damaged or missing tables are.
            if (!connectionLost(db().driver()))
                restarted = rebuild();
            return std::nullopt;
        }
        if ((verdict == -2 || !changed.isEmpty()) && !folded) {
            foldOthers();
            continue;
        }
        if (verdict != 0 || ids.size() != kinds.size())
            return std::nullopt;
        std::vector<std::pair<qint64, int>> found; // (row, field), as the server finds them
        found.reserve(size_t(ids.size() + changed.size()));
        for (qsizetype i = 0; i < ids.size(); ++i)
            found.emplace_back(ids[i], int(kinds[i]));
        for (qint64 id : changed)
            found.emplace_back(id, 3);
        std::sort(found.begin(), found.end());
        QList<SearchCandidate> rows;
        for (const auto &[id, field] : found) {
            if (rows.isEmpty() || rows.last().row != id)
                rows.append({id, false, false, false});
            SearchCandidate &row = rows.last();
            if (field == 3)
                row = {id, head, code, learn}; // changed since folded: any field may hold the word now
            else
                (field == 0 ? row.head : field == 1 ? row.code : row.learn) = true;
        }
        return rows;
    }
}

// Folds the rows this transaction changed, and only those: each is locked in Code by this
// transaction until it ends, so no other writer can change it meanwhile, and two writers never
// fold the same row at once. Writers therefore fold in parallel, without a common lock, in two
// round trips: the rows to fold, then their folded texts. A failure here has aborted the
// transaction, so it fails the write (nothing stored); the index is then left to the next open.
void PgSearch::drainPending()
{
    if (!m_usable || m_readOnly || !m_folds)
        return;
    QSqlQuery q(db());
    const auto failed = [this, &q] {
        // A server gone away is told as such, and the index serves again once it is back.
        if (!connectionLost(q.driver()))
            m_usable = false;
        throwQueryError(q);
    };
    if (!q.exec(QStringLiteral(
                    "WITH p AS (DELETE FROM searchpending WHERE xid = pg_current_xact_id() RETURNING rid) "
                    "SELECT r.rid, c.id IS NOT NULL, c.Head, c.code, c.Learn, %1 FROM (SELECT DISTINCT rid FROM p) r "
                    "LEFT JOIN Code c ON c.id = r.rid")
                    .arg(sourceOf(QStringLiteral("c")))))
        failed();
    QSqlDriver *driver = db().driver();
    QSqlField field(QString(), QMetaType(QMetaType::QString));
    const auto literal = [&](const QString &text) {
        field.setValue(text);
        return driver->formatValue(field);
    };
    QStringList texts, codes, gone;
    bool truncated = false;
    while (q.next()) {
        const qint64 id = q.value(0).toLongLong();
        if (id == 0)
            truncated = true;
        else if (!q.value(1).toBool())
            gone.append(QString::number(id));
        else {
            texts.append(QStringLiteral("(%1, %2, %3, %4)")
                             .arg(id)
                             .arg(literal(foldForSearch(q.value(2).toString())),
                                  literal(foldForSearch(q.value(4).toString())), literal(q.value(5).toString())));
            codes.append(QStringLiteral("(%1, %2)").arg(id).arg(literal(foldForSearch(q.value(3).toString()))));
        }
    }
    if (q.lastError().isValid())
        failed();
    m_foldedSinceCheck += int(texts.size() + gone.size());
    // Only numbers and the driver's own quoting of the texts are put into the SQL.
    if (!gone.isEmpty() && !q.exec(dropFolded(QStringLiteral("s.id IN (%1)").arg(gone.join(u',')))))
        failed();
    if (!texts.isEmpty()
        && !q.exec(QStringLiteral("WITH t AS (%1) %2")
                       .arg(upsertText(QStringLiteral("VALUES ") + texts.join(QLatin1String(", "))),
                            upsertCode(QStringLiteral("VALUES ") + codes.join(QLatin1String(", "))))))
        failed();
    if (truncated && !q.exec(dropFolded(QStringLiteral("NOT EXISTS (SELECT 1 FROM Code c WHERE c.id = s.id)"))))
        failed();
}

QString PgSearch::foldWith(const QString &from, const QVariant &head, const QVariant &code, const QVariant &learn,
                           QVariantList &values) const
{
    if (!m_usable || m_readOnly || !m_folds)
        return {};
    for (const QVariant *text : {&head, &learn, &code})
        values.append(QVariant(foldForSearch(text->toString())));
    ++m_foldedSinceCheck;
    return QStringLiteral(", searchfold AS (%1), searchfoldcode AS (%2)")
        .arg(upsertText(QStringLiteral("SELECT id, ?::text, ?::text, %1 FROM %2").arg(sourceOf(from), from)),
             upsertCode(QStringLiteral("SELECT id, ?::text FROM %1").arg(from)));
}

// After a bulk change (an import) the connection that folded the rows refreshes the tables' figures
// at once rather than when autovacuum comes by: when they lag by a tenth of the table.
void PgSearch::settle()
{
    if (!m_usable || m_readOnly || !m_folds || m_foldedSinceCheck < kSettleRows)
        return;
    m_foldedSinceCheck = 0;
    try {
        if (scalar(QStringLiteral("SELECT count(*) FROM pg_catalog.pg_stat_user_tables s JOIN pg_catalog.pg_class c "
                                  "ON c.oid = s.relid WHERE s.relid = 'searchtext'::regclass AND "
                                  "s.n_mod_since_analyze > greatest(?, c.reltuples / 10)"),
                   {kSettleRows})
            > 0)
            refresh();
    } catch (const StoreError &) {
        // Left to autovacuum.
    }
}

// The planner's figures (the table's size decides whether the index narrows a search, in
// searchcandidates, and they tell how the index is read), and the trigram indexes' pending lists,
// where new trigrams wait and which every search reads through. A role that does not own the
// tables is passed over, without a word: autovacuum comes by later.
void PgSearch::refresh()
{
    try {
        inTransaction(*m_db, [this] {
            run(QStringLiteral("SET LOCAL client_min_messages = error"));
            run(QStringLiteral("ANALYZE searchtext, searchcode"));
            run(QStringLiteral("SELECT gin_clean_pending_list(i.indexrelid) FROM pg_catalog.pg_index i "
                               "JOIN pg_catalog.pg_class c ON c.oid = i.indexrelid JOIN pg_catalog.pg_am a ON "
                               "a.oid = c.relam WHERE i.indrelid IN ('searchtext'::regclass, 'searchcode'::regclass) "
                               "AND a.amname = 'gin'"));
        });
    } catch (const StoreError &) { }
}

// Folds the rows others changed (another tool, an older build, a client that failed to): best
// effort, in a transaction of its own that waits only briefly for the writers under way. After a
// bulk change so folded, the tables' figures follow at once (refresh()).
void PgSearch::foldOthers()
{
    if (!m_usable || m_readOnly)
        return;
    const int before = m_foldedSinceCheck;
    try {
        inTransaction(*m_db, [this] {
            run(QStringLiteral("SET LOCAL lock_timeout = '300ms'"));
            lockWriters();
            drainNow();
        });
    } catch (const StoreError &) {
        return; // left noted for later; searches judge those rows meanwhile
    }
    if (m_foldedSinceCheck - before >= kSettleRows)
        refresh();
}

} // namespace store
