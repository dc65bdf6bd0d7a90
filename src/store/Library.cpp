#include "store/Library.h"

#include "store/Database.h"
#include "store/LanguageTable.h"
#include "store/LibraryWatcher.h"
#include "store/PgLibrary.h"
#include "store/PgReconnect.h"

#include "languages/Language.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>

namespace store {

namespace {

void run(QSqlQuery &query)
{
    if (!query.exec())
        throwQueryError(query);
}

QVariant nullable(const QVariant &value) { return value.isValid() ? value : QVariant(QMetaType::fromType<QString>()); }

QVariant groubValue(const QVariant &groub)
{
    if (groub.isNull())
        return QVariant(QMetaType::fromType<qlonglong>());
    bool ok = false;
    const qlonglong id = groub.toString().trimmed().toLongLong(&ok);
    return ok ? QVariant(id) : groub;
}

// A Boolean: SQLite stores it as 1 or 0, PostgreSQL's field is boolean.
QVariant userValue(const QVariant &user)
{
    if (user.isNull())
        return QVariant(QMetaType::fromType<bool>());
    return QVariant(isTrue(user));
}

// The id of the row an INSERT ... RETURNING added. No row or no id means nothing was stored
// (SQLite returns a row of Nulls for an insert a view swallowed): a failure, never an id.
qint32 insertedId(QSqlQuery &query)
{
    const auto nothingStored = [] { return StoreError(QStringLiteral("لم يُحفظ الصف المضاف في المكتبة")); };
    if (!nextRow(query))
        throw nothingStored();
    bool ok = false;
    const qint32 id = query.value(0).toInt(&ok);
    if (query.value(0).isNull() || !ok)
        throw nothingStored();
    query.finish();
    return id;
}

Snippet readSnippet(const QSqlQuery &q)
{
    Snippet s;
    s.id = q.value(0).toInt();
    s.head = q.value(1);
    s.groub = q.value(2);
    s.code = q.value(3);
    s.learn = q.value(4);
    s.user = q.value(5);
    return s;
}

const char *kSnippetColumns = "SELECT id, Head, Groub, code, Learn, \"User\" FROM Code";

// An edit that writes these title, code and comment changes the row.
const QString kChangesText = QStringLiteral(
    "Head IS DISTINCT FROM ? OR code IS DISTINCT FROM ? OR Learn IS DISTINCT FROM ?");

} // namespace

Library::Library(QObject *parent)
    : QObject(parent)
{ }

Library::~Library()
{
    // The watcher reads the connection as it goes: it goes first.
    delete m_watcher;
    m_watcher = nullptr;
    close();
}

void Library::attachIndex()
{
    // Best effort: a library whose index cannot be kept (read-only) is searched by scanning.
    m_index.attach(*m_connection.connection(), m_connection.isReadOnly());
}

void Library::open(const QString &location, bool readOnly)
{
    close();
    m_connection.open(location, readOnly);
    attachIndex();
    prepareSideTables();
}

void Library::create(const QString &path, bool seed)
{
    close();
    m_connection.create(path, seed);
    attachIndex();
    prepareSideTables();
    if (m_index.status() == SearchIndex::Status::Building)
        m_index.buildAll(); // the starter snippets only
}

void Library::createSchema(const QString &location)
{
    close();
    m_connection.createSchema(location);
    attachIndex();
    prepareSideTables();
}

void Library::close()
{
    m_frequent.reset();
    m_check.stop();
    m_index.detach();
    m_connection.close();
}

void Library::reopenAfter(const std::function<void()> &work)
{
    const QString location = path();
    const bool readOnly = isReadOnly();
    if (location.isEmpty())
        throw StoreError(QStringLiteral("قاعدة البيانات غير مفتوحة"));
    QString failure;
    try {
        work();
    } catch (const StoreError &e) {
        failure = e.message();
    }
    if (!isOpen()) {
        try {
            open(location, readOnly);
        } catch (const StoreError &e) {
            failure += (failure.isEmpty() ? QString() : QStringLiteral("\r\n"))
                       + QStringLiteral("تعذر إعادة فتح قاعدة البيانات: ") + e.message();
        }
    }
    if (!failure.isEmpty())
        throw StoreError(failure);
}

const Database &Library::database() const
{
    if (const Database *db = m_connection.connection())
        return *db;
    throw StoreError(QStringLiteral("قاعدة البيانات غير مفتوحة"));
}

void Library::startWatching()
{
    if (m_watcher)
        return;
    m_watcher = new LibraryWatcher(m_connection, this);
    connect(m_watcher, &LibraryWatcher::changed, this, [this] {
        emit changedElsewhere();
        emit changed();
    });
}

// Table order: SQLite's rowid (a file from elsewhere may key its rows otherwise); on PostgreSQL
// the generated key, which only grows.
QString Library::rowOrder(const char *key) const
{
    return onPostgres() ? QString::fromLatin1(key) : QStringLiteral("rowid");
}

QSqlQuery Library::prepare(const QString &sql)
{
    if (m_transactionDepth == 0)
        m_connection.ensureConnected();
    if (!isOpen())
        throw StoreError(QStringLiteral("قاعدة البيانات غير مفتوحة"));
    QSqlQuery query(m_connection.database());
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        throwQueryError(query);
    return query;
}

// Runs a statement with its values. On PostgreSQL the driver would send a prepared statement as
// PREPARE, EXECUTE and DEALLOCATE, three round trips for one write: the values go in through the
// driver's own quoting instead, as its EXECUTE would carry them, and the statement is sent once.
QSqlQuery Library::runWith(const QString &sql, const QVariantList &values)
{
    if (!onPostgres()) {
        QSqlQuery query = prepare(sql);
        for (const QVariant &v : values)
            query.addBindValue(v);
        run(query);
        return query;
    }
    if (m_transactionDepth == 0)
        m_connection.ensureConnected();
    QSqlQuery query(m_connection.database());
    query.setForwardOnly(true);
    if (!query.exec(withValues(sql, values)))
        throwQueryError(query);
    return query;
}

// The statement with each ? replaced, in order, by a value in the driver's quoting.
QString Library::withValues(const QString &sql, const QVariantList &values) const
{
    const QSqlDriver *driver = m_connection.database().driver();
    QString text;
    qsizetype value = 0;
    for (const QChar c : sql) {
        if (c != u'?') {
            text += c;
            continue;
        }
        if (value == values.size())
            throw StoreError(QStringLiteral("خطأ في قاعدة البيانات"));
        const QVariant &v = values[value++];
        QSqlField field(QString(), v.metaType());
        field.setValue(v);
        text += driver->formatValue(field);
    }
    return text;
}

struct Library::Frequent {
    qint64 session = -1; // openCount and reconnections combined
    QHash<QString, QString> names; // statement -> its name on the server
    int made = 0;
};

// The statements are prepared and run by name in plain SQL, with the values quoted as runWith
// quotes them: one round trip each time, and nothing to free when the session ends (the
// driver's own prepared statements would each send a DEALLOCATE, into whatever session is
// there by then, and read long answers more slowly).
void Library::runFrequent(const QString &sql, const QVariantList &values, const std::function<void(QSqlQuery &)> &read)
{
    if (!onPostgres()) {
        QSqlQuery query = runWith(sql, values); // SQLite keeps prepared statements of its own
        read(query);
        return;
    }
    if (!m_frequent)
        m_frequent = std::make_unique<Frequent>();
    if (m_transactionDepth == 0)
        m_connection.ensureConnected();
    // A statement prepared on a session that has ended (closed, reconnected) is unknown to the next.
    const qint64 session = m_connection.openCount() * 1000003 + m_connection.reconnects();
    if (m_frequent->session != session) {
        m_frequent->names.clear();
        m_frequent->session = session;
    }
    QSqlQuery query(m_connection.database());
    query.setForwardOnly(true);
    auto found = m_frequent->names.constFind(sql);
    if (found == m_frequent->names.cend()) {
        // A name never used before in this object, so a statement whose PREPARE outlived a
        // failed write is never met again.
        const QString name = QStringLiteral("tamrisk_%1").arg(++m_frequent->made);
        QString text;
        int number = 0;
        for (const QChar c : sql)
            text += c == u'?' ? QStringLiteral("$%1").arg(++number) : QString(c);
        if (!query.exec(QStringLiteral("PREPARE %1 AS %2").arg(name, text)))
            throwQueryError(query);
        found = m_frequent->names.insert(sql, name);
    }
    QStringList placeholders;
    for (qsizetype i = 0; i < values.size(); ++i)
        placeholders.append(QStringLiteral("?"));
    const QString execute = QStringLiteral("EXECUTE ") + *found
                            + (values.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(placeholders.join(u',')));
    if (!query.exec(withValues(execute, values)))
        throwQueryError(query);
    read(query);
}

// One statement that changes rows of one id; returns whether a row had it.
bool Library::changeRow(const QString &sql, const QVariantList &values)
{
    bool changed = false;
    transaction([&] { changed = runWith(sql, values).numRowsAffected() > 0; });
    return changed;
}

bool isTrue(const QVariant &flag)
{
    if (flag.isNull() || !flag.isValid())
        return false;
    if (flag.typeId() == QMetaType::QString) {
        const QString text = flag.toString().trimmed();
        if (text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return true;
        return text.toLongLong() != 0;
    }
    return flag.toLongLong() != 0;
}

QList<Category> Library::categories()
{
    QSqlQuery q = prepare(QStringLiteral("SELECT Groub, Caption FROM Groub ORDER BY %1").arg(rowOrder("Groub")));
    run(q);
    QList<Category> result;
    while (nextRow(q))
        result.append({q.value(0).toInt(), q.value(1)});
    return result;
}

QList<SnippetSummary> Library::snippetSummaries()
{
    QSqlQuery q = prepare(QStringLiteral("SELECT id, Head, Groub, \"User\" FROM Code"));
    run(q);
    QList<SnippetSummary> result;
    while (nextRow(q))
        result.append({q.value(0).toInt(), q.value(1), q.value(2), q.value(3)});
    return result;
}

std::optional<Snippet> Library::snippet(qint32 id)
{
    QSqlQuery q = prepare(QString::fromLatin1(kSnippetColumns) + QStringLiteral(" WHERE id = ?"));
    q.addBindValue(id);
    run(q);
    if (!nextRow(q))
        return std::nullopt;
    return readSnippet(q);
}

std::optional<QVariant> Library::snippetField(qint32 id, const QString &field)
{
    QString column;
    if (field.compare(QLatin1String("Head"), Qt::CaseInsensitive) == 0)
        column = QStringLiteral("Head");
    else if (field.compare(QLatin1String("code"), Qt::CaseInsensitive) == 0)
        column = QStringLiteral("code");
    else if (field.compare(QLatin1String("Learn"), Qt::CaseInsensitive) == 0)
        column = QStringLiteral("Learn");
    else if (field.compare(QLatin1String("Groub"), Qt::CaseInsensitive) == 0)
        column = QStringLiteral("Groub");
    else
        throw StoreError(QStringLiteral("حقل غير معروف: ") + field);
    QSqlQuery q = prepare(QStringLiteral("SELECT %1 FROM Code WHERE id = ?").arg(column));
    q.addBindValue(id);
    run(q);
    if (!nextRow(q))
        return std::nullopt;
    return q.value(0);
}

qint64 Library::snippetCount()
{
    QSqlQuery q = prepare(QStringLiteral("SELECT count(*) FROM Code"));
    run(q);
    return nextRow(q) ? q.value(0).toLongLong() : 0;
}

qint64 Library::categoryCount()
{
    QSqlQuery q = prepare(QStringLiteral("SELECT count(*) FROM Groub"));
    run(q);
    return nextRow(q) ? q.value(0).toLongLong() : 0;
}

QList<Snippet> Library::allSnippets()
{
    QSqlQuery q = prepare(QString::fromLatin1(kSnippetColumns) + QStringLiteral(" ORDER BY ") + rowOrder("id"));
    run(q);
    QList<Snippet> result;
    while (nextRow(q))
        result.append(readSnippet(q));
    return result;
}

QList<SnippetText> Library::snippetTexts(qint64 afterRow, int maxRows, bool withCode, bool withLearn,
                                         const QString &fragment)
{
    const bool pg = onPostgres();
    const auto column = [&fragment, pg](const char *name) {
        const QString field = QLatin1String(name);
        if (fragment.isEmpty())
            return field;
        // PostgreSQL's LIKE minds case; ILIKE matches all SQLite's LIKE does and more.
        if (pg)
            return QStringLiteral("CASE WHEN %1 ILIKE ? ESCAPE '\\' THEN %1 END").arg(field);
        return QStringLiteral("CASE WHEN typeof(%1) <> 'text' OR %1 LIKE ? ESCAPE '\\' THEN %1 END").arg(field);
    };
    // LIKE patterns have a length limit; the start of a fragment is as good a test as any piece of it.
    QString pattern = fragment.left(2000);
    pattern.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    pattern.replace(QLatin1Char('%'), QLatin1String("\\%"));
    pattern.replace(QLatin1Char('_'), QLatin1String("\\_"));
    pattern = QLatin1Char('%') + pattern + QLatin1Char('%');
    const QString row = rowOrder("id");
    QString sql = QStringLiteral("SELECT %1, id, Head").arg(row);
    if (withCode)
        sql += QStringLiteral(", ") + column("code");
    if (withLearn)
        sql += QStringLiteral(", ") + column("Learn");
    sql += QStringLiteral(" FROM Code WHERE %1 > ? ORDER BY %1 LIMIT ?").arg(row);
    QVariantList values;
    if (!fragment.isEmpty()) {
        if (withCode)
            values.append(pattern);
        if (withLearn)
            values.append(pattern);
    }
    values << afterRow << qMax(maxRows, 1);
    QSqlQuery q = runWith(sql, values);
    QList<SnippetText> result;
    while (nextRow(q)) {
        SnippetText t;
        t.row = q.value(0).toLongLong();
        t.id = q.value(1).toInt();
        t.head = q.value(2);
        int column = 3;
        if (withCode)
            t.code = q.value(column++);
        if (withLearn)
            t.learn = q.value(column);
        result.append(std::move(t));
    }
    return result;
}

QList<SnippetText> Library::snippetTextsOf(const QList<qint64> &rows, const QList<qint64> &codeRows,
                                           const QList<qint64> &learnRows)
{
    QList<SnippetText> result;
    if (rows.isEmpty())
        return result;
    // Only numbers are put into the text. PostgreSQL is given one array rather than a list of
    // thousands of constants, which it would parse and plan one by one.
    const bool pg = onPostgres();
    const auto in = [pg](const QList<qint64> &numbers) {
        QStringList texts;
        texts.reserve(numbers.size());
        for (qint64 n : numbers)
            texts.append(QString::number(n));
        return pg ? QStringLiteral(" = ANY ('{%1}'::bigint[])").arg(texts.join(u','))
                  : QStringLiteral(" IN (%1)").arg(texts.join(u','));
    };
    const QString row = rowOrder("id");
    const auto column = [&](const char *name, const QList<qint64> &which) {
        if (which.isEmpty())
            return QStringLiteral("NULL");
        if (which.size() == rows.size())
            return QString::fromLatin1(name);
        return QStringLiteral("CASE WHEN %1%2 THEN %3 END").arg(row, in(which), QLatin1String(name));
    };
    QSqlQuery q = runWith(QStringLiteral("SELECT %1, id, Head, %2, %3 FROM Code WHERE %1%4 ORDER BY %1")
                              .arg(row, column("code", codeRows), column("Learn", learnRows), in(rows)),
                          {});
    while (nextRow(q)) {
        SnippetText t;
        t.row = q.value(0).toLongLong();
        t.id = q.value(1).toInt();
        t.head = q.value(2);
        t.code = q.value(3);
        t.learn = q.value(4);
        result.append(std::move(t));
    }
    return result;
}

QStringList Library::titles()
{
    QSqlQuery q = prepare(QStringLiteral("SELECT Head FROM Code"));
    run(q);
    QStringList result;
    while (nextRow(q))
        result.append(q.value(0).toString());
    return result;
}

ChangeStamp Library::changeStamp()
{
    if (onPostgres()) {
        ChangeStamp stamp;
        stamp.connection = m_connection.openCount();
        stamp.own = m_ownWrites;
        stamp.others = pgChangeCount(database());
        if (stamp.others < 0)
            stamp.others = -2 - m_unknownChanges++; // never equal: may always have changed
        return stamp;
    }
    QSqlQuery mine = prepare(QStringLiteral("SELECT total_changes()"));
    run(mine);
    QSqlQuery others = prepare(QStringLiteral("PRAGMA data_version"));
    run(others);
    ChangeStamp stamp;
    stamp.connection = m_connection.openCount();
    stamp.own = nextRow(mine) ? mine.value(0).toLongLong() : 0;
    stamp.others = nextRow(others) ? others.value(0).toLongLong() : 0;
    return stamp;
}

qint32 Library::addCategory(const QVariant &caption)
{
    qint32 id = 0;
    transaction([&] {
        QSqlQuery q = prepare(QStringLiteral("INSERT INTO Groub (Caption) VALUES (?) RETURNING Groub"));
        q.addBindValue(nullable(caption));
        run(q);
        id = insertedId(q);
    });
    return id;
}

bool Library::renameCategory(qint32 id, const QVariant &caption)
{
    return changeRow(QStringLiteral("UPDATE Groub SET Caption = ? WHERE Groub = ?"), {nullable(caption), id});
}

bool Library::deleteCategory(qint32 id)
{
    bool deleted = false;
    transaction([&] {
        // Other clients of a team library could file a snippet under the category between the two
        // deletes and leave it without one: an add or edit into a category holds its row (KEY
        // SHARE) until it commits, so this waits for those under way, and those that come later
        // find the category gone. Writes elsewhere go on meanwhile.
        if (onPostgres()) {
            QSqlQuery lock = prepare(QStringLiteral("SELECT 1 FROM Groub WHERE Groub = ? FOR UPDATE"));
            lock.addBindValue(id);
            run(lock);
        }
        keepInTrash(QStringLiteral("Groub = ?"), id);
        QSqlQuery snippets = prepare(QStringLiteral("DELETE FROM Code WHERE Groub = ?"));
        snippets.addBindValue(id);
        run(snippets);
        QSqlQuery category = prepare(QStringLiteral("DELETE FROM Groub WHERE Groub = ?"));
        category.addBindValue(id);
        run(category);
        deleted = category.numRowsAffected() > 0;
    });
    return deleted;
}

qint32 Library::addSnippet(const Snippet &s)
{
    qint32 id = 0;
    const QVariant groub = groubValue(s.groub);
    // On a team library the category's row is held until the add commits, so a delete of that
    // category by someone else either waits and takes the new snippet along, or came first and
    // the add is refused: no snippet is left without its category.
    if (!onPostgres() || groub.isNull()) {
        transaction([&] {
            runFrequent(QStringLiteral("INSERT INTO Code (Head, Groub, code, Learn, \"User\") VALUES (?, ?, ?, ?, ?) "
                                       "RETURNING id"),
                        {nullable(s.head), groub, nullable(s.code), nullable(s.learn), userValue(s.user)},
                        [&](QSqlQuery &q) { id = insertedId(q); });
        });
        return id;
    }
    QVariantList values{nullable(s.head), nullable(s.code), nullable(s.learn), userValue(s.user), groub};
    const QString fold = m_index.foldWith(QStringLiteral("c"), s.head, s.code, s.learn, values);
    writeAlone(!fold.isEmpty(), [&] {
        runFrequent(QStringLiteral("WITH c AS (INSERT INTO Code (Head, Groub, code, Learn, \"User\") "
                                   "SELECT ?::text, g.Groub, ?::text, ?::text, ?::boolean FROM Groub g "
                                   "WHERE g.Groub = ?::integer FOR KEY SHARE RETURNING id, Head, code, Learn)%1 "
                                   "SELECT id FROM c")
                        .arg(fold),
                    values, [&](QSqlQuery &q) {
                        if (!nextRow(q))
                            throw StoreError(
                                QStringLiteral("لم يُضف الكود: التصنيف الذي اختير له لم يعد موجوداً في المكتبة"));
                        id = q.value(0).toInt();
                    });
    });
    return id;
}

bool Library::updateSnippet(const Snippet &s)
{
    bool changed = false;
    const QVariant groub = groubValue(s.groub);
    const QVariantList texts{nullable(s.head), nullable(s.code), nullable(s.learn)};
    if (onPostgres() && !groub.isNull()) {
        QVariantList folded;
        const QString fold = m_index.foldWith(QStringLiteral("c"), s.head, s.code, s.learn, folded);
        writeAlone(!fold.isEmpty(), [&] {
            // One statement: the version it replaces, the history's trim (that version counted),
            // the row, and its folding for the search. The category filed under is held until the
            // edit commits, as an add holds it.
            QString sql = QStringLiteral("WITH ");
            QVariantList values;
            if (sideTables().historyWrite) {
                sql += QStringLiteral("h AS (%1 RETURNING 1), t AS (%2), ")
                           .arg(versionInsert(kChangesText),
                                historyTrim(QStringLiteral("%1 - (SELECT count(*) FROM h)").arg(HistoryLength)));
                values << QDateTime::currentMSecsSinceEpoch() << s.id << texts << s.id << s.id;
            }
            sql += QStringLiteral("g AS (SELECT Groub FROM Groub WHERE Groub = ?::integer FOR KEY SHARE), "
                                  "c AS (UPDATE Code SET Head = ?, Groub = ?, code = ?, Learn = ? "
                                  "WHERE id = ? AND (SELECT count(*) FROM g) >= 0 RETURNING id, Head, code, Learn)");
            values << groub << texts.at(0) << groub << texts.at(1) << texts.at(2) << s.id << folded;
            runFrequent(sql + fold + QStringLiteral(" SELECT count(*) FROM c"), values,
                        [&](QSqlQuery &q) { changed = nextRow(q) && q.value(0).toInt() > 0; });
        });
        return changed;
    }
    transaction([&] {
        keepVersionIf(s.id, kChangesText, texts);
        changed = runWith(QStringLiteral("UPDATE Code SET Head = ?, Groub = ?, code = ?, Learn = ? WHERE id = ?"),
                          {texts.at(0), groub, texts.at(1), texts.at(2), s.id})
                      .numRowsAffected()
                  > 0;
        trimHistory(s.id);
    });
    return changed;
}

bool Library::renameSnippet(qint32 id, const QVariant &head)
{
    bool changed = false;
    transaction([&] {
        keepVersionIf(id, QStringLiteral("Head IS DISTINCT FROM ?"), {nullable(head)});
        changed = changeRow(QStringLiteral("UPDATE Code SET Head = ? WHERE id = ?"), {nullable(head), id});
        trimHistory(id);
    });
    return changed;
}

bool Library::setUserFlag(qint32 id, const QVariant &user)
{
    return changeRow(QStringLiteral("UPDATE Code SET \"User\" = ? WHERE id = ?"), {userValue(user), id});
}

bool Library::deleteSnippet(qint32 id)
{
    bool deleted = false;
    if (onPostgres() && sideTables().trashWrite) {
        // The row the delete took is the one kept, in the same statement; the trigger drops its
        // folded copy, so nothing is left to fold.
        writeAlone(true, [&] {
            runFrequent(QStringLiteral("WITH c AS (DELETE FROM Code WHERE id = ? RETURNING *) ")
                            + trashInsert(QStringLiteral("c")),
                        {id, QDateTime::currentMSecsSinceEpoch()},
                        [&](QSqlQuery &q) { deleted = q.numRowsAffected() > 0; });
        });
        return deleted;
    }
    transaction([&] {
        keepInTrash(QStringLiteral("id = ?"), id);
        deleted = runWith(QStringLiteral("DELETE FROM Code WHERE id = ?"), {id}).numRowsAffected() > 0;
    });
    return deleted;
}

int Library::clearUserMarks()
{
    int changed = 0;
    transaction([&] {
        // Read the flags as the readers do, so "true" in any stored form is cleared.
        QSqlQuery q = prepare(QStringLiteral("SELECT id, \"User\" FROM Code WHERE \"User\" IS NOT NULL"));
        run(q);
        QList<qint32> ids;
        while (nextRow(q))
            if (isTrue(q.value(1)))
                ids.append(q.value(0).toInt());
        QSqlQuery update = prepare(QStringLiteral("UPDATE Code SET \"User\" = ? WHERE id = ?"));
        for (qint32 id : ids) {
            update.bindValue(0, false);
            update.bindValue(1, id);
            run(update);
        }
        changed = int(ids.size());
    });
    return changed;
}

QString Library::snippetLanguage(qint32 id)
{
    if (!hasLanguageTable(database()))
        return languages::VisualBasic;
    QSqlQuery q = prepare(QStringLiteral("SELECT Language FROM SnippetLanguage WHERE id = ?"));
    q.addBindValue(id);
    run(q);
    if (!nextRow(q))
        return languages::VisualBasic;
    const QString name = q.value(0).toString();
    return name.isEmpty() ? languages::VisualBasic : name;
}

void Library::setSnippetLanguage(qint32 id, const QString &name)
{
    const bool basic = name.isEmpty() || name == languages::VisualBasic;
    transaction([&] {
        if (!hasLanguageTable(database())) {
            if (basic)
                return; // what a missing row means already
            try {
                ensureLanguageTable(database());
            } catch (const StoreError &e) {
                throw StoreError(QStringLiteral("تعذر حفظ لغة الكود، فهذه المكتبة لا تحفظ اللغات: ") + e.message());
            }
        }
        QSqlQuery remove = prepare(QStringLiteral("DELETE FROM SnippetLanguage WHERE id = ?"));
        remove.addBindValue(id);
        run(remove);
        if (basic)
            return;
        QSqlQuery insert = prepare(QStringLiteral("INSERT INTO SnippetLanguage (id, Language) VALUES (?, ?)"));
        insert.addBindValue(id);
        insert.addBindValue(name);
        run(insert);
    });
}

QHash<qint32, QString> Library::snippetLanguages()
{
    QHash<qint32, QString> result;
    if (!hasLanguageTable(database()))
        return result;
    QSqlQuery q = prepare(QStringLiteral("SELECT id, Language FROM SnippetLanguage"));
    run(q);
    while (nextRow(q)) {
        const QString name = q.value(1).toString();
        if (!name.isEmpty() && name != languages::VisualBasic)
            result.insert(q.value(0).toInt(), name);
    }
    return result;
}

// Before a write's first statement: a session found gone is opened anew (nothing is sent before),
// and a read-only library refuses.
void Library::startWrite()
{
    m_connection.ensureConnected();
    if (isReadOnly())
        throw StoreError(readOnlyLibraryMessage(engine()));
}

// After a write committed.
void Library::writeDone()
{
    m_index.settle();
    ++m_ownWrites;
    emit changed();
}

void Library::transaction(const std::function<void()> &work)
{
    if (m_transactionDepth == 0)
        startWrite();
    Transaction transaction(database());
    ++m_transactionDepth;
    try {
        work();
        if (m_transactionDepth == 1)
            m_index.drainPending(); // the index commits with the write
    } catch (...) {
        --m_transactionDepth;
        throw;
    }
    --m_transactionDepth;
    transaction.commit();
    if (m_transactionDepth == 0)
        writeDone();
}

void Library::writeAlone(bool alone, const std::function<void()> &statement)
{
    if (!alone || !onPostgres() || m_transactionDepth > 0) {
        transaction(statement);
        return;
    }
    startWrite();
    ++m_transactionDepth;
    try {
        statement();
    } catch (const StoreError &) {
        --m_transactionDepth;
        // Sent, and its answer lost with the connection: it may have committed.
        throwIfConnectionLost(database().db().driver(), lostAtCommitMessage());
        throw;
    } catch (...) {
        --m_transactionDepth;
        throw;
    }
    --m_transactionDepth;
    writeDone();
}

Library::CheckedUpdate Library::updateSnippetIfUnchanged(const Snippet &loaded, const Snippet &changed)
{
    // IS NOT DISTINCT FROM: equal, or both Null; both engines have it.
    static const QString asLoaded = QStringLiteral("Head IS NOT DISTINCT FROM ? AND Groub IS NOT DISTINCT FROM ?"
                                                   " AND code IS NOT DISTINCT FROM ? AND Learn IS NOT DISTINCT FROM ?");
    static const QString sameFields = QStringLiteral("id = ? AND ") + asLoaded;
    const QVariantList written = {nullable(changed.head), groubValue(changed.groub), nullable(changed.code),
                                  nullable(changed.learn)};
    // The values as they were read, bound back unconverted, so they compare equal to what is stored.
    const QVariantList before = {changed.id, nullable(loaded.head), nullable(loaded.groub), nullable(loaded.code),
                                 nullable(loaded.learn)};
    CheckedUpdate result = CheckedUpdate::Gone;
    transaction([&] {
        // What the update replaces, when it does: the row is as loaded and the edit changes it.
        keepVersionIf(changed.id, asLoaded + QStringLiteral(" AND (") + kChangesText + QLatin1Char(')'),
                      before.mid(1) + QVariantList{written[0], written[2], written[3]});
        QSqlQuery update = prepare(QStringLiteral("UPDATE Code SET Head = ?, Groub = ?, code = ?, Learn = ? WHERE ")
                                   + sameFields);
        for (const QVariant &v : written + before)
            update.addBindValue(v);
        run(update);
        if (update.numRowsAffected() > 0) {
            trimHistory(changed.id);
            result = CheckedUpdate::Updated;
            return;
        }
        QSqlQuery current = prepare(QStringLiteral("SELECT count(*) FROM Code WHERE id = ?"));
        current.addBindValue(changed.id);
        run(current);
        if (!nextRow(current) || current.value(0).toLongLong() == 0)
            return;
        // Someone else made the very same change: nothing of theirs or ours is lost.
        QSqlQuery same = prepare(QStringLiteral("SELECT count(*) FROM Code WHERE ") + sameFields);
        same.addBindValue(changed.id);
        for (const QVariant &v : written)
            same.addBindValue(v);
        run(same);
        result = nextRow(same) && same.value(0).toLongLong() > 0 ? CheckedUpdate::Updated
                                                                 : CheckedUpdate::ChangedElsewhere;
    });
    return result;
}

} // namespace store
