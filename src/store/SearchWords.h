#pragma once
// The words of the search index: the distinct trigrams of folded texts, each stored as one token,
// and the writer that puts a row's tokens into the three FTS tables or takes them out. Shared by
// the files of store/SearchIndex; nothing else includes it.
#include "store/Database.h"
#include "store/SearchFold.h"
#include "store/SqliteStatement.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVariant>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include <sqlite3.h>

namespace store::searchindex {

// The FTS tables of the title, code and comment, in that order.
inline const QStringList kFts = {QStringLiteral("SearchHead"), QStringLiteral("SearchCode"),
                                 QStringLiteral("SearchLearn")};

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
inline std::optional<Trigram> trigramIn(QStringView text)
{
    const QList<uint> points = text.toUcs4();
    if (points.size() != 3)
        return std::nullopt;
    return trigramOf(points[0], points[1], points[2]);
}

inline QString trigramText(Trigram t)
{
    const char32_t points[3] = {char32_t(t >> 42), char32_t((t >> 21) & 0x1FFFFF), char32_t(t & 0x1FFFFF)};
    return QString::fromUcs4(points, 3);
}

// A stored value as the exact test reads it through Qt's driver: Null as empty, text in place,
// other types as QVariant writes them (into spare).
inline QStringView valueText(const SqliteStatement &row, int column, QString &spare)
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
inline QList<Trigram> trigramsOf(QStringView text)
{
    QList<Trigram> all;
    TrigramSet seen;
    forEachTrigram(text, seen, [&](Trigram t) { all.append(t); });
    return all;
}

// The tables hold each trigram as one word of lower-case hexadecimal digits (six per code point),
// so the index gets exactly the trigrams chosen for it and a query cannot be read as FTS syntax.
constexpr int kTokenSize = 18;

inline void writeToken(Trigram t, char *out)
{
    static constexpr auto pairs = [] {
        std::array<char, 512> digits{};
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

inline QString trigramToken(const QString &trigram)
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
        return [this, &stop = m_stop[field]](Trigram t) {
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
    // stop: the trigrams left out of each field's table.
    explicit Tokenizer(const TrigramSet (&stop)[3])
        : m_stop(stop)
    { }
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
    const TrigramSet (&m_stop)[3];
    QString m_folded, m_spare;
    TrigramSet m_seen;
    std::string m_words;
};

// Inserts into or deletes from the three tables, with prepared statements reused across rows.
class FtsWriter
{
public:
    FtsWriter(const Database &db, const TrigramSet (&stop)[3])
        : m_tokenizer(stop)
    {
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

} // namespace store::searchindex
