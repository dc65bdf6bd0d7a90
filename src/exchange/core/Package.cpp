#include "exchange/core/Package.h"

#include "exchange/core/PackagePg.h"
#include "importing/core/DuplicateKey.h"
#include "store/CreateDb.h"
#include "store/Database.h"
#include "store/JetImport.h"
#include "store/LanguageTable.h"
#include "languages/Language.h"
#include "platform/Text.h"
#include "store/Library.h"
#include "store/SqliteStatement.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QStorageInfo>
#include <QUrl>

#include <cerrno>
#include <cstring>
#include <limits>
#include <optional>

#include <sqlite3.h>
#include <sys/stat.h>

namespace exchange {

using store::StoreError;

namespace {

QVariant nullText() { return QVariant(QMetaType::fromType<QString>()); }

QVariant textOrNull(const QVariant &value)
{
    if (value.isNull() || !value.isValid())
        return nullText();
    const QString text = value.toString();
    return text.isEmpty() ? nullText() : QVariant(text);
}

QVariant textOrNull(const QString &text) { return textOrNull(QVariant(text)); }

QString shown(const QString &path) { return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()); }

// ---- SQLite statements, without Qt's value layer in between ---------------------------------

// Package statements name their SQL as text and read values as the package reader keeps them.
class Statement : public store::SqliteStatement
{
public:
    Statement(sqlite3 *db, const QString &sql)
        : SqliteStatement(db, sql.toUtf8())
    { }
    // On the library's connection, whose damage is reported as such.
    Statement(const store::Database &library, const QString &sql)
        : SqliteStatement(library, sql.toUtf8())
    { }
    QVariant value(int i) const
    {
        switch (type(i)) {
        case SQLITE_NULL:
            return nullText();
        case SQLITE_INTEGER:
            return QVariant(integer(i));
        default:
            return QVariant(text(i));
        }
    }
};

using store::execSql;

bool onPostgres(const store::Library &library) { return library.engine() == store::Engine::Postgres; }

// SQLite's own reading of "true" in a User field, as store::isTrue reads it.
const char *kIsUser = "CASE typeof(c.User) WHEN 'null' THEN 0 "
                      "WHEN 'text' THEN (lower(trim(c.User)) = 'true' OR CAST(trim(c.User) AS INTEGER) <> 0) "
                      "ELSE CAST(c.User AS INTEGER) <> 0 END";

// ---- creating ------------------------------------------------------------------------------

// SQLite's name for a local file, with the given query ("immutable=1", "mode=ro").
QByteArray fileUri(const QString &path, const char *query)
{
    return (QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded) + QLatin1Char('?')
            + QLatin1String(query))
        .toUtf8();
}

bool hasLibraryLanguages(sqlite3 *db)
{
    Statement q(db, QStringLiteral("SELECT count(*) FROM library.sqlite_master WHERE type = 'table' "
                                   "AND lower(name) = 'snippetlanguage'"));
    return q.step() && q.integer(0) > 0;
}

