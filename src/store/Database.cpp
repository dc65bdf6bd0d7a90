#include "store/Database.h"
#include "store/PgReconnect.h"

#include "store/Backup.h"
#include "store/PgLocation.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

#include <sqlite3.h>

namespace store {

namespace {

QString connectionName(const QString &prefix, const QString &fixedName)
{
    static QAtomicInt counter;
    return fixedName.isEmpty() ? QStringLiteral("%1-%2").arg(prefix).arg(counter.fetchAndAddRelaxed(1)) : fixedName;
}

} // namespace

Database::Database(const QString &file, int flags, const QString &prefix, const QString &fixedName)
    : m_name(connectionName(prefix, fixedName))
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    db.setDatabaseName(file);
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=3000");
    if (flags & ReadOnly)
        options += QStringLiteral(";QSQLITE_OPEN_READONLY");
    if (flags & Uri)
        options += QStringLiteral(";QSQLITE_OPEN_URI");
    db.setConnectOptions(options);
    db.open();
}

Database::Database(const PgLocation &location, const QString &password, const QString &fixedName)
    : m_name(connectionName(QStringLiteral("Team"), fixedName))
    , m_engine(Engine::Postgres)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name);
    if (!location.host.isEmpty())
        db.setHostName(location.host);
    if (location.port >= 0)
        db.setPort(location.port);
    db.setDatabaseName(location.database);
    db.setUserName(location.user);
    const QString secret = location.password.isEmpty() ? password : location.password;
    if (!secret.isEmpty())
        db.setPassword(secret);
    db.setConnectOptions(location.connectOptions());
    // The server's notices (an IF EXISTS that finds nothing) would go to standard error as they are.
    if (db.open())
        QSqlQuery(db).exec(QStringLiteral("SET client_min_messages = warning"));
}

Database::~Database()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

QSqlDatabase Database::db() const { return QSqlDatabase::database(m_name, false); }

bool Database::isOpen() const { return db().isOpen(); }

void Database::ensureOpen() const
{
    const QSqlDatabase d = db();
    if (!d.isOpen())
        throwSqlError(d.lastError(), d);
}

void Database::exec(const QString &sql) const
{
    ensureOpen();
    QSqlQuery q(db());
    if (!q.exec(sql))
        throwSqlError(q.lastError(), db());
}

sqlite3 *Database::handle() const
{
    const QSqlDatabase d = db();
    if (!d.isOpen())
        return nullptr;
    const QVariant h = d.driver()->handle();
    if (!h.isValid() || qstrcmp(h.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(h.constData());
}

namespace {

// Set on the driver of an open library's connection, so a failing query can tell whose it was.
constexpr char kLibraryProperty[] = "tamriskLibraryPath";

QString libraryPathOf(const QSqlDriver *driver)
{
    return driver ? driver->property(kLibraryProperty).toString() : QString();
}

} // namespace

void Database::markAsLibrary(const QString &libraryPath)
{
    m_libraryPath = libraryPath;
    if (QSqlDriver *driver = db().driver())
        driver->setProperty(kLibraryProperty, libraryPath);
}

bool isDamage(const QSqlError &error)
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok) & 0xff;
    if (ok && (code == SQLITE_CORRUPT || code == SQLITE_NOTADB))
        return true;
    const QString text = error.text().toLower();
    return text.contains(QLatin1String("malformed")) || text.contains(QLatin1String("not a database"));
}

void throwSqlError(const QSqlError &error, const QSqlDatabase &db)
{
    const QString library = libraryPathOf(db.driver());
    if (!library.isEmpty() && isDamage(error))
        throw DamagedLibraryError(damagedLibraryMessage(library));
    throw StoreError(describeSqlError(error.text()));
}

void throwQueryError(const QSqlQuery &query)
{
    throwIfConnectionLost(query.driver());
    // Other connections are not the library even when they name its file (compaction reports
    // that itself).
    const QString library = libraryPathOf(query.driver());
    if (!library.isEmpty() && isDamage(query.lastError()))
        throw DamagedLibraryError(damagedLibraryMessage(library));
    throw StoreError(describeSqlError(query.lastError().text()));
}

bool nextRow(QSqlQuery &query)
{
    if (query.next())
        return true;
    if (query.lastError().isValid())
        throwQueryError(query);
    return false;
}

QSqlQuery Database::query(const QString &sql, const QVariantList &values) const
{
    ensureOpen();
    return runQuery(db(), sql, values);
}

// A statement without values is sent as it is: a prepared one costs PostgreSQL two more round trips
// (prepare, deallocate) and a second parse, and it prepares no transaction control or DDL.
QSqlQuery runQuery(const QSqlDatabase &db, const QString &sql, const QVariantList &values)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (values.isEmpty()) {
        if (!q.exec(sql))
            throwSqlError(q.lastError(), db);
        return q;
    }
    if (!q.prepare(sql))
        throwSqlError(q.lastError(), db);
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec())
        throwSqlError(q.lastError(), db);
    return q;
}

