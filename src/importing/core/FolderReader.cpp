// A folder of files: each sub-folder a category, each file a snippet. Tamrisk's own export-all
// folder (recognised by its index.json) comes back exactly as it was written.
#include "importing/core/ImportError.h"
#include "importing/core/Readers.h"
#include "importing/core/SourceFiles.h"
#include "importing/core/SourceLanguage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QSet>
#include <QStringDecoder>

namespace importing::core {

namespace {

class FolderWalk
{
public:
    FolderWalk(const QString &root, ItemSink &sink)
        : m_root(root)
        , m_sink(sink)
    { }

    // One folder listed at a time and each file handed on as soon as it is read, so memory
    // follows the widest folder, not the whole tree.
    void walk(const QString &dir, const QStringList &categoryParts, int depth)
    {
        const QString canonical = QFileInfo(dir).canonicalFilePath();
        if (m_onPath.contains(canonical)) {
            m_sink.skipped({shown(dir), QStringLiteral("رابط رمزي يعود إلى مجلد فوقه (حلقة)، تُرك")});
            return;
        }
        if (m_visited.contains(canonical)) {
            m_sink.skipped({shown(dir), QStringLiteral("المجلد قُرئ من قبل عبر رابط رمزي آخر، تُرك")});
            return;
        }
        if (depth > maxDepth) {
            m_sink.skipped({shown(dir), QStringLiteral("المجلد أعمق من %1 مستوى، تُرك").arg(maxDepth)});
            return;
        }
        if (!QFileInfo(dir).isReadable() || !QFileInfo(dir).isExecutable()) {
            m_sink.skipped({shown(dir), QStringLiteral("تعذرت قراءة المجلد (لا إذن بقراءته)")});
            return;
        }
        m_visited.insert(canonical);
        m_onPath.insert(canonical);
        // Hidden entries (.git and the like) are not snippets and are passed over.
        const QFileInfoList entries = QDir(dir).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot,
                                                              QDir::Name | QDir::DirsLast);
        const QString category = joinCategory(categoryParts.isEmpty() ? QStringList{rootName()} : categoryParts);
        for (const QFileInfo &entry : entries) {
            if (entry.isDir())
                walk(entry.filePath(), categoryParts + QStringList{entry.fileName()}, depth + 1);
            else
                readFile(entry, category);
        }
        m_onPath.remove(canonical);
    }

private:
    QString rootName() const
    {
        const QString name = QFileInfo(m_root).fileName();
        return name.isEmpty() ? uncategorised() : name;
    }

    void readFile(const QFileInfo &entry, const QString &category)
    {
        const QString origin = shown(entry.filePath());
        const TextFile file = readTextFile(entry.filePath());
        if (!file.text) {
            m_sink.skipped({origin, file.reason});
            return;
        }
        ImportItem item;
        item.category = category;
        item.title = entry.completeBaseName().isEmpty() ? entry.fileName() : entry.completeBaseName();
        item.code = *file.text;
        item.language = languageForExtension(entry.suffix());
        item.origin = origin;
        deliver(m_sink, item);
    }

