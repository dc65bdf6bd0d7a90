// The history: the title, code, comment and language each edit replaced, the newest few per snippet.
#include "store/Database.h"
#include "store/Library.h"
#include "store/LanguageTable.h"

#include <QSqlQuery>

namespace store {

namespace {

void run(QSqlQuery &query)
{
    if (!query.exec())
        throwQueryError(query);
}

} // namespace

// Copied in SQL, so the version is the row's values exactly, whatever they are.
QString Library::versionInsert(const QString &condition)
{
    return QStringLiteral("INSERT INTO SnippetHistory (id, Head, code, Learn, Language, Replaced) "
                          "SELECT id, Head, code, Learn, %1, CAST(? AS BIGINT) FROM Code WHERE id = ? AND (%2)")
        .arg(languageOf(QStringLiteral("Code.id")), condition);
}

QString Library::historyTrim(const QString &kept)
{
    return QStringLiteral("DELETE FROM SnippetHistory WHERE id = ? AND VersionId NOT IN "
                          "(SELECT VersionId FROM SnippetHistory WHERE id = ? ORDER BY VersionId DESC LIMIT %1)")
        .arg(kept);
}

void Library::keepVersionIf(qint32 id, const QString &condition, const QVariantList &values)
{
    if (!sideTables().historyWrite)
        return;
    runWith(versionInsert(condition), QVariantList{QDateTime::currentMSecsSinceEpoch(), id} + values);
}

void Library::trimHistory(qint32 id)
{
    if (!sideTables().historyWrite)
        return;
    runWith(historyTrim(QString::number(HistoryLength)), {id, id});
}

void Library::keepVersion(qint32 id)
{
    transaction([&] {
        keepVersionIf(id, QStringLiteral("1 = 1"), {});
        trimHistory(id);
    });
}

QList<SnippetVersion> Library::snippetHistory(qint32 id)
{
    QList<SnippetVersion> versions;
    if (!sideTables().historyRead)
        return versions;
    QSqlQuery q = prepare(QStringLiteral("SELECT VersionId, id, Head, code, Learn, Language, Replaced "
                                         "FROM SnippetHistory WHERE id = ? ORDER BY VersionId DESC"));
    q.addBindValue(id);
    run(q);
    while (nextRow(q)) {
        SnippetVersion v;
        v.versionId = q.value(0).toLongLong();
        v.id = q.value(1).toInt();
        v.head = q.value(2);
        v.code = q.value(3);
        v.learn = q.value(4);
        v.language = q.value(5).toString();
        v.replaced = QDateTime::fromMSecsSinceEpoch(q.value(6).toLongLong(), Qt::UTC);
        versions.append(std::move(v));
    }
    return versions;
}

Library::CheckedUpdate Library::restoreVersion(qint64 versionId, const Snippet *loaded)
{
    CheckedUpdate result = CheckedUpdate::Gone;
    transaction([&] {
        if (!sideTables().historyWrite)
            return;
        QSqlQuery version = prepare(QStringLiteral("SELECT id FROM SnippetHistory WHERE VersionId = ?"));
        version.addBindValue(versionId);
        run(version);
        if (!nextRow(version))
            return;
        const qint32 id = version.value(0).toInt();
        version.finish();

        QSqlQuery row = prepare(QStringLiteral("SELECT Head, Groub, code, Learn FROM Code WHERE id = ?"));
        row.addBindValue(id);
        run(row);
        if (!nextRow(row))
            return;
        if (loaded) {
            // Bound back as they were read, as updateSnippetIfUnchanged compares them.
            QSqlQuery same = prepare(QStringLiteral(
                "SELECT count(*) FROM Code WHERE id = ? AND Head IS NOT DISTINCT FROM ? AND Groub IS NOT DISTINCT "
                "FROM ? AND code IS NOT DISTINCT FROM ? AND Learn IS NOT DISTINCT FROM ?"));
            const auto bound = [](const QVariant &v) {
                return v.isValid() ? v : QVariant(QMetaType::fromType<QString>());
            };
            for (const QVariant &v :
                 {QVariant(id), bound(loaded->head), bound(loaded->groub), bound(loaded->code), bound(loaded->learn)})
                same.addBindValue(v);
            run(same);
            if (!nextRow(same) || same.value(0).toLongLong() == 0) {
                result = CheckedUpdate::ChangedElsewhere;
                return;
            }
        }
        row.finish();

        // The restore is an edit like any other: what it replaces is kept first, unless it is the
        // very same version. The version itself is read before the history is trimmed.
        const QString language = languageOf(QStringLiteral("Code.id"));
        keepVersionIf(id,
                      QStringLiteral("EXISTS (SELECT 1 FROM SnippetHistory v WHERE v.VersionId = ? AND "
                                     "(v.Head IS DISTINCT FROM Code.Head OR v.code IS DISTINCT FROM Code.code OR "
                                     "v.Learn IS DISTINCT FROM Code.Learn OR v.Language IS DISTINCT FROM %1))")
                          .arg(language),
                      {versionId});
        QSqlQuery update = prepare(
            QStringLiteral("UPDATE Code SET Head = (SELECT v.Head FROM SnippetHistory v WHERE v.VersionId = ?), "
                           "code = (SELECT v.code FROM SnippetHistory v WHERE v.VersionId = ?), "
                           "Learn = (SELECT v.Learn FROM SnippetHistory v WHERE v.VersionId = ?) WHERE id = ?"));
        for (const QVariant &v : {QVariant(versionId), QVariant(versionId), QVariant(versionId), QVariant(id)})
            update.addBindValue(v);
        run(update);
        if (hasLanguageTable(database())) {
            QSqlQuery clear = prepare(QStringLiteral("DELETE FROM SnippetLanguage WHERE id = ?"));
            clear.addBindValue(id);
            run(clear);
            QSqlQuery set = prepare(QStringLiteral("INSERT INTO SnippetLanguage (id, Language) SELECT CAST(? AS "
                                                   "INTEGER), Language FROM SnippetHistory WHERE VersionId = ? "
                                                   "AND Language <> ''"));
            set.addBindValue(id);
            set.addBindValue(versionId);
            run(set);
        }
        trimHistory(id);
        result = CheckedUpdate::Updated;
    });
    return result;
}

} // namespace store
