#include "store/CreateDb.h"

#include "store/Database.h"
#include "store/LibraryConnection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

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

// Writes the file's data to the disk, so the rename cannot outlive the contents after a crash.
QString syncFile(const QString &path, bool directory)
{
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), directory ? O_RDONLY | O_DIRECTORY : O_RDONLY);
    if (fd < 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    const int rc = ::fsync(fd);
    const int err = errno;
    ::close(fd);
    // Some file systems cannot sync a directory; the file itself is what matters.
    if (rc != 0 && !directory)
        return QString::fromLocal8Bit(std::strerror(err));
    return {};
}

} // namespace

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
    LibraryConnection::close();

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
    try {
        QString target = temporary;
        target.replace(QLatin1Char('\''), QLatin1String("''"));
        Database(DbName, Database::NoFlags, QStringLiteral("CreateDb"))
            .exec(QStringLiteral("VACUUM INTO '%1'").arg(target));
    } catch (const StoreError &e) {
        fail(e.message());
    }
    if (injectedFailure(CompactStep::AfterCopy))
        fail(QStringLiteral("خطأ مفتعل بعد النسخ"));
    // The compacted file takes the original's place, so it keeps the original's permissions.
    QFile::setPermissions(temporary, QFile::permissions(DbName));
    if (const QString reason = syncFile(temporary, false); !reason.isEmpty())
        fail(reason);
    if (injectedFailure(CompactStep::BeforeRename))
        fail(QStringLiteral("خطأ مفتعل قبل إعادة التسمية"));
    // rename() replaces the original in one step: at every moment one complete file has the name.
    if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(DbName).constData()) != 0)
        fail(QString::fromLocal8Bit(std::strerror(errno)));
    syncFile(QFileInfo(DbName).absolutePath(), true);
}

} // namespace store
