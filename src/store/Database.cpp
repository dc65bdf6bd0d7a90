#include "store/Database.h"

#include <QAtomicInt>
#include <QSqlError>
#include <QSqlQuery>

namespace store {

Database::Database(const QString &file, int flags, const QString &prefix, const QString &fixedName)
{
    static QAtomicInt counter;
    m_name = fixedName.isEmpty() ? QStringLiteral("%1-%2").arg(prefix).arg(counter.fetchAndAddRelaxed(1)) : fixedName;
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
        throw StoreError(describeSqlError(d.lastError().text()));
}

void Database::exec(const QString &sql) const
{
    ensureOpen();
    QSqlQuery q(db());
    if (!q.exec(sql))
        throwQueryError(q);
}

void throwQueryError(const QSqlQuery &query) { throw StoreError(describeSqlError(query.lastError().text())); }

QSqlQuery Database::query(const QString &sql, const QVariantList &values) const
{
    ensureOpen();
    return runQuery(db(), sql, values);
}

QSqlQuery runQuery(const QSqlDatabase &db, const QString &sql, const QVariantList &values)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        throwQueryError(q);
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec())
        throwQueryError(q);
    return q;
}

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
