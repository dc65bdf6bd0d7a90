#include "store/Backup.h"

#include "store/Database.h"
#include "store/Library.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>

#include <sqlite3.h>

namespace store {

namespace {

const QString kFailed = QStringLiteral("تعذر حفظ نسخة احتياطية من مكتبة الأكواد، ولم يُنفَّذ شيء: ");

QString reasonName(BackupReason reason)
{
    switch (reason) {
    case BackupReason::Daily:
        return QStringLiteral("daily");
    case BackupReason::Compaction:
        return QStringLiteral("compact");
    case BackupReason::Package:
        return QStringLiteral("package");
    case BackupReason::Migration:
        return QStringLiteral("migration");
    }
    return QStringLiteral("backup");
}

// Backups of one library share this prefix: its base name (for the user) and a hash of its full
// path (two libraries of one name keep their own backups).
QString prefixOf(const QString &libraryPath)
{
    const QFileInfo info(libraryPath);
    const QString canonical = info.canonicalFilePath();
    const QString full = canonical.isEmpty() ? info.absoluteFilePath() : canonical;
    const QByteArray hash = QCryptographicHash::hash(QFile::encodeName(full), QCryptographicHash::Sha1).toHex();
    return info.completeBaseName() + QLatin1Char('-') + QString::fromLatin1(hash.left(8)) + QLatin1Char('-');
}

// A fresh name in the folder, which exists afterwards. Throws StoreError.
QString newBackupPath(const QString &libraryPath, BackupReason reason)
{
    const QString folder = backupFolder();
    if (!QDir().mkpath(folder))
        throw StoreError(kFailed + QStringLiteral("تعذر إنشاء المجلد ") + QDir::toNativeSeparators(folder));
    // Backups hold every snippet: the folder, like each copy, is the owner's alone.
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const qint64 needed = QFileInfo(libraryPath).size() + BackupSpareBytes;
    const QStorageInfo disk(folder);
    if (disk.isValid() && disk.bytesAvailable() >= 0 && disk.bytesAvailable() < needed)
        throw StoreError(kFailed + QStringLiteral("لا توجد مساحة كافية على القرص في ")
                         + QDir::toNativeSeparators(folder));
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmsszzz"));
    QString path = QDir(folder).filePath(prefixOf(libraryPath) + stamp + QLatin1Char('-') + reasonName(reason)
                                         + QStringLiteral(".mdb"));
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = QDir(folder).filePath(prefixOf(libraryPath) + stamp + QStringLiteral("-%1-").arg(n) + reasonName(reason)
                                     + QStringLiteral(".mdb"));
    return path;
}

// The finished copy gets its name, only the owner may read it, and the oldest beyond the kept
// number go.
QString finish(const QString &partial, const QString &path, const QString &libraryPath)
{
    QFile::setPermissions(partial, QFile::ReadOwner | QFile::WriteOwner);
    if (!QFile::rename(partial, path)) {
        QFile::remove(partial);
        throw StoreError(kFailed + QStringLiteral("تعذرت تسمية الملف ") + QDir::toNativeSeparators(path));
    }
    QStringList all = backupsOf(libraryPath);
    while (all.size() > KeptBackups)
        QFile::remove(all.takeFirst());
    return path;
}

} // namespace

QString backupFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)).filePath(QStringLiteral("backups"));
}

QStringList backupsOf(const QString &libraryPath)
{
    const QDir folder(backupFolder());
    const QString prefix = prefixOf(libraryPath);
    QStringList result;
    const QStringList names = folder.entryList({QStringLiteral("*.mdb")}, QDir::Files, QDir::Name);
    for (const QString &name : names)
        if (name.startsWith(prefix))
            result.append(folder.filePath(name));
    return result;
}

QString newestBackup(const QString &libraryPath)
{
    const QStringList all = backupsOf(libraryPath);
    return all.isEmpty() ? QString() : all.last();
}

bool dailyBackupDue(const QString &libraryPath)
{
    const QString newest = newestBackup(libraryPath);
    return newest.isEmpty() || QFileInfo(newest).lastModified().secsTo(QDateTime::currentDateTime()) >= 24 * 3600;
}

