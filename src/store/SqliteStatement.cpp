#include "store/SqliteStatement.h"

#include "store/Backup.h"
#include "store/Database.h"

#include <sqlite3.h>

namespace store {

sqlite3 *handleOf(const Database &db)
{
    if (sqlite3 *h = db.handle())
        return h;
    throw StoreError(QStringLiteral("قاعدة البيانات غير مفتوحة"));
}

void throwSqliteError(sqlite3 *db, const QString &libraryPath)
{
    const int code = sqlite3_errcode(db) & 0xff;
    if ((code == SQLITE_CORRUPT || code == SQLITE_NOTADB) && !libraryPath.isEmpty())
        throw DamagedLibraryError(damagedLibraryMessage(libraryPath));
    throw StoreError(describeSqlError(QString::fromUtf8(sqlite3_errmsg(db))));
}

void execSql(sqlite3 *db, const char *sql)
{
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
        throwSqliteError(db);
}

SqliteStatement::SqliteStatement(sqlite3 *db, const QByteArray &sql)
    : m_db(db)
{
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &m_stmt, nullptr) != SQLITE_OK)
        throwSqliteError(db);
}

SqliteStatement::SqliteStatement(const Database &db, const QByteArray &sql)
    : m_db(handleOf(db))
    , m_libraryPath(db.libraryPath())
{
    if (sqlite3_prepare_v2(m_db, sql.constData(), int(sql.size()), &m_stmt, nullptr) != SQLITE_OK)
        throwSqliteError(m_db, m_libraryPath);
}

SqliteStatement::~SqliteStatement() { sqlite3_finalize(m_stmt); }

bool SqliteStatement::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    throwSqliteError(m_db, m_libraryPath);
}

void SqliteStatement::run()
{
    step();
    reset();
}

void SqliteStatement::runInsert()
{
    run();
    if (sqlite3_changes(m_db) != 1)
        throw StoreError(QStringLiteral("لم يُحفظ الصف المضاف في قاعدة البيانات"));
}

void SqliteStatement::reset()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

void SqliteStatement::bindText(int i, const char *data, int size)
{
    if (data && size > 0)
        sqlite3_bind_text(m_stmt, i, data, size, SQLITE_STATIC);
    else
        sqlite3_bind_null(m_stmt, i);
}

void SqliteStatement::bindInt(int i, qint64 n) { sqlite3_bind_int64(m_stmt, i, n); }

int SqliteStatement::type(int i) const { return sqlite3_column_type(m_stmt, i); }

qint64 SqliteStatement::integer(int i) const { return sqlite3_column_int64(m_stmt, i); }

double SqliteStatement::real(int i) const { return sqlite3_column_double(m_stmt, i); }

QByteArray SqliteStatement::rawText(int i) const
{
    const char *data = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, i));
    return QByteArray::fromRawData(data, sqlite3_column_bytes(m_stmt, i));
}

QString SqliteStatement::text(int i) const
{
    const char *data = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, i));
    return QString::fromUtf8(data, sqlite3_column_bytes(m_stmt, i));
}

QStringView SqliteStatement::utf16(int i) const
{
    const void *data = sqlite3_column_text16(m_stmt, i);
    return QStringView(static_cast<const char16_t *>(data), sqlite3_column_bytes16(m_stmt, i) / 2);
}

} // namespace store
