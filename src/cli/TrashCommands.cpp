// The trash and the history from the command line.
#include "cli/Commands.h"

#include "cli/Output.h"
#include "store/Library.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace cli {

namespace {

qint64 parseNumber(const QString &text, const QString &english, const QString &arabic)
{
    bool ok = false;
    const qint64 n = text.toLongLong(&ok);
    if (!ok || n <= 0 || text.startsWith(QLatin1Char('+')) || text.trimmed() != text)
        badUsage(say(english, arabic).arg(text));
    return n;
}

QJsonValue jsonText(const QVariant &value) { return value.isNull() ? QJsonValue() : QJsonValue(value.toString()); }

QString when(const QDateTime &time) { return time.toLocalTime().toString(Qt::ISODate); }

int trashList(store::Library &library, const Arguments &a)
{
    openLibrary(library, a.location, false);
    QJsonArray json;
    QString text;
    for (const store::TrashItem &item : library.trashItems()) {
        const QString category = item.caption.isNull() ? store::UncategorisedCaption : item.caption.toString();
        if (a.json) {
            json.append(QJsonObject{{QStringLiteral("item"), item.trashId},
                                    {QStringLiteral("id"), item.id},
                                    {QStringLiteral("title"), jsonText(item.head)},
                                    {QStringLiteral("category"), jsonText(item.caption)},
                                    {QStringLiteral("language"), item.language},
                                    {QStringLiteral("user"), store::isTrue(item.user)},
                                    {QStringLiteral("deleted"), item.deleted.toString(Qt::ISODate)}});
        } else {
            text += QString::number(item.trashId) + QLatin1Char('\t') + QString::number(item.id) + QLatin1Char('\t')
                    + when(item.deleted) + QLatin1Char('\t') + oneLine(category) + QLatin1Char('\t')
                    + oneLine(item.head.toString()) + QLatin1Char('\n');
        }
    }
    if (a.json)
        outBytes(QJsonDocument(json).toJson(QJsonDocument::Indented));
    else
        out(text);
    return Done;
}

} // namespace

int trash(store::Library &library, const Arguments &a)
{
    const QString what = a.positional[0];
    const bool restore = what == QLatin1String("restore");
    if (a.positional.size() != (restore ? 2 : 1)
        || (!restore && what != QLatin1String("list") && what != QLatin1String("empty")))
        badUsage(say(QStringLiteral("trash takes list, restore ITEM or empty"),
                     QStringLiteral("الأمر trash يأخذ list أو restore ITEM أو empty")));
    if (what == QLatin1String("list"))
        return trashList(library, a);
    if (a.json)
        badUsage(
            say(QStringLiteral("only trash list has --json"), QStringLiteral("الخيار --json للأمر trash list وحده")));
    if (restore) {
        const qint64 item = parseNumber(a.positional[1], QStringLiteral("%1 is not an item of the trash"),
                                        QStringLiteral("%1 ليس رقم عنصر في سلة المحذوفات"));
        openLibrary(library, a.location, true);
        const std::optional<qint32> id = library.restoreFromTrash(item);
        if (!id)
            refuse(
                say(QStringLiteral("no item %1 in the trash"), QStringLiteral("لا يوجد عنصر رقمه %1 في سلة المحذوفات"))
                    .arg(item));
        out(QString::number(*id) + QLatin1Char('\n'));
        return Done;
    }
    openLibrary(library, a.location, true);
    out(QString::number(library.emptyTrash()) + QLatin1Char('\n'));
    return Done;
}

int history(store::Library &library, const Arguments &a)
{
    const qint64 id = parseNumber(a.positional[0], QStringLiteral("%1 is not a snippet id"),
                                  QStringLiteral("%1 ليس رقم كود"));
    const bool restore = a.values.contains(QStringLiteral("restore"));
    if (restore && a.json)
        badUsage(say(QStringLiteral("history --restore has no --json"),
                     QStringLiteral("الأمر history --restore ليس له الخيار --json")));
    openLibrary(library, a.location, restore);
    if (!library.snippet(qint32(id)))
        refuse(say(QStringLiteral("no snippet with id %1"), QStringLiteral("لا يوجد كود رقمه %1")).arg(id));
    const QList<store::SnippetVersion> versions = library.snippetHistory(qint32(id));
    if (restore) {
        const qint64 version = parseNumber(a.values.value(QStringLiteral("restore")),
                                           QStringLiteral("%1 is not a version number"),
                                           QStringLiteral("%1 ليس رقم نسخة"));
        const bool ofThisSnippet = std::any_of(versions.cbegin(), versions.cend(),
                                               [&](const store::SnippetVersion &v) { return v.versionId == version; });
        if (!ofThisSnippet || library.restoreVersion(version) != store::Library::CheckedUpdate::Updated)
            refuse(say(QStringLiteral("snippet %1 has no version %2"), QStringLiteral("ليس للكود %1 نسخة رقمها %2"))
                       .arg(id)
                       .arg(version));
        return Done;
    }
    QJsonArray json;
    QString text;
    for (const store::SnippetVersion &v : versions) {
        if (a.json) {
            json.append(QJsonObject{{QStringLiteral("version"), v.versionId},
                                    {QStringLiteral("replaced"), v.replaced.toString(Qt::ISODate)},
                                    {QStringLiteral("title"), jsonText(v.head)},
                                    {QStringLiteral("code"), jsonText(v.code)},
                                    {QStringLiteral("comment"), jsonText(v.learn)},
                                    {QStringLiteral("language"), v.language}});
        } else {
            text += QString::number(v.versionId) + QLatin1Char('\t') + when(v.replaced) + QLatin1Char('\t')
                    + oneLine(v.head.toString()) + QLatin1Char('\n');
        }
    }
    if (a.json)
        outBytes(QJsonDocument(json).toJson(QJsonDocument::Indented));
    else
        out(text);
    return Done;
}

} // namespace cli