// Copies the user snippets into the package's empty tables in one statement, reading the
// library read-only (a library opened read-only can still be packaged). Returns the titles written.
QStringList writeRows(store::Library &library, const QString &path, const PackageHeader &header)
{
    const store::Database package(QString::fromUtf8(fileUri(path, "mode=rw")), store::Database::Uri,
                                  QStringLiteral("Package"));
    package.ensureOpen();
    sqlite3 *db = store::handleOf(package);
    // A failed package is deleted, so it needs no journal; it is synced when compacted.
    execSql(db, "PRAGMA journal_mode = OFF; PRAGMA synchronous = OFF");
    const bool team = onPostgres(library);
    if (!team) {
        Statement attach(db, QStringLiteral("ATTACH DATABASE ? AS library"));
        const QByteArray uri = fileUri(library.path(), "mode=ro");
        attach.bindText(1, uri);
        attach.run();
    }
    QStringList titles;
    store::inTransaction(package, [&] {
        if (team)
            pg::copyUserSnippets(library.database(), db, store::hasLanguageTable(library.database()));
        else
            Statement(db, QStringLiteral("INSERT INTO main.Code (Head, Code, Learn, Groub, GroubNam) "
                                         "SELECT NULLIF(c.Head, ''), NULLIF(c.code, ''), NULLIF(c.Learn, ''), "
                                         "CAST(c.Groub AS INTEGER), "
                                         "CASE WHEN c.Groub IS NOT NULL THEN NULLIF((SELECT g.Caption FROM "
                                         "library.Groub AS g WHERE g.Groub = c.Groub ORDER BY g.rowid DESC LIMIT 1), "
                                         "'') END "
                                         "FROM library.Code AS c WHERE %1 ORDER BY c.rowid")
                              .arg(QLatin1String(kIsUser)))
                .run();
        if (!team && hasLibraryLanguages(db)) {
            // The package's rows were numbered 1, 2, ... in the same order.
            Statement carried(
                db, QStringLiteral("INSERT INTO main.SnippetLanguage (id, Language) SELECT n, Language FROM "
                                   "(SELECT row_number() OVER (ORDER BY c.rowid) AS n, l.Language AS Language "
                                   "FROM library.Code AS c LEFT JOIN library.SnippetLanguage AS l ON l.id = c.id "
                                   "WHERE %1) WHERE Language IS NOT NULL AND Language NOT IN ('', ?) ORDER BY n")
                        .arg(QLatin1String(kIsUser)));
            carried.bindText(1, languages::VisualBasic.toUtf8());
            carried.run();
        }
        // The header row comes after the snippets.
        Statement user(db, QStringLiteral("INSERT INTO main.User (Name, Date, Notes) VALUES (?, ?, ?)"));
        const QByteArray texts[3] = {header.name.toString().toUtf8(), header.date.toString().toUtf8(),
                                     header.notes.toString().toUtf8()};
        for (int i = 0; i < 3; ++i)
            user.bindText(i + 1, texts[i]);
        user.runInsert();
        Statement heads(db, QStringLiteral("SELECT Head FROM main.Code ORDER BY rowid"));
        while (heads.step())
            titles.append(heads.text(0));
    });
    return titles;
}

// ---- reading -------------------------------------------------------------------------------

// The file cannot be read at all (as opposed to: it is read and is not a package).
struct Unreadable {
    QString reason;
};

bool isEnvironmentFailure(int code)
{
    switch (code & 0xff) {
    case SQLITE_IOERR:
    case SQLITE_FULL:
    case SQLITE_CANTOPEN:
    case SQLITE_NOMEM:
    case SQLITE_PERM:
        return true;
    default:
        return false;
    }
}

[[noreturn]] void throwPackageSqlite(sqlite3 *db)
{
    const QString reason = store::describeSqlError(QString::fromUtf8(sqlite3_errmsg(db)));
    if (isEnvironmentFailure(sqlite3_extended_errcode(db)))
        throw Unreadable{reason};
    throw StoreError(reason);
}

// Only a regular file is opened: a FIFO or a device would block or never end.
void requireRegularFile(const QString &path)
{
    struct stat st { };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        const int err = errno;
        if (err == ENOENT || err == ENOTDIR)
            throw Unreadable{QStringLiteral("الملف غير موجود")};
        if (err == EACCES || err == EPERM)
            throw Unreadable{QStringLiteral("لا توجد صلاحية لقراءة الملف")};
        throw Unreadable{QString::fromLocal8Bit(std::strerror(err))};
    }
    if (S_ISDIR(st.st_mode))
        throw Unreadable{QStringLiteral("المسار مجلد وليس ملفاً")};
    if (!S_ISREG(st.st_mode))
        throw Unreadable{QStringLiteral("ليس ملفاً عادياً (أنبوب أو جهاز أو ما شابه)")};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Unreadable{file.error() == QFileDevice::PermissionsError
                             ? QStringLiteral("لا توجد صلاحية لقراءة الملف")
                             : QStringLiteral("تعذر فتح الملف: ") + file.errorString()};
}

// Turns off everything a hostile schema could make SQLite run.
void harden(sqlite3 *db)
{
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    execSql(db, "PRAGMA trusted_schema = OFF; PRAGMA cell_size_check = ON; PRAGMA mmap_size = 0");
}