QString keepBackupFrom(sqlite3 *source, const QString &libraryPath, BackupReason reason,
                       const std::function<bool()> &cancelled)
{
    if (!source)
        throw StoreError(kFailed + QStringLiteral("قاعدة البيانات غير مفتوحة"));
    const QString path = newBackupPath(libraryPath, reason);
    const QString partial = path + QStringLiteral(".part");
    QFile::remove(partial);
    sqlite3 *target = nullptr;
    int rc = sqlite3_open_v2(QFile::encodeName(partial).constData(), &target,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    QString failure;
    // The whole copy is made in one read transaction of the source. The online backup starts
    // over whenever another connection commits, so on a busy library copying in slices between
    // writes never finished; held as one read, the copy takes as long as reading the file once,
    // and the other writers wait for it (their busy timeout) instead of restarting it.
    const bool ownTransaction = sqlite3_get_autocommit(source) != 0;
    if (rc == SQLITE_OK && ownTransaction) {
        rc = sqlite3_exec(source, "BEGIN; SELECT count(*) FROM main.sqlite_master", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK)
            rc = sqlite3_errcode(source);
    }
    if (rc == SQLITE_OK) {
        if (sqlite3_backup *backup = sqlite3_backup_init(target, "main", source, "main")) {
            // Large slices, only to notice a cancellation in between.
            int waited = 0;
            do {
                rc = sqlite3_backup_step(backup, 4096);
                if (rc == SQLITE_BUSY || rc == SQLITE_LOCKED) {
                    sqlite3_sleep(20);
                    waited += 20;
                }
                if (cancelled && cancelled())
                    rc = SQLITE_INTERRUPT;
            } while ((rc == SQLITE_OK || ((rc == SQLITE_BUSY || rc == SQLITE_LOCKED) && waited < 10000)));
            sqlite3_backup_finish(backup);
            if (rc == SQLITE_DONE)
                rc = sqlite3_errcode(target);
        } else {
            rc = sqlite3_errcode(target);
        }
    }
    if (ownTransaction && !sqlite3_get_autocommit(source))
        sqlite3_exec(source, "COMMIT", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK && rc != SQLITE_DONE)
        failure = describeSqlError(QString::fromUtf8(sqlite3_errstr(rc)));
    sqlite3_close(target);
    if (!failure.isEmpty()) {
        QFile::remove(partial);
        throw StoreError(kFailed + failure);
    }
    return finish(partial, path, libraryPath);
}

QString keepBackup(Library &library, BackupReason reason)
{
    if (!library.isOpen())
        throw StoreError(kFailed + QStringLiteral("قاعدة البيانات غير مفتوحة"));
    // A team library is the server's to keep safe (its own backups); each write is atomic there.
    if (library.engine() == Engine::Postgres)
        return {};
    // The start-up check may be copying too; this copy is the one that counts now.
    library.check().stop();
    return keepBackupFrom(library.database().handle(), library.path(), reason);
}

QString keepFileBackup(const QString &path, BackupReason reason)
{
    const QString target = newBackupPath(path, reason);
    const QString partial = target + QStringLiteral(".part");
    QFile::remove(partial);
    QFile source(path);
    if (!source.copy(partial)) {
        QFile::remove(partial);
        throw StoreError(kFailed + source.errorString());
    }
    return finish(partial, target, path);
}

QString damagedLibraryMessage(const QString &libraryPath)
{
    const QString newest = newestBackup(libraryPath);
    QString text = QStringLiteral("مكتبة الأكواد تالفة: تعذرت قراءة بعض ما فيها، فما يظهر منها قد يكون ناقصاً.\n")
                   + QDir::toNativeSeparators(libraryPath) + QStringLiteral("\n\n");
    if (!newest.isEmpty())
        text += QStringLiteral("أغلق البرنامج واحتفظ بنسخة من الملف التالف، ثم ضع مكانه أحدث نسخة احتياطية منه:\n")
                + QDir::toNativeSeparators(newest);
    else
        text += QStringLiteral("أغلق البرنامج واحتفظ بنسخة من الملف التالف، ثم استرجعه من نسخة احتياطية لديك؛ "
                               "لا توجد نسخة احتياطية منه في:\n")
                + QDir::toNativeSeparators(backupFolder());
    return text;
}

} // namespace store
