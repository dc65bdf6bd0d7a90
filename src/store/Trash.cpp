// The trash: deleted snippets kept as they were, and the tables it and the history live in.
#include "store/Database.h"
#include "store/Library.h"
#include "store/LanguageTable.h"

#include <QSqlQuery>

namespace store {

namespace {

void run(QSqlQuery &query)
{
    if (!query.exec())
        throwQueryError(query);
}

// The side tables' columns hold whatever the snippet's did: on SQLite they have no type, so a
// value comes back exactly as it went in, whatever its storage class.
const char *const kSqliteTables[] = {
    "CREATE TABLE IF NOT EXISTS Trash (TrashId INTEGER PRIMARY KEY AUTOINCREMENT, id INTEGER NOT NULL, "
    "Head, code, Learn, \"User\", Groub, Caption, Language TEXT NOT NULL DEFAULT '', Deleted INTEGER NOT NULL)",
    "CREATE TABLE IF NOT EXISTS SnippetHistory (VersionId INTEGER PRIMARY KEY AUTOINCREMENT, id INTEGER NOT NULL, "
    "Head, code, Learn, Language TEXT NOT NULL DEFAULT '', Replaced INTEGER NOT NULL)",
    "CREATE INDEX IF NOT EXISTS SnippetHistoryOf ON SnippetHistory (id, VersionId)",
};

const char *const kPgTables[] = {
    "CREATE TABLE IF NOT EXISTS Trash (TrashId bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY, "
    "id integer NOT NULL, Head text, code text, Learn text, \"User\" boolean, Groub integer, Caption text, "
    "Language text NOT NULL DEFAULT '', Deleted bigint NOT NULL)",
    "CREATE TABLE IF NOT EXISTS SnippetHistory (VersionId bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY, "
    "id integer NOT NULL, Head text, code text, Learn text, Language text NOT NULL DEFAULT '', "
    "Replaced bigint NOT NULL)",
    "CREATE INDEX IF NOT EXISTS snippethistory_of ON SnippetHistory (id, VersionId)",
};

qint32 returnedId(QSqlQuery &query)
{
    if (!nextRow(query))
        throw StoreError(QStringLiteral("لم يُعرف رقم الصف المضاف"));
    const qint32 id = query.value(0).toInt();
    query.finish();
    return id;
}

QDateTime fromMs(const QVariant &ms) { return QDateTime::fromMSecsSinceEpoch(ms.toLongLong(), Qt::UTC); }

} // namespace

const Library::SideTables &Library::sideTables()
{
    if (m_sideTables.connection == m_connection.openCount())
        return m_sideTables;
    SideTables found;
    found.connection = m_connection.openCount();
    if (onPostgres()) {
        // A role may see a table and still not be allowed to read or write it.
        QSqlQuery q = prepare(QStringLiteral(
            "SELECT c.relname, has_table_privilege(c.oid, 'SELECT'), has_table_privilege(c.oid, 'SELECT') "
            "AND has_table_privilege(c.oid, 'INSERT') AND has_table_privilege(c.oid, 'UPDATE') "
            "AND has_table_privilege(c.oid, 'DELETE') FROM pg_catalog.pg_class c "
            "WHERE c.relnamespace = current_schema()::regnamespace AND c.relkind IN ('r', 'p') "
            "AND c.relname IN ('trash', 'snippethistory')"));
        run(q);
        while (nextRow(q)) {
            const bool trash = q.value(0).toString() == QLatin1String("trash");
            (trash ? found.trashRead : found.historyRead) = q.value(1).toBool();
            (trash ? found.trashWrite : found.historyWrite) = q.value(2).toBool();
        }
    } else {
        QSqlQuery q = prepare(QStringLiteral("SELECT lower(name) FROM sqlite_master WHERE type = 'table' "
                                             "AND lower(name) IN ('trash', 'snippethistory')"));
        run(q);
        while (nextRow(q)) {
            const bool trash = q.value(0).toString() == QLatin1String("trash");
            (trash ? found.trashRead : found.historyRead) = true;
            (trash ? found.trashWrite : found.historyWrite) = !isReadOnly();
        }
    }
    m_sideTables = found;
    return m_sideTables;
}

void Library::prepareSideTables()
{
    m_sideTables = {};
    if (!isOpen() || isReadOnly())
        return;
    try {
        const SideTables &have = sideTables();
        if (!have.trashRead || !have.historyRead) {
            const Database &db = database();
            inTransaction(db, [&] {
                if (onPostgres())
                    for (const char *sql : kPgTables)
                        db.exec(QString::fromUtf8(sql));
                else
                    for (const char *sql : kSqliteTables)
                        db.exec(QString::fromUtf8(sql));
            });
            m_sideTables = {};
        }
    } catch (const StoreError &) {
        // A team role that may not make tables goes without: its deletes and edits work as before.
        m_sideTables = {};
    }
    try {
        if (sideTables().trashWrite)
            purgeTrash(QDateTime::currentDateTimeUtc().addDays(-TrashDays));
    } catch (const StoreError &) {
        // Busy now: the next start purges them.
    }
}

QString Library::languageOf(const QString &idColumn)
{
    // Once there, the table stays for the connection's life; its absence is looked up each time,
    // since another write (a package's) may make it.
    if (m_languagesSeen != m_connection.openCount()) {
        if (!hasLanguageTable(database()))
            return QStringLiteral("''");
        m_languagesSeen = m_connection.openCount();
    }
    return QStringLiteral("coalesce((SELECT l.Language FROM SnippetLanguage l WHERE l.id = %1), '')").arg(idColumn);
}

// Inside the delete's transaction, before the rows go (the language goes with its snippet).
QString Library::trashInsert(const QString &rows)
{
    return QStringLiteral("INSERT INTO Trash (id, Head, code, Learn, \"User\", Groub, Caption, Language, Deleted) "
                          "SELECT c.id, c.Head, c.code, c.Learn, c.\"User\", c.Groub, "
                          "(SELECT g.Caption FROM Groub g WHERE g.Groub = c.Groub LIMIT 1), %1, CAST(? AS BIGINT) "
                          "FROM %2")
        .arg(languageOf(QStringLiteral("c.id")), rows);
}

void Library::keepInTrash(const QString &condition, qint32 value)
{
    if (!sideTables().trashWrite)
        return;
    runWith(trashInsert(QStringLiteral("Code c WHERE c.%1 ORDER BY %2")
                            .arg(condition, onPostgres() ? QStringLiteral("c.id") : QStringLiteral("c.rowid"))),
            {QDateTime::currentMSecsSinceEpoch(), value});
}

QList<TrashItem> Library::trashItems()
{
    QList<TrashItem> items;
    if (!sideTables().trashRead)
        return items;
    QSqlQuery q = prepare(QStringLiteral("SELECT TrashId, id, Head, code, Learn, \"User\", Groub, Caption, Language, "
                                         "Deleted FROM Trash ORDER BY Deleted DESC, TrashId DESC"));
    run(q);
    while (nextRow(q)) {
        TrashItem item;
        item.trashId = q.value(0).toLongLong();
        item.id = q.value(1).toInt();
        item.head = q.value(2);
        item.code = q.value(3);
        item.learn = q.value(4);
        item.user = q.value(5);
        item.groub = q.value(6);
        item.caption = q.value(7);
        item.language = q.value(8).toString();
        item.deleted = fromMs(q.value(9));
        items.append(std::move(item));
    }
    return items;
}

std::optional<qint32> Library::restoreFromTrash(qint64 trashId)
{
    std::optional<qint32> restored;
    transaction([&] {
        if (!sideTables().trashWrite)
            return;
        QSqlQuery item = prepare(QStringLiteral("SELECT id, Groub, Caption, Language FROM Trash WHERE TrashId = ?"));
        item.addBindValue(trashId);
        run(item);
        if (!nextRow(item))
            return;
        const qint32 oldId = item.value(0).toInt();
        const QVariant groub = item.value(1);
        const QVariant caption = item.value(2);
        const QString language = item.value(3).toString();
        item.finish();

        const auto count = [this](const QString &sql, const QVariant &value) {
            QSqlQuery q = prepare(sql);
            q.addBindValue(value);
            run(q);
            return nextRow(q) ? q.value(0).toLongLong() : 0;
        };
        const QString overriding = onPostgres() ? QStringLiteral(" OVERRIDING SYSTEM VALUE") : QString();

        // The category: unset keeps the stored value (its own category, or none it could be given).
        std::optional<qint32> category;
        bool keepsOwn = false;
        bool knownId = false;
        const qint32 groubId = groub.isNull() ? 0 : groub.toInt(&knownId);
        if (knownId) {
            QSqlQuery own = prepare(QStringLiteral("SELECT Caption FROM Groub WHERE Groub = ?"));
            own.addBindValue(groubId);
            run(own);
            if (nextRow(own)) {
                const QVariant now = own.value(0);
                keepsOwn = now.isNull() ? caption.isNull() : !caption.isNull() && now.toString() == caption.toString();
            }
            own.finish();
        }
        if (!keepsOwn && !caption.isNull()) {
            QSqlQuery named = prepare(
                QStringLiteral("SELECT Groub FROM Groub WHERE Caption = ? ORDER BY %1 LIMIT 1").arg(rowOrder("Groub")));
            named.addBindValue(caption);
            run(named);
            if (nextRow(named)) {
                category = named.value(0).toInt();
            } else if (knownId && count(QStringLiteral("SELECT count(*) FROM Groub WHERE Groub = ?"), groubId) == 0) {
                QSqlQuery make = prepare(
                    QStringLiteral("INSERT INTO Groub (Groub, Caption)%1 SELECT CAST(? AS INTEGER), "
                                   "Caption FROM Trash WHERE TrashId = ? RETURNING Groub")
                        .arg(overriding));
                make.addBindValue(groubId);
                make.addBindValue(trashId);
                run(make);
                category = returnedId(make);
            } else {
                QSqlQuery make = prepare(QStringLiteral(
                    "INSERT INTO Groub (Caption) SELECT Caption FROM Trash WHERE TrashId = ? RETURNING Groub"));
                make.addBindValue(trashId);
                run(make);
                category = returnedId(make);
            }
            named.finish();
        }

        const bool idFree = count(QStringLiteral("SELECT count(*) FROM Code WHERE id = ?"), oldId) == 0;
        const QString groubValue = category ? QStringLiteral("CAST(? AS INTEGER)") : QStringLiteral("Groub");
        QSqlQuery insert = prepare(
            idFree ? QStringLiteral("INSERT INTO Code (id, Head, Groub, code, Learn, \"User\")%1 SELECT id, Head, %2, "
                                    "code, Learn, \"User\" FROM Trash WHERE TrashId = ? RETURNING id")
                         .arg(overriding, groubValue)
                   : QStringLiteral("INSERT INTO Code (Head, Groub, code, Learn, \"User\") SELECT Head, %1, code, "
                                    "Learn, \"User\" FROM Trash WHERE TrashId = ? RETURNING id")
                         .arg(groubValue));
        if (category)
            insert.addBindValue(*category);
        insert.addBindValue(trashId);
        run(insert);
        const qint32 id = returnedId(insert);

        if (!language.isEmpty())
            setSnippetLanguage(id, language);
        QSqlQuery drop = prepare(QStringLiteral("DELETE FROM Trash WHERE TrashId = ?"));
        drop.addBindValue(trashId);
        run(drop);
        restored = id;
    });
    return restored;
}

// The history of snippets that are neither in the library nor in the trash can never come back.
void Library::dropUnkeptHistory()
{
    if (!sideTables().historyWrite || !sideTables().trashRead)
        return;
    QSqlQuery q = prepare(
        QStringLiteral("DELETE FROM SnippetHistory WHERE NOT EXISTS (SELECT 1 FROM Code c WHERE c.id = "
                       "SnippetHistory.id) AND NOT EXISTS (SELECT 1 FROM Trash t WHERE t.id = SnippetHistory.id)"));
    run(q);
}

bool Library::deleteFromTrash(qint64 trashId)
{
    bool deleted = false;
    transaction([&] {
        if (!sideTables().trashWrite)
            return;
        QSqlQuery q = prepare(QStringLiteral("DELETE FROM Trash WHERE TrashId = ?"));
        q.addBindValue(trashId);
        run(q);
        deleted = q.numRowsAffected() > 0;
        dropUnkeptHistory();
    });
    return deleted;
}

int Library::emptyTrash()
{
    int deleted = 0;
    transaction([&] {
        if (!sideTables().trashWrite)
            return;
        QSqlQuery q = prepare(QStringLiteral("DELETE FROM Trash"));
        run(q);
        deleted = q.numRowsAffected();
        dropUnkeptHistory();
    });
    return deleted;
}

int Library::purgeTrash(const QDateTime &olderThan)
{
    if (!sideTables().trashRead)
        return 0;
    const qint64 limit = olderThan.toMSecsSinceEpoch();
    // Most opens find nothing to purge, and then write nothing.
    QSqlQuery old = prepare(QStringLiteral("SELECT count(*) FROM Trash WHERE Deleted < ?"));
    old.addBindValue(limit);
    run(old);
    if (!nextRow(old) || old.value(0).toLongLong() == 0)
        return 0;
    old.finish();
    int deleted = 0;
    transaction([&] {
        if (!sideTables().trashWrite)
            return;
        QSqlQuery q = prepare(QStringLiteral("DELETE FROM Trash WHERE Deleted < ?"));
        q.addBindValue(limit);
        run(q);
        deleted = q.numRowsAffected();
        dropUnkeptHistory();
    });
    return deleted;
}

} // namespace store
