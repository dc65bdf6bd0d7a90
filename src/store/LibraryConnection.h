#pragma once
// The one program-wide connection to the library: the file codedb.mdb (SQLite), or a team
// library, a PostgreSQL database named by libpq's URI (store/PgLocation.h).
#include "store/Engine.h"
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
    // A location that isPostgresLocation() names a team library: a database without tables
    // throws EmptyDatabaseError (ask, then createSchema), one with other tables is refused, and a
    // role that may not write (or a read-only session) gets a read-only library.
    static void open(const QString &location, bool readOnly = false);
    // Gives the empty team database at location the library's tables and opens it. Throws
    // StoreError (nothing is created then).
    static void createSchema(const QString &location);
    // The password for team libraries, kept in this process's memory only and used by every
    // following open (reopening after a lost connection too); empty: libpq's own (~/.pgpass, a
    // password in the URI).
    static void setPassword(const QString &password);
    // Creates a new library, with the starter categories and snippets when seed is set.
    // Fails if the file exists; a failed creation leaves no file. Throws StoreError.
    static void create(const QString &path, bool seed = true);
    static void close();
    static bool isOpen();
    // Open read-only, asked for or found so: every write fails with readOnlyLibraryMessage().
    static bool isReadOnly();
    // The file's path, or a team library's URI without its password (fit for titles, messages and
    // as the single-instance key). What open() takes to open the same library again: a password
    // the URI held is remembered, in memory only, for that.
    static QString path();
    // Whether path names the library's own file (never so for a team library).
    static bool isLibraryFile(const QString &path);
    static Engine engine();
    // The folder of the library file, where its credits are kept; the user's data folder for a
    // team library, which has no folder of its own.
    static QString folder();
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
