#pragma once
// Reading and hand-making package files in the tests, through connections of their own.
#include <QList>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QVariant>

namespace testing {

class SqlFile
{
public:
    explicit SqlFile(const QString &path)
        : m_name(QStringLiteral("sqlfile-%1").arg(++counter()))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        if (!db.open())
            qFatal("cannot open %s", qPrintable(path));
    }
    ~SqlFile()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    bool exec(const QString &sql, const QVariantList &values = {})
    {
        QSqlQuery q(QSqlDatabase::database(m_name, false));
        q.prepare(sql);
        for (const QVariant &v : values)
            q.addBindValue(v);
        const bool ok = q.exec();
        m_lastError = q.lastError().text();
        return ok;
    }
    void mustExec(const QString &sql, const QVariantList &values = {})
    {
        if (!exec(sql, values))
            qFatal("SQL failed: %s: %s", qPrintable(sql), qPrintable(m_lastError));
    }
    QList<QVariantList> rows(const QString &sql)
    {
        QSqlQuery q(QSqlDatabase::database(m_name, false));
        QList<QVariantList> result;
        if (!q.exec(sql))
            qFatal("SQL failed: %s", qPrintable(sql));
        while (q.next()) {
            QVariantList row;
            for (int i = 0; i < q.record().count(); ++i)
                row.append(q.value(i));
            result.append(row);
        }
        return result;
    }
    QVariant value(const QString &sql)
    {
        const auto r = rows(sql);
        return r.isEmpty() ? QVariant() : r.first().value(0);
    }

private:
    static int &counter()
    {
        static int n = 0;
        return n;
    }
    QString m_name;
    QString m_lastError;
};

// A package made by hand, the way a foreign program could write one.
inline void makeRawPackage(const QString &path, const QList<QVariantList> &codeRows, const QVariantList &header,
                           const QStringList &extraSql = {})
{
    SqlFile f(path);
    f.mustExec(QStringLiteral("BEGIN"));
    f.mustExec(QStringLiteral("CREATE TABLE Code (Head TEXT, Code TEXT, Learn TEXT, Groub INTEGER, GroubNam TEXT)"));
    f.mustExec(QStringLiteral("CREATE TABLE User (Name TEXT, Date TEXT, Notes TEXT)"));
    for (const QVariantList &row : codeRows)
        f.mustExec(QStringLiteral("INSERT INTO Code VALUES (?, ?, ?, ?, ?)"), row);
    if (!header.isEmpty())
        f.mustExec(QStringLiteral("INSERT INTO User VALUES (?, ?, ?)"), header);
    for (const QString &sql : extraSql)
        f.mustExec(sql);
    f.mustExec(QStringLiteral("COMMIT"));
}

inline QVariant null() { return QVariant(QMetaType::fromType<QString>()); }

} // namespace testing
