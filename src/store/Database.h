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
    // only for this connection and never written anywhere.
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

private:
    QString m_name;
    Engine m_engine = Engine::Sqlite;
};

// Prepares, binds and runs a statement (forward only) on any connection; throws StoreError.
QSqlQuery runQuery(const QSqlDatabase &db, const QString &sql, const QVariantList &values = {});

// Runs work in a savepoint, so it works inside the caller's transaction and on its own alike:
// undone when it throws (and the exception passed on), kept otherwise.
void inSavepoint(const QSqlDatabase &db, const char *name, const std::function<void()> &work);

// Throws StoreError with the Arabic reason of the query's last error; DamagedLibraryError when
// the file behind it is the library and SQLite found it damaged.
[[noreturn]] void throwQueryError(const QSqlQuery &query);
// Throws the StoreError for a failure on the connection to file (as throwQueryError does).
[[noreturn]] void throwSqlError(const QSqlError &error, const QString &file);

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
