#include "store/LibraryCheck.h"

#include "store/Backup.h"

#include <QFile>

#include <sqlite3.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

namespace store {

namespace {

std::mutex g_mutex;
std::unique_ptr<std::thread> g_thread;
std::atomic<bool> g_cancel{false};

int interruptWhenCancelled(void *) { return g_cancel.load() ? 1 : 0; }

LibraryCheck::Result check(const QString &path)
{
    LibraryCheck::Result result;
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return result; // the window's own connection reports a file it cannot read
    }
    sqlite3_busy_timeout(db, 3000);
    sqlite3_progress_handler(db, 1000, interruptWhenCancelled, nullptr);
    sqlite3_stmt *stmt = nullptr;
    int rc = sqlite3_prepare_v2(db, "PRAGMA quick_check", -1, &stmt, nullptr);
    bool ok = false;
    if (rc == SQLITE_OK) {
        rc = sqlite3_step(stmt);
        // One row "ok" when the file is sound; a row per problem otherwise.
        ok = rc == SQLITE_ROW
             && qstrcmp(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)), "ok") == 0
             && sqlite3_step(stmt) == SQLITE_DONE;
        if (rc != SQLITE_ROW)
            rc = sqlite3_errcode(db);
    }
    sqlite3_finalize(stmt);
    const int primary = rc & 0xff;
    if (!g_cancel && !ok && (rc == SQLITE_ROW || primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB)) {
        result.damaged = true;
        result.message = damagedLibraryMessage(path);
    } else if (!g_cancel && ok && dailyBackupDue(path)) {
        try {
            result.backup = keepBackupFrom(db, path, BackupReason::Daily, [] { return g_cancel.load(); });
        } catch (const StoreError &e) {
            if (!g_cancel)
                result.backupFailure = e.message();
        }
    }
    sqlite3_close(db);
    return result;
}

} // namespace

void LibraryCheck::start(const QString &path, std::function<void(const Result &)> done)
{
    stop();
    std::lock_guard lock(g_mutex);
    g_cancel = false;
    g_thread = std::make_unique<std::thread>([path, done = std::move(done)] {
        const Result result = check(path);
        if (!g_cancel && done)
            done(result);
    });
}

void LibraryCheck::stop()
{
    std::lock_guard lock(g_mutex);
    if (!g_thread)
        return;
    g_cancel = true;
    g_thread->join();
    g_thread.reset();
}

} // namespace store
