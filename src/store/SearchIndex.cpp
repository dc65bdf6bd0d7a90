#include "store/SearchIndex.h"

#include "store/Database.h"
#include "store/LibraryConnection.h"
#include "store/PgSearch.h"
#include "store/SearchFold.h"
#include "store/SqliteStatement.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include <array>
#include <limits>
#include <string>
#include <vector>

#include <sqlite3.h>

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

// A trigram as its three code points, 21 bits each: compared and hashed without making a string.
using Trigram = quint64;

constexpr Trigram trigramOf(char32_t a, char32_t b, char32_t c)
{
    return (Trigram(a) << 42) | (Trigram(b) << 21) | Trigram(c);
}

// A set of trigrams in one open-addressed array, reused from text to text: emptying it clears only
// the slots used, and a short text probes only the start of the array, which stays in the cache.
class TrigramSet
{
public:
    // Empties the set, sized for about n trigrams (it grows when more come).
    void clear(qsizetype n = 0)
    {
        for (const size_t i : m_used)
            m_slots[i] = 0;
        m_used.clear();
        int bits = 6;
        while (bits < 17 && (qsizetype(1) << bits) < 2 * n)
            ++bits;
        use(bits);
    }
    // Whether t was not in the set yet.
    [[gnu::always_inline]] bool insert(Trigram t)
    {
        const quint64 key = t + 1; // 0 marks a free slot
        size_t i = slotOf(key);
        while (m_slots[i] != 0) {
            if (m_slots[i] == key)
                return false;
            i = (i + 1) & m_mask;
        }
        m_slots[i] = key;
        m_used.push_back(i);
        if (m_used.size() * 2 > m_mask)
            grow();
        return true;
    }
    bool contains(Trigram t) const
    {
        if (m_used.empty())
            return false;
        const quint64 key = t + 1;
        for (size_t i = slotOf(key); m_slots[i] != 0; i = (i + 1) & m_mask)
            if (m_slots[i] == key)
                return true;
        return false;
    }

private:
    size_t slotOf(quint64 key) const { return size_t((key * 0x9E3779B97F4A7C15ull) >> m_shift); }
    void use(int bits)
    {
        if (m_slots.size() < (size_t(1) << bits))
            m_slots.resize(size_t(1) << bits, 0);
        m_mask = (size_t(1) << bits) - 1;
        m_shift = 64 - bits;
    }
    [[gnu::noinline]] void grow()
    {
        std::vector<quint64> keys;
        keys.reserve(m_used.size());
        for (const size_t i : m_used) {
            keys.push_back(m_slots[i]);
            m_slots[i] = 0;
        }
        m_used.clear();
        use(65 - m_shift);
        for (const quint64 key : keys)
            insert(key - 1);
    }
    std::vector<quint64> m_slots = std::vector<quint64>(64, 0);
    std::vector<size_t> m_used;
    size_t m_mask = 63;
    int m_shift = 58;
};

// Takes code points one by one and calls found(t) for each distinct trigram, in order of first
// occurrence.
template <typename Found>
class TrigramStream
{
public:
    TrigramStream(TrigramSet &seen, qsizetype length, Found &found)
        : m_seen(seen)
        , m_found(found)
    {
        seen.clear(length);
    }
    void add(char32_t c)
    {
        if (m_have == 2) {
            const Trigram t = trigramOf(m_a, m_b, c);
            if (m_seen.insert(t))
                m_found(t);
        } else {
            ++m_have;
        }
        m_a = m_b;
        m_b = c;
    }

private:
    TrigramSet &m_seen;
    Found &m_found;
    char32_t m_a = 0, m_b = 0;
    int m_have = 0;
};

// The distinct trigrams of a folded text. The code points are those QString::toUcs4 gives, an
// unpaired surrogate reading as U+FFFD, as the index was always built with.
template <typename Found>
void forEachTrigram(QStringView text, TrigramSet &seen, Found &&found)
{
    TrigramStream<Found> trigrams(seen, text.size(), found);
    const char16_t *p = text.utf16();
    const char16_t *const end = p + text.size();
    while (p < end) {
        char32_t c = *p++;
        if (QChar::isSurrogate(c)) {
            if (QChar::isHighSurrogate(c) && p < end && QChar::isLowSurrogate(*p))
                c = QChar::surrogateToUcs4(char16_t(c), *p++);
            else
                c = QChar::ReplacementCharacter;
        }
        trigrams.add(c);
    }
}

