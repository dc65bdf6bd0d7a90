#include "store/PgLibrary.h"

#include "store/Database.h"
#include "store/LanguageTable.h"
#include "store/LibraryConnection.h"
#include "store/PgNotify.h"

#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

#include <utility>

namespace store {

namespace {

const char *const kSchema[] = {
    "CREATE TABLE Groub (Groub integer GENERATED ALWAYS AS IDENTITY PRIMARY KEY, Caption text)",
    "CREATE TABLE Code (id integer GENERATED ALWAYS AS IDENTITY PRIMARY KEY, Head text, Groub integer, "
    "code text, Learn text, \"User\" boolean)",
    // A category's delete finds its snippets through it.
    "CREATE INDEX code_groub ON Code (Groub)",
    "CREATE SEQUENCE librarychanges",
    // Security definer: a role allowed to write the tables need not be granted the sequence too.
    "CREATE FUNCTION librarychanged() RETURNS trigger LANGUAGE plpgsql SECURITY DEFINER "
    "SET search_path = pg_catalog, pg_temp AS $$ BEGIN "
    "PERFORM nextval(TG_TABLE_SCHEMA || '.librarychanges'); RETURN NULL; END $$",
    "CREATE TRIGGER groub_changed AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON Groub "
    "FOR EACH STATEMENT EXECUTE FUNCTION librarychanged()",
    "CREATE TRIGGER code_changed AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON Code "
    "FOR EACH STATEMENT EXECUTE FUNCTION librarychanged()",
};

} // namespace

namespace {

// The relations found, by lower-case name, and the columns of Groub and Code ("table.column").
struct Relations {
    QSet<QString> tables;
    QSet<QString> plain;
    QSet<QString> columns;
};

Relations readRelations(const Database &db, const QString &which)
{
    QSqlQuery q = db.query(
        QStringLiteral("SELECT c.relname, c.relkind = 'r', a.attname FROM pg_catalog.pg_class c LEFT JOIN "
                       "pg_catalog.pg_attribute a ON a.attrelid = c.oid AND c.relname IN ('groub', 'code') AND "
                       "a.attnum > 0 AND NOT a.attisdropped WHERE %1 AND c.relkind IN ('r', 'p', 'v', 'm', 'f')")
            .arg(which));
    Relations found;
    while (nextRow(q)) {
        const QString table = q.value(0).toString();
        found.tables.insert(table);
        if (q.value(1).toBool())
            found.plain.insert(table);
        if (!q.isNull(2))
            found.columns.insert(table + QLatin1Char('.') + q.value(2).toString().toLower());
    }
    return found;
}

} // namespace

void requirePgLibrary(const Database &db)
{
    // Groub and Code asked for by name, which a new session answers from its caches; the schema is
    // listed whole only when they are not both there, to tell why.
    Relations found = readRelations(db, QStringLiteral("c.oid IN (to_regclass(quote_ident(current_schema()) || "
                                                       "'.groub'), to_regclass(quote_ident(current_schema()) || "
                                                       "'.code'))"));
    if (found.tables.size() < 2)
        found = readRelations(db, QStringLiteral("c.relnamespace = current_schema()::regnamespace"));
    if (found.tables.isEmpty())
        throw EmptyDatabaseError(QStringLiteral("قاعدة البيانات فارغة، ليس فيها جداول مكتبة الأكواد"));
    if (!found.tables.contains(QStringLiteral("groub")) || !found.tables.contains(QStringLiteral("code")))
        throw StoreError(QStringLiteral("قاعدة البيانات تحتوي على جداول أخرى وليست مكتبة أكواد، "
                                        "فلن يُكتب فيها شيء. اختر قاعدة بيانات فارغة أو مكتبة أكواد."));
    // A view, a partitioned or foreign table could take an insert and keep nothing of it here.
    for (const char *table : {"Groub", "Code"})
        if (!found.plain.contains(QString::fromLatin1(table).toLower()))
            throw StoreError(notATableMessage(QString::fromLatin1(table)));
    const struct {
        const char *table;
        QStringList fields;
    } required[] = {
        {"Groub", {QStringLiteral("Groub"), QStringLiteral("Caption")}},
        {"Code",
         {QStringLiteral("id"), QStringLiteral("Head"), QStringLiteral("Groub"), QStringLiteral("code"),
          QStringLiteral("Learn"), QStringLiteral("User")}},
    };
    for (const auto &[table, fields] : required)
        for (const QString &field : fields)
            if (!found.columns.contains(QString::fromLatin1(table).toLower() + QLatin1Char('.') + field.toLower()))
                throw StoreError(QStringLiteral("الجدول %1 لا يحتوي على الحقل %2").arg(QLatin1String(table), field));
}

void createPgSchema(const Database &db)
{
    inTransaction(db, [&db] {
        for (const char *sql : kSchema)
            db.exec(QString::fromUtf8(sql));
        createChangeNotification(db);
        ensureLanguageTable(db);
    });
}

bool pgCanWrite(const Database &db)
{
    QSqlQuery q = db.query(QStringLiteral(
        "SELECT current_setting('transaction_read_only') = 'off' AND has_table_privilege('Groub', 'INSERT') AND has_table_privilege('Groub', 'UPDATE') "
        "AND has_table_privilege('Groub', 'DELETE') AND has_table_privilege('Code', 'INSERT') "
        "AND has_table_privilege('Code', 'UPDATE') AND has_table_privilege('Code', 'DELETE')"));
    return nextRow(q) && q.value(0).toBool();
}

void followStoredIds(const Database &db)
{
    for (const auto &[table, key] : {std::pair{"Groub", "Groub"}, std::pair{"Code", "id"}}) {
        const QVariantList names = {QString::fromLatin1(table).toLower(), QString::fromLatin1(key).toLower()};
        const QString behind = QStringLiteral("SELECT %3 FROM (SELECT pg_get_serial_sequence(?, ?) AS s, "
                                              "(SELECT max(%1) FROM %2) AS m) q WHERE s IS NOT NULL "
                                              "AND m > coalesce(pg_sequence_last_value(s::regclass), 0)")
                                   .arg(QLatin1String(key), QLatin1String(table));
        try {
            // Asked first without a lock: a sequence is almost never behind.
            QSqlQuery q = db.query(behind.arg(QLatin1String("s")), names);
            if (!nextRow(q))
                continue;
            q.finish();
            // An add takes a lock this one conflicts with, so no id is handed out while the
            // sequence moves, and it only ever moves forward.
            inTransaction(db, [&] {
                db.exec(QStringLiteral("LOCK TABLE %1 IN SHARE ROW EXCLUSIVE MODE").arg(QLatin1String(table)));
                db.query(behind.arg(QLatin1String("setval(s::regclass, m)")), names);
            });
        } catch (const StoreError &) {
            // Not this role's to move: the owner's next open does it.
        }
    }
}

void maintainPgLibrary(const Database &db) { db.exec(QStringLiteral("VACUUM (ANALYZE) Groub, Code")); }

qint64 pgChangeCount(const Database &db)
{
    // A role that may only read the tables may lack the sequence's privileges: then nothing tells.
    QSqlQuery q = db.query(QStringLiteral("SELECT CASE WHEN has_sequence_privilege('librarychanges', 'SELECT') "
                                          "THEN coalesce(pg_sequence_last_value('librarychanges'), 0) ELSE -1 END"));
    return nextRow(q) ? q.value(0).toLongLong() : -1;
}

} // namespace store
