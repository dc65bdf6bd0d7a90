#pragma once
// Where a library is, and the one way the program and the command line open it by location.
#include "store/StoreError.h"

#include <QString>
#include <functional>

namespace store {

class Library;

inline const QString LibraryFileName = QStringLiteral("codedb.mdb");

// The program folder's codedb.mdb when there is one (portable use), else the one in the
// user's application data folder (which may not exist yet).
QString defaultLibraryPath();

// A file: URI (as a desktop hands files over) as the local path it names; anything else as it is.
QString localPathOf(const QString &argument);
// Where the library a user named is: a team library's URI as it is; otherwise the full path of the
// file, from a path or a file: URI, or defaultLibraryPath() when none is named.
QString resolveLibraryLocation(const QString &location);

// Whether two open libraries' paths (Library::path) are one library: the same file, however named,
// or the same team library.
bool sameLibrary(const QString &a, const QString &b);

// What the window and the command line decide differently when opening a library.
struct OpenChoices {
    bool readOnly = false;
    // A library file that does not exist is created with the starter snippets (the window);
    // otherwise it is refused as Missing.
    bool createMissing = false;
    // A library in the older format: converts it and returns the new library's path (the window
    // asks first, and throws StoreError when the user declines). Unset: refused as OldFormat.
    std::function<QString(const QString &path)> convertOldFormat;
    // An empty team database: whether to give it the library's tables (the window asks). Unset,
    // or false: refused as EmptyTeamDatabase.
    std::function<bool()> agreeToCreateTables;
};

// Why openLibraryAt failed, with the library named as the user may be shown it: a file's full
// path in native form, a team library's URI without its password.
class OpenLibraryError : public StoreError
{
public:
    enum class Kind { Failed, Missing, OldFormat, EmptyTeamDatabase };
    OpenLibraryError(Kind kind, const QString &location, const QString &reason)
        : StoreError(reason)
        , m_kind(kind)
        , m_location(location)
    { }
    Kind kind() const { return m_kind; }
    const QString &location() const { return m_location; }

private:
    Kind m_kind;
    QString m_location;
};

// Opens the library at location into library: a team library's postgresql:// URI, a file: URI,
// or a path (empty: defaultLibraryPath()). Returns what was opened: the library file's path (the
// converted one's for a library of the older format) or the team library's URI without its
// password. Throws OpenLibraryError; library is then closed.
QString openLibraryAt(Library &library, const QString &location, const OpenChoices &choices);

} // namespace store
