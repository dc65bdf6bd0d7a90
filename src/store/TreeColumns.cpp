#include "store/TreeColumns.h"

#include "store/Database.h"
#include "store/Library.h"
#include "store/SqliteStatement.h"

#include <QSqlQuery>
#include <QVariant>
#include <cmath>
#include <sqlite3.h>

namespace store {

namespace {

// Reads through the library's own handle: Qt's variant per value costs more than the read.
class Statement : public SqliteStatement
{
public:
    Statement(const Database &db, const char *sql)
        : SqliteStatement(db, QByteArray(sql))
    { }
    bool next() { return step(); }
};

QByteArrayView textOf(sqlite3_stmt *s, int column)
{
    const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(s, column));
    return text ? QByteArrayView(text, sqlite3_column_bytes(s, column)) : QByteArrayView();
}

// A category reference as the typed readers take it: integers, numeric text, rounded reals.
bool groubOf(sqlite3_stmt *s, int column, qint64 *id)
{
    switch (sqlite3_column_type(s, column)) {
    case SQLITE_INTEGER:
        *id = sqlite3_column_int64(s, column);
        return true;
    case SQLITE_FLOAT: {
        const double value = sqlite3_column_double(s, column);
        if (!std::isfinite(value))
            return false;
        *id = qint64(std::llround(value));
        return true;
    }
    case SQLITE_TEXT: {
        bool ok = false;
        *id = textOf(s, column).trimmed().toLongLong(&ok);
        return ok;
    }
    default:
        return false;
    }
}

// The same rule as isTrue: Null is not true, text "true" or a non-zero number is.
bool userOf(sqlite3_stmt *s, int column)
{
    switch (sqlite3_column_type(s, column)) {
    case SQLITE_INTEGER:
        return sqlite3_column_int64(s, column) != 0;
    case SQLITE_FLOAT:
        return sqlite3_column_double(s, column) != 0;
    case SQLITE_TEXT:
        return isTrue(QString::fromUtf8(textOf(s, column)));
    default:
        return false;
    }
}

// A team library's columns come through Qt's driver: the server's round trip, not the per-value
// variant, is what a read of them costs there.
QSqlQuery pgQuery(const Database &db, const char *sql) { return db.query(QString::fromLatin1(sql)); }

TreeCategories readPgTreeCategories(const Database &db)
{
    QSqlQuery q = pgQuery(db, "SELECT Groub, Caption FROM Groub ORDER BY Groub");
    TreeCategories result;
    while (nextRow(q)) {
        result.ids.push_back(q.value(0).toInt());
        result.captions.append(q.value(1).toString());
    }
    return result;
}

TreeSnippets readPgTreeSnippets(const Database &db)
{
    QSqlQuery q = pgQuery(db, "SELECT id, Head, Groub, \"User\" FROM Code");
    TreeSnippets result;
    while (nextRow(q)) {
        const QVariant groub = q.value(2);
        quint8 flags = groub.isNull() ? TreeSnippets::NoCategory : 0;
        if (isTrue(q.value(3)))
            flags |= TreeSnippets::User;
        result.ids.push_back(q.value(0).toInt());
        result.groubs.push_back(groub.toLongLong());
        result.flags.push_back(flags);
        result.heads.append(q.value(1).toString().toUtf8());
        result.headEnds.push_back(quint32(result.heads.size()));
    }
    return result;
}

} // namespace

TreeCategories readTreeCategories(const Library &library)
{
    const Database &db = library.database();
    if (db.engine() == Engine::Postgres)
        return readPgTreeCategories(db);
    Statement q(db, "SELECT Groub, Caption FROM Groub ORDER BY rowid");
    TreeCategories result;
    while (q.next()) {
        result.ids.push_back(sqlite3_column_int(q.get(), 0));
        result.captions.append(QString::fromUtf8(textOf(q.get(), 1)));
    }
    return result;
}

TreeSnippets readTreeSnippets(const Library &library)
{
    const Database &db = library.database();
    if (db.engine() == Engine::Postgres)
        return readPgTreeSnippets(db);
    // Counted first (from the smallest index, a few milliseconds) so the arrays grow once.
    qint64 count = 0;
    {
        Statement q(db, "SELECT count(*) FROM Code");
        if (q.next())
            count = sqlite3_column_int64(q.get(), 0);
    }
    TreeSnippets result;
    result.ids.reserve(size_t(count));
    result.groubs.reserve(size_t(count));
    result.flags.reserve(size_t(count));
    result.headEnds.reserve(size_t(count));
    result.heads.reserve(qsizetype(count) * 32);
    Statement q(db, "SELECT id, Head, Groub, User FROM Code");
    sqlite3_stmt *s = q.get();
    while (q.next()) {
        qint64 groub = 0;
        quint8 flags = groubOf(s, 2, &groub) ? 0 : TreeSnippets::NoCategory;
        if (userOf(s, 3))
            flags |= TreeSnippets::User;
        result.ids.push_back(qint32(sqlite3_column_int64(s, 0)));
        result.groubs.push_back(groub);
        result.flags.push_back(flags);
        result.heads.append(textOf(s, 1));
        result.headEnds.push_back(quint32(result.heads.size()));
    }
    return result;
}

const QCollator &treeCollator()
{
    static const QCollator c = [] {
        QCollator c(QLocale(QLocale::Arabic));
        c.setCaseSensitivity(Qt::CaseInsensitive);
        c.setNumericMode(true);
        return c;
    }();
    return c;
}

} // namespace store
