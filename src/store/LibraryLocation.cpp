#include "store/LibraryLocation.h"

#include "store/JetImport.h"
#include "store/Library.h"
#include "store/PgLocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>

namespace store {

QString defaultLibraryPath()
{
    const QString portable = QDir(QCoreApplication::applicationDirPath()).filePath(LibraryFileName);
    if (QFileInfo::exists(portable))
        return portable;
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).filePath(LibraryFileName);
}

QString localPathOf(const QString &argument)
{
    if (argument.startsWith(QLatin1String("file:"))) {
        const QUrl url(argument);
        if (url.isLocalFile())
            return url.toLocalFile();
    }
    return argument;
}

QString resolveLibraryLocation(const QString &location)
{
    if (isPostgresLocation(location))
        return location;
    return QFileInfo(location.isEmpty() ? defaultLibraryPath() : localPathOf(location)).absoluteFilePath();
}

namespace {

using Kind = OpenLibraryError::Kind;

QString openTeamLibrary(Library &library, const QString &location, const OpenChoices &choices)
{
    const QString shown = locationForDisplay(location);
    try {
        try {
            library.open(location, choices.readOnly);
        } catch (const EmptyDatabaseError &e) {
            if (choices.readOnly || !choices.agreeToCreateTables || !choices.agreeToCreateTables())
                throw OpenLibraryError(Kind::EmptyTeamDatabase, shown, e.message());
            library.createSchema(location);
        }
    } catch (const OpenLibraryError &) {
        throw;
    } catch (const StoreError &e) {
        throw OpenLibraryError(Kind::Failed, shown, e.message());
    }
    return library.path();
}

} // namespace

QString openLibraryAt(Library &library, const QString &location, const OpenChoices &choices)
{
    if (isPostgresLocation(location))
        return openTeamLibrary(library, location, choices);
    QString path = resolveLibraryLocation(location);
    // A converted library is not the file the user named: a failure names the one that failed.
    const auto shown = [&path] { return QDir::toNativeSeparators(path); };
    if (!choices.createMissing && !QFileInfo(path).isFile())
        throw OpenLibraryError(Kind::Missing, shown(), QStringLiteral("الملف غير موجود"));
    try {
        if (isJetFile(path)) {
            if (!choices.convertOldFormat)
                throw OpenLibraryError(Kind::OldFormat, shown(), QStringLiteral("المكتبة بالصيغة القديمة"));
            path = choices.convertOldFormat(path);
        }
        if (QFileInfo::exists(path) || choices.readOnly) {
            library.open(path, choices.readOnly);
        } else {
            const QString folder = QFileInfo(path).absolutePath();
            if (!QDir().mkpath(folder))
                throw StoreError(QStringLiteral("تعذر إنشاء المجلد ") + folder);
            library.create(path, true);
        }
    } catch (const OpenLibraryError &) {
        throw;
    } catch (const StoreError &e) {
        throw OpenLibraryError(Kind::Failed, shown(), e.message());
    }
    return path;
}

bool sameLibrary(const QString &a, const QString &b)
{
    if (isPostgresLocation(a) || isPostgresLocation(b))
        return a == b;
    const QString canonicalA = QFileInfo(a).canonicalFilePath();
    return !canonicalA.isEmpty() && canonicalA == QFileInfo(b).canonicalFilePath();
}

} // namespace store
