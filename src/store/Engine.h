#pragma once
#include <QString>

namespace store {

// Which engine holds a library: the codedb.mdb file, or a PostgreSQL database shared by a team.
enum class Engine { Sqlite, Postgres };

// A location naming a PostgreSQL database (libpq's URI form, postgresql:// or postgres://);
// anything else is a file path.
bool isPostgresLocation(const QString &location);

} // namespace store
