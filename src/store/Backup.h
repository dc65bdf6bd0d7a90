#pragma once
// Backups of the library: consistent copies (SQLite's online backup, never a copy of the bytes of
// an open file) in the per-user data folder, kept before every operation that rewrites many rows
// and once a day otherwise. The newest KeptBackups of each library are kept, older ones removed.
#include "store/StoreError.h"

#include <QString>
#include <QStringList>
#include <functional>

struct sqlite3;

namespace store {

enum class BackupReason { Daily, Compaction, Package, Migration };

// Backups of each library kept; and the free space a new one must leave on the disk.
inline constexpr int KeptBackups = 5;
inline constexpr qint64 BackupSpareBytes = 64ll * 1024 * 1024;

// <per-user data folder>/backups (~/.local/share/tamrisk/backups).
QString backupFolder();
// The backups of the library at libraryPath, oldest first.
QStringList backupsOf(const QString &libraryPath);
// The newest backup of that library; empty when there is none.
QString newestBackup(const QString &libraryPath);
// No backup of that library is younger than a day.
bool dailyBackupDue(const QString &libraryPath);

class Library;

// Copies the open library and returns the copy's path; a team library
// (PostgreSQL) is not copied and the path is empty. Throws StoreError
// (Arabic) when no copy could be kept, for instance for want of space: the caller must then not
// start the operation the copy was to guard.
QString keepBackup(Library &library, BackupReason reason);
// A file that no program has open (a library in the older format before it is converted),
// copied as it is. Throws StoreError.
QString keepFileBackup(const QString &path, BackupReason reason);
// The online backup of source (any connection, any thread) as a backup of libraryPath.
QString keepBackupFrom(sqlite3 *source, const QString &libraryPath, BackupReason reason,
                       const std::function<bool()> &cancelled = {});

// The message for a damaged library: what happened and which backup to put in its place.
QString damagedLibraryMessage(const QString &libraryPath);

} // namespace store