// The same for a stored text read as UTF-8 and folded on the way, which spares converting it to
// UTF-16 first. Only well-formed UTF-8 of characters SQLite converts as they are: false at
// anything else (an ill-formed sequence, U+FFFE, U+FFFF), which is left to SQLite's own
// conversion, what the exact test reads.
template <typename Found>
bool forEachFoldedTrigram(QByteArrayView utf8, TrigramSet &seen, Found &&found)
{
    TrigramStream<Found> trigrams(seen, utf8.size(), found);
    const auto *p = reinterpret_cast<const uchar *>(utf8.data());
    const auto *const end = p + utf8.size();
    while (p < end) {
        const uchar lead = *p;
        if (lead < 0x80) { // the same folding, without the tables
            trigrams.add(lead >= 'A' && lead <= 'Z' ? lead + 32 : lead);
            ++p;
            continue;
        }
        const int more = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC2 ? 1 : 0;
        if (more == 0 || lead > 0xF4 || end - p <= more)
            return false;
        char32_t c = lead & (0x3F >> more);
        for (int i = 1; i <= more; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            c = (c << 6) | (p[i] & 0x3F);
        }
        p += more + 1;
        static constexpr char32_t least[4] = {0, 0x80, 0x800, 0x10000};
        if (c < least[more] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF) || c == 0xFFFE || c == 0xFFFF)
            return false;
        if (const char32_t f = foldCharForSearch(c))
            trigrams.add(f);
    }
    return true;
}

// The trigram a text of exactly three code points is (as SearchStop keeps them), or none.
std::optional<Trigram> trigramIn(QStringView text)
{
    const QList<uint> points = text.toUcs4();
    if (points.size() != 3)
        return std::nullopt;
    return trigramOf(points[0], points[1], points[2]);
}

QString trigramText(Trigram t)
{
    const char32_t points[3] = {char32_t(t >> 42), char32_t((t >> 21) & 0x1FFFFF), char32_t(t & 0x1FFFFF)};
    return QString::fromUcs4(points, 3);
}

