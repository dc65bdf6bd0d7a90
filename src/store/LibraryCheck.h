#pragma once
// The start-up check of the library, beside the window: PRAGMA quick_check on a read-only
// connection of its own, in a thread of its own; then, when the library passed and no backup of
// it is younger than a day, the daily backup. The window opens at once; a damaged library is
// told by the result.
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

struct sqlite3;

namespace store {

class LibraryCheck
{
public:
    LibraryCheck() = default;
    ~LibraryCheck() { stop(); }
    LibraryCheck(const LibraryCheck &) = delete;
    LibraryCheck &operator=(const LibraryCheck &) = delete;

    struct Result {
        bool damaged = false;
        QString message; // damaged: damagedLibraryMessage(); otherwise empty
        QString backup; // the daily backup written, if any
        QString backupFailure; // why the daily backup could not be written, if it was due
    };
    // Starts checking the file at path (stopping an earlier check). done is called once, on the
    // checking thread, unless the check is stopped first. A team library's URI is not checked
    // (done is never called).
    void start(const QString &path, std::function<void(const Result &)> done);
    // Interrupts the check and waits for its thread. LibraryConnection::close calls it, so
    // nothing of this library is read or copied behind a compaction.
    void stop();
    // A write of this program is waiting for the lock: the check lets go at once, and starts
    // again once the library has been quiet for a moment. (The daily backup is one read that
    // writes wait for, seconds at most.) Called by the library connection's busy handler.
    void makeWayForWrite();

private:
    Result check(const QString &path);
    int quickCheck(sqlite3 *db, bool &ok);
    static int interruptWhenCancelled(void *check);

    std::mutex m_mutex;
    std::unique_ptr<std::thread> m_thread;
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_yield{false};
    std::atomic<qint64> m_lastWrite{0};
};

} // namespace store
