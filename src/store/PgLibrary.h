#pragma once
// The library's tables on PostgreSQL.
//
// Spelling of names: on PostgreSQL the tables and fields are created unquoted, so the catalog
// holds them folded to lower case (groub, code, id, head, caption, learn), and SQL written with
// the schema's own spelling (Groub, Head, Learn) finds them on both engines. The one exception is
// the user flag: USER is a reserved word there (unquoted it reads as the current role), so the
// field is created as "User", and every SQL text on either engine writes it "User", quoted.
//
// Ids come from identity columns (GENERATED ALWAYS): a sequence hands them out, so an id is never
// given twice, even after its row is deleted; table order is id order.
//
// Every change to either table bumps the sequence librarychanges (statement triggers calling
// librarychanged()), which tells any connection cheaply whether the tables may have changed.
#include "store/StoreError.h"

namespace store {

class Database;

// Throws EmptyDatabaseError for a database without tables, and StoreError (Arabic) for one that
// holds other tables or a Groub or Code lacking a field.
void requirePgLibrary(const Database &db);
// Gives an empty database the library's tables, in one transaction. Throws StoreError.
void createPgSchema(const Database &db);
// Whether this role may change the library: not a read-only session or server, and allowed to
// insert, update and delete on both tables.
bool pgCanWrite(const Database &db);
// Grows with every committed or attempted change to the tables, by any connection; -1 when this
// role may not read it.
qint64 pgChangeCount(const Database &db);
// Moves the id sequences of both tables past the largest id stored, so rows loaded with their own
// ids (a bulk copy) do not make the next add fail on a taken id. A sequence never goes back, so
// an id is never handed out twice. Best effort: a role that may not move them leaves them.
void followStoredIds(const Database &db);
// The engine's own upkeep in place of compacting a file: VACUUM ANALYZE of both tables, outside
// any transaction. Tables this role does not own are passed over by the server. Throws StoreError.
void maintainPgLibrary(const Database &db);

} // namespace store
