#pragma once
// The columns the category tree shows, read in one pass straight from SQLite (or, for a team
// library, from PostgreSQL) into flat arrays: a million snippets take a few tens of megabytes and
// no per-row objects.
#include <QByteArray>
#include <QCollator>
#include <QList>
#include <QString>
#include <algorithm>
#include <vector>

namespace store {

struct TreeCategories {
    std::vector<qint32> ids; // table order
    QList<QString> captions; // Null as empty
};

struct TreeSnippets {
    enum Flag : quint8 { User = 1, NoCategory = 2 }; // NoCategory: Groub is Null or not a number
    std::vector<qint32> ids;
    std::vector<qint64> groubs;
    std::vector<quint8> flags;
    QByteArray heads; // UTF-8 titles one after the other, Null as empty
    std::vector<quint32> headEnds; // end of row i's title in heads; it starts at the end of row i - 1

    qsizetype size() const { return qsizetype(ids.size()); }
    QString head(qsizetype i) const
    {
        const quint32 begin = i == 0 ? 0 : headEnds[size_t(i - 1)];
        return QString::fromUtf8(heads.constData() + begin, qsizetype(headEnds[size_t(i)] - begin));
    }
};

class Library;

// Throw StoreError when the library cannot be read.
TreeCategories readTreeCategories(const Library &library);
// In no particular order (from the covering index when there is one).
TreeSnippets readTreeSnippets(const Library &library);

// The tree's order of names and titles: Arabic and Latin collated the way people expect, case
// ignored, numbers by value. Everything that lists snippets "in the tree's order" uses it.
const QCollator &treeCollator();

// Sorts positions by text(p) in the tree's order; equal texts by id(p), the order they were added.
// Sort keys: comparing them is far cheaper than collating two texts, at a million snippets.
template <typename Text, typename Id>
void sortInTreeOrder(std::vector<qint32> &positions, Text text, Id id)
{
    struct Keyed {
        QCollatorSortKey key;
        qint64 id;
        qint32 position;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(positions.size());
    for (qint32 p : positions)
        keyed.push_back({treeCollator().sortKey(text(p)), qint64(id(p)), p});
    std::sort(keyed.begin(), keyed.end(), [](const Keyed &a, const Keyed &b) {
        const int c = a.key.compare(b.key);
        return c != 0 ? c < 0 : a.id < b.id;
    });
    for (size_t i = 0; i < keyed.size(); ++i)
        positions[i] = keyed[i].position;
}

} // namespace store
