#pragma once
// The connection of one open library: the file codedb.mdb (SQLite), or a team library, a
// PostgreSQL database named by libpq's URI (store/PgLocation.h). A member of store::Library,
// which is what the rest of the program holds; this class knows the connection only.
#include "store/Engine.h"
#include "store/StoreError.h"

#include <QSqlDatabase>
#include <QString>
#include <memory>

namespace store {

class Database;
class Library;
class LibraryCheck;

// Said whenever something would be written to a library of that engine that is open read-only.
QString readOnlyLibraryMessage(Engine engine = Engine::Sqlite);
// The library's table (Code or Groub) is a view or anything else that is not a plain table.
QString notATableMessage(const QString &table);

class LibraryConnection
{
public:
    // check is told to make way whenever a write waits for the file's lock.
    explicit LibraryConnection(LibraryCheck &check);
    ~LibraryConnection();
    LibraryConnection(const LibraryConnection &) = delete;
    LibraryConnection &operator=(const LibraryConnection &) = delete;

    bool isOpen() const;
    // Open read-only, asked for or found so: every write fails with readOnlyLibraryMessage().
    bool isReadOnly() const { return m_db && m_readOnly; }
    // The file's path, or a team library's URI without its password (fit for titles, messages and
    // as the single-instance key). What open() takes to open the same library again: a password
    // the URI held is remembered, in memory only, for that.
    QString path() const { return m_path; }
    // Whether path names the library's own file (never so for a team library).
    bool isLibraryFile(const QString &path) const;
    Engine engine() const;
    // The folder of the library file, where its credits are kept; the user's data folder for a
    // team library, which has no folder of its own.
    QString folder() const;
    // Grows with every open or create, so caches can tell one connection from the next.
    qint64 openCount() const { return m_opened; }
    QSqlDatabase database() const;
    // Null while closed.
    const Database *connection() const { return m_db.get(); }

    // A team library whose server went away: the operation that finds it out fails with one
    // Arabic message, and the next one connects again once the server is back. The server rolls
    // back whatever transaction the lost session had open, so nothing half-written remains.
    // Whether this is a team library whose connection is lost (known without asking the server).
    bool isLost() const;
    // Connects again when the connection was lost; throws StoreError with
    // lostConnectionMessage() while the server stays away. Nothing for a file or a live connection.
    void ensureConnected();
    // Grows with every reconnection, so listeners can subscribe anew and read what they missed.
    qint64 reconnects() const { return m_reconnects; }

private:
    // Its life is the Library's to lead, which keeps its search index attached to it.
    friend class Library;

    // Opens an existing library after checking that it is one. Nothing is written to a file
    // that fails the checks. Throws StoreError with the Arabic reason; the connection is then closed.
    // With readOnly the file is never written (no tree index, no search index: the search scans).
    // Without it, a file or folder that cannot be written (found by trying a write that is
    // rolled back, since permissions say nothing to root) is opened read-only all the same.
    // A location that isPostgresLocation() names a team library: a database without tables
    // throws EmptyDatabaseError (ask, then createSchema), one with other tables is refused, and a
    // role that may not write (or a read-only session) gets a read-only library.
    void open(const QString &location, bool readOnly = false);
    // Gives the empty team database at location the library's tables and opens it. Throws
    // StoreError (nothing is created then).
    void createSchema(const QString &location);
    // The password for team libraries, kept in memory only and used by every following open
    // (reopening after a lost connection too); empty: libpq's own (~/.pgpass, a password in the URI).
    void setPassword(const QString &password) { m_password = password; }
    // Creates a new library, with the starter categories and snippets when seed is set.
    // Fails if the file exists; a failed creation leaves no file. Throws StoreError.
    void create(const QString &path, bool seed = true);
    void close();

    std::unique_ptr<Database> connectPg(const struct PgLocation &location);
    void openPg(const QString &location, bool readOnly);
    void adopt(std::unique_ptr<Database> db, const QString &path, bool readOnly);

    LibraryCheck &m_check;
    std::unique_ptr<Database> m_db;
    QString m_path;
    qint64 m_opened = 0;
    qint64 m_reconnects = 0;
    bool m_readOnly = false;
    QString m_password;
    // A password that came in a URI, for reopening that library (path() drops it); never written.
    QString m_uriPassword, m_uriPasswordFor;
};

} // namespace store
