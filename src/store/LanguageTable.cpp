#include "store/LanguageTable.h"

#include "store/Database.h"

#include <QSqlQuery>

namespace store {

namespace {

qint64 count(const Database &db, const QString &sql)
{
    QSqlQuery q = db.query(sql);
    return nextRow(q) ? q.value(0).toLongLong() : 0;
}

bool pgHasTrigger(const Database &db)
{
    return count(db, QStringLiteral("SELECT count(*) FROM pg_catalog.pg_trigger WHERE tgrelid = to_regclass('code') "
                                    "AND tgname = 'code_language'"))
           > 0;
}

bool sqliteHas(const Database &db, const char *type, const char *name)
{
    return count(db, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = '%1' AND lower(name) = '%2'")
                         .arg(QLatin1String(type), QString::fromLatin1(name).toLower()))
           > 0;
}

void ensurePg(const Database &db)
{
    const bool table = hasLanguageTable(db);
    if (table && pgHasTrigger(db))
        return;
    inTransaction(db, [&] {
        db.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS snippetlanguage (id integer PRIMARY KEY, "
                               "language text NOT NULL)"));
        if (!table) {
            // Whoever may write the snippets may write their languages: the grants of Code, copied.
            db.exec(QStringLiteral(
                "DO $$ DECLARE g record; BEGIN "
                "FOR g IN SELECT a.grantee, a.privilege_type FROM pg_catalog.pg_class c, "
                "aclexplode(c.relacl) a WHERE c.oid = to_regclass('code') "
                "AND a.privilege_type IN ('SELECT', 'INSERT', 'UPDATE', 'DELETE') LOOP "
                "IF g.grantee = 0 THEN EXECUTE format('GRANT %s ON snippetlanguage TO PUBLIC', g.privilege_type); "
                "ELSE EXECUTE format('GRANT %s ON snippetlanguage TO %s', g.privilege_type, g.grantee::regrole); "
                "END IF; END LOOP; END $$"));
        }
        // Security definer: a role that may delete snippets need not be granted the table to do it.
        db.exec(QStringLiteral(
            "CREATE OR REPLACE FUNCTION snippetlanguage_forget() RETURNS trigger LANGUAGE plpgsql "
            "SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$ BEGIN "
            "IF TG_OP = 'TRUNCATE' THEN EXECUTE format('DELETE FROM %I.snippetlanguage', TG_TABLE_SCHEMA); "
            "ELSE EXECUTE format('DELETE FROM %I.snippetlanguage WHERE id = $1', TG_TABLE_SCHEMA) USING OLD.id; "
            "END IF; RETURN NULL; END $$"));
        db.exec(QStringLiteral("DROP TRIGGER IF EXISTS code_language ON Code"));
        db.exec(QStringLiteral("DROP TRIGGER IF EXISTS code_language_truncate ON Code"));
        db.exec(QStringLiteral("CREATE TRIGGER code_language AFTER DELETE ON Code FOR EACH ROW "
                               "EXECUTE FUNCTION snippetlanguage_forget()"));
        db.exec(QStringLiteral("CREATE TRIGGER code_language_truncate AFTER TRUNCATE ON Code FOR EACH STATEMENT "
                               "EXECUTE FUNCTION snippetlanguage_forget()"));
        db.exec(
            QStringLiteral("DELETE FROM snippetlanguage l WHERE NOT EXISTS (SELECT 1 FROM Code c WHERE c.id = l.id)"));
    });
}

void ensureSqlite(const Database &db)
{
    const bool table = sqliteHas(db, "table", "SnippetLanguage");
    const bool trigger = sqliteHas(db, "trigger", "SnippetLanguageDelete");
    if (table && trigger)
        return;
    inTransaction(db, [&] {
        db.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS SnippetLanguage (id INTEGER PRIMARY KEY, "
                               "Language TEXT NOT NULL)"));
        // Plain SQL, so it acts for every program that deletes snippets, not only this one.
        db.exec(QStringLiteral("CREATE TRIGGER IF NOT EXISTS SnippetLanguageDelete AFTER DELETE ON Code BEGIN "
                               "DELETE FROM SnippetLanguage WHERE id = OLD.id; END"));
        if (table)
            db.exec(QStringLiteral("DELETE FROM SnippetLanguage WHERE id NOT IN (SELECT id FROM Code)"));
    });
}

} // namespace

bool hasLanguageTable(const Database &db)
{
    if (db.engine() == Engine::Postgres)
        return count(db, QStringLiteral("SELECT CASE WHEN to_regclass('snippetlanguage') IS NULL THEN 0 "
                                        "WHEN has_table_privilege('snippetlanguage', 'SELECT') THEN 1 ELSE 0 END"))
               > 0;
    return sqliteHas(db, "table", "SnippetLanguage");
}

void ensureLanguageTable(const Database &db)
{
    if (db.engine() == Engine::Postgres)
        ensurePg(db);
    else
        ensureSqlite(db);
}

} // namespace store
