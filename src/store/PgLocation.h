#pragma once
// A team library's location: libpq's URI form
//   postgresql://user@host:port/dbname?sslmode=require&connect_timeout=5
// where the host may instead be a socket folder (?host=/run/postgresql). Every query parameter is
// libpq's own and is passed to it as given; sslmode defaults to prefer (TLS when the server offers
// it). A password in the URI is used but never kept in the display form: libpq also reads
// ~/.pgpass, and a caller may give one in memory (LibraryConnection::setPassword).
#include "store/Engine.h"
#include "store/StoreError.h"

#include <QList>
#include <QPair>
#include <QString>

namespace store {

struct PgLocation {
    QString host; // a name, an address, or a socket folder; empty: libpq's default
    int port = -1;
    QString database;
    QString user;
    QString password; // from the URI, if it held one
    QList<QPair<QString, QString>> parameters; // libpq keywords and values, sslmode always among them
    // The URI without the password: for titles, messages, the single-instance key.
    QString display() const;
    // The parameters as QSqlDatabase::setConnectOptions takes them.
    QString connectOptions() const;
};

// Throws StoreError (Arabic) when location is not a usable URI.
PgLocation parsePgLocation(const QString &location);

// A location as any message, log line or title may show it: never with a password, whatever the
// text. A team library's URI that parses is its display(); any other text loses what stands
// between "//user:" and the last "@" before the host, and the value of every password= it holds.
QString locationForDisplay(const QString &location);

} // namespace store
