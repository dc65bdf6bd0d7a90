#pragma once
// A SQLite connection of its own to one file, under a name no other connection has, removed
// when it goes out of scope. The library, update packages and compaction all open files
// through it, so every connection gets the same options and is never left registered.
#include "store/Engine.h"
#include "store/StoreError.h"

#include <QSqlDatabase>
#include <QString>
#include <QVariantList>
#include <functional>

class QSqlError;
class QSqlQuery;
struct sqlite3;

namespace store {

struct PgLocation;

class Database
{
public:
    enum Flag { NoFlags = 0, ReadOnly = 1, Uri = 2 };

    // file is a path, or a "file:" URI with the Uri flag. The connection is named
    // prefix-N (unique) unless fixedName is given. Opening failures are not thrown here:
    // check isOpen(), or call one of the throwing operations.
    explicit Database(const QString &file, int flags = NoFlags, const QString &prefix = QStringLiteral("Database"),
                      const QString &fixedName = {});
    // A connection to a PostgreSQL database (a team library). password, when not empty, is used
    // only for this connection and never written anywhere. Named Team-N unless fixedName is given.
    Database(const PgLocation &location, const QString &password, const QString &fixedName);
    ~Database();
    Database(const Database &) = delete;
    Database &operator=(const Database &) = delete;

    QSqlDatabase db() const;
    Engine engine() const { return m_engine; }
    const QString &name() const { return m_name; }
    bool isOpen() const;
    // Throws StoreError with the Arabic reason when the connection did not open.
    void ensureOpen() const;
    // Runs one statement; throws StoreError with the Arabic reason when it fails.
    void exec(const QString &sql) const;
    // Prepares, binds and runs a statement (forward only); throws StoreError when it fails.
    QSqlQuery query(const QString &sql, const QVariantList &values = {}) const;
    // The raw SQLite handle (for the online backup API); null when not open.
    sqlite3 *handle() const;

    // Marks this connection as an open library's, whose damage is reported as DamagedLibraryError
    // naming that library (and its newest backup); empty for any other database.
    void markAsLibrary(const QString &libraryPath);
    const QString &libraryPath() const { return m_libraryPath; }

private:
    friend class Transaction;
    QString m_name;
    Engine m_engine = Engine::Sqlite;
    QString m_libraryPath;
    mutable int m_transactionDepth = 0;
};

// The one way a write is made atomic, on any connection: BEGIN (IMMEDIATE on SQLite, so a writer
// waits for the lock at the start rather than failing midway), or a savepoint when a Transaction
// is already open on that connection. Undone when it goes out of scope uncommitted, which is what
// an exception passing through does; commit() makes it stand. A COMMIT that fails is rolled back
// and thrown as StoreError: lostAtCommit when a team library's server went away during it (the
// write may or may not have been stored), the SQL failure otherwise.
class Transaction
{
public:
    explicit Transaction(const Database &db);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    void commit();
    // Whether it is a savepoint inside another Transaction on the same connection.
    bool isNested() const { return m_depth > 1; }

private:
    const Database &m_db;
    int m_depth;
    bool m_done = false;
};

// Runs work in a Transaction and commits it.
template <typename Work>
void inTransaction(const Database &db, Work &&work)
{
    Transaction transaction(db);
    work();
    transaction.commit();
}

// Prepares, binds and runs a statement (forward only) on any connection; throws StoreError.
QSqlQuery runQuery(const QSqlDatabase &db, const QString &sql, const QVariantList &values = {});

// Throws StoreError with the Arabic reason of the query's last error; DamagedLibraryError when
// the connection is an open library's and SQLite found it damaged.
[[noreturn]] void throwQueryError(const QSqlQuery &query);
// Throws the StoreError for a failure on the connection db (as throwQueryError does).
[[noreturn]] void throwSqlError(const QSqlError &error, const QSqlDatabase &db);

// QSqlQuery::next() that tells the end of the rows from a failure to read the next one (a
// damaged page): the loop over a damaged table must not end as if the table ended there.
bool nextRow(QSqlQuery &query);

// Whether SQLite reported a damaged file (SQLITE_CORRUPT, SQLITE_NOTADB).
bool isDamage(const QSqlError &error);

// The Arabic text for a failed SQL operation ("database is locked", "disk full", ...).
QString describeSqlError(const QString &driverText);

// A text as a double-quoted SQL identifier.
QString quotedIdentifier(const QString &name);

} // namespace store
