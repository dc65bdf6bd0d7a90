#include "store/CreateDb.h"

#include "store/Database.h"
#include "store/Library.h"
#include "store/SearchIndex.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>

#include <sqlite3.h>

#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <memory>

namespace store {

namespace {

std::function<bool(CreateDb::CompactStep)> g_failureHook;

// The Arabic texts of this file's own failures.
const QString kCannotDelete = QStringLiteral("تعذر حذف الملف الموجود: ");
const QString kCannotCreate = QStringLiteral("تعذر إنشاء قاعدة البيانات: ");
const QString kNoFile = QStringLiteral("ملف قاعدة البيانات غير موجود: ");
const QString kBadTable = QStringLiteral("تعذر إنشاء الجدول %1: ");
const QString kCompactFailed = QStringLiteral("تعذر ضغط قاعدة البيانات %1: ");

bool injectedFailure(CreateDb::CompactStep step) { return g_failureHook && g_failureHook(step); }

// The file change counter of the header (offset 24), read through SQLite's own handle of the file:
// a descriptor of our own, once closed, would drop SQLite's locks on it. -1 when unreadable.
qint64 changeCounter(sqlite3 *db)
{
    sqlite3_file *file = nullptr;
    if (!db || sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file
        || !file->pMethods)
        return -1;
    unsigned char b[4];
    if (file->pMethods->xRead(file, b, 4, 24) != SQLITE_OK)
        return -1;
    return (qint64(b[0]) << 24) | (qint64(b[1]) << 16) | (qint64(b[2]) << 8) | qint64(b[3]);
}

// Whether the compacted copy holds what the file holds, page for page: then copying it back
// would change nothing. A file written in order into fresh tables (an update package) is
// already what compaction makes of it. The counters that compaction itself moves are not
// compared: the change counter (24), the schema cookie (40) and the version number (92).
bool sameAsCopy(const QString &file, const QString &copy)
{
    QFile a(file), b(copy);
    if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly) || a.size() != b.size() || a.size() < 100)
        return false;
    const uchar *x = a.map(0, a.size());
    const uchar *y = b.map(0, b.size());
    if (!x || !y)
        return false;
    const auto same = [&](qint64 from, qint64 to) { return std::memcmp(x + from, y + from, size_t(to - from)) == 0; };
    return same(0, 24) && same(28, 40) && same(44, 92) && same(96, a.size());
}

} // namespace