    QString m_root;
    ItemSink &m_sink;
    QSet<QString> m_visited;
    QSet<QString> m_onPath;
};

QString textOf(const QJsonValue &value) { return value.isString() ? value.toString() : QString(); }

// The code files were written as the stored text in UTF-8, byte for byte; read them back the same
// way (no byte-order mark taken away, no other encoding guessed).
std::optional<QString> exportedText(const QString &path, QString &reason)
{
    const QFileInfo info(path);
    if (!info.isFile()) {
        reason = QStringLiteral("الملف غير موجود");
        return std::nullopt;
    }
    if (info.size() > maxSnippetFileBytes) {
        reason = QStringLiteral("الملف أكبر من %1 ميغابايت").arg(maxSnippetFileBytes / (1024 * 1024));
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        reason = QStringLiteral("تعذرت قراءة الملف: ") + file.errorString();
        return std::nullopt;
    }
    const QByteArray bytes = readBounded(file, maxSnippetFileBytes);
    QStringDecoder utf8(QStringConverter::Utf8,
                        QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom);
    QString text = utf8(bytes);
    if (utf8.hasError() || bytes.size() > maxSnippetFileBytes) {
        reason = QStringLiteral("ليس نصاً بترميز UTF-8 كما يكتبه التصدير");
        return std::nullopt;
    }
    return text;
}

// The index export-all writes: an array of categories, each with its snippets.
bool isExportIndex(const QJsonDocument &document)
{
    if (!document.isArray())
        return false;
    const QJsonArray categories = document.array();
    for (const QJsonValue &category : categories) {
        if (!category.isObject() || !category.toObject().contains(QStringLiteral("snippets")))
            return false;
    }
    return true;
}

void readExportAll(const QString &root, const QJsonDocument &document, ItemSink &sink)
{
    const QString indexPath = QDir(root).filePath(QStringLiteral("index.json"));
    const QString canonicalRoot = QFileInfo(root).canonicalFilePath() + QLatin1Char('/');
    const QJsonArray categories = document.array();
    for (qsizetype c = 0; c < categories.size(); ++c) {
        const QJsonObject category = categories.at(c).toObject();
        if (!category.value(QStringLiteral("snippets")).isArray())
            throw ImportError(
                QStringLiteral("الملف %1: الفئة رقم %2 بلا قائمة أكواد").arg(shown(indexPath)).arg(c + 1));
        const QString name = textOf(category.value(QStringLiteral("category")));
        const QJsonArray snippets = category.value(QStringLiteral("snippets")).toArray();
        for (qsizetype s = 0; s < snippets.size(); ++s) {
            const QJsonObject entry = snippets.at(s).toObject();
            const QString codeFile = textOf(entry.value(QStringLiteral("code")));
            const QString origin =
                codeFile.isEmpty()
                    ? QStringLiteral("%1: الفئة %2، الكود %3").arg(shown(indexPath)).arg(c + 1).arg(s + 1)
                    : shown(QDir(root).filePath(codeFile));
            // Only files inside the exported folder: an index edited to point elsewhere reads nothing else.
            const QString codePath = QFileInfo(QDir(root).filePath(codeFile)).canonicalFilePath();
            if (codeFile.isEmpty() || !codePath.startsWith(canonicalRoot)) {
                sink.skipped({origin, QStringLiteral("ملف الكود غير موجود في مجلد التصدير")});
                continue;
            }
            QString reason;
            const std::optional<QString> code = exportedText(codePath, reason);
            if (!code) {
                sink.skipped({origin, reason});
                continue;
            }
            ImportItem item;
            item.category = name;
            item.title = textOf(entry.value(QStringLiteral("title")));
            item.code = *code;
            item.comment = textOf(entry.value(QStringLiteral("comment")));
            const QString commentFile = textOf(entry.value(QStringLiteral("commentFile")));
            if (!entry.value(QStringLiteral("comment")).isString() && !commentFile.isEmpty()) {
                const QString commentPath = QFileInfo(QDir(root).filePath(commentFile)).canonicalFilePath();
                if (commentPath.startsWith(canonicalRoot))
                    item.comment = exportedText(commentPath, reason).value_or(QString());
            }
            item.language = textOf(entry.value(QStringLiteral("language")));
            item.user = entry.value(QStringLiteral("user")).toBool(false);
            item.origin = origin;
            // Exactly what the library held: even an empty code comes back, for apply to judge.
            sink.item(item);
        }
    }
}

} // namespace

void readFolder(const QString &path, ItemSink &sink)
{
    const QFileInfo info(path);
    if (!info.isDir())
        throw ImportError(QStringLiteral("%1 ليس مجلداً").arg(shown(path)));
    const QString indexPath = QDir(path).filePath(QStringLiteral("index.json"));
    if (QFileInfo(indexPath).isFile()) {
        // Any other index.json is just one more file of the folder.
        const QString text = readSourceText(indexPath);
        QJsonDocument index;
        try {
            index = parseJson(indexPath, text);
        } catch (const ImportError &) {
            if (text.contains(QLatin1String("\"snippets\"")))
                throw;
        }
        if (isExportIndex(index)) {
            readExportAll(info.absoluteFilePath(), index, sink);
            return;
        }
    }
    FolderWalk(info.absoluteFilePath(), sink).walk(info.absoluteFilePath(), {}, 0);
}

} // namespace importing::core
