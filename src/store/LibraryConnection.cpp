#include "store/LibraryConnection.h"

#include "store/Database.h"
#include "store/LibraryCheck.h"
#include "store/PgLibrary.h"
#include "store/PgLocation.h"
#include "store/SearchIndex.h"
#include "store/StarterLibrary.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>

#include <memory>

#include <sqlite3.h>

namespace store {

namespace {

const QString kConnectionName = QStringLiteral("LibraryConnection");
// Not a static object with a destructor: Qt's connection registry may be gone by the time such
// destructors run at exit. close() releases it; a program that exits without closing loses nothing,
// since every write has been committed.
Database *g_library = nullptr;
QString g_path;
qint64 g_opened = 0;
bool g_readOnly = false;
QString g_password;
// A password that came in a URI, for reopening that library (path() drops it); never written.
QString g_uriPassword, g_uriPasswordFor;

// Waits for the lock as the connection option would (about three seconds), and first asks the
// start-up check, which may be holding a read lock, to give way.
int waitForLock(void *, int attempt)
{
    LibraryCheck::makeWayForWrite();
    if (attempt >= 300)
        return 0;
    sqlite3_sleep(10);
    return 1;
}

// Tries a write and rolls it back: setting the user version to what it is makes SQLite write the
// first page, so the journal must be created beside the file. Busy means another writer, not a
// read-only file.
bool canWrite(const Database &db)
{
    QSqlQuery begin(db.db());
    if (!begin.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        const int code = begin.lastError().nativeErrorCode().toInt() & 0xff;
        return code == 5 || code == 6; // SQLITE_BUSY, SQLITE_LOCKED
    }
    QSqlQuery version(db.db());
    const qlonglong current = version.exec(QStringLiteral("PRAGMA user_version")) && version.next()
                                  ? version.value(0).toLongLong()
                                  : 0;
    version.finish();
    QSqlQuery write(db.db());
    const bool ok = write.exec(QStringLiteral("PRAGMA user_version = %1").arg(current));
    QSqlQuery(db.db()).exec(QStringLiteral("ROLLBACK"));
    return ok;
}

void requireColumns(const Database &db, const QString &table, const QStringList &columns)
{
    QSqlQuery q(db.db());
    if (!q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(quotedIdentifier(table))))
        throwQueryError(q);
    QStringList have;
    while (q.next())
        have.append(q.value(1).toString().toLower());
    if (have.isEmpty())
        throw StoreError(QStringLiteral("لا يحتوي على الجدول %1").arg(table));
    for (const QString &column : columns)
        if (!have.contains(column.toLower()))
            throw StoreError(QStringLiteral("الجدول %1 لا يحتوي على الحقل %2").arg(table, column));
}

void requireLibrary(const Database &db)
{
    db.ensureOpen();
    db.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"));
    requireColumns(db, QStringLiteral("Groub"), {QStringLiteral("Groub"), QStringLiteral("Caption")});
    requireColumns(db, QStringLiteral("Code"),
                   {QStringLiteral("id"), QStringLiteral("Head"), QStringLiteral("Groub"), QStringLiteral("code"),
                    QStringLiteral("Learn"), QStringLiteral("User")});
}

void requireSqliteHeader(const QString &path)
{
    QFileInfo info(path);
    if (!info.exists())
        throw StoreError(QStringLiteral("الملف غير موجود"));
    if (!info.isFile())
        throw StoreError(QStringLiteral("المسار ليس ملفاً"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw StoreError(QStringLiteral("لا يمكن قراءة الملف: ") + file.errorString());
    if (file.read(16) != QByteArray("SQLite format 3\0", 16))
        throw StoreError(QStringLiteral("الملف ليس قاعدة بيانات مكتبة أكواد"));
}

std::unique_ptr<Database> connectPg(const PgLocation &location)
{
    if (!location.password.isEmpty()) {
        g_uriPassword = location.password;
        g_uriPasswordFor = location.display();
    }
    const QString password = !g_password.isEmpty()                    ? g_password
                             : location.display() == g_uriPasswordFor ? g_uriPassword
                                                                      : QString();
    auto db = std::make_unique<Database>(location, password, kConnectionName);
    db->ensureOpen();
    return db;
}

void adopt(std::unique_ptr<Database> db, const QString &path, bool readOnly)
{
    g_library = db.release();
    g_path = path;
    g_readOnly = readOnly;
    ++g_opened;
    // Best effort: a library whose index cannot be kept (read-only) is searched by scanning.
    SearchIndex::attach(*g_library);
}

void openPg(const QString &location, bool readOnly)
{
    const PgLocation where = parsePgLocation(location);
    auto db = connectPg(where);
    requirePgLibrary(*db);
    if (!readOnly && !pgCanWrite(*db))
        readOnly = true;
    // Belt and braces: the server itself then refuses any write of this session.
    if (readOnly)
        db->exec(QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY"));
    adopt(std::move(db), where.display(), readOnly);
}

} // namespace

void LibraryConnection::open(const QString &path, bool readOnly)
{
    close();
    if (isPostgresLocation(path)) {
        openPg(path, readOnly);
        return;
    }
    // The header is checked before SQLite touches the file, so a foreign file is never written.
    requireSqliteHeader(path);
    auto db = std::make_unique<Database>(path, readOnly ? Database::ReadOnly : Database::NoFlags, QString(),
                                         kConnectionName);
    requireLibrary(*db);
    if (!readOnly && !canWrite(*db)) {
        readOnly = true;
        db.reset();
        db = std::make_unique<Database>(path, Database::ReadOnly, QString(), kConnectionName);
        requireLibrary(*db);
    }
    if (!readOnly)
        addTreeIndex(*db);
    if (sqlite3 *handle = db->handle())
        sqlite3_busy_handler(handle, waitForLock, nullptr);
    adopt(std::move(db), path, readOnly);
}

void LibraryConnection::createSchema(const QString &location)
{
    close();
    const PgLocation where = parsePgLocation(location);
    auto db = connectPg(where);
    try {
        requirePgLibrary(*db);
        throw StoreError(QStringLiteral("قاعدة البيانات ليست فارغة"));
    } catch (const EmptyDatabaseError &) { }
    createPgSchema(*db);
    db.reset();
    openPg(location, false);
}

void LibraryConnection::setPassword(const QString &password) { g_password = password; }

Engine LibraryConnection::engine() { return g_library ? g_library->engine() : Engine::Sqlite; }

void LibraryConnection::create(const QString &path, bool seed)
{
    close();
    if (QFileInfo::exists(path))
        throw StoreError(QStringLiteral("الملف موجود من قبل"));
    try {
        auto db = std::make_unique<Database>(path, Database::NoFlags, QString(), kConnectionName);
        if (sqlite3 *handle = db->handle())
            sqlite3_busy_handler(handle, waitForLock, nullptr);
        db->exec(QStringLiteral("BEGIN"));
        createLibraryTables(*db);
        if (seed)
            writeStarterLibrary(*db);
        db->exec(QStringLiteral("COMMIT"));
        g_library = db.release();
        g_path = path;
        g_readOnly = false;
        ++g_opened;
        SearchIndex::attach(*g_library);
        if (SearchIndex::status() == SearchIndex::Status::Building)
            SearchIndex::buildAll(); // the starter snippets only
    } catch (const StoreError &) {
        close();
        QFile::remove(path);
        throw;
    }
}

void LibraryConnection::close()
{
    LibraryCheck::stop();
    SearchIndex::detach();
    delete g_library;
    g_library = nullptr;
    g_path.clear();
    g_readOnly = false;
}

bool LibraryConnection::isReadOnly() { return g_library && g_readOnly; }

const Database *LibraryConnection::connection() { return g_library; }

QString readOnlyLibraryMessage()
{
    if (LibraryConnection::engine() == Engine::Postgres)
        return QStringLiteral("مكتبة الفريق مفتوحة للقراءة فقط، فلا يمكن حفظ أي تغيير فيها.\n"
                              "لتعديلها يلزم أن يمنح مدير الخادم هذا المستخدم صلاحية الكتابة في جداول المكتبة.");
    return QStringLiteral("مكتبة الأكواد مفتوحة للقراءة فقط، فلا يمكن حفظ أي تغيير فيها.\n"
                          "لتعديلها يلزم أن يكون الملف ومجلده قابلين للكتابة.");
}

bool LibraryConnection::isOpen() { return g_library && g_library->isOpen(); }

QString LibraryConnection::path() { return g_path; }

bool LibraryConnection::isLibraryFile(const QString &path)
{
    if (engine() == Engine::Postgres || g_path.isEmpty())
        return false;
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(g_path).canonicalFilePath();
}

QString LibraryConnection::folder()
{
    if (engine() == Engine::Postgres)
        return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return QFileInfo(g_path).absolutePath();
}

qint64 LibraryConnection::openCount() { return g_opened; }

QSqlDatabase LibraryConnection::database() { return QSqlDatabase::database(kConnectionName, false); }

void withLibraryReopened(const std::function<void()> &work)
{
    const QString path = LibraryConnection::path();
    const bool readOnly = LibraryConnection::isReadOnly();
    if (path.isEmpty())
        throw StoreError(QStringLiteral("قاعدة البيانات غير مفتوحة"));
    QString failure;
    try {
        work();
    } catch (const StoreError &e) {
        failure = e.message();
    }
    if (!LibraryConnection::isOpen()) {
        try {
            LibraryConnection::open(path, readOnly);
        } catch (const StoreError &e) {
            failure += (failure.isEmpty() ? QString() : QStringLiteral("\r\n"))
                       + QStringLiteral("تعذر إعادة فتح قاعدة البيانات: ") + e.message();
        }
    }
    if (!failure.isEmpty())
        throw StoreError(failure);
}

} // namespace store