// Checks the table and returns its real name, quoted.
QString checkTable(sqlite3 *db, const QString &table, const QStringList &columns)
{
    Statement q(db, QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND lower(name) = lower(?)"));
    const QByteArray wanted = table.toUtf8();
    q.bindText(1, wanted);
    if (!q.step())
        throw StoreError(QStringLiteral("لا يحتوي على الجدول %1").arg(table));
    const QString name = store::quotedIdentifier(q.text(0));
    Statement info(db, QStringLiteral("PRAGMA table_xinfo(%1)").arg(name));
    QStringList have;
    while (info.step()) {
        if (info.integer(6) != 0)
            throw StoreError(QStringLiteral("الجدول %1 يحتوي على حقول محسوبة").arg(table));
        have.append(info.text(1).toLower());
    }
    for (const QString &column : columns)
        if (!have.contains(column.toLower()))
            throw StoreError(QStringLiteral("الجدول %1 لا يحتوي على الحقل %2").arg(table, column));
    return name;
}

bool isTextOrNull(int type) { return type == SQLITE_TEXT || type == SQLITE_NULL; }

// Types a package row must have; checked once when the file is opened and again as each row
// is applied, in case the file was changed in between.
const char *kRowIsValid = "typeof(Head) IN ('text', 'null') AND typeof(Code) IN ('text', 'null') "
                          "AND typeof(Learn) IN ('text', 'null') AND typeof(GroubNam) IN ('text', 'null') "
                          "AND (Groub IS NULL OR (typeof(Groub) = 'integer' AND Groub BETWEEN -2147483648 AND "
                          "2147483647))";

const QString kBadRow = QStringLiteral("أحد الأكواد يحتوي على قيم غير صالحة");

// One package row as SQLite hands it over: UTF-8 bytes, empty meaning Null.
struct RawRow {
    QByteArray head, code, learn, groubNam;
    bool hasGroub = false;
    QVariant groub;
    QByteArray language; // empty: Visual Basic
};

bool isVisualBasic(const QByteArray &language)
{
    static const QByteArray basic = languages::VisualBasic.toUtf8();
    return language.isEmpty() || language == basic;
}

} // namespace

struct PackageFile::Impl {
    QString path;
    std::optional<store::JetCopy> jet;
    sqlite3 *db = nullptr;
    QString code; // the real name of the snippet table, quoted
    QString languageTable; // the real name of the language table, quoted; empty when it has none
    PackageHeader header;
    qint64 rows = 0;

    ~Impl() { sqlite3_close_v2(db); }

    QString rowsSql(const QString &columns) const
    {
        return QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(columns, code);
    }

    // Reads the rows in order and hands each to visit, checking their types again.
    template <typename Visit>
    void scan(Visit &&visit) const
    {
        const auto changed = [this] {
            return PackageError(QStringLiteral("تغير الملف \"%1\" أثناء قراءته: %2").arg(shown(path), kBadRow));
        };
        std::optional<Statement> rows;
        RawRow row;
        for (;;) {
            // Only the package's own failures are reported as such; visit's go out as they are.
            try {
                if (!rows && languageTable.isEmpty())
                    rows.emplace(db, rowsSql(QStringLiteral("Head, Code, Learn, Groub, GroubNam, NULL")));
                else if (!rows)
                    rows.emplace(db, QStringLiteral("SELECT c.Head, c.Code, c.Learn, c.Groub, c.GroubNam, l.Language "
                                                    "FROM %1 AS c LEFT JOIN (SELECT id, max(Language) AS Language "
                                                    "FROM %2 GROUP BY id) AS l ON l.id = c.rowid ORDER BY c.rowid")
                                         .arg(code, languageTable));
                if (!rows->step())
                    return;
            } catch (const StoreError &e) {
                throw PackageError(QStringLiteral("تعذرت قراءة الملف \"%1\": %2").arg(shown(path), e.message()));
            }
            if (!isTextOrNull(rows->type(0)) || !isTextOrNull(rows->type(1)) || !isTextOrNull(rows->type(2))
                || !isTextOrNull(rows->type(4)) || !isTextOrNull(rows->type(5)))
                throw changed();
            row.hasGroub = rows->type(3) != SQLITE_NULL;
            if (row.hasGroub) {
                const qint64 n = rows->integer(3);
                if (rows->type(3) != SQLITE_INTEGER || n < std::numeric_limits<qint32>::min()
                    || n > std::numeric_limits<qint32>::max())
                    throw changed();
                row.groub = n;
            } else {
                row.groub = QVariant(QMetaType::fromType<qlonglong>());
            }
            row.head = rows->rawText(0);
            row.code = rows->rawText(1);
            row.learn = rows->rawText(2);
            row.groubNam = rows->rawText(4);
            row.language = rows->rawText(5);
            visit(row);
        }
    }

