#include "exchange/Package.h"

#include "about/Credits.h"
#include "exchange/Texts.h"
#include "platform/Text.h"
#include "store/CreateDb.h"
#include "store/Library.h"
#include "store/LibraryConnection.h"

#include <QAtomicInt>
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

#include <sqlite3.h>

namespace exchange {

using store::StoreError;

namespace {

QString newConnectionName()
{
    static QAtomicInt counter;
    return QStringLiteral("Package-%1").arg(counter.fetchAndAddRelaxed(1));
}

// A connection of its own to a package, removed when it goes out of scope.
class PackageConnection
{
public:
    PackageConnection(const QString &databaseName, const QString &options)
        : m_name(newConnectionName())
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(databaseName);
        db.setConnectOptions(options);
        db.open();
    }
    ~PackageConnection()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }

private:
    QString m_name;
};

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
        throw StoreError(store::describeSqlError(q.lastError().text()));
}

void writeRows(const QString &path, const UserSnippets &snippets, const QHash<QString, QVariant> &names,
               const PackageHeader &header)
{
    PackageConnection package(path, QStringLiteral("QSQLITE_BUSY_TIMEOUT=3000"));
    QSqlDatabase db = package.db();
    if (!db.isOpen())
        throw StoreError(store::describeSqlError(db.lastError().text()));
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("BEGIN")))
        throw StoreError(store::describeSqlError(q.lastError().text()));
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
    if (!q.exec(QStringLiteral("COMMIT")))
        throw StoreError(store::describeSqlError(q.lastError().text()));
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

// Checks the table and returns its real name, or throws the reason.
QString checkTable(QSqlDatabase &db, const QString &table, const QStringList &columns)
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND lower(name) = lower(?)"));
    q.addBindValue(table);
    if (!q.exec())
        throw QStringLiteral("تعذر قراءة محتويات الملف");
    if (!q.next())
        throw QStringLiteral("لا يحتوي على الجدول %1").arg(table);
    const QString name = q.value(0).toString();
    QSqlQuery info(db);
    if (!info.exec(QStringLiteral("PRAGMA table_xinfo(\"%1\")").arg(QString(name).replace('"', "\"\""))))
        throw QStringLiteral("تعذر قراءة الجدول %1").arg(table);
    QStringList have;
    while (info.next()) {
        if (info.value(6).toInt() != 0)
            throw QStringLiteral("الجدول %1 يحتوي على حقول محسوبة").arg(table);
        have.append(info.value(1).toString().toLower());
    }
    for (const QString &column : columns)
        if (!have.contains(column.toLower()))
            throw QStringLiteral("الجدول %1 لا يحتوي على الحقل %2").arg(table, column);
    return name;
}

