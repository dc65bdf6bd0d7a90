#pragma once
// Update packages (.cup): a SQLite file with the tables "Code" (one row per snippet) and
// "User" (one header row). Packages this program writes also hold "SnippetLanguage" (id = the
// rowid of a "Code" row, Language): the languages other than Visual Basic. A package without it
// (an older one, any Jet package) is all Visual Basic. Writing takes the library's user snippets; reading treats the
// file as untrusted input and checks it fully before anything of it is used.
//
// No windows here: the package dialogs and the command line call the same functions.
// Packages of any size are read and applied row by row, straight between SQLite statements,
// so memory does not grow with the package.
#include "exchange/core/PackageError.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>

namespace store {
class Library;
}

namespace exchange {

// Each is Null when its text was empty.
struct PackageHeader {
    QVariant name, date, notes;
};

struct PackageRow {
    QVariant head, code, learn; // text or Null
    QVariant groub; // the sender's category number, or Null
    QVariant groubNam; // the sender's category name, or Null
    QString language = {}; // the snippet's language as the sender kept it; empty for Visual Basic
};

// A package held in memory: rows made by hand, or read whole from a small file.
struct Package {
    PackageHeader header;
    QList<PackageRow> rows;
};

// Field limits of the package tables.
constexpr int HeadSize = 100;
constexpr int GroubNamSize = 50;
constexpr int HeaderTextMax = 254;
constexpr int LanguageSize = 255;

// ---- creating ----------------------------------------------------------------------------

// The user snippets of the library: their ids and titles (Null title as "").
struct UserSnippets {
    QList<qint32> ids;
    QStringList titles;
};
UserSnippets listUserSnippets(store::Library &library);

// Throws PackageError when the library's user snippets and this header cannot be packaged.
// Checked before anything is written.
void checkPackageable(store::Library &library, const QString &name, const QString &date, const QString &notes);

// Writes the library's user snippets (in table order) and the header into a new package at
// path (replacing a file there), then compacts it. The library is open again afterwards,
// whatever happened. Throws PackageError (nothing written) or StoreError (a failed package file
// is removed). Returns the titles packaged, in the package's order.
QStringList createPackage(store::Library &library, const QString &path, const QString &name, const QString &date,
                          const QString &notes);

// ---- reading -----------------------------------------------------------------------------

// What applyPackage would do to the library now, without writing anything (previewApply).
struct ApplyPreview {
    qint64 snippets = 0;
    QStringList newCategories; // in the order they would be added
    // Rows whose title and code equal a snippet of their category, in the library or earlier in
    // the package (importing::core::duplicateKey): what skipDuplicates would leave out.
    qint64 duplicates = 0;
};

// A package file opened and checked: every check passed before the constructor returns, and
// the file stays open (the same file, even if its name is taken by another meanwhile) until
// the object goes. Rows are not held in memory; each use reads them again from the file.
class PackageFile
{
public:
    // Throws PackageError with an Arabic message that names the file: either it is not a valid
    // package, or it could not be read at all (missing, not a regular file, no permission, no
    // space left for reading it).
    explicit PackageFile(const QString &path);
    ~PackageFile();
    PackageFile(PackageFile &&) noexcept;
    PackageFile &operator=(PackageFile &&) noexcept;

    QString path() const;
    const PackageHeader &header() const;
    qint64 rowCount() const;
    // Every row's title as it will be added (see applyPackage), Null as "", in package order.
    QStringList titles() const;
    // Calls visit for every row in package order, one row in memory at a time.
    void forEachRow(const std::function<void(const PackageRow &)> &visit) const;
    // The whole package in memory: for small packages only.
    Package contents() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
    friend int applyPackage(store::Library &library, const PackageFile &package,
                            const std::function<void(qint64, qint64)> &progress, bool skipDuplicates);
    friend ApplyPreview previewApply(store::Library &library, const PackageFile &package);
};

// PackageFile(path).contents(): for small packages only.
Package readPackage(const QString &path);

// ---- applying ----------------------------------------------------------------------------

// The category name a row is filed under.
QString targetCategory(const PackageRow &row);

// Adds every row to library under its category (by exact name, created when missing) in one
// transaction:
// all rows go in, or none when it throws (StoreError from the library, PackageError when the
// file changed under us and a row is no longer valid). Titles longer than HeadSize are cut to
// HeadSize characters, as the add dialog's title box keeps them; category names are taken
// whole, as the add dialog takes them. Returns the number added. progress, when given, is told
// (rows done, rows in all) as the rows go in. With skipDuplicates, the rows previewApply counts
// as duplicates are left out; off, every row goes in, as it always has.
int applyPackage(store::Library &library, const PackageFile &package,
                 const std::function<void(qint64, qint64)> &progress = {}, bool skipDuplicates = false);
int applyPackage(store::Library &library, const Package &package);

ApplyPreview previewApply(store::Library &library, const PackageFile &package);

// The credits file beside the library (the one the about box shows).
QString creditsPath(const store::Library &library);
// Appends date, name and notes as three lines and an empty line (UTF-8).
// Throws platform::FileError.
void appendCredits(const store::Library &library, const QString &date, const QString &name, const QString &notes);
// The entry for a package's own header (Null fields as empty lines), as the reader's boxes show it.
void appendCredits(const store::Library &library, const PackageHeader &header);

} // namespace exchange