    void open()
    {
        requireRegularFile(path);
        // A Jet package is read by the helper into a SQLite file, which then passes the same checks.
        QString sqlite = path;
        if (store::isJetFile(path)) {
            const QStorageInfo temp(QDir::tempPath());
            if (temp.isValid() && temp.bytesAvailable() >= 0 && temp.bytesAvailable() < QFileInfo(path).size())
                throw Unreadable{QStringLiteral("لا توجد مساحة كافية في المجلد المؤقت %1")
                                     .arg(QDir::toNativeSeparators(QDir::tempPath()))};
            try {
                jet = store::importJetFile(path, {QStringLiteral("Code"), QStringLiteral("User")});
            } catch (const StoreError &e) {
                const QString message = e.message();
                if (message.contains(QLatin1String("full"), Qt::CaseInsensitive)
                    || message.contains(QLatin1String("No space"), Qt::CaseInsensitive))
                    throw PackageError(
                        QStringLiteral("تعذرت قراءة الملف \"%1\": لا توجد مساحة كافية في المجلد المؤقت %2")
                            .arg(shown(path), QDir::toNativeSeparators(QDir::tempPath())));
                throw PackageError(message);
            }
            sqlite = jet->path();
        }
        QFile file(sqlite);
        if (!file.open(QIODevice::ReadOnly))
            throw Unreadable{QStringLiteral("تعذر فتح الملف: ") + file.errorString()};
        if (file.read(16) != QByteArray("SQLite format 3\0", 16))
            throw StoreError(QStringLiteral("ليس قاعدة بيانات"));
        file.close();

        // Read in place, never copied: immutable means no lock, no journal and no file beside it,
        // and nothing of a package is trusted until the checks below have passed.
        const QByteArray uri = fileUri(sqlite, "immutable=1");
        if (sqlite3_open_v2(uri.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr) != SQLITE_OK) {
            if (!db)
                throw Unreadable{store::describeSqlError(QStringLiteral("out of memory"))};
            throwPackageSqlite(db);
        }
        try {
            harden(db);
            // Walks only what the file's tables reach, and stops after a few faults: a header that
            // claims gigabytes the file does not hold is refused at once.
            Statement check(db, QStringLiteral("PRAGMA quick_check"));
            if (!check.step() || check.text(0) != QLatin1String("ok") || check.step())
                throw StoreError(QStringLiteral("الملف تالف"));

            Statement schema(db, QStringLiteral("SELECT type, sql FROM sqlite_master"));
            while (schema.step()) {
                const QString type = schema.text(0);
                if (type == QLatin1String("view") || type == QLatin1String("trigger"))
                    throw StoreError(QStringLiteral("يحتوي على عناصر غير مسموح بها"));
                if (type == QLatin1String("table")
                    && schema.text(1).simplified().startsWith(QLatin1String("CREATE VIRTUAL"), Qt::CaseInsensitive))
                    throw StoreError(QStringLiteral("يحتوي على عناصر غير مسموح بها"));
            }

            code = checkTable(db, QStringLiteral("Code"),
                              {QStringLiteral("Head"), QStringLiteral("Code"), QStringLiteral("Learn"),
                               QStringLiteral("Groub"), QStringLiteral("GroubNam")});
            // Optional: made by this program since snippets have languages.
            Statement hasLanguages(db, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' "
                                                      "AND lower(name) = 'snippetlanguage'"));
            if (hasLanguages.step() && hasLanguages.integer(0) > 0) {
                languageTable = checkTable(db, QStringLiteral("SnippetLanguage"),
                                           {QStringLiteral("id"), QStringLiteral("Language")});
                Statement bad(db, QStringLiteral("SELECT count(*) FROM %1 WHERE NOT (typeof(id) = 'integer' AND "
                                                 "typeof(Language) = 'text' AND length(Language) BETWEEN 1 AND %2)")
                                      .arg(languageTable)
                                      .arg(LanguageSize));
                if (!bad.step() || bad.integer(0) != 0)
                    throw StoreError(QStringLiteral("لغات الأكواد فيه غير صالحة"));
            }
            const QString user = checkTable(db, QStringLiteral("User"),
                                            {QStringLiteral("Name"), QStringLiteral("Date"), QStringLiteral("Notes")});

            Statement first(db, QStringLiteral("SELECT Name, Date, Notes FROM %1 ORDER BY rowid LIMIT 1").arg(user));
            if (!first.step())
                throw StoreError(QStringLiteral("لا يحتوي على بيانات المرسل"));
            for (int i = 0; i < 3; ++i)
                if (!isTextOrNull(first.type(i)))
                    throw StoreError(QStringLiteral("بيانات المرسل غير صالحة"));
            header = {textOrNull(first.value(0)), textOrNull(first.value(1)), textOrNull(first.value(2))};

            // typeof() reads no long text, so this pass costs little more than walking the table.
            Statement counts(
                db, QStringLiteral("SELECT count(*), total(NOT (%1)) FROM %2").arg(QLatin1String(kRowIsValid), code));
            counts.step();
            rows = counts.integer(0);
            if (counts.real(1) != 0)
                throw StoreError(kBadRow);
            // A NUL would cut the text wherever it is read as a C string: such a package is
            // refused whole, whichever field holds it.
            const std::pair<const char *, QString> fields[] = {{"Head", QStringLiteral("عنوان")},
                                                               {"GroubNam", QStringLiteral("اسم تصنيف")},
                                                               {"Code", QStringLiteral("نص")},
                                                               {"Learn", QStringLiteral("شرح")}};
            for (const auto &[column, label] : fields) {
                Statement nul(db, QStringLiteral("SELECT 1 FROM %1 WHERE instr(CAST(%2 AS BLOB), x'00') > 0 LIMIT 1")
                                      .arg(code, QLatin1String(column)));
                if (nul.step())
                    throw StoreError(QStringLiteral("%1 أحد الأكواد يحتوي على المحرف NUL (رمزه صفر)").arg(label));
            }
        } catch (const StoreError &) {
            if (isEnvironmentFailure(sqlite3_extended_errcode(db)))
                throw Unreadable{store::describeSqlError(QString::fromUtf8(sqlite3_errmsg(db)))};
            throw;
        }
    }
};

