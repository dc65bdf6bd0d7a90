#include "store/PgNotify.h"

#include "store/Database.h"
#include "store/LibraryWatcher.h"

namespace store {

void createChangeNotification(const Database &db)
{
    db.exec(QStringLiteral("CREATE FUNCTION librarynotify() RETURNS trigger LANGUAGE plpgsql "
                           "SET search_path = pg_catalog, pg_temp AS $$ BEGIN "
                           "PERFORM pg_notify('%1', TG_TABLE_NAME); RETURN NULL; END $$")
                .arg(QLatin1String(ChangeChannel)));
    for (const char *table : {"Groub", "Code"})
        db.exec(QStringLiteral("CREATE TRIGGER %1_notify AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE ON %2 "
                               "FOR EACH STATEMENT EXECUTE FUNCTION librarynotify()")
                    .arg(QString::fromLatin1(table).toLower(), QLatin1String(table)));
}

} // namespace store
