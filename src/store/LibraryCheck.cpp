#include "store/LibraryCheck.h"

#include "store/Engine.h"

#include "store/Backup.h"

#include <QFile>

#include <sqlite3.h>

#include <QElapsedTimer>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

namespace store {

namespace {

qint64 now()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.elapsed();
}

} // namespace

int LibraryCheck::interruptWhenCancelled(void *check)
{
    const auto *self = static_cast<const LibraryCheck *>(check);
    return self->m_cancel.load() || self->m_yield.load() ? 1 : 0;
}

// quick_check holds a read lock for as long as it runs (tens of seconds on a million snippets),
// which would keep the window's writes out: it gives way to them and starts over when quiet.
int LibraryCheck::quickCheck(sqlite3 *db, bool &ok)
{
    for (;;) {
        m_yield = false;
        sqlite3_stmt *stmt = nullptr;
        int rc = sqlite3_prepare_v2(db, "PRAGMA quick_check", -1, &stmt, nullptr);
        ok = false;
        if (rc == SQLITE_OK) {
            rc = sqlite3_step(stmt);
            // One row "ok" when the file is sound; a row per problem otherwise.
            ok = rc == SQLITE_ROW && qstrcmp(reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0)), "ok") == 0
                 && sqlite3_step(stmt) == SQLITE_DONE;
            if (rc != SQLITE_ROW)
                rc = sqlite3_errcode(db);
        }
        sqlite3_finalize(stmt);
        if (m_cancel || rc != SQLITE_INTERRUPT || !m_yield)
            return rc;
        while (!m_cancel && now() - m_lastWrite.load() < 2000)
            sqlite3_sleep(100);
        if (m_cancel)
            return rc;
    }
}

LibraryCheck::Result LibraryCheck::check(const QString &path)
{
    Result result;
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return result; // the window's own connection reports a file it cannot read
    }
    sqlite3_busy_timeout(db, 3000);
    sqlite3_progress_handler(db, 1000, interruptWhenCancelled, this);
    bool ok = false;
    const int rc = quickCheck(db, ok);
    sqlite3_progress_handler(db, 0, nullptr, nullptr); // the backup has its own way of letting writes in
    const int primary = rc & 0xff;
    if (!m_cancel && !ok && (rc == SQLITE_ROW || primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB)) {
        result.damaged = true;
        result.message = damagedLibraryMessage(path);
    } else if (!m_cancel && ok && dailyBackupDue(path)) {
        try {
            result.backup = keepBackupFrom(db, path, BackupReason::Daily, [this] { return m_cancel.load(); });
        } catch (const StoreError &e) {
            if (!m_cancel)
                result.backupFailure = e.message();
        }
    }
    sqlite3_close(db);
    return result;
}

void LibraryCheck::start(const QString &path, std::function<void(const Result &)> done)
{
    stop();
    // A team library has no file to check or copy: the server keeps its pages sound.
    if (isPostgresLocation(path))
        return;
    std::lock_guard lock(m_mutex);
    m_cancel = false;
    m_thread = std::make_unique<std::thread>([this, path, done = std::move(done)] {
        const Result result = check(path);
        if (!m_cancel && done)
            done(result);
    });
}

void LibraryCheck::makeWayForWrite()
{
    m_lastWrite = now();
    m_yield = true;
}

void LibraryCheck::stop()
{
    std::lock_guard lock(m_mutex);
    if (!m_thread)
        return;
    m_cancel = true;
    m_thread->join();
    m_thread.reset();
}

} // namespace store
