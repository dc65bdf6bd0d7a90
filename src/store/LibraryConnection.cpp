#include "store/LibraryConnection.h"

#include "store/CreateDb.h"
#include "store/Database.h"
#include "store/LanguageTable.h"
#include "store/LibraryCheck.h"
#include "store/PgLibrary.h"
#include "store/PgLocation.h"
#include "store/PgReconnect.h"
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

const QString kConnectionPrefix = QStringLiteral("LibraryConnection");

// Waits for the lock as the connection option would (about three seconds), and first asks the
// start-up check, which may be holding a read lock, to give way.
int waitForLock(void *check, int attempt)
{
    static_cast<LibraryCheck *>(check)->makeWayForWrite();
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
    try {
        const Transaction probe(db); // never committed: rolled back when it goes
        QSqlQuery version(db.db());
        const qlonglong current = version.exec(QStringLiteral("PRAGMA user_version")) && version.next()
                                      ? version.value(0).toLongLong()
                                      : 0;
        version.finish();
        QSqlQuery write(db.db());
        return write.exec(QStringLiteral("PRAGMA user_version = %1").arg(current));
    } catch (const StoreError &) {
        const int code = sqlite3_errcode(db.handle()) & 0xff;
        return code == SQLITE_BUSY || code == SQLITE_LOCKED;
    }
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

// A view (or a virtual table) of that name would take an insert and store nothing.
void requireTable(const Database &db, const QString &table)
{
    QSqlQuery q = db.query(QStringLiteral("SELECT type, sql FROM sqlite_master WHERE name = ? COLLATE NOCASE"),
                           {table});
    if (!nextRow(q))
        return; // requireColumns says the table is missing
    if (q.value(0).toString() != QLatin1String("table")
        || q.value(1).toString().trimmed().startsWith(QLatin1String("CREATE VIRTUAL"), Qt::CaseInsensitive))
        throw StoreError(notATableMessage(table));
}

void requireLibrary(const Database &db)
{
    db.ensureOpen();
    db.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"));
    requireTable(db, QStringLiteral("Groub"));
    requireTable(db, QStringLiteral("Code"));
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

// Libraries made before snippets had languages get the table on their first writable open. Best
// effort: without it every snippet reads as Visual Basic, and setting another language says why.
void addLanguageTable(const Database &db)
{
    try {
        ensureLanguageTable(db);
    } catch (const StoreError &) {
    }
}

} // namespace

LibraryConnection::LibraryConnection(LibraryCheck &check)
    : m_check(check)
{ }

LibraryConnection::~LibraryConnection() { close(); }

std::unique_ptr<Database> LibraryConnection::connectPg(const PgLocation &location)
{
    if (!location.password.isEmpty()) {
        m_uriPassword = location.password;
        m_uriPasswordFor = location.display();
    }
    const QString password = !m_password.isEmpty()                    ? m_password
                             : location.display() == m_uriPasswordFor ? m_uriPassword
                                                                      : QString();
    auto db = std::make_unique<Database>(location, password, QString());
    db->ensureOpen();
    return db;
}

void LibraryConnection::adopt(std::unique_ptr<Database> db, const QString &path, bool readOnly)
{
    db->markAsLibrary(path);
    m_db = std::move(db);
    m_path = path;
    m_readOnly = readOnly;
    ++m_opened;
}

void LibraryConnection::openPg(const QString &location, bool readOnly)
{
    const PgLocation where = parsePgLocation(location);
    auto db = connectPg(where);
    requirePgLibrary(*db);
    if (!readOnly && !pgCanWrite(*db))
        readOnly = true;
    if (!readOnly)
        addLanguageTable(*db);
    // Belt and braces: the server itself then refuses any write of this session.
    if (readOnly)
        db->exec(QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY"));
    else
        followStoredIds(*db);
    adopt(std::move(db), where.display(), readOnly);
}

void LibraryConnection::open(const QString &path, bool readOnly)
{
    close();
    if (isPostgresLocation(path)) {
        openPg(path, readOnly);
        return;
    }
    // The header is checked before SQLite touches the file, so a foreign file is never written.
    requireSqliteHeader(path);
    auto db = std::make_unique<Database>(path, readOnly ? Database::ReadOnly : Database::NoFlags, kConnectionPrefix);
    requireLibrary(*db);
    if (!readOnly && !canWrite(*db)) {
        readOnly = true;
        db.reset();
        db = std::make_unique<Database>(path, Database::ReadOnly, kConnectionPrefix);
        requireLibrary(*db);
    }
    if (!readOnly) {
        addTreeIndex(*db);
        addLanguageTable(*db);
        // A compaction killed half-way leaves its copy, as large as the library, until the next.
        removeStaleCompactionCopy(path);
    }
    if (sqlite3 *handle = db->handle())
        sqlite3_busy_handler(handle, waitForLock, &m_check);
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

Engine LibraryConnection::engine() const { return m_db ? m_db->engine() : Engine::Sqlite; }

void LibraryConnection::create(const QString &path, bool seed)
{
    close();
    if (QFileInfo::exists(path))
        throw StoreError(QStringLiteral("الملف موجود من قبل"));
    try {
        auto db = std::make_unique<Database>(path, Database::NoFlags, kConnectionPrefix);
        if (sqlite3 *handle = db->handle())
            sqlite3_busy_handler(handle, waitForLock, &m_check);
        inTransaction(*db, [&] {
            createLibraryTables(*db);
            if (seed)
                writeStarterLibrary(*db);
        });
        adopt(std::move(db), path, false);
    } catch (const StoreError &) {
        close();
        QFile::remove(path);
        throw;
    }
}

void LibraryConnection::close()
{
    m_check.stop();
    m_db.reset();
    m_path.clear();
    m_readOnly = false;
}

QString readOnlyLibraryMessage(Engine engine)
{
    if (engine == Engine::Postgres)
        return QStringLiteral("مكتبة الفريق مفتوحة للقراءة فقط، فلا يمكن حفظ أي تغيير فيها.\n"
                              "لتعديلها يلزم أن يمنح مدير الخادم هذا المستخدم صلاحية الكتابة في جداول المكتبة.");
    return QStringLiteral("مكتبة الأكواد مفتوحة للقراءة فقط، فلا يمكن حفظ أي تغيير فيها.\n"
                          "لتعديلها يلزم أن يكون الملف ومجلده قابلين للكتابة.");
}

QString notATableMessage(const QString &table)
{
    return QStringLiteral("لن تُفتح هذه المكتبة: %1 فيها ليس جدولاً (بل عرض view أو نحوه)، "
                          "فما يُضاف إليه قد لا يُحفظ.")
        .arg(table);
}

bool LibraryConnection::isOpen() const { return m_db && m_db->isOpen(); }

bool LibraryConnection::isLibraryFile(const QString &path) const
{
    if (engine() == Engine::Postgres || m_path.isEmpty())
        return false;
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return !canonical.isEmpty() && canonical == QFileInfo(m_path).canonicalFilePath();
}

QString LibraryConnection::folder() const
{
    if (engine() == Engine::Postgres)
        return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return QFileInfo(m_path).absolutePath();
}

QSqlDatabase LibraryConnection::database() const { return m_db ? m_db->db() : QSqlDatabase(); }

bool LibraryConnection::isLost() const
{
    return m_db && m_db->engine() == Engine::Postgres && connectionLost(m_db->db().driver());
}

void LibraryConnection::ensureConnected()
{
    if (!isLost())
        return;
    QSqlDatabase db = m_db->db();
    db.close();
    // Opens with the same parameters and the password kept in memory, if any.
    if (!db.open() || connectionLost(db.driver()))
        throw StoreError(lostConnectionMessage());
    QSqlQuery(db).exec(QStringLiteral("SET client_min_messages = warning")); // as Database's own open
    ++m_reconnects;
}

} // namespace store