// ---- public ------------------------------------------------------------------------------------

UserSnippets listUserSnippets(store::Library &library)
{
    UserSnippets result;
    for (const store::SnippetSummary &s : library.snippetSummaries()) {
        if (!store::isTrue(s.user))
            continue;
        result.ids.append(s.id);
        result.titles.append(s.head.isNull() ? QString() : s.head.toString());
    }
    return result;
}

void checkPackageable(store::Library &library, const QString &name, const QString &date, const QString &notes)
{
    const QList<std::pair<QString, QString>> header = {
        {QStringLiteral("الاسم"), name}, {QStringLiteral("التاريخ"), date}, {QStringLiteral("الملاحظات"), notes}};
    for (const auto &[label, text] : header)
        if (text.size() > HeaderTextMax)
            throw PackageError(QStringLiteral("نص %1 أطول من %2 حرفاً").arg(label).arg(HeaderTextMax));

    if (onPostgres(library)) {
        if (const auto title = pg::overlongTitle(library.database(), HeadSize))
            throw PackageError(QStringLiteral("عنوان الكود \"%1\" أطول من %2 حرفاً")
                                   .arg(title->left(40) + QStringLiteral("…"))
                                   .arg(HeadSize));
        if (const auto category = pg::overlongCategory(library.database(), GroubNamSize))
            throw PackageError(QStringLiteral("اسم التصنيف \"%1\" أطول من %2 حرفاً").arg(*category).arg(GroubNamSize));
        return;
    }
    const store::Database &lib = library.database();
    // Lengths as the package's fields count them (characters, not UTF-16 units).
    Statement title(lib, QStringLiteral("SELECT c.Head FROM Code AS c WHERE typeof(c.Head) = 'text' AND "
                                        "length(c.Head) > %1 AND %2 LIMIT 1")
                             .arg(HeadSize)
                             .arg(QLatin1String(kIsUser)));
    if (title.step())
        throw PackageError(QStringLiteral("عنوان الكود \"%1\" أطول من %2 حرفاً")
                               .arg(title.text(0).left(40) + QStringLiteral("…"))
                               .arg(HeadSize));
    Statement category(lib, QStringLiteral("SELECT (SELECT g.Caption FROM Groub AS g WHERE g.Groub = c.Groub "
                                           "ORDER BY g.rowid DESC LIMIT 1) AS name FROM Code AS c "
                                           "WHERE c.Groub IS NOT NULL AND %1 AND length(name) > %2 LIMIT 1")
                                .arg(QLatin1String(kIsUser))
                                .arg(GroubNamSize));
    if (category.step())
        throw PackageError(
            QStringLiteral("اسم التصنيف \"%1\" أطول من %2 حرفاً").arg(category.text(0)).arg(GroubNamSize));
}