Package readChecked(QSqlDatabase &db)
{
    if (!db.isOpen())
        throw store::describeSqlError(db.lastError().text());
    harden(db);
    QSqlQuery check(db);
    if (!check.exec(QStringLiteral("PRAGMA quick_check")))
        throw store::describeSqlError(check.lastError().text());
    if (!check.next() || check.value(0).toString() != QLatin1String("ok") || check.next())
        throw QStringLiteral("الملف تالف");

    QSqlQuery schema(db);
    if (!schema.exec(QStringLiteral("SELECT type, sql FROM sqlite_master")))
        throw store::describeSqlError(schema.lastError().text());
    while (schema.next()) {
        const QString type = schema.value(0).toString();
        if (type == QLatin1String("view") || type == QLatin1String("trigger"))
            throw QStringLiteral("يحتوي على عناصر غير مسموح بها");
        if (type == QLatin1String("table")
            && schema.value(1).toString().simplified().startsWith(QLatin1String("CREATE VIRTUAL"), Qt::CaseInsensitive))
            throw QStringLiteral("يحتوي على عناصر غير مسموح بها");
    }

    const QString code = checkTable(db, QStringLiteral("Code"),
                                    {QStringLiteral("Head"), QStringLiteral("Code"), QStringLiteral("Learn"),
                                     QStringLiteral("Groub"), QStringLiteral("GroubNam")});
    const QString user =
        checkTable(db, QStringLiteral("User"), {QStringLiteral("Name"), QStringLiteral("Date"), QStringLiteral("Notes")});
    auto quoted = [](QString name) { return QLatin1Char('"') + name.replace('"', "\"\"") + QLatin1Char('"'); };

    Package package;
    QSqlQuery header(db);
    header.setForwardOnly(true);
    if (!header.exec(QStringLiteral("SELECT Name, Date, Notes FROM %1 ORDER BY rowid LIMIT 1").arg(quoted(user))))
        throw store::describeSqlError(header.lastError().text());
    if (!header.next())
        throw QStringLiteral("لا يحتوي على بيانات المرسل");
    for (int i = 0; i < 3; ++i)
        if (!isText(header.value(i)))
            throw QStringLiteral("بيانات المرسل غير صالحة");
    package.header = {textOrNull(header.value(0)), textOrNull(header.value(1)), textOrNull(header.value(2))};

    QSqlQuery rows(db);
    rows.setForwardOnly(true);
    if (!rows.exec(QStringLiteral("SELECT Head, Code, Learn, Groub, GroubNam FROM %1 ORDER BY rowid").arg(quoted(code))))
        throw store::describeSqlError(rows.lastError().text());
    while (rows.next()) {
        PackageRow row{rows.value(0), rows.value(1), rows.value(2), rows.value(3), rows.value(4)};
        if (!isText(row.head) || !isText(row.code) || !isText(row.learn) || !isText(row.groubNam) || !isLong(row.groub))
            throw QStringLiteral("أحد الأكواد يحتوي على قيم غير صالحة");
        row.head = textOrNull(row.head);
        row.code = textOrNull(row.code);
        row.learn = textOrNull(row.learn);
        row.groubNam = textOrNull(row.groubNam);
        package.rows.append(row);
    }
    if (rows.lastError().isValid())
        throw store::describeSqlError(rows.lastError().text());
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

QString checkPackageable(const QString &name, const QString &date, const QString &notes)
{
    const QList<std::pair<QString, QString>> header = {
        {QStringLiteral("الاسم"), name}, {QStringLiteral("التاريخ"), date}, {QStringLiteral("الملاحظات"), notes}};
    for (const auto &[label, text] : header)
        if (text.size() > HeaderTextMax)
            return QStringLiteral("نص %1 أطول من %2 حرفاً").arg(label).arg(HeaderTextMax);

    const QHash<QString, QVariant> names = categoryNames();
    for (const store::SnippetSummary &s : store::Library::snippetSummaries()) {
        if (!store::isTrue(s.user))
            continue;
        const QString title = s.head.toString();
        if (title.size() > HeadSize)
            return QStringLiteral("عنوان الكود \"%1\" أطول من %2 حرفاً").arg(title.left(40) + QStringLiteral("…")).arg(HeadSize);
        if (!s.groub.isNull()) {
            const QString caption = names.value(s.groub.toString()).toString();
            if (caption.size() > GroubNamSize)
                return QStringLiteral("اسم التصنيف \"%1\" أطول من %2 حرفاً").arg(caption).arg(GroubNamSize);
        }
    }
    return {};
}

QStringList createPackage(QWidget *owner, const QString &path, const QString &name, const QString &date,
                          const QString &notes)
{
    const QString libraryPath = store::LibraryConnection::path();
    if (libraryPath.isEmpty())
        throw StoreError(QStringLiteral("قاعدة البيانات غير مفتوحة"));
    const QFileInfo target(path);
    if (target.exists() && target.canonicalFilePath() == QFileInfo(libraryPath).canonicalFilePath())
        throw StoreError(QStringLiteral("لا يمكن حفظ ملف التحديث مكان قاعدة بيانات المكتبة"));
    if (const QString reason = checkPackageable(name, date, notes); !reason.isEmpty())
        throw StoreError(reason);

    const UserSnippets snippets = listUserSnippets();
    const QHash<QString, QVariant> names = categoryNames();
    const PackageHeader header{textOrNull(name), textOrNull(date), textOrNull(notes)};

    store::CreateDb db;
    QString failure;
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
        db.CompactDbx(owner, path);
    } catch (const StoreError &e) {
        failure = e.message();
        QFile::remove(path);
        QFile::remove(path + QLatin1Char('_'));
        QFile::remove(path + QStringLiteral("-journal"));
    }
    // Compaction closes the library; it must be open again whatever happened.
    if (!store::LibraryConnection::isOpen()) {
        QString reason;
        if (!store::LibraryConnection::open(libraryPath, &reason))
            failure += (failure.isEmpty() ? QString() : QStringLiteral("\r\n"))
                       + QStringLiteral("تعذر إعادة فتح قاعدة البيانات: ") + reason;
    }
    if (!failure.isEmpty())
        throw StoreError(failure);
    return snippets.titles;
}

std::optional<Package> readPackage(const QString &path, QString *error)
{
    QString reason;
    std::optional<Package> result;
    // A private copy that no one else writes: read-only and immutable, no journal beside it.
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("package.cup"));
    QFile source(path);
    if (!QFileInfo(path).isFile()) {
        reason = QStringLiteral("الملف غير موجود");
    } else if (!source.open(QIODevice::ReadOnly)) {
        reason = QStringLiteral("لا يمكن قراءة الملف: ") + source.errorString();
    } else if (source.peek(16) != QByteArray("SQLite format 3\0", 16)) {
        reason = QStringLiteral("ليس قاعدة بيانات");
    } else {
        source.close();
        if (!dir.isValid() || !QFile::copy(path, copy)) {
            reason = QStringLiteral("تعذر نسخ الملف للقراءة");
        } else {
            QFile::setPermissions(copy, QFile::ReadOwner);
            const QString uri = QUrl::fromLocalFile(copy).toString(QUrl::FullyEncoded) + QStringLiteral("?immutable=1");
            PackageConnection connection(uri, QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI"));
            QSqlDatabase db = connection.db();
            try {
                result = readChecked(db);
            } catch (const QString &why) {
                reason = why;
            }
        }
    }
    if (result)
        return result;
    if (error)
        *error = QStringLiteral("الملف \"%1\" ليس ملف تحديث صالحاً: %2")
                     .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()), reason);
    return std::nullopt;
}

QString targetCategory(const PackageRow &row)
{
    if (row.groub.isNull() || row.groubNam.isNull() || row.groubNam.toString().isEmpty())
        return text::Uncategorised;
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

QString creditsPath()
{
    return about::creditsPath(QFileInfo(store::LibraryConnection::path()).absolutePath());
}

QString appendCredits(const QString &date, const QString &name, const QString &notes)
{
    if (store::LibraryConnection::path().isEmpty())
        return QStringLiteral("قاعدة البيانات غير مفتوحة");
    QFile file(creditsPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return file.errorString();
    const QString crlf = QStringLiteral("\r\n");
    const QByteArray entry =
        (platform::withCrLf(date) + crlf + platform::withCrLf(name) + crlf + platform::withCrLf(notes) + crlf + crlf)
            .toUtf8();
    if (file.write(entry) != entry.size() || !file.flush())
        return file.errorString();
    file.close();
    if (file.error() != QFileDevice::NoError)
        return file.errorString();
    return {};
}

} // namespace exchange