namespace {

// Sent unprepared: PostgreSQL does not prepare transaction control.
bool control(const Database &db, const QString &sql, QSqlError *error = nullptr)
{
    QSqlQuery q(db.db());
    if (q.exec(sql))
        return true;
    if (error)
        *error = q.lastError();
    return false;
}

QString savepointName(int depth) { return QStringLiteral("nested_%1").arg(depth); }

} // namespace

Transaction::Transaction(const Database &db)
    : m_db(db)
    , m_depth(db.m_transactionDepth + 1)
{
    const QString sql = isNested()                        ? QStringLiteral("SAVEPOINT ") + savepointName(m_depth)
                        : db.engine() == Engine::Postgres ? QStringLiteral("BEGIN")
                                                          : QStringLiteral("BEGIN IMMEDIATE");
    QSqlError error;
    if (!control(db, sql, &error)) {
        throwIfConnectionLost(db.db().driver());
        throwSqlError(error, db.db());
    }
    db.m_transactionDepth = m_depth;
}

Transaction::~Transaction()
{
    if (m_done)
        return;
    if (isNested()) {
        control(m_db, QStringLiteral("ROLLBACK TO SAVEPOINT ") + savepointName(m_depth));
        control(m_db, QStringLiteral("RELEASE SAVEPOINT ") + savepointName(m_depth));
    } else {
        control(m_db, QStringLiteral("ROLLBACK"));
    }
    m_db.m_transactionDepth = m_depth - 1;
}

void Transaction::commit()
{
    m_done = true;
    m_db.m_transactionDepth = m_depth - 1;
    QSqlError error;
    if (isNested()) {
        if (!control(m_db, QStringLiteral("RELEASE SAVEPOINT ") + savepointName(m_depth), &error)) {
            control(m_db, QStringLiteral("ROLLBACK TO SAVEPOINT ") + savepointName(m_depth));
            control(m_db, QStringLiteral("RELEASE SAVEPOINT ") + savepointName(m_depth));
            throwSqlError(error, m_db.db());
        }
        return;
    }
    if (!control(m_db, QStringLiteral("COMMIT"), &error)) {
        control(m_db, QStringLiteral("ROLLBACK"));
        throwIfConnectionLost(m_db.db().driver(), lostAtCommitMessage());
        throw StoreError(describeSqlError(error.text()));
    }
}

QString describeSqlError(const QString &driverText)
{
    const QString lower = driverText.toLower();
    QString reason;
    if (lower.contains(QLatin1String("server does not support ssl")))
        reason = QStringLiteral("الخادم لا يقبل الاتصال المشفّر (TLS) الذي يطلبه عنوان المكتبة");
    else if (lower.contains(QLatin1String("certificate")) || lower.contains(QLatin1String("ssl")))
        reason = QStringLiteral("تعذر إنشاء اتصال مشفّر (TLS) موثوق بالخادم");
    else if (lower.contains(QLatin1String("password")))
        reason = QStringLiteral("كلمة المرور مفقودة أو غير صحيحة");
    else if (lower.contains(QLatin1String("permission denied")))
        reason = QStringLiteral("ليس لهذا المستخدم صلاحية على قاعدة البيانات");
    else if (lower.contains(QLatin1String("could not connect")) || lower.contains(QLatin1String("connection to server"))
             || lower.contains(QLatin1String("could not translate host"))
             || lower.contains(QLatin1String("timeout expired")))
        reason = QStringLiteral("تعذر الاتصال بخادم قاعدة البيانات");
    else if (lower.contains(QLatin1String("server closed the connection"))
             || lower.contains(QLatin1String("terminating connection"))
             || lower.contains(QLatin1String("no connection")))
        reason = QStringLiteral("انقطع الاتصال بخادم قاعدة البيانات");
    else if (lower.contains(QLatin1String("database")) && lower.contains(QLatin1String("does not exist")))
        reason = QStringLiteral("قاعدة البيانات غير موجودة على الخادم");
    else if (lower.contains(QLatin1String("locked")) || lower.contains(QLatin1String("busy")))
        reason = QStringLiteral("قاعدة البيانات مستخدمة من برنامج آخر");
    else if (lower.contains(QLatin1String("full")))
        reason = QStringLiteral("لا توجد مساحة كافية على القرص");
    else if (lower.contains(QLatin1String("readonly")) || lower.contains(QLatin1String("read-only"))
             || lower.contains(QLatin1String("read only")))
        reason = QStringLiteral("قاعدة البيانات للقراءة فقط");
    else if (lower.contains(QLatin1String("not a database")) || lower.contains(QLatin1String("malformed"))
             || lower.contains(QLatin1String("corrupt")))
        reason = QStringLiteral("ملف قاعدة البيانات تالف أو ليس قاعدة بيانات");
    else if (lower.contains(QLatin1String("unable to open")))
        reason = QStringLiteral("تعذر فتح ملف قاعدة البيانات");
    else
        reason = QStringLiteral("خطأ في قاعدة البيانات");
    return driverText.trimmed().isEmpty() ? reason
                                          : reason + QStringLiteral(" (") + driverText.trimmed() + QLatin1Char(')');
}

QString quotedIdentifier(const QString &name)
{
    QString escaped = name;
    escaped.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

} // namespace store
