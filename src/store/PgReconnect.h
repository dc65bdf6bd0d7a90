#pragma once
// A team library whose server went away: the operation that finds it out fails with one Arabic
// message, and the next one (or LibraryWatcher's timer) connects again once the server is back.
// The server rolls back whatever transaction the lost session had open, so nothing half-written
// remains.
#include <QString>

class QSqlDriver;

namespace store {

// Said when the server of a team library cannot be reached.
QString lostConnectionMessage();
// Said when it went away during COMMIT: the server may have stored the write or not, and a retry
// could store it twice.
QString lostAtCommitMessage();

// Whether the library is a team library whose connection is lost (known without asking the server).
bool libraryConnectionLost();
// Connects the library again when its connection was lost; throws StoreError with
// lostConnectionMessage() while the server stays away. Nothing for a file or a live connection.
void ensureLibraryConnected();
// Grows with every reconnection, so listeners can subscribe anew and read what they missed.
qint64 libraryReconnects();

// Throws StoreError with lostConnectionMessage() when driver is a PostgreSQL connection that is
// lost; for the failure paths, so a dead server is reported as such and not as a SQL error.
void throwIfConnectionLost(const QSqlDriver *driver, const QString &message = lostConnectionMessage());

} // namespace store
