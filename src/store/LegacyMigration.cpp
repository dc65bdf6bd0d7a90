#include "store/LegacyMigration.h"

#include "store/JetImport.h"
#include "store/StarterLibrary.h"
#include "store/Database.h"

#include <QAtomicInt>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryFile>

#include <filesystem>
#include <map>
#include <system_error>

namespace store {

namespace {

std::function<bool(MigrationStep)> g_failureHook;

bool failsAt(MigrationStep step) { return g_failureHook && g_failureHook(step); }

QString shown(const QString &path) { return QDir::toNativeSeparators(path); }

QByteArray fileDigest(const QString &path)
{
    QFile file(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !hash.addData(&file))
        throw StoreError(QStringLiteral("تعذرت قراءة الملف: ") + file.errorString());
    return hash.result();
}

void requireColumns(const Database &c, const QString &table, const QStringList &columns)
{
    QSqlQuery q = c.query(QStringLiteral("PRAGMA table_info(\"%1\")").arg(table));
    QStringList have;
    while (q.next())
        have.append(q.value(1).toString().toLower());
    for (const QString &column : columns)
        if (!have.contains(column.toLower()))
            throw StoreError(QStringLiteral("الجدول %1 لا يحتوي على الحقل %2").arg(table, column));
}

struct CodeRow {
    qint64 id = 0;
    QVariant head, groub, code, learn, user;
};

QVariant text(const QVariant &v)
{
    return v.isNull() ? QVariant(QMetaType::fromType<QString>()) : QVariant(v.toString());
}

QVariant flag(const QVariant &v)
{
    if (v.isNull())
        return QVariant(QMetaType::fromType<qlonglong>());
    return QVariant(qlonglong(v.toLongLong() != 0 ? 1 : 0));
}

// What the check reads back must be what was meant to be written, row by row.
QByteArray rowDigest(const QVariantList &values)
{
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (const QVariant &v : values) {
        if (v.isNull()) {
            hash.addData(QByteArrayView("N"));
        } else {
            const QByteArray bytes = v.toString().toUtf8();
            hash.addData(QByteArrayView("V"));
            hash.addData(QByteArray::number(bytes.size()));
            hash.addData(QByteArrayView(":"));
            hash.addData(bytes);
        }
    }
    return hash.result();
}

qint64 idOf(const QVariant &v, bool *ok)
{
    *ok = !v.isNull();
    const qint64 id = *ok ? v.toLongLong(ok) : 0;
    return id;
}

bool folderWritable(const QString &folder)
{
    if (failsAt(MigrationStep::ProbeFolder))
        return false;
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".tamrisk-probe-XXXXXX")));
    return probe.open();
}

QString freeBackupName(const QString &source)
{
    QString name = source + QStringLiteral(".jet-backup");
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = source + QStringLiteral(".jet-backup-%1").arg(n);
    return name;
}

// Puts the new library in place of the original and keeps the original under plan.backup. The
// original's name holds one of the two files at every moment when the folder allows hard links.
// Returns where the original is.
QString replace(const JetMigrationPlan &plan, const QString &converted)
{
    namespace fs = std::filesystem;
    if (plan.inFallbackFolder) {
        if (QFileInfo::exists(plan.target) || !QFile::rename(converted, plan.target))
            throw StoreError(QStringLiteral("تعذر وضع المكتبة الجديدة في \"%1\"").arg(shown(plan.target)));
        return plan.source;
    }
    const fs::path source = QFile::encodeName(plan.source).toStdString();
    QString backupName = plan.backup;
    std::error_code ec;
    for (int n = 2; n < 100; ++n) {
        fs::create_hard_link(source, QFile::encodeName(backupName).toStdString(), ec);
        if (ec != std::errc::file_exists)
            break;
        backupName = plan.source + QStringLiteral(".jet-backup-%1").arg(n);
    }
    const fs::path backup = QFile::encodeName(backupName).toStdString();
    const QString cannot = QStringLiteral("تعذر حفظ الملف الأصلي باسم \"%1\"").arg(shown(backupName));
    if (!ec) {
        if (failsAt(MigrationStep::AfterBackup)) {
            fs::remove(backup, ec); // a second name of the original, not the original
            throw StoreError(cannot);
        }
        fs::rename(QFile::encodeName(converted).toStdString(), source, ec);
        if (ec) {
            fs::remove(backup, ec);
            throw StoreError(QStringLiteral("تعذر وضع المكتبة الجديدة مكان الملف الأصلي"));
        }
        return backupName;
    }
    // No hard links here (some removable media): two renames, undone if the second fails.
    if (QFileInfo::exists(backupName) || !QFile::rename(plan.source, backupName))
        throw StoreError(cannot);
    if (failsAt(MigrationStep::AfterBackup) || !QFile::rename(converted, plan.source)) {
        QFile::rename(backupName, plan.source);
        throw StoreError(QStringLiteral("تعذر وضع المكتبة الجديدة مكان الملف الأصلي"));
    }
    return backupName;
}

} // namespace

