#include "store/TreeColumns.h"

#include "store/Database.h"
#include "store/Library.h"
#include "store/LibraryConnection.h"
#include "store/SqliteStatement.h"

#include <QVariant>
#include <cmath>
#include <sqlite3.h>

namespace store {

namespace {

// Reads through the library's own handle: Qt's variant per value costs more than the read.
class Statement : public SqliteStatement
{
public:
    explicit Statement(const char *sql)
        : SqliteStatement(libraryHandle(), QByteArray(sql))
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

} // namespace

TreeCategories readTreeCategories()
{
    Statement q("SELECT Groub, Caption FROM Groub ORDER BY rowid");
    TreeCategories result;
    while (q.next()) {
        result.ids.push_back(sqlite3_column_int(q.get(), 0));
        result.captions.append(QString::fromUtf8(textOf(q.get(), 1)));
    }
    return result;
}

TreeSnippets readTreeSnippets()
{
    // Counted first (from the smallest index, a few milliseconds) so the arrays grow once.
    qint64 count = 0;
    {
        Statement q("SELECT count(*) FROM Code");
        if (q.next())
            count = sqlite3_column_int64(q.get(), 0);
    }
    TreeSnippets result;
    result.ids.reserve(size_t(count));
    result.groubs.reserve(size_t(count));
    result.flags.reserve(size_t(count));
    result.headEnds.reserve(size_t(count));
    result.heads.reserve(qsizetype(count) * 32);
    Statement q("SELECT id, Head, Groub, User FROM Code");
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