QStringList createPackage(store::Library &library, const QString &path, const QString &name, const QString &date,
                          const QString &notes)
{
    if (library.path().isEmpty())
        throw StoreError(QStringLiteral("قاعدة البيانات غير مفتوحة"));
    if (library.connection().isLibraryFile(path))
        throw PackageError(QStringLiteral("لا يمكن حفظ ملف التحديث مكان قاعدة بيانات المكتبة"));
    checkPackageable(library, name, date, notes);

    const PackageHeader header{textOrNull(name), textOrNull(date), textOrNull(notes)};
    QStringList titles;
    library.reopenAfter([&] {
        store::CreateDb db(&library);
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
            db.CreateTableDefX(path, QStringLiteral("SnippetLanguage"),
                               {QStringLiteral("id"), QStringLiteral("Language")},
                               {store::fieldType::Long, store::fieldType::Text}, {0, LanguageSize});
            titles = writeRows(library, path, header);
            db.CompactDbx(path);
        } catch (const StoreError &) {
            QFile::remove(path);
            QFile::remove(path + QLatin1Char('_'));
            QFile::remove(path + QStringLiteral("-journal"));
            throw;
        }
    });
    return titles;
}

PackageFile::PackageFile(const QString &path)
    : d(std::make_unique<Impl>())
{
    d->path = path;
    try {
        d->open();
    } catch (const Unreadable &e) {
        throw PackageError(QStringLiteral("تعذرت قراءة الملف \"%1\": %2").arg(shown(path), e.reason));
    } catch (const StoreError &e) {
        throw PackageError(QStringLiteral("الملف \"%1\" ليس ملف تحديث صالحاً: %2").arg(shown(path), e.message()));
    }
}

PackageFile::~PackageFile() = default;
PackageFile::PackageFile(PackageFile &&) noexcept = default;
PackageFile &PackageFile::operator=(PackageFile &&) noexcept = default;

QString PackageFile::path() const { return d->path; }
const PackageHeader &PackageFile::header() const { return d->header; }
qint64 PackageFile::rowCount() const { return d->rows; }

QStringList PackageFile::titles() const
{
    QStringList titles;
    try {
        Statement rows(d->db, d->rowsSql(QStringLiteral("substr(Head, 1, %1)").arg(HeadSize)));
        while (rows.step())
            titles.append(rows.type(0) == SQLITE_NULL ? QString() : rows.text(0));
    } catch (const StoreError &e) {
        throw PackageError(QStringLiteral("تعذرت قراءة الملف \"%1\": %2").arg(shown(d->path), e.message()));
    }
    return titles;
}

void PackageFile::forEachRow(const std::function<void(const PackageRow &)> &visit) const
{
    const auto text = [](const QByteArray &utf8) {
        return utf8.isEmpty() ? nullText() : QVariant(QString::fromUtf8(utf8));
    };
    d->scan([&](const RawRow &raw) {
        visit({text(raw.head), text(raw.code), text(raw.learn), raw.groub, text(raw.groubNam),
               isVisualBasic(raw.language) ? QString() : QString::fromUtf8(raw.language)});
    });
}

Package PackageFile::contents() const
{
    Package package;
    package.header = d->header;
    forEachRow([&](const PackageRow &row) { package.rows.append(row); });
    return package;
}

Package readPackage(const QString &path) { return PackageFile(path).contents(); }

QString targetCategory(const PackageRow &row)
{
    if (row.groub.isNull() || row.groubNam.isNull() || row.groubNam.toString().isEmpty())
        return store::UncategorisedCaption;
    return row.groubNam.toString();
}

