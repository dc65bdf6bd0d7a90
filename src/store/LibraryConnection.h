#pragma once
// The one program-wide connection to the library file (codedb.mdb, a SQLite database).
#include "store/StoreError.h"

#include <QSqlDatabase>
#include <QString>
#include <functional>

namespace store {

class Database;

// Said whenever something would be written to a library that is open read-only.
QString readOnlyLibraryMessage();

class LibraryConnection
{
public:
    // Opens an existing library after checking that it is one. Nothing is written to a file
    // that fails the checks. Throws StoreError with the Arabic reason; the connection is then closed.
    // With readOnly the file is never written (no tree index, no search index: the search scans).
    // Without it, a file or folder that cannot be written (found by trying a write that is
    // rolled back, since permissions say nothing to root) is opened read-only all the same.
    static void open(const QString &path, bool readOnly = false);
    // Creates a new library, with the starter categories and snippets when seed is set.
    // Fails if the file exists; a failed creation leaves no file. Throws StoreError.
    static void create(const QString &path, bool seed = true);
    static void close();
    static bool isOpen();
    // Open read-only, asked for or found so: every write fails with readOnlyLibraryMessage().
    static bool isReadOnly();
    static QString path();
    // Grows with every open or create, so caches can tell one connection from the next.
    static qint64 openCount();
    static QSqlDatabase database();
    static const Database *connection();
};

// Runs work, which may close LibraryConnection (compaction does), then opens the library again,
// in the same mode, whatever happened. Throws StoreError with work's failure and, if any, the
// failure to reopen.
void withLibraryReopened(const std::function<void()> &work);

} // namespace store
