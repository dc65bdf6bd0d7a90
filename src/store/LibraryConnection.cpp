#include "store/LibraryConnection.h"

#include "store/StarterLibrary.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace store {

namespace {

const QString kConnectionName = QStringLiteral("LibraryConnection");
QString g_path;

QSqlDatabase openSqlite(const QString &connectionName, const QString &path, bool readOnly)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    db.setDatabaseName(path);
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=3000");
    if (readOnly)
        options += QStringLiteral(";QSQLITE_OPEN_READONLY");
    db.setConnectOptions(options);
    db.open();
    return db;
}

QString columnsMissing(QSqlDatabase &db, const QString &table, const QStringList &columns)
{
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(table)))
        return describeSqlError(q.lastError().text());
    QStringList have;
    while (q.next())
        have.append(q.value(1).toString().toLower());
    if (have.isEmpty())
        return QStringLiteral("لا يحتوي على الجدول %1").arg(table);
    for (const QString &column : columns)
        if (!have.contains(column.toLower()))
            return QStringLiteral("الجدول %1 لا يحتوي على الحقل %2").arg(table, column);
    return {};
}

QString checkOpenDatabase(QSqlDatabase &db)
{
    if (!db.isOpen())
        return describeSqlError(db.lastError().text());
    QSqlQuery probe(db);
    if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
        return describeSqlError(probe.lastError().text());
    QString missing = columnsMissing(db, QStringLiteral("Groub"), {QStringLiteral("Groub"), QStringLiteral("Caption")});
    if (missing.isEmpty())
        missing = columnsMissing(db, QStringLiteral("Code"),
                                 {QStringLiteral("id"), QStringLiteral("Head"), QStringLiteral("Groub"),
                                  QStringLiteral("code"), QStringLiteral("Learn"), QStringLiteral("User")});
    return missing;
}

// The tree needs only id, title, category and flag of every snippet: a covering index lets
// it read those without paging through every snippet's code. Best effort: a read-only
// library simply goes without.
void addTreeIndex(QSqlDatabase &db)
{
    QSqlQuery q(db);
    q.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS CodeTreeIndex ON Code (Groub, Head, User)"));
}

QString checkHeader(const QString &path)
{
    QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("الملف غير موجود");
    if (!info.isFile())
        return QStringLiteral("المسار ليس ملفاً");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("لا يمكن قراءة الملف: ") + file.errorString();
    const QByteArray header = file.read(16);
    if (header != QByteArray("SQLite format 3\0", 16))
        return QStringLiteral("الملف ليس قاعدة بيانات مكتبة أكواد");
    return {};
}

} // namespace

QString describeSqlError(const QString &driverText)
{
    const QString lower = driverText.toLower();
    QString reason;
    if (lower.contains(QLatin1String("locked")) || lower.contains(QLatin1String("busy")))
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
    return driverText.trimmed().isEmpty() ? reason : reason + QStringLiteral(" (") + driverText.trimmed() + QLatin1Char(')');
}

QString checkLibraryFile(const QString &path)
{
    QString reason = checkHeader(path);
    if (!reason.isEmpty())
        return reason;
    const QString name = QStringLiteral("LibraryCheck");
    {
        QSqlDatabase db = openSqlite(name, path, true);
        reason = checkOpenDatabase(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return reason;
}

bool LibraryConnection::open(const QString &path, QString *error)
{
    close();
    // The header is checked before SQLite touches the file, so a foreign file is never written.
    QString reason = checkHeader(path);
    if (reason.isEmpty()) {
        QSqlDatabase db = openSqlite(kConnectionName, path, false);
        reason = checkOpenDatabase(db);
        if (reason.isEmpty()) {
            g_path = path;
            addTreeIndex(db);
            return true;
        }
        db.close();
    }
    if (QSqlDatabase::contains(kConnectionName))
        QSqlDatabase::removeDatabase(kConnectionName);
    if (error)
        *error = reason;
    return false;
}

bool LibraryConnection::create(const QString &path, QString *error, bool seed)
{
    close();
    if (QFileInfo::exists(path)) {
        if (error)
            *error = QStringLiteral("الملف موجود من قبل");
        return false;
    }
    QString reason;
    {
        QSqlDatabase db = openSqlite(kConnectionName, path, false);
        if (!db.isOpen()) {
            reason = describeSqlError(db.lastError().text());
        } else {
            QSqlQuery q(db);
            const QStringList statements = {
                QStringLiteral("BEGIN"),
                QStringLiteral("CREATE TABLE Groub (Groub INTEGER PRIMARY KEY AUTOINCREMENT, Caption TEXT)"),
                QStringLiteral("CREATE TABLE Code (id INTEGER PRIMARY KEY AUTOINCREMENT, Head TEXT, "
                               "Groub INTEGER, code TEXT, Learn TEXT, User INTEGER)"),
            };
            for (const QString &sql : statements)
                if (reason.isEmpty() && !q.exec(sql))
                    reason = describeSqlError(q.lastError().text());
            if (reason.isEmpty() && seed)
                reason = writeStarterLibrary(db);
            if (reason.isEmpty())
                addTreeIndex(db);
            if (reason.isEmpty() && !q.exec(QStringLiteral("COMMIT")))
                reason = describeSqlError(q.lastError().text());
        }
        if (reason.isEmpty()) {
            g_path = path;
            return true;
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(kConnectionName);
    QFile::remove(path);
    if (error)
        *error = reason;
    return false;
}

void LibraryConnection::close()
{
    if (!QSqlDatabase::contains(kConnectionName))
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(kConnectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(kConnectionName);
    g_path.clear();
}

bool LibraryConnection::isOpen()
{
    return QSqlDatabase::contains(kConnectionName) && QSqlDatabase::database(kConnectionName, false).isOpen();
}

QString LibraryConnection::path() { return g_path; }

QSqlDatabase LibraryConnection::database() { return QSqlDatabase::database(kConnectionName, false); }

} // namespace store