JetMigrationPlan planJetMigration(const QString &jetPath, const QString &fallbackFolder)
{
    JetMigrationPlan plan;
    plan.source = QFileInfo(jetPath).absoluteFilePath();
    if (!isJetFile(plan.source))
        throw StoreError(QStringLiteral("الملف \"%1\" ليس قاعدة بيانات بصيغة Jet 4.0").arg(shown(plan.source)));
    if (folderWritable(QFileInfo(plan.source).absolutePath())) {
        plan.target = plan.source;
        plan.backup = freeBackupName(plan.source);
        return plan;
    }
    plan.inFallbackFolder = true;
    plan.backup = plan.source;
    QDir().mkpath(fallbackFolder);
    plan.target = QDir(QFileInfo(fallbackFolder).absoluteFilePath()).filePath(QFileInfo(plan.source).fileName());
    QFile existing(plan.target);
    plan.alreadyConverted = existing.open(QIODevice::ReadOnly)
                            && existing.read(16) == QByteArray("SQLite format 3\0", 16);
    return plan;
}

JetMigrationResult migrateJetLibrary(const JetMigrationPlan &plan, const MigrationProgress &progress)
{
    auto report = [&](MigrationPhase phase, qint64 done, qint64 total) {
        if (progress)
            progress(phase, done, total);
    };
    auto failed = [&](const QString &reason) { return StoreError(migrationText::failed(plan, reason)); };
    try {
        if (plan.inFallbackFolder && QFileInfo::exists(plan.target))
            throw StoreError(QStringLiteral("يوجد ملف باسم \"%1\" من قبل").arg(shown(plan.target)));
        const QByteArray originalDigest = fileDigest(plan.source);

        report(MigrationPhase::Reading, 0, 0);
        const JetCopy copy = importJetFile(
            plan.source, {QStringLiteral("Groub"), QStringLiteral("Code")},
            [&](qint64 done, qint64 total) { report(MigrationPhase::Reading, done, total); });
        if (failsAt(MigrationStep::AfterRead))
            throw StoreError(QStringLiteral("توقفت القراءة"));

        JetMigrationResult result;
        result.inFallbackFolder = plan.inFallbackFolder;
        result.library = plan.target;

        // Written beside the target, so that putting it in place is a rename on one file system.
        QTemporaryFile converted(plan.target + QStringLiteral(".XXXXXX.converting"));
        if (!converted.open())
            throw StoreError(QStringLiteral("تعذرت الكتابة في المجلد \"%1\": %2")
                                 .arg(shown(QFileInfo(plan.target).absolutePath()), converted.errorString()));
        converted.close();
        // The library keeps the original's mode (a temporary file is the owner's alone).
        converted.setPermissions(QFile::permissions(plan.source));

        std::map<qint64, QByteArray> groubDigests, codeDigests;
        {
            const Database source(copy.path(), Database::ReadOnly, QStringLiteral("JetMigration"));
            requireColumns(source, QStringLiteral("Groub"), {QStringLiteral("Groub"), QStringLiteral("Caption")});
            requireColumns(source, QStringLiteral("Code"),
                           {QStringLiteral("id"), QStringLiteral("Head"), QStringLiteral("Groub"),
                            QStringLiteral("code"), QStringLiteral("Learn"), QStringLiteral("User")});
            QSqlQuery counts = source.query(
                QStringLiteral("SELECT (SELECT count(*) FROM Groub) + (SELECT count(*) FROM Code)"));
            const qint64 rowsToWrite = counts.next() ? counts.value(0).toLongLong() : 0;
            qint64 written = 0;

            const Database target(converted.fileName(), Database::NoFlags, QStringLiteral("JetMigration"));
            target.query(QStringLiteral("PRAGMA journal_mode = DELETE"));
            Transaction transaction(target);
            createLibraryTables(target);

            QSqlQuery addGroub(target.db());
            addGroub.prepare(QStringLiteral("INSERT INTO Groub (Groub, Caption) VALUES (?, ?)"));
            QSet<qint64> categoryIds;
            qint64 uncategorisedId = -1;
            QSqlQuery groubs = source.query(QStringLiteral("SELECT Groub, Caption FROM Groub ORDER BY rowid"));
            while (groubs.next()) {
                bool ok;
                const qint64 id = idOf(groubs.value(0), &ok);
                if (!ok || categoryIds.contains(id))
                    throw StoreError(QStringLiteral("أرقام التصنيفات في المكتبة مكررة أو فارغة"));
                const QVariant caption = text(groubs.value(1));
                addGroub.bindValue(0, id);
                addGroub.bindValue(1, caption);
                if (!addGroub.exec())
                    throwQueryError(addGroub);
                categoryIds.insert(id);
                groubDigests[id] = rowDigest({id, caption});
                if (uncategorisedId < 0 && !caption.isNull() && caption.toString() == UncategorisedCaption)
                    uncategorisedId = id;
                ++result.categories;
                report(MigrationPhase::Writing, ++written, rowsToWrite);
            }

            QSqlQuery addCode(target.db());
            addCode.prepare(
                QStringLiteral("INSERT INTO Code (id, Head, Groub, code, Learn, User) VALUES (?, ?, ?, ?, ?, ?)"));
            QSet<qint64> codeIds;
            QSqlQuery codes = source.query(
                QStringLiteral("SELECT id, Head, Groub, code, Learn, User FROM Code ORDER BY rowid"));
            while (codes.next()) {
                bool ok;
                const qint64 id = idOf(codes.value(0), &ok);
                if (!ok || codeIds.contains(id))
                    throw StoreError(QStringLiteral("أرقام الأكواد في المكتبة مكررة أو فارغة"));
                codeIds.insert(id);
                const qint64 groub = idOf(codes.value(2), &ok);
                QVariant category = groub;
                // The tree cannot show a snippet without a category: it goes under one that exists.
                if (!ok || !categoryIds.contains(groub)) {
                    if (uncategorisedId < 0) {
                        target.query(QStringLiteral("INSERT INTO Groub (Caption) VALUES (?)"), {UncategorisedCaption});
                        QSqlQuery last = target.query(QStringLiteral("SELECT last_insert_rowid()"));
                        uncategorisedId = last.next() ? last.value(0).toLongLong() : -1;
                        if (uncategorisedId <= 0)
                            throw StoreError(QStringLiteral("لم يُحفظ الصف المضاف في المكتبة"));
                        groubDigests[uncategorisedId] = rowDigest({uncategorisedId, UncategorisedCaption});
                        result.createdUncategorised = true;
                    }
                    category = uncategorisedId;
                    ++result.uncategorised;
                }
                const QVariantList values = {id,
                                             text(codes.value(1)),
                                             category,
                                             text(codes.value(3)),
                                             text(codes.value(4)),
                                             flag(codes.value(5))};
                for (int i = 0; i < values.size(); ++i)
                    addCode.bindValue(i, values[i]);
                if (!addCode.exec())
                    throwQueryError(addCode);
                codeDigests[id] = rowDigest(values);
                ++result.snippets;
                if (values[5].toLongLong() == 1)
                    ++result.userSnippets;
                report(MigrationPhase::Writing, ++written, rowsToWrite);
            }
            transaction.commit();
        }
        if (failsAt(MigrationStep::AfterWrite))
            throw StoreError(QStringLiteral("توقفت الكتابة"));

        // Read back through a connection of its own: the file on disk is what gets kept.
        {
            const qint64 rows = qint64(groubDigests.size() + codeDigests.size());
            qint64 checked = 0;
            const QString damaged = QStringLiteral("المكتبة الجديدة لا تطابق الأصلية");
            const Database check(converted.fileName(), Database::ReadOnly, QStringLiteral("JetMigration"));
            QSqlQuery integrity = check.query(QStringLiteral("PRAGMA integrity_check"));
            if (!integrity.next() || integrity.value(0).toString() != QLatin1String("ok"))
                throw StoreError(damaged);
            auto compare = [&](const QString &sql, const std::map<qint64, QByteArray> &expected) {
                QSqlQuery q = check.query(sql);
                auto it = expected.begin();
                while (q.next()) {
                    QVariantList values;
                    for (int i = 0; i < q.record().count(); ++i)
                        values.append(q.value(i));
                    if (it == expected.end() || it->first != values[0].toLongLong() || it->second != rowDigest(values))
                        throw StoreError(damaged);
                    ++it;
                    report(MigrationPhase::Checking, ++checked, rows);
                }
                if (it != expected.end())
                    throw StoreError(damaged);
            };
            compare(QStringLiteral("SELECT Groub, Caption FROM Groub ORDER BY Groub"), groubDigests);
            compare(QStringLiteral("SELECT id, Head, Groub, code, Learn, User FROM Code ORDER BY id"), codeDigests);
        }
        if (failsAt(MigrationStep::AfterCheck))
            throw StoreError(QStringLiteral("توقف التحقق"));
        if (fileDigest(plan.source) != originalDigest)
            throw StoreError(QStringLiteral("تغير الملف الأصلي أثناء التحويل"));

        report(MigrationPhase::Replacing, 0, 1);
        result.original = replace(plan, converted.fileName());
        converted.setAutoRemove(false);
        report(MigrationPhase::Replacing, 1, 1);
        return result;
    } catch (const StoreError &e) {
        throw failed(e.message());
    }
}

