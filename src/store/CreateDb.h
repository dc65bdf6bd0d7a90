#pragma once
// Database files as files: making an empty database, giving it tables, and compacting a file
// in place. Used for update packages and for compacting the library itself.
// Every operation throws StoreError (Arabic message) when it fails.
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace store {

// Field type codes, as callers pass them; each maps to a column type of the library file.
namespace fieldType {
constexpr qint32 Long = 4; // 32-bit signed integer
constexpr qint32 Text = 10; // text of at most 255 characters (the size)
constexpr qint32 Memo = 12; // long text
} // namespace fieldType

class Library;

// Removes the compacted copy (the file's name with "_" added) that a compaction killed half-way
// left beside the library at libraryPath: not when a program holds a lock on it or wrote it in
// the last minute (a compaction still running). True when there is no such copy afterwards.
bool removeStaleCompactionCopy(const QString &libraryPath);

class CreateDb
{
public:
    // library: the open library whose connection CompactDbx closes; none for package files alone.
    explicit CreateDb(Library *library = nullptr)
        : m_library(library)
    { }

    // Replaces any existing file of that name with an empty database.
    void CreateDatabaseX(const QString &MyNewDb);

    // Adds a table to an existing database file. Entry i of the lists describes field i;
    // a size of 0 means none (text then holds up to 255 characters). Texts longer than
    // their size, and empty texts, are refused by the store. An invalid type, a size
    // outside 0..255 or an existing table of that name fails and creates nothing.
    void CreateTableDefX(const QString &MyDb, const QString &MyNewTable, const QStringList &MyFldNam,
                         const QList<qint32> &MyFldTyp, const QList<int> &MyFldSiz);

    // Closes the library's connection (whatever file DbName is), compacts DbName into DbName + "_"
    // and copies that back into DbName under SQLite's locks (the file stays the same file, so
    // other programs that have it open lose nothing). On failure the original stays as it was,
    // no "_" file is left, and StoreError is thrown.
    // The library is left closed either way: the caller reopens it (Library::reopenAfter).
    void CompactDbx(const QString &DbName);

    // Points at which tests can make compaction fail.
    enum class CompactStep { BeforeCopy, AfterCopy, BeforeRename };
    // While set, the hook is called at each step; returning true makes that step fail.
    static void setCompactFailureHook(std::function<bool(CompactStep)> hook);

private:
    Library *m_library;
};

} // namespace store
