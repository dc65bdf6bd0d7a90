#include "importing/core/Apply.h"

#include "importing/core/ImportWalk.h"
#include "store/Backup.h"
#include "store/Database.h"
#include "store/Library.h"
#include "store/LibraryConnection.h"

#include <QSqlQuery>

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

// The rows of one apply, inside its transaction; each statement prepared once.
class LibraryWriter : public detail::Writer
{
public:
    explicit LibraryWriter(store::Library &library)
        : m_library(library)
        , m_category(prepared(library, QStringLiteral("INSERT INTO Groub (Caption) VALUES (?) RETURNING Groub")))
        , m_snippet(prepared(library, QStringLiteral("INSERT INTO Code (Head, Groub, code, Learn, \"User\") "
                                                     "VALUES (?, ?, ?, ?, ?) RETURNING id")))
    {
    }

    qint32 addCategory(const QString &name) override
    {
        m_category.bindValue(0, name);
        return runForId(m_category);
    }

    qint32 addSnippet(qint32 category, const detail::CheckedItem &item, bool user) override
    {
        m_snippet.bindValue(0, item.title);
        m_snippet.bindValue(1, category);
        m_snippet.bindValue(2, item.code);
        m_snippet.bindValue(3, item.comment);
        m_snippet.bindValue(4, user);
        const qint32 id = runForId(m_snippet);
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
    // LANGUAGE: the one place an imported snippet's language is to be stored; the store of this
    // branch keeps no languages yet, so it is not written anywhere.
    void keepLanguage(qint32 id, const QString &language)
    {
        Q_UNUSED(id);
        Q_UNUSED(language);
    }

    store::Library &m_library;
    QSqlQuery m_category, m_snippet;
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