namespace {

QByteArray targetCategory(const RawRow &row)
{
    static const QByteArray uncategorised = store::UncategorisedCaption.toUtf8();
    return row.hasGroub && !row.groubNam.isEmpty() ? row.groubNam : uncategorised;
}

// The library's categories by exact name; of two with one name the first in table order is used.
QHash<QByteArray, qint64> categoriesByName(const store::Database &library)
{
    QHash<QByteArray, qint64> byName;
    Statement q(library, QStringLiteral("SELECT Groub, Caption FROM Groub WHERE Caption IS NOT NULL ORDER BY rowid"));
    while (q.step()) {
        const QByteArray name(q.rawText(1).constData(), q.rawText(1).size()); // a copy: the row goes
        if (!byName.contains(name))
            byName.insert(name, q.integer(0));
    }
    return byName;
}

// The duplicates among a package's rows: equal title (as added) and code to a snippet of the same
// category, in the library or among the rows before. Keeps digests, never texts; a category's
// snippets are read when a row first names it, before anything is added to it.
class Duplicates
{
public:
    Duplicates(const store::Database &library, const QHash<QByteArray, qint64> &byName)
        : m_library(library)
        , m_byName(byName)
    {
    }

    // Whether the row is a duplicate; a row that is not is remembered for the rows after it.
    bool check(const QByteArray &category, const RawRow &row)
    {
        auto known = m_seen.find(category);
        if (known == m_seen.end()) {
            known = m_seen.insert(QByteArray(category.constData(), category.size()), {});
            const auto id = m_byName.constFind(category);
            if (id != m_byName.cend())
                readCategory(*id, *known);
        }
        const importing::core::DuplicateDigest digest = importing::core::duplicateDigest(
            QString::fromUtf8(row.head).left(HeadSize), QString::fromUtf8(row.code));
        if (known->contains(digest))
            return true;
        known->insert(digest);
        return false;
    }

private:
    void readCategory(qint64 id, QSet<importing::core::DuplicateDigest> &into)
    {
        QSqlQuery q(m_library.db());
        q.setForwardOnly(true);
        if (!q.prepare(QStringLiteral("SELECT Head, code FROM Code WHERE Groub = ?")))
            store::throwQueryError(q);
        q.addBindValue(id);
        if (!q.exec())
            store::throwQueryError(q);
        while (store::nextRow(q))
            into.insert(importing::core::duplicateDigest(q.value(0).toString(), q.value(1).toString()));
    }

    const store::Database &m_library;
    QHash<QByteArray, qint64> m_byName; // as the library was before the rows
    QHash<QByteArray, QSet<importing::core::DuplicateDigest>> m_seen;
};

// Adds the rows that forEach hands over, in one transaction of the library.
template <typename ForEach>
int applyRows(store::Library &library, ForEach &&forEach, bool skipDuplicates = false)
{
    int added = 0;
    if (onPostgres(library)) {
        library.transaction([&] {
            QHash<QByteArray, qint64> byName = pg::categoriesByName(library.database());
            std::optional<Duplicates> duplicates;
            if (skipDuplicates)
                duplicates.emplace(library.database(), byName);
            pg::RowWriter writer(library.database(), HeadSize);
            forEach([&](const RawRow &row) {
                const QByteArray name = targetCategory(row);
                if (duplicates && duplicates->check(name, row))
                    return;
                auto it = byName.constFind(name);
                if (it == byName.constEnd())
                    it = byName.insert(QByteArray(name.constData(), name.size()), writer.addCategory(name));
                writer.addSnippet(row.head, it.value(), row.code, row.learn,
                                  isVisualBasic(row.language) ? QByteArray() : row.language);
                ++added;
            });
            writer.flush();
        });
        return added;
    }
    library.transaction([&] {
        const store::Database &db = library.database();
        sqlite3 *lib = store::handleOf(db);
        QHash<QByteArray, qint64> byName = categoriesByName(db);
        std::optional<Duplicates> duplicates;
        if (skipDuplicates)
            duplicates.emplace(db, byName);
        Statement category(db, QStringLiteral("INSERT INTO Groub (Caption) VALUES (?)"));
        // User stays Null: the snippets arrive unmarked. Titles are cut as the title box cuts them.
        Statement snippet(db, QStringLiteral("INSERT INTO Code (Head, Groub, code, Learn, User) "
                                             "VALUES (substr(?, 1, %1), ?, ?, ?, NULL)")
                                  .arg(HeadSize));
        std::optional<Statement> language;
        forEach([&](const RawRow &row) {
            const QByteArray name = targetCategory(row);
            if (duplicates && duplicates->check(name, row))
                return;
            auto it = byName.constFind(name);
            if (it == byName.constEnd()) {
                category.bindText(1, name);
                category.runInsert();
                it = byName.insert(QByteArray(name.constData(), name.size()), sqlite3_last_insert_rowid(lib));
            }
            snippet.bindText(1, row.head);
            snippet.bindInt(2, it.value());
            snippet.bindText(3, row.code);
            snippet.bindText(4, row.learn);
            snippet.runInsert();
            if (!isVisualBasic(row.language)) {
                if (!language) {
                    store::ensureLanguageTable(db); // a library made before languages, opened read-only once
                    language.emplace(db, QStringLiteral("INSERT INTO SnippetLanguage (id, Language) "
                                                        "SELECT id, ? FROM Code WHERE rowid = last_insert_rowid()"));
                }
                language->bindText(1, row.language);
                language->run();
            }
            ++added;
        });
    });
    return added;
}

} // namespace

