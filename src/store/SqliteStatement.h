#pragma once
// SQLite statements without Qt's value layer in between, for the readers and writers whose rows
// are too many for a QVariant per value (the tree's columns, package rows).
#include "store/StoreError.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

struct sqlite3;
struct sqlite3_stmt;

namespace store {

class Database;

// The SQLite handle of db; throws StoreError when it is not an open SQLite connection.
sqlite3 *handleOf(const Database &db);
// Throws the StoreError for db's last failure: DamagedLibraryError naming libraryPath when that is
// given (db is an open library's) and SQLite found the file damaged, so a damaged page never
// passes for the end of a table.
[[noreturn]] void throwSqliteError(sqlite3 *db, const QString &libraryPath = {});
// Runs sql (no rows wanted); throws as throwSqliteError.
void execSql(sqlite3 *db, const char *sql);

class SqliteStatement
{
public:
    SqliteStatement(sqlite3 *db, const QByteArray &sql);
    // On a Database's connection; an open library's damage is reported as such.
    SqliteStatement(const Database &db, const QByteArray &sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    // True for a row, false at the end; throws on failure.
    bool step();
    // Steps once, then resets the statement and its bindings for the next run.
    void run();
    // run() for an INSERT of one row: throws when no row was stored (an insert a view or a
    // trigger swallowed), so nothing is counted as added that is not there.
    void runInsert();
    // Makes the statement ready to run again from its first row, its bindings cleared.
    void reset();
    // Binds without copying: the bytes must stay as they are until the statement runs.
    void bindText(int i, const char *data, int size);
    void bindText(int i, const QByteArray &utf8) { bindText(i, utf8.constData(), int(utf8.size())); }
    void bindInt(int i, qint64 n);

    int type(int i) const; // SQLITE_NULL, SQLITE_INTEGER, ...
    qint64 integer(int i) const;
    double real(int i) const;
    // UTF-8 bytes, valid until the next step.
    QByteArray rawText(int i) const;
    QString text(int i) const;
    // The text as UTF-16, read in place: valid until the next step.
    QStringView utf16(int i) const;
    sqlite3_stmt *get() const { return m_stmt; }

private:
    sqlite3 *m_db;
    sqlite3_stmt *m_stmt = nullptr;
    QString m_libraryPath;
};

} // namespace store
