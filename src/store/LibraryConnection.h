#pragma once
// The one program-wide connection to the library file (codedb.mdb, a SQLite database).
#include "store/StoreError.h"

#include <QSqlDatabase>
#include <QString>

namespace store {

class LibraryConnection
{
public:
    // Opens an existing library after checking that it is one. Nothing is written to a file
    // that fails the checks. On failure *error holds an Arabic reason and the connection is closed.
    static bool open(const QString &path, QString *error = nullptr);
    // Creates a new library with the starter categories and snippets; fails if the file exists.
    static bool create(const QString &path, QString *error = nullptr, bool seed = true);
    static void close();
    static bool isOpen();
    static QString path();
    static QSqlDatabase database();
};

// Checks that a file is a SQLite library with Groub and Code and their fields.
// Returns an empty string when it is, else the Arabic reason.
QString checkLibraryFile(const QString &path);

// The Arabic text for a failed SQL operation ("database is locked", "disk full", ...).
QString describeSqlError(const QString &driverText);

} // namespace store