int applyPackage(store::Library &library, const PackageFile &package,
                 const std::function<void(qint64, qint64)> &progress, bool skipDuplicates)
{
    if (!progress)
        return applyRows(library, [&](const auto &add) { package.d->scan(add); }, skipDuplicates);
    const qint64 total = package.d->rows;
    return applyRows(
        library,
        [&](const auto &add) {
            qint64 done = 0;
            package.d->scan([&](const RawRow &row) {
                add(row);
                if (++done % 1024 == 0 || done == total)
                    progress(done, total);
            });
        },
        skipDuplicates);
}

int applyPackage(store::Library &library, const Package &package)
{
    return applyRows(library, [&](const auto &add) {
        const auto utf8 = [](const QVariant &v) { return v.isNull() ? QByteArray() : v.toString().toUtf8(); };
        for (const PackageRow &r : package.rows) {
            RawRow row{utf8(r.head),      utf8(r.code), utf8(r.learn),      utf8(r.groubNam),
                       !r.groub.isNull(), r.groub,      r.language.toUtf8()};
            add(row);
        }
    });
}

ApplyPreview previewApply(store::Library &library, const PackageFile &package)
{
    ApplyPreview preview;
    QHash<QByteArray, qint64> byName = onPostgres(library) ? pg::categoriesByName(library.database())
                                                           : categoriesByName(library.database());
    Duplicates duplicates(library.database(), byName);
    package.d->scan([&](const RawRow &row) {
        const QByteArray name = targetCategory(row);
        if (duplicates.check(name, row))
            ++preview.duplicates;
        if (!byName.contains(name)) {
            byName.insert(QByteArray(name.constData(), name.size()), 0);
            preview.newCategories.append(QString::fromUtf8(name));
        }
        ++preview.snippets;
    });
    return preview;
}

QString creditsPath(const store::Library &library)
{
    // The name the about box reads (about::creditsFileName).
    return QDir(library.connection().folder()).filePath(QStringLiteral("Cred.txt"));
}

void appendCredits(const store::Library &library, const QString &date, const QString &name, const QString &notes)
{
    if (library.path().isEmpty())
        throw StoreError(QStringLiteral("قاعدة البيانات غير مفتوحة"));
    // A library open for reading only gets nothing written beside it either.
    if (library.isReadOnly())
        throw StoreError(store::readOnlyLibraryMessage(library.engine()));
    QFile file(creditsPath(library));
    // Unbuffered, so a short write (a full disk) shows in what write() returns.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        throw platform::FileError(file.errorString());
    // One line per field, as the about box reads them: a line break in a package's name must not
    // make lines of its own, nor a control character reach the file.
    const QString crlf = QStringLiteral("\r\n");
    const QByteArray entry = (platform::singleLine(date) + crlf + platform::singleLine(name) + crlf
                              + platform::singleLine(notes) + crlf + crlf)
                                 .toUtf8();
    if (file.write(entry) != entry.size() || !file.flush())
        throw platform::FileError(file.errorString());
    file.close();
    if (file.error() != QFileDevice::NoError)
        throw platform::FileError(file.errorString());
}

void appendCredits(const store::Library &library, const PackageHeader &header)
{
    appendCredits(library, header.date.toString(), header.name.toString(), header.notes.toString());
}

} // namespace exchange
