#include "exchange/Package.h"

#include "about/Credits.h"
#include "exchange/Compact.h"
#include "exchange/PackageError.h"
#include "exchange/Texts.h"
#include "platform/Text.h"
#include "store/CreateDb.h"
#include "store/Database.h"
#include "store/JetImport.h"
#include "store/Library.h"
#include "store/LibraryConnection.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUrl>

#include <limits>
#include <optional>

#include <sqlite3.h>

namespace exchange {

using store::StoreError;
using store::throwQueryError;

namespace {

QVariant textOrNull(const QVariant &value)
{
    if (value.isNull() || !value.isValid())
        return QVariant(QMetaType::fromType<QString>());
    const QString text = value.toString();
    return text.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(text);
}

QVariant textOrNull(const QString &text) { return textOrNull(QVariant(text)); }

// The caption of every category by its number as text (the last of a number wins).
QHash<QString, QVariant> categoryNames()
{
    QHash<QString, QVariant> names;
    for (const store::Category &c : store::Library::categories())
        names.insert(QString::number(c.id), c.caption);
    return names;
}

void exec(QSqlQuery &q)
{
    if (!q.exec())
        throwQueryError(q);
}

void writeRows(const QString &path, const UserSnippets &snippets, const QHash<QString, QVariant> &names,
               const PackageHeader &header)
{
    const store::Database package(path, store::Database::NoFlags, QStringLiteral("Package"));
    package.exec(QStringLiteral("BEGIN"));
    QSqlDatabase db = package.db();
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral("INSERT INTO Code (Head, Code, Learn, Groub, GroubNam) VALUES (?, ?, ?, ?, ?)"));
    for (qint32 id : snippets.ids) {
        const std::optional<store::Snippet> s = store::Library::snippet(id);
        if (!s)
            throw StoreError(QStringLiteral("حذف أحد أكواد المستخدم أثناء إنشاء ملف التحديث"));
        QVariant groub(QMetaType::fromType<qlonglong>());
        QVariant groubNam(QMetaType::fromType<QString>());
        if (!s->groub.isNull()) {
            groub = s->groub.toLongLong();
            groubNam = textOrNull(names.value(s->groub.toString()));
        }
        insert.bindValue(0, textOrNull(s->head));
        insert.bindValue(1, textOrNull(s->code));
        insert.bindValue(2, textOrNull(s->learn));
        insert.bindValue(3, groub);
        insert.bindValue(4, groubNam);
        exec(insert);
    }
    // The header row comes after the snippets.
    QSqlQuery user(db);
    user.prepare(QStringLiteral("INSERT INTO User (Name, Date, Notes) VALUES (?, ?, ?)"));
    user.addBindValue(header.name);
    user.addBindValue(header.date);
    user.addBindValue(header.notes);
    exec(user);
    package.exec(QStringLiteral("COMMIT"));
}

// ---- reading ------------------------------------------------------------------------------

// Turns off everything a hostile schema could make SQLite run.
void harden(QSqlDatabase &db)
{
    const QVariant handle = db.driver()->handle();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0) {
        if (sqlite3 *h = *static_cast<sqlite3 *const *>(handle.constData())) {
            sqlite3_db_config(h, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
            sqlite3_db_config(h, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
            sqlite3_db_config(h, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
            sqlite3_db_config(h, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
            sqlite3_db_config(h, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
        }
    }
    QSqlQuery q(db);
    q.exec(QStringLiteral("PRAGMA trusted_schema = OFF"));
    q.exec(QStringLiteral("PRAGMA cell_size_check = ON"));
    q.exec(QStringLiteral("PRAGMA mmap_size = 0"));
}

bool isText(const QVariant &v) { return v.isNull() || v.typeId() == QMetaType::QString; }

bool isLong(const QVariant &v)
{
    if (v.isNull())
        return true;
    if (v.typeId() != QMetaType::LongLong && v.typeId() != QMetaType::Int)
        return false;
    const qlonglong n = v.toLongLong();
    return n >= std::numeric_limits<qint32>::min() && n <= std::numeric_limits<qint32>::max();
}

// Checks the table and returns its real name.
QString checkTable(QSqlDatabase &db, const QString &table, const QStringList &columns)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND lower(name) = lower(?)"));
    q.addBindValue(table);
    if (!q.exec())
        throw StoreError(QStringLiteral("تعذر قراءة محتويات الملف"));
    if (!q.next())
        throw StoreError(QStringLiteral("لا يحتوي على الجدول %1").arg(table));
    const QString name = q.value(0).toString();
    QSqlQuery info(db);
    if (!info.exec(QStringLiteral("PRAGMA table_xinfo(%1)").arg(store::quotedIdentifier(name))))
        throw StoreError(QStringLiteral("تعذر قراءة الجدول %1").arg(table));
    QStringList have;
    while (info.next()) {
        if (info.value(6).toInt() != 0)
            throw StoreError(QStringLiteral("الجدول %1 يحتوي على حقول محسوبة").arg(table));
        have.append(info.value(1).toString().toLower());
    }
    for (const QString &column : columns)
        if (!have.contains(column.toLower()))
            throw StoreError(QStringLiteral("الجدول %1 لا يحتوي على الحقل %2").arg(table, column));
    return name;
}

Package readChecked(const store::Database &connection)
{
    connection.ensureOpen();
    QSqlDatabase db = connection.db();
    harden(db);
    QSqlQuery check(db);
    if (!check.exec(QStringLiteral("PRAGMA quick_check")))
        throwQueryError(check);
    if (!check.next() || check.value(0).toString() != QLatin1String("ok") || check.next())
        throw StoreError(QStringLiteral("الملف تالف"));

    QSqlQuery schema(db);
    if (!schema.exec(QStringLiteral("SELECT type, sql FROM sqlite_master")))
        throwQueryError(schema);
    while (schema.next()) {
        const QString type = schema.value(0).toString();
        if (type == QLatin1String("view") || type == QLatin1String("trigger"))
            throw StoreError(QStringLiteral("يحتوي على عناصر غير مسموح بها"));
        if (type == QLatin1String("table")
            && schema.value(1).toString().simplified().startsWith(QLatin1String("CREATE VIRTUAL"), Qt::CaseInsensitive))
            throw StoreError(QStringLiteral("يحتوي على عناصر غير مسموح بها"));
    }

    const QString code = checkTable(db, QStringLiteral("Code"),
                                    {QStringLiteral("Head"), QStringLiteral("Code"), QStringLiteral("Learn"),
                                     QStringLiteral("Groub"), QStringLiteral("GroubNam")});
    const QString user = checkTable(db, QStringLiteral("User"),
                                    {QStringLiteral("Name"), QStringLiteral("Date"), QStringLiteral("Notes")});

    Package package;
    QSqlQuery header(db);
    header.setForwardOnly(true);
    if (!header.exec(QStringLiteral("SELECT Name, Date, Notes FROM %1 ORDER BY rowid LIMIT 1")
                         .arg(store::quotedIdentifier(user))))
        throwQueryError(header);
    if (!header.next())
        throw StoreError(QStringLiteral("لا يحتوي على بيانات المرسل"));
    for (int i = 0; i < 3; ++i)
        if (!isText(header.value(i)))
            throw StoreError(QStringLiteral("بيانات المرسل غير صالحة"));
    package.header = {textOrNull(header.value(0)), textOrNull(header.value(1)), textOrNull(header.value(2))};

    QSqlQuery rows(db);
    rows.setForwardOnly(true);
    if (!rows.exec(QStringLiteral("SELECT Head, Code, Learn, Groub, GroubNam FROM %1 ORDER BY rowid")
                       .arg(store::quotedIdentifier(code))))
        throwQueryError(rows);
    while (rows.next()) {
        PackageRow row{rows.value(0), rows.value(1), rows.value(2), rows.value(3), rows.value(4)};
        if (!isText(row.head) || !isText(row.code) || !isText(row.learn) || !isText(row.groubNam) || !isLong(row.groub))
            throw StoreError(QStringLiteral("أحد الأكواد يحتوي على قيم غير صالحة"));
        row.head = textOrNull(row.head);
        row.code = textOrNull(row.code);
        row.learn = textOrNull(row.learn);
        row.groubNam = textOrNull(row.groubNam);
        package.rows.append(row);
    }
    if (rows.lastError().isValid())
        throwQueryError(rows);
    return package;
}

} // namespace

UserSnippets listUserSnippets()
{
    UserSnippets result;
    for (const store::SnippetSummary &s : store::Library::snippetSummaries()) {
        if (!store::isTrue(s.user))
            continue;
        result.ids.append(s.id);
        result.titles.append(s.head.isNull() ? QString() : s.head.toString());
    }
    return result;
}

void checkPackageable(const QString &name, const QString &date, const QString &notes)
{
    const QList<std::pair<QString, QString>> header = {
        {QStringLiteral("الاسم"), name}, {QStringLiteral("التاريخ"), date}, {QStringLiteral("الملاحظات"), notes}};
    for (const auto &[label, text] : header)
        if (text.size() > HeaderTextMax)
            throw PackageError(QStringLiteral("نص %1 أطول من %2 حرفاً").arg(label).arg(HeaderTextMax));

    const QHash<QString, QVariant> names = categoryNames();
    for (const store::SnippetSummary &s : store::Library::snippetSummaries()) {
        if (!store::isTrue(s.user))
            continue;
        const QString title = s.head.toString();
        if (title.size() > HeadSize)
            throw PackageError(QStringLiteral("عنوان الكود \"%1\" أطول من %2 حرفاً")
                                   .arg(title.left(40) + QStringLiteral("…"))
                                   .arg(HeadSize));
        if (!s.groub.isNull()) {
            const QString caption = names.value(s.groub.toString()).toString();
            if (caption.size() > GroubNamSize)
                throw PackageError(QStringLiteral("اسم التصنيف \"%1\" أطول من %2 حرفاً").arg(caption).arg(GroubNamSize));
        }
    }
}

QStringList createPackage(const QString &path, const QString &name, const QString &date, const QString &notes)
{
    const QString libraryPath = store::LibraryConnection::path();
    if (libraryPath.isEmpty())
        throw StoreError(QStringLiteral("قاعدة البيانات غير مفتوحة"));
    const QFileInfo target(path);
    if (target.exists() && target.canonicalFilePath() == QFileInfo(libraryPath).canonicalFilePath())
        throw PackageError(QStringLiteral("لا يمكن حفظ ملف التحديث مكان قاعدة بيانات المكتبة"));
    checkPackageable(name, date, notes);

    const UserSnippets snippets = listUserSnippets();
    const QHash<QString, QVariant> names = categoryNames();
    const PackageHeader header{textOrNull(name), textOrNull(date), textOrNull(notes)};

    withLibraryReopened([&] {
        store::CreateDb db;
        try {
            db.CreateDatabaseX(path);
            db.CreateTableDefX(path, QStringLiteral("Code"),
                               {QStringLiteral("Head"), QStringLiteral("Code"), QStringLiteral("Learn"),
                                QStringLiteral("Groub"), QStringLiteral("GroubNam")},
                               {store::fieldType::Text, store::fieldType::Memo, store::fieldType::Memo,
                                store::fieldType::Long, store::fieldType::Text},
                               {HeadSize, 0, 0, 0, GroubNamSize});
            db.CreateTableDefX(path, QStringLiteral("User"),
                               {QStringLiteral("Name"), QStringLiteral("Date"), QStringLiteral("Notes")},
                               {store::fieldType::Text, store::fieldType::Text, store::fieldType::Text},
                               {int(name.size()) + 1, int(date.size()) + 1, int(notes.size()) + 1});
            writeRows(path, snippets, names, header);
            db.CompactDbx(path);
        } catch (const StoreError &) {
            QFile::remove(path);
            QFile::remove(path + QLatin1Char('_'));
            QFile::remove(path + QStringLiteral("-journal"));
            throw;
        }
    });
    return snippets.titles;
}

Package readPackage(const QString &path)
{
    try {
        // A private copy that no one else writes: read-only and immutable, no journal beside it.
        QTemporaryDir dir;
        const QString copy = dir.filePath(QStringLiteral("package.cup"));
        QFile source(path);
        if (!QFileInfo(path).isFile())
            throw StoreError(QStringLiteral("الملف غير موجود"));
        if (!source.open(QIODevice::ReadOnly))
            throw StoreError(QStringLiteral("لا يمكن قراءة الملف: ") + source.errorString());
        source.close();
        // A Jet package is read by the helper into a SQLite file, which then passes the same checks.
        std::optional<store::JetCopy> jet;
        QString sqlite = path;
        if (store::isJetFile(path)) {
            try {
                jet = store::importJetFile(path, {QStringLiteral("Code"), QStringLiteral("User")});
            } catch (const StoreError &e) {
                throw PackageError(e.message());
            }
            sqlite = jet->path();
        }
        QFile header(sqlite);
        if (!header.open(QIODevice::ReadOnly) || header.read(16) != QByteArray("SQLite format 3\0", 16))
            throw StoreError(QStringLiteral("ليس قاعدة بيانات"));
        header.close();
        if (!dir.isValid() || !QFile::copy(sqlite, copy))
            throw StoreError(QStringLiteral("تعذر نسخ الملف للقراءة"));
        QFile::setPermissions(copy, QFile::ReadOwner);
        const QString uri = QUrl::fromLocalFile(copy).toString(QUrl::FullyEncoded) + QStringLiteral("?immutable=1");
        return readChecked(
            store::Database(uri, store::Database::ReadOnly | store::Database::Uri, QStringLiteral("Package")));
    } catch (const StoreError &e) {
        throw PackageError(QStringLiteral("الملف \"%1\" ليس ملف تحديث صالحاً: %2")
                               .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()), e.message()));
    }
}

QString targetCategory(const PackageRow &row)
{
    if (row.groub.isNull() || row.groubNam.isNull() || row.groubNam.toString().isEmpty())
        return store::UncategorisedCaption;
    return row.groubNam.toString();
}

int applyPackage(const Package &package)
{
    int added = 0;
    store::Library::transaction([&] {
        // By exact name; of two categories with one name the first in table order is used.
        QHash<QString, qint32> byName;
        for (const store::Category &c : store::Library::categories())
            if (!c.caption.isNull() && !byName.contains(c.caption.toString()))
                byName.insert(c.caption.toString(), c.id);
        for (const PackageRow &row : package.rows) {
            const QString category = targetCategory(row);
            auto it = byName.find(category);
            if (it == byName.end())
                it = byName.insert(category, store::Library::addCategory(category));
            store::Snippet s;
            s.head = textOrNull(row.head);
            s.code = textOrNull(row.code);
            s.learn = textOrNull(row.learn);
            s.groub = it.value();
            s.user = QVariant(); // arrives unmarked
            store::Library::addSnippet(s);
            ++added;
        }
    });
    return added;
}

QString creditsPath() { return about::creditsPath(QFileInfo(store::LibraryConnection::path()).absolutePath()); }

void appendCredits(const QString &date, const QString &name, const QString &notes)
{
    if (store::LibraryConnection::path().isEmpty())
        throw StoreError(QStringLiteral("قاعدة البيانات غير مفتوحة"));
    QFile file(creditsPath());
    // Unbuffered, so a short write (a full disk) shows in what write() returns.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        throw platform::FileError(file.errorString());
    const QString crlf = QStringLiteral("\r\n");
    const QByteArray entry = (platform::withCrLf(date) + crlf + platform::withCrLf(name) + crlf
                              + platform::withCrLf(notes) + crlf + crlf)
                                 .toUtf8();
    if (file.write(entry) != entry.size() || !file.flush())
        throw platform::FileError(file.errorString());
    file.close();
    if (file.error() != QFileDevice::NoError)
        throw platform::FileError(file.errorString());
}

} // namespace exchange
