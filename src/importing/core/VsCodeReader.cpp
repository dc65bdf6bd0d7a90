// VS Code user snippets: LANGUAGE.json (the file names the language) and NAME.code-snippets (each
// snippet's "scope" names it). Each key is a snippet's name; "body" is a string or an array of lines.
#include "importing/core/ImportError.h"
#include "importing/core/Readers.h"
#include "importing/core/SourceFiles.h"
#include "importing/core/SourceLanguage.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

namespace importing::core {

namespace {

// A string or an array of strings; nullopt for anything else.
std::optional<QStringList> lines(const QJsonValue &value)
{
    if (value.isString())
        return QStringList{value.toString()};
    if (!value.isArray())
        return std::nullopt;
    QStringList out;
    for (const QJsonValue &line : value.toArray()) {
        if (!line.isString())
            return std::nullopt;
        out.append(line.toString());
    }
    return out;
}

void readFile(const QFileInfo &file, ItemSink &sink)
{
    const QString path = file.filePath();
    const QJsonDocument document = parseJson(path, readSourceText(path));
    if (!document.isObject())
        throw ImportError(QStringLiteral("الملف %1 لا يحمل كائن مقتطفات VS Code").arg(shown(path)));
    const bool perLanguage = file.suffix().compare(QLatin1String("json"), Qt::CaseInsensitive) == 0;
    const QString fileLanguage = perLanguage ? sourceLanguage(file.completeBaseName()) : QString();
    const QJsonObject snippets = document.object();
    // QJsonObject sorts its keys; the file's own order is not kept, which only changes the order shown.
    for (auto it = snippets.constBegin(); it != snippets.constEnd(); ++it) {
        const QString origin = shown(path) + QStringLiteral(": ") + it.key();
        const QJsonObject snippet = it.value().toObject();
        const std::optional<QStringList> body = lines(snippet.value(QStringLiteral("body")));
        if (!it.value().isObject() || !body) {
            sink.skipped({origin, QStringLiteral("ليس مقتطفاً: لا body نصياً فيه")});
            continue;
        }
        ImportItem item;
        item.category = joinCategory({file.completeBaseName()});
        item.title = it.key();
        item.code = body->join(QLatin1Char('\n'));
        QStringList comment;
        if (const QString description =
                lines(snippet.value(QStringLiteral("description"))).value_or(QStringList{}).join(QLatin1Char('\n'));
            !description.isEmpty())
            comment.append(description);
        if (const QStringList prefixes = lines(snippet.value(QStringLiteral("prefix"))).value_or(QStringList{});
            !prefixes.isEmpty())
            comment.append(QStringLiteral("البادئة: ") + prefixes.join(QStringLiteral("، ")));
        item.comment = comment.join(QLatin1Char('\n'));
        if (perLanguage) {
            item.language = fileLanguage;
        } else {
            const QString scope = snippet.value(QStringLiteral("scope")).toString();
            item.language = sourceLanguage(scope.section(QLatin1Char(','), 0, 0));
        }
        item.origin = origin;
        deliver(sink, item);
    }
}

bool isSnippetFile(const QFileInfo &file)
{
    return file.suffix().compare(QLatin1String("json"), Qt::CaseInsensitive) == 0
           || file.suffix().compare(QLatin1String("code-snippets"), Qt::CaseInsensitive) == 0;
}

} // namespace

void readVsCode(const QString &path, ItemSink &sink)
{
    const QFileInfo info(path);
    if (info.isFile()) {
        readFile(info, sink);
        return;
    }
    if (!info.isDir())
        throw ImportError(QStringLiteral("%1 غير موجود").arg(shown(path)));
    // VS Code keeps its snippet files side by side in one folder.
    const QFileInfoList files = QDir(path).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo &file : files) {
        if (isSnippetFile(file))
            readFile(file, sink);
        else
            sink.skipped({shown(file.filePath()), QStringLiteral("ليس ملف مقتطفات VS Code (.json أو .code-snippets)")});
    }
}

} // namespace importing::core