void setMigrationFailureHook(std::function<bool(MigrationStep)> hook) { g_failureHook = std::move(hook); }

namespace migrationText {

QString prompt(const JetMigrationPlan &plan)
{
    QString text = QStringLiteral("المكتبة \"%1\" بالصيغة القديمة (Jet 4.0)، وسيحولها البرنامج إلى الصيغة الجديدة "
                                  "ليتمكن من فتحها.\n\n")
                       .arg(shown(plan.source));
    if (plan.inFallbackFolder)
        text += QStringLiteral("لا يمكن الكتابة في مجلد المكتبة، لذا ستكتب المكتبة الجديدة في:\n%1\n"
                               "ويبقى الملف الأصلي في مكانه كما هو دون أي تغيير.")
                    .arg(shown(plan.target));
    else
        text += QStringLiteral("سيبقى الملف الأصلي كما هو دون أي تغيير باسم:\n%1").arg(shown(plan.backup));
    return text + QStringLiteral("\n\nهل تريد تحويل المكتبة الآن؟");
}

QString done(const JetMigrationResult &result)
{
    QString text = QStringLiteral(
                       "تم تحويل المكتبة إلى الصيغة الجديدة.\n\nالتصنيفات: %1\nالأكواد: %2\nأكواد المستخدم: %3\n")
                       .arg(result.categories)
                       .arg(result.snippets)
                       .arg(result.userSnippets);
    if (result.uncategorised > 0)
        text += QStringLiteral("\nوضع %1 من الأكواد تحت التصنيف \"%2\" لأن تصنيفها مفقود.\n")
                    .arg(result.uncategorised)
                    .arg(UncategorisedCaption);
    if (result.inFallbackFolder)
        text += QStringLiteral("\nكتبت المكتبة الجديدة في:\n%1\nلأن مجلد المكتبة الأصلية للقراءة فقط، "
                               "وبقي الملف الأصلي في مكانه:\n%2")
                    .arg(shown(result.library), shown(result.original));
    else
        text += QStringLiteral("\nالملف الأصلي محفوظ كما هو باسم:\n%1").arg(shown(result.original));
    return text;
}

QString failed(const JetMigrationPlan &plan, const QString &reason)
{
    return QStringLiteral("تعذر تحويل المكتبة \"%1\" إلى الصيغة الجديدة:\n%2\n\nبقي الملف الأصلي في مكانه دون تغيير.")
        .arg(shown(plan.source), reason);
}

QString declined(const JetMigrationPlan &plan)
{
    return QStringLiteral("لا يمكن فتح المكتبة \"%1\" دون تحويلها إلى الصيغة الجديدة.").arg(shown(plan.source));
}

QString phase(MigrationPhase phase)
{
    switch (phase) {
    case MigrationPhase::Reading:
        return QStringLiteral("جار قراءة المكتبة القديمة...");
    case MigrationPhase::Writing:
        return QStringLiteral("جار كتابة المكتبة الجديدة...");
    case MigrationPhase::Checking:
        return QStringLiteral("جار التحقق من المكتبة الجديدة...");
    case MigrationPhase::Replacing:
        break;
    }
    return QStringLiteral("جار حفظ الملف الأصلي ووضع المكتبة الجديدة مكانه...");
}

} // namespace migrationText

} // namespace store