struct Global {
    QString connection;
    bool postgres = false; // a team library: store/PgSearch
    bool usable = false;
    bool restarted = false; // the schema was made afresh: the listener is to be told
    std::function<void()> listener;
    // Trigrams left out of each field's table, fixed from the build's first step on, and the id
    // under which they were chosen: another program's rebuild chooses anew, so it is checked.
    TrigramSet stop[3];
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

// A stored value as the exact test reads it through Qt's driver: Null as empty, text in place,
// other types as QVariant writes them (into spare).
QStringView valueText(const SqliteStatement &row, int column, QString &spare)
{
    switch (row.type(column)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_TEXT:
        return row.utf16(column);
    case SQLITE_INTEGER:
        spare = QString::number(row.integer(column));
        return spare;
    case SQLITE_FLOAT:
        spare = QVariant(row.real(column)).toString();
        return spare;
    default:
        spare = QString::fromUtf8(row.rawText(column));
        return spare;
    }
}

// The distinct trigrams of a folded text, in order of first occurrence.
QList<Trigram> trigramsOf(QStringView text)
{
    QList<Trigram> all;
    TrigramSet seen;
    forEachTrigram(text, seen, [&](Trigram t) { all.append(t); });
    return all;
}

// The tables hold each trigram as one word of lower-case hexadecimal digits (six per code point),
// so the index gets exactly the trigrams chosen for it and a query cannot be read as FTS syntax.
constexpr int kTokenSize = 18;

void writeToken(Trigram t, char *out)
{
    static constexpr auto pairs = [] {
        std::array<char, 512> digits {};
        const char *hex = "0123456789abcdef";
        for (int i = 0; i < 256; ++i) {
            digits[2 * i] = hex[i >> 4];
            digits[2 * i + 1] = hex[i & 15];
        }
        return digits;
    }();
    for (int shift : {42, 21, 0}) {
        const uint c = uint(t >> shift) & 0x1FFFFF;
        for (const uint byte : {c >> 16, (c >> 8) & 0xFF, c & 0xFF}) {
            *out++ = pairs[2 * byte];
            *out++ = pairs[2 * byte + 1];
        }
    }
}

QString trigramToken(const QString &trigram)
{
    const std::optional<Trigram> t = trigramIn(trigram);
    if (!t)
        return {};
    char token[kTokenSize];
    writeToken(*t, token);
    return QString::fromLatin1(token, kTokenSize);
}

// Turns field values into the words stored for them, reusing its buffers from one value to the next.
// The words of a field are its trigrams except the ones left out of that field; each call's are
// valid until the next call.
class Tokenizer
{
    // Appends each trigram the field's table holds to the words.
    auto word(int field)
    {
        return [this, &stop = g.stop[field]](Trigram t) {
            if (stop.contains(t))
                return;
            const size_t at = m_words.size();
            m_words.resize(at + (at ? 1 : 0) + kTokenSize);
            char *out = m_words.data() + at;
            if (at)
                *out++ = ' ';
            writeToken(t, out);
        };
    }

public:
    const std::string &indexedText(int field, QStringView value)
    {
        m_words.clear();
        foldForSearch(value, m_folded);
        forEachTrigram(m_folded, m_seen, word(field));
        return m_words;
    }
    // A column of the row being read, its UTF-8 read in place where it can be.
    const std::string &indexedText(int field, const SqliteStatement &row, int column)
    {
        if (row.type(column) == SQLITE_TEXT) {
            m_words.clear();
            if (forEachFoldedTrigram(row.rawText(column), m_seen, word(field)))
                return m_words;
        }
        return indexedText(field, valueText(row, column, m_spare));
    }

private:
    QString m_folded, m_spare;
    TrigramSet m_seen;
    std::string m_words;
};

// Makes the left-out trigrams in memory those the index was built with.
void useStopOf(const Progress &p)
{
    if (p.stopId == g.stopId)
        return;
    for (TrigramSet &s : g.stop)
        s.clear();
    g.stopId = p.stopId;
    QSqlQuery q = run(QStringLiteral("SELECT field, gram FROM SearchStop"));
    while (nextRow(q)) {
        const int field = q.value(0).toInt();
        const std::optional<Trigram> t = trigramIn(q.value(1).toString());
        if (field >= 0 && field < 3 && t)
            g.stop[field].insert(*t);
    }
}

// Chooses the trigrams to leave out, from rows spread evenly over the table; before any row is indexed.
void chooseStop()
{
    for (TrigramSet &s : g.stop)
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
        QHash<Trigram, int> rowsWith[3];
        int sampled = 0;
        SqliteStatement q(libraryHandle(),
                          QStringLiteral("SELECT Head, code, Learn FROM Code WHERE rowid IN (%1)")
                              .arg(picks.join(QLatin1Char(',')))
                              .toUtf8());
        QString folded, spare;
        TrigramSet seen;
        while (q.step()) {
            ++sampled;
            for (int f = 0; f < 3; ++f) {
                foldForSearch(valueText(q, f, spare), folded);
                forEachTrigram(folded, seen, [&](Trigram t) { ++rowsWith[f][t]; });
            }
        }
        if (sampled >= kStopMinRows / 2) {
            for (int f = 0; f < 3; ++f) {
                for (auto it = rowsWith[f].cbegin(); it != rowsWith[f].cend(); ++it) {
                    if (it.value() > kStopShare * sampled) {
                        g.stop[f].insert(it.key());
                        run(QStringLiteral("INSERT INTO SearchStop (field, gram) VALUES (?, ?)"),
                            {f, trigramText(it.key())});
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
        sqlite3 *db = libraryHandle();
        for (int i = 0; i < 3; ++i) {
            m_insert[i].emplace(db, QStringLiteral("INSERT INTO %1 (rowid, t) VALUES (?, ?)").arg(kFts[i]).toUtf8());
            m_delete[i].emplace(
                db, QStringLiteral("INSERT INTO %1 (%1, rowid, t) VALUES ('delete', ?, ?)").arg(kFts[i]).toUtf8());
        }
    }
    // The fields are the row's columns from column on.
    void insert(qint64 rowid, const SqliteStatement &row, int column)
    {
        write(m_insert, rowid,
              [&](int i) -> const std::string & { return m_tokenizer.indexedText(i, row, column + i); });
    }
    // The fields as the exact test read them (valueText).
    void remove(qint64 rowid, const QString (&values)[3])
    {
        write(m_delete, rowid, [&](int i) -> const std::string & { return m_tokenizer.indexedText(i, values[i]); });
    }

private:
    template <typename Words>
    static void write(std::optional<SqliteStatement> (&statements)[3], qint64 rowid, Words &&wordsOf)
    {
        for (int i = 0; i < 3; ++i) {
            const std::string &words = wordsOf(i);
            statements[i]->bindInt(1, rowid);
            statements[i]->bindText(2, words.data(), int(words.size()));
            statements[i]->run();
        }
    }
    std::optional<SqliteStatement> m_insert[3], m_delete[3];
    Tokenizer m_tokenizer;
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
    for (TrigramSet &s : g.stop)
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
        SqliteStatement q(libraryHandle(), "SELECT seq, rid FROM SearchPending ORDER BY seq");
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
    SqliteStatement old(libraryHandle(), "SELECT had, Head, code, Learn FROM SearchPending WHERE seq = ?");
    SqliteStatement current(libraryHandle(), "SELECT Head, code, Learn FROM Code WHERE rowid = ?");
    FtsWriter fts;
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
        SqliteStatement drop(libraryHandle(), "DELETE FROM SearchPending WHERE seq = ?");
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
    for (const Trigram t : trigramsOf(word))
        if (!g.stop[field].contains(t))
            all.append(trigramText(t));
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
        SqliteStatement rows(libraryHandle(),
                             "SELECT rowid, Head, code, Learn FROM Code WHERE rowid > ? ORDER BY rowid LIMIT 64");
        bool end = false;
        do {
            rows.bindInt(1, p.built);
            int n = 0;
            while (rows.step()) {
                p.built = rows.integer(0);
                fts.insert(p.built, rows, 1);
                ++p.rows;
                ++n;
            }
            rows.reset();
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

void SearchIndex::foldPending()
{
    if (g.postgres || !g.usable || LibraryConnection::isReadOnly())
        return;
    try {
        inTransaction([] { drainNow(); });
    } catch (const StoreError &) {
        return; // still pending: nothing is lost, the index only folds them in later
    }
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
    for (TrigramSet &s : g.stop)
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
