#include "importing/core/Apply.h"

#include "importing/core/ImportWalk.h"
#include "store/Backup.h"
#include "store/Database.h"
#include "store/Library.h"
#include "store/LibraryConnection.h"
#include "store/SqliteStatement.h"

#include <QSqlQuery>

#include <optional>

#include <sqlite3.h>

namespace importing::core {

namespace {

QSqlQuery prepared(const store::Library &library, const QString &sql)
{
    QSqlQuery q(library.database().db());
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        store::throwQueryError(q);
    return q;
}

qint32 runForId(QSqlQuery &q)
{
    if (!q.exec() || !store::nextRow(q))
        store::throwQueryError(q);
    const qint32 id = q.value(0).toInt();
    q.finish();
    return id;
}

// The rows of one apply, inside its transaction; each statement prepared once. On a library file
// the rows go straight to SQLite, without a QVariant per value: an import may bring many.
class LibraryWriter : public detail::Writer
{
public:
    explicit LibraryWriter(store::Library &library)
        : m_library(library)
    {
        if (library.engine() == store::Engine::Sqlite) {
            m_sqlite = store::handleOf(library.database());
            m_rawSnippet.emplace(library.database(), QByteArrayLiteral("INSERT INTO Code (Head, Groub, code, Learn, User) "
                                                                       "VALUES (?, ?, ?, ?, ?)"));
        } else {
            m_snippet = prepared(library, QStringLiteral("INSERT INTO Code (Head, Groub, code, Learn, \"User\") "
                                                         "VALUES (?, ?, ?, ?, ?) RETURNING id"));
        }
        m_category = prepared(library, QStringLiteral("INSERT INTO Groub (Caption) VALUES (?) RETURNING Groub"));
    }

    qint32 addCategory(const QString &name) override
    {
        m_category.bindValue(0, name);
        return runForId(m_category);
    }

    qint32 addSnippet(qint32 category, const detail::CheckedItem &item, bool user) override
    {
        qint32 id = 0;
        if (m_rawSnippet) {
            const QByteArray title = item.title.toUtf8(), code = item.code.toUtf8(), comment = item.comment.toUtf8();
            m_rawSnippet->bindText(1, title);
            m_rawSnippet->bindInt(2, category);
            m_rawSnippet->bindText(3, code);
            if (comment.isEmpty())
                sqlite3_bind_text(m_rawSnippet->get(), 4, "", 0, SQLITE_STATIC); // empty, as the add dialog stores it
            else
                m_rawSnippet->bindText(4, comment);
            m_rawSnippet->bindInt(5, user ? 1 : 0);
            m_rawSnippet->run();
            id = qint32(sqlite3_last_insert_rowid(m_sqlite));
        } else {
            m_snippet.bindValue(0, item.title);
            m_snippet.bindValue(1, category);
            m_snippet.bindValue(2, item.code);
            m_snippet.bindValue(3, item.comment);
            m_snippet.bindValue(4, user);
            id = runForId(m_snippet);
        }
        keepLanguage(id, item.language);
        return id;
    }

    void replaceSnippet(qint32 id, qint32 category, const detail::CheckedItem &item) override
    {
        // Through the library's own edit, so an edit made here is one like any other.
        store::Snippet s;
        s.id = id;
        s.head = item.title;
        s.groub = category;
        s.code = item.code;
        s.learn = item.comment;
        m_library.updateSnippet(s);
        keepLanguage(id, item.language);
    }

private:
    // A source that names no language leaves the snippet's own (Visual Basic for a new one).
    void keepLanguage(qint32 id, const QString &language)
    {
        if (!language.isEmpty())
            m_library.setSnippetLanguage(id, language);
    }

    store::Library &m_library;
    QSqlQuery m_category, m_snippet;
    sqlite3 *m_sqlite = nullptr;
    std::optional<store::SqliteStatement> m_rawSnippet;
};

} // namespace

ImportResult applyImport(store::Library &library, const Source &source, DuplicateChoice choice)
{
    // Refused before the backup: a read-only library is not to be copied for nothing.
    if (library.isReadOnly())
        throw store::StoreError(store::readOnlyLibraryMessage(library.engine()));
    ImportResult result;
    const QString backup = store::keepBackup(library, store::BackupReason::Package);
    library.transaction([&] {
        LibraryWriter writer(library);
        detail::Walk walk(library, choice, &writer);
        source(walk);
        result = walk.result;
    });
    result.backup = backup;
    return result;
}

} // namespace importing::core
