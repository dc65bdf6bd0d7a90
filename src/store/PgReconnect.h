#pragma once
// What a team library says when its server went away (LibraryConnection::ensureConnected
// connects again once it is back).
#include <QString>

class QSqlDriver;

namespace store {

// Said when the server of a team library cannot be reached.
QString lostConnectionMessage();
// Said when it went away during COMMIT: the server may have stored the write or not, and a retry
// could store it twice.
QString lostAtCommitMessage();

// Whether driver is a PostgreSQL connection that is lost (known without asking the server).
bool connectionLost(const QSqlDriver *driver);

// Throws StoreError with message when driver is a PostgreSQL connection that is lost; for the
// failure paths, so a dead server is reported as such and not as a SQL error.
void throwIfConnectionLost(const QSqlDriver *driver, const QString &message = lostConnectionMessage());

} // namespace store
