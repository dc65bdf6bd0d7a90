#include "exchange/core/PackagePg.h"

#include "store/Database.h"
#include "store/LanguageTable.h"
#include "languages/Language.h"
#include "store/SqliteStatement.h"

#include <QSqlQuery>

#include <algorithm>

#include <sqlite3.h>

namespace exchange::pg {

namespace {

// Rows to a statement: few round trips, and well under the protocol's 65,535 parameters.
constexpr int RowsPerStatement = 500;

QSqlQuery prepared(const store::Database &library, const QString &sql)
{
    QSqlQuery q(library.db());
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        store::throwQueryError(q);
    return q;
}

void exec(QSqlQuery &q)
{
    if (!q.exec())
        store::throwQueryError(q);
}

QVariant text(const QByteArray &utf8)
{
    return utf8.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(QString::fromUtf8(utf8));
}

std::optional<QString> first(const store::Database &library, const QString &sql, int limit)
{
    QSqlQuery q = prepared(library, sql);
    q.addBindValue(limit);
    exec(q);
    if (!store::nextRow(q))
        return std::nullopt;
    return q.value(0).toString();
}

// The category name a user snippet is packaged with (Null when it has none).
const char *kCategoryName = "CASE WHEN c.Groub IS NOT NULL THEN NULLIF((SELECT g.Caption FROM Groub AS g "
                            "WHERE g.Groub = c.Groub), '') END";

} // namespace

std::optional<QString> overlongTitle(const store::Database &library, int headSize)
{
    return first(library,
                 QStringLiteral("SELECT c.Head FROM Code AS c WHERE c.\"User\" IS TRUE AND length(c.Head) > ? "
                                "ORDER BY c.id LIMIT 1"),
                 headSize);
}

std::optional<QString> overlongCategory(const store::Database &library, int groubNamSize)
{
    return first(library,
                 QStringLiteral("SELECT name FROM (SELECT c.id, %1 AS name FROM Code AS c WHERE c.\"User\" IS TRUE) "
                                "AS s WHERE length(name) > ? ORDER BY id LIMIT 1")
                     .arg(QLatin1String(kCategoryName)),
                 groubNamSize);
}

void copyUserSnippets(const store::Database &library, sqlite3 *package, bool withLanguages)
{
    QSqlQuery rows = prepared(library,
                              QStringLiteral("SELECT NULLIF(c.Head, ''), NULLIF(c.code, ''), NULLIF(c.Learn, ''), "
                                             "c.Groub, %1, %2 FROM Code AS c WHERE c.\"User\" IS TRUE ORDER BY c.id")
                                  .arg(QLatin1String(kCategoryName),
                                       withLanguages ? QStringLiteral("(SELECT l.language FROM snippetlanguage AS l "
                                                                      "WHERE l.id = c.id)")
                                                     : QStringLiteral("NULL")));
    exec(rows);
    store::SqliteStatement insert(package, "INSERT INTO main.Code (Head, Code, Learn, Groub, GroubNam) "
                                           "VALUES (?, ?, ?, ?, ?)");
    store::SqliteStatement language(package, "INSERT INTO main.SnippetLanguage (id, Language) "
                                             "VALUES (last_insert_rowid(), ?)");
    while (store::nextRow(rows)) {
        QByteArray texts[4];
        for (int i : {0, 1, 2, 4}) {
            const QVariant v = rows.value(i);
            texts[i == 4 ? 3 : i] = v.isNull() ? QByteArray() : v.toString().toUtf8();
        }
        insert.bindText(1, texts[0]);
        insert.bindText(2, texts[1]);
        insert.bindText(3, texts[2]);
        if (rows.value(3).isNull())
            sqlite3_bind_null(insert.get(), 4);
        else
            insert.bindInt(4, rows.value(3).toLongLong());
        insert.bindText(5, texts[3]);
        insert.run();
        const QString name = rows.value(5).toString();
        if (!name.isEmpty() && name != languages::VisualBasic) {
            language.bindText(1, name.toUtf8());
            language.run();
        }
    }
}

QHash<QByteArray, qint64> categoriesByName(const store::Database &library)
{
    QHash<QByteArray, qint64> byName;
    QSqlQuery q = prepared(library,
                           QStringLiteral("SELECT Groub, Caption FROM Groub WHERE Caption IS NOT NULL ORDER BY Groub"));
    exec(q);
    while (store::nextRow(q)) {
        const QByteArray name = q.value(1).toString().toUtf8();
        if (!byName.contains(name))
            byName.insert(name, q.value(0).toLongLong());
    }
    return byName;
}

namespace {
const QString kNothingStored = QStringLiteral("لم تُحفظ الصفوف المضافة في المكتبة");
} // namespace

RowWriter::RowWriter(const store::Database &library, int headSize)
    : m_library(library)
    , m_headSize(headSize)
{
    m_values.reserve(RowsPerStatement * 4);
}

qint64 RowWriter::addCategory(const QByteArray &name)
{
    QSqlQuery q = prepared(m_library, QStringLiteral("INSERT INTO Groub (Caption) VALUES (?) RETURNING Groub"));
    q.addBindValue(QString::fromUtf8(name));
    exec(q);
    if (!store::nextRow(q) || q.value(0).isNull())
        throw store::StoreError(kNothingStored);
    return q.value(0).toLongLong();
}

void RowWriter::addSnippet(const QByteArray &head, qint64 groub, const QByteArray &code, const QByteArray &learn,
                           const QByteArray &language)
{
    m_values << text(head) << QVariant(groub) << text(code) << text(learn);
    m_languages << QString::fromUtf8(language); // a copy: the package's row goes
    if (m_values.size() == RowsPerStatement * 4)
        flush();
}

void RowWriter::flush()
{
    if (m_values.isEmpty())
        return;
    // User stays Null: the snippets arrive unmarked. Titles are cut as the title box cuts them.
    const QString row = QStringLiteral("(substr(CAST(? AS text), 1, %1), CAST(? AS integer), CAST(? AS text), "
                                       "CAST(? AS text), NULL)")
                            .arg(m_headSize);
    QStringList rows;
    for (qsizetype i = 0; i < m_values.size() / 4; ++i)
        rows << row;
    QSqlQuery q = prepared(m_library, QStringLiteral("INSERT INTO Code (Head, Groub, code, Learn, \"User\") VALUES ")
                                          + rows.join(QLatin1Char(',')) + QStringLiteral(" RETURNING id"));
    for (const QVariant &v : std::as_const(m_values))
        q.addBindValue(v);
    exec(q);
    // The ids come from the identity in the order the rows went in: ascending is their order.
    QList<qint64> ids;
    while (store::nextRow(q))
        ids.append(q.value(0).toLongLong());
    std::sort(ids.begin(), ids.end());
    // As many ids as rows sent, or some were not stored.
    if (ids.size() != m_languages.size())
        throw store::StoreError(kNothingStored);
    for (qsizetype i = 0; i < ids.size(); ++i) {
        if (m_languages.at(i).isEmpty())
            continue;
        if (!m_languageTable) {
            store::ensureLanguageTable(m_library);
            m_languageTable = true;
        }
        QSqlQuery language = prepared(m_library,
                                      QStringLiteral("INSERT INTO SnippetLanguage (id, Language) VALUES (?, ?)"));
        language.addBindValue(ids.at(i));
        language.addBindValue(m_languages.at(i));
        exec(language);
    }
    m_values.clear();
    m_languages.clear();
}

} // namespace exchange::pg
