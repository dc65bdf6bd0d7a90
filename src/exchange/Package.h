#pragma once
// Update packages (.cup): a SQLite file with the tables "Code" (one row per snippet) and
// "User" (one header row). Writing takes the library's user snippets; reading treats the
// file as untrusted input and checks it fully before anything of it is used.
#include "exchange/PackageError.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace exchange {

// Each is Null when its text was empty.
struct PackageHeader {
    QVariant name, date, notes;
};

struct PackageRow {
    QVariant head, code, learn; // text or Null
    QVariant groub; // the sender's category number, or Null
    QVariant groubNam; // the sender's category name, or Null
};

struct Package {
    PackageHeader header;
    QList<PackageRow> rows;
};

// Field limits of the package tables.
constexpr int HeadSize = 100;
constexpr int GroubNamSize = 50;
constexpr int HeaderTextMax = 254;

// The user snippets of the library, in table order: their ids and titles (Null title as "").
struct UserSnippets {
    QList<qint32> ids;
    QStringList titles;
};
UserSnippets listUserSnippets();

// Throws PackageError when the library's user snippets and this header cannot be packaged.
// Checked before anything is written.
void checkPackageable(const QString &name, const QString &date, const QString &notes);

// Writes the library's user snippets and the header into a new package at path (replacing a
// file there), then compacts it. LibraryConnection is open again afterwards, whatever happened.
// Throws PackageError (nothing written) or StoreError (a failed package file is removed).
// Returns the titles packaged.
QStringList createPackage(const QString &path, const QString &name, const QString &date, const QString &notes);

// Reads a whole package after checking it. Throws PackageError with an Arabic message that
// names the file.
Package readPackage(const QString &path);

// The category name a row is filed under.
QString targetCategory(const PackageRow &row);

// Adds every row under its category (by exact name, created when missing) in one transaction:
// all rows go in, or none when it throws StoreError. Returns the number added.
int applyPackage(const Package &package);

// The credits file beside the library (the one the about box shows).
QString creditsPath();
// Appends date, name and notes as three lines and an empty line (UTF-8).
// Throws platform::FileError.
void appendCredits(const QString &date, const QString &name, const QString &notes);

} // namespace exchange
