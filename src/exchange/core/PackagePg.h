#pragma once
// The package work whose library side is a team library on PostgreSQL: the package stays a
// SQLite file; only the reading of the user's snippets and the writing of applied rows go
// through the team library's connection, with bound values only.
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QVariant>

#include <optional>

struct sqlite3;

namespace store {
class Database;
}

namespace exchange::pg {

// The first user snippet's title longer than headSize characters, and likewise the first
// category name of a user snippet longer than groubNamSize.
// Each reads library, a team library's connection.
std::optional<QString> overlongTitle(const store::Database &library, int headSize);
std::optional<QString> overlongCategory(const store::Database &library, int groubNamSize);

// Copies the user snippets, in table order, into the package's empty main.Code, and with
// withLanguages their languages into main.SnippetLanguage.
void copyUserSnippets(const store::Database &library, sqlite3 *package, bool withLanguages);

// The library's categories by exact name; of two with one name the first in table order.
QHash<QByteArray, qint64> categoriesByName(const store::Database &library);

// Adds rows to the team library inside the caller's transaction, many to a statement.
class RowWriter
{
public:
    RowWriter(const store::Database &library, int headSize);
    // The number the library gives the new category.
    qint64 addCategory(const QByteArray &name);
    // Texts as UTF-8, empty meaning Null; an empty language is Visual Basic (no row).
    void addSnippet(const QByteArray &head, qint64 groub, const QByteArray &code, const QByteArray &learn,
                    const QByteArray &language = {});
    // Writes what is still held; call before the transaction commits.
    void flush();

private:
    const store::Database &m_library;
    int m_headSize;
    QList<QVariant> m_values; // four per snippet
    QList<QString> m_languages; // one per snippet
    bool m_languageTable = false;
};

} // namespace exchange::pg
