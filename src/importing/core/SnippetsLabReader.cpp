// SnippetsLab's JSON export: "Snippets", each with its "Folder", "Title", "Tags" and "Fragments"
// (each with "Title", "Language", "Content" and "Note"). As for massCode, a snippet of several
// fragments gives one item per fragment.
#include "importing/core/ImportError.h"
#include "importing/core/Readers.h"
#include "importing/core/SourceFiles.h"
#include "importing/core/SourceLanguage.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

namespace importing::core {

bool looksLikeSnippetsLabJson(const QString &start)
{
    return start.contains(QLatin1String("snippetslablibrary"))
           || (start.contains(QLatin1String("\"Snippets\"")) && start.contains(QLatin1String("\"Fragments\"")));
}

void readSnippetsLab(const QString &path, ItemSink &sink)
{
    if (!QFileInfo(path).isFile())
        throw ImportError(QStringLiteral("%1 ليس ملفاً").arg(shown(path)));
    const QJsonDocument document = parseJson(path, readSourceText(path));
    const QJsonValue list = document.object().value(QStringLiteral("Snippets"));
    if (!list.isArray())
        throw ImportError(QStringLiteral("الملف %1 ليس تصدير SnippetsLab (لا قائمة Snippets فيه)").arg(shown(path)));
    const QJsonArray snippets = list.toArray();
    for (qsizetype s = 0; s < snippets.size(); ++s) {
        const QJsonObject snippet = snippets.at(s).toObject();
        const QString title = snippet.value(QStringLiteral("Title")).toString();
        const QString origin = QStringLiteral("%1: %2").arg(shown(path),
                                                            title.isEmpty() ? QString::number(s + 1) : title);
        const QJsonArray fragments = snippet.value(QStringLiteral("Fragments")).toArray();
        if (fragments.isEmpty()) {
            sink.skipped({origin, QStringLiteral("لا كود فيه")});
            continue;
        }
        const QString folder = snippet.value(QStringLiteral("Folder")).toString();
        for (qsizetype f = 0; f < fragments.size(); ++f) {
            const QJsonObject fragment = fragments.at(f).toObject();
            const QString fragmentName = fragment.value(QStringLiteral("Title")).toString();
            ImportItem item;
            item.category = folder.trimmed().isEmpty() ? uncategorised() : joinCategory({folder});
            item.title = fragments.size() == 1 ? title : fragmentTitle(title, fragmentName, int(f + 1));
            item.code = fragment.value(QStringLiteral("Content")).toString();
            item.comment = fragment.value(QStringLiteral("Note")).toString();
            item.language = sourceLanguage(fragment.value(QStringLiteral("Language")).toString());
            item.origin = fragments.size() == 1 ? origin : origin + QStringLiteral(" (%1)").arg(f + 1);
            deliver(sink, item);
        }
    }
}

} // namespace importing::core