bool removeStaleCompactionCopy(const QString &libraryPath)
{
    const QString temporary = libraryPath + QLatin1Char('_');
    const QFileInfo info(temporary);
    if (!info.exists())
        return true;
    if (!info.isFile() || info.lastModified().secsTo(QDateTime::currentDateTime()) < 60)
        return false;
    // SQLite's locks are POSIX record locks: a compaction reading or writing the copy holds one.
    const int fd = ::open(QFile::encodeName(temporary).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    const bool locked = ::fcntl(fd, F_GETLK, &lock) != 0 || lock.l_type != F_UNLCK;
    ::close(fd);
    return !locked && QFile::remove(temporary);
}

void CreateDb::setCompactFailureHook(std::function<bool(CompactStep)> hook) { g_failureHook = std::move(hook); }

void CreateDb::CreateDatabaseX(const QString &MyNewDb)
{
    const QFileInfo info(MyNewDb);
    if (info.exists() || info.isSymLink()) {
        if (info.isDir() || !QFile::remove(MyNewDb))
            throw StoreError(kCannotDelete + QDir::toNativeSeparators(MyNewDb));
    }
    // A journal left beside a replaced file would be taken for the new file's.
    QFile::remove(MyNewDb + QStringLiteral("-journal"));
    try {
        // Writing the header makes the file exist; the id marks it as made by this program.
        Database(MyNewDb, Database::NoFlags, QStringLiteral("CreateDb"))
            .exec(QStringLiteral("PRAGMA application_id = 1415671154"));
    } catch (const StoreError &e) {
        QFile::remove(MyNewDb);
        throw StoreError(kCannotCreate + e.message());
    }
}

void CreateDb::CreateTableDefX(const QString &MyDb, const QString &MyNewTable, const QStringList &MyFldNam,
                               const QList<qint32> &MyFldTyp, const QList<int> &MyFldSiz)
{
    const QString failed = kBadTable.arg(MyNewTable);
    if (!QFileInfo(MyDb).isFile())
        throw StoreError(kNoFile + QDir::toNativeSeparators(MyDb));
    if (MyNewTable.trimmed().isEmpty())
        throw StoreError(failed + QStringLiteral("اسم الجدول فارغ"));
    if (MyFldNam.isEmpty() || MyFldTyp.size() < MyFldNam.size() || MyFldSiz.size() < MyFldNam.size())
        throw StoreError(failed + QStringLiteral("قائمة الحقول غير مكتملة"));

    QStringList columns;
    for (qsizetype i = 0; i < MyFldNam.size(); ++i) {
        const QString name = MyFldNam.at(i);
        const qint32 type = MyFldTyp.at(i);
        const int size = MyFldSiz.at(i);
        if (name.trimmed().isEmpty())
            throw StoreError(failed + QStringLiteral("اسم حقل فارغ"));
        if (size < 0 || size > 255)
            throw StoreError(failed + QStringLiteral("حجم الحقل %1 غير صالح (%2)").arg(name).arg(size));
        const QString col = quotedIdentifier(name);
        switch (type) {
        case fieldType::Long:
            columns.append(QStringLiteral("%1 INTEGER CHECK (%1 IS NULL OR (typeof(%1) = 'integer' AND %1 BETWEEN "
                                          "-2147483648 AND 2147483647))")
                               .arg(col));
            break;
        case fieldType::Text:
            columns.append(QStringLiteral("%1 TEXT CHECK (%1 IS NULL OR length(%1) BETWEEN 1 AND %2)")
                               .arg(col)
                               .arg(size == 0 ? 255 : size));
            break;
        case fieldType::Memo:
            columns.append(QStringLiteral("%1 TEXT CHECK (%1 IS NULL OR length(%1) > 0)").arg(col));
            break;
        default:
            throw StoreError(failed + QStringLiteral("نوع الحقل %1 غير صالح (%2)").arg(name).arg(type));
        }
    }

    try {
        Database(MyDb, Database::NoFlags, QStringLiteral("CreateDb"))
            .exec(QStringLiteral("CREATE TABLE %1 (%2)")
                      .arg(quotedIdentifier(MyNewTable), columns.join(QStringLiteral(", "))));
    } catch (const StoreError &e) {
        throw StoreError(failed + e.message());
    }
}

void CreateDb::CompactDbx(const QString &DbName)
{
    // Changes waiting for the search index hold copies of old texts: folded in first, their space
    // is freed by this compaction rather than the next.
    if (m_library) {
        if (m_library->isOpen() && m_library->connection().isLibraryFile(DbName))
            m_library->searchIndex().foldPending();
        m_library->close();
    }

    const QString temporary = DbName + QLatin1Char('_');
    const QString failed = kCompactFailed.arg(QDir::toNativeSeparators(DbName));
    auto fail = [&](const QString &reason) {
        QFile::remove(temporary);
        throw StoreError(failed + reason);
    };

    if (!QFileInfo(DbName).isFile())
        throw StoreError(failed + QStringLiteral("الملف غير موجود"));
    // A copy left by an earlier failed run is of no use: start afresh.
    if (QFileInfo::exists(temporary) && !QFile::remove(temporary))
        throw StoreError(failed + QStringLiteral("تعذر حذف الملف المؤقت ") + QDir::toNativeSeparators(temporary));

    if (injectedFailure(CompactStep::BeforeCopy))
        fail(QStringLiteral("خطأ مفتعل قبل النسخ"));

    // The compacted copy goes back into the file itself, page by page under SQLite's locks, never
    // by replacing the file: another program that has it open (a second window, the sqlite3 tool,
    // a backup program) keeps reading and writing the one file and sees the compacted content.
    // Its writes are never lost: the file's change counter tells whether anyone committed between
    // the copy and the moment the copy-back holds the exclusive lock; if so, VACUUM compacts the
    // file in place instead, holding the exclusive lock from its first page to its last.
    const Database live(DbName, Database::NoFlags, QStringLiteral("CreateDb"));
    // Other programs' writes are short, but come one after another: the compaction's locks are
    // waited for longer than an ordinary write waits, so that it gets its turn between them.
    if (sqlite3 *handle = live.handle())
        sqlite3_busy_timeout(handle, 30000);
    const auto vacuumInPlace = [&] {
        try {
            live.exec(QStringLiteral("VACUUM"));
        } catch (const StoreError &e) {
            fail(e.message());
        }
        QFile::remove(temporary);
    };
    try {
        QSqlQuery mode = live.query(QStringLiteral("PRAGMA journal_mode"));
        if (nextRow(mode) && mode.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0) {
            mode.finish();
            // A write-ahead log has no change counter to watch.
            vacuumInPlace();
            return;
        }
    } catch (const StoreError &e) {
        fail(e.message());
    }
    QString target = temporary;
    target.replace(QLatin1Char('\''), QLatin1String("''"));
    {
        qint64 copied = -1;
        const qint64 before = changeCounter(live.handle());
        try {
            // The copy is only read back or thrown away, so it is not synced: the copy-back is,
            // by the file's own journal.
            live.exec(QStringLiteral("PRAGMA synchronous = OFF"));
            live.exec(QStringLiteral("VACUUM INTO '%1'").arg(target));
            live.exec(QStringLiteral("PRAGMA synchronous = FULL"));
            copied = changeCounter(live.handle());
            if (copied < 0)
                fail(describeSqlError(QString()));
        } catch (const StoreError &e) {
            fail(e.message());
        }
        if (copied != before) {
            vacuumInPlace(); // written meanwhile: the copy may be older than the file
            return;
        }
        if (injectedFailure(CompactStep::AfterCopy))
            fail(QStringLiteral("خطأ مفتعل بعد النسخ"));
        if (injectedFailure(CompactStep::BeforeRename))
            fail(QStringLiteral("خطأ مفتعل قبل إعادة التسمية"));
        if (sameAsCopy(DbName, temporary)) {
            QFile::remove(temporary);
            return;
        }

        auto copy = std::make_unique<Database>(temporary, Database::ReadOnly, QStringLiteral("CreateDb"));
        sqlite3_backup *backup = copy->handle() && live.handle()
                                     ? sqlite3_backup_init(live.handle(), "main", copy->handle(), "main")
                                     : nullptr;
        if (!backup)
            fail(describeSqlError(live.handle() ? QString::fromUtf8(sqlite3_errmsg(live.handle())) : QString()));
        // The first page takes the file's exclusive lock, held until the copy is committed; the
        // file on disk is untouched until then.
        int rc = sqlite3_backup_step(backup, 1);
        if (rc == SQLITE_OK) {
            if (changeCounter(live.handle()) != copied) {
                sqlite3_backup_finish(backup); // rolls the file back to what it was
                copy.reset();
                vacuumInPlace();
                return;
            }
            rc = sqlite3_backup_step(backup, -1);
        }
        sqlite3_backup_finish(backup);
        if (rc != SQLITE_DONE)
            fail(describeSqlError(QString::fromUtf8(sqlite3_errstr(rc))));
        QFile::remove(temporary);
    }
}

} // namespace store
