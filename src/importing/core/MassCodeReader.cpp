// massCode's three stores: the older db.json, the SQLite database of version 4, and the Markdown
// vault (a folder per folder, a file per snippet: YAML front matter, then one fenced block per
// fragment under "## Fragment: LABEL").
// A snippet of one fragment is one item; each fragment of a snippet with several is an item of its
// own ("NAME - LABEL"), since a Tamrisk snippet has one code and one language.
#include "importing/core/ImportError.h"
#include "importing/core/Readers.h"
#include "importing/core/SourceFiles.h"
#include "importing/core/SourceLanguage.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

namespace importing::core {

namespace {

struct Fragment {
    QString label;
    QString language;
    QString value;
};

struct Snippet {
    QString name;
    QString description;
    QString category;
    bool deleted = false;
    QString origin;
    QList<Fragment> fragments;
};

void deliverSnippet(const Snippet &snippet, ItemSink &sink)
{
    if (snippet.deleted) {
        sink.skipped({snippet.origin, QStringLiteral("في سلة المحذوفات، تُرك")});
        return;
    }
    if (snippet.fragments.isEmpty()) {
        sink.skipped({snippet.origin, QStringLiteral("لا كود فيه")});
        return;
    }
    for (qsizetype i = 0; i < snippet.fragments.size(); ++i) {
        const Fragment &fragment = snippet.fragments.at(i);
        ImportItem item;
        item.category = snippet.category;
        item.title = snippet.fragments.size() == 1 ? snippet.name
                                                   : fragmentTitle(snippet.name, fragment.label, int(i + 1));
        item.code = fragment.value;
        item.comment = snippet.description;
        item.language = sourceLanguage(fragment.language);
        item.origin = snippet.fragments.size() == 1 ? snippet.origin
                                                    : snippet.origin + QStringLiteral(" (%1)").arg(fragment.label);
        deliver(sink, item);
    }
}

// Folder names by id, each the path of names from the top, joined; a parent loop or an absurd
// depth stops the climb.
template <typename Id>
QHash<Id, QString> folderPaths(const QHash<Id, QPair<QString, Id>> &folders, const Id &none)
{
    QHash<Id, QString> paths;
    for (auto it = folders.constBegin(); it != folders.constEnd(); ++it) {
        QStringList parts;
        QSet<Id> seen;
        Id id = it.key();
        while (id != none && folders.contains(id) && !seen.contains(id) && seen.size() <= maxDepth) {
            seen.insert(id);
            parts.prepend(folders.value(id).first);
            id = folders.value(id).second;
        }
        paths.insert(it.key(), joinCategory(parts));
    }
    return paths;
}

QString idText(const QJsonValue &value)
{
    return value.isDouble() ? QString::number(value.toDouble(), 'g', 17) : value.toString();
}

void readJson(const QString &path, ItemSink &sink)
{
    const QJsonDocument document = parseJson(path, readSourceText(path));
    const QJsonObject root = document.object();
    if (!root.value(QStringLiteral("snippets")).isArray())
        throw ImportError(QStringLiteral("الملف %1 ليس قاعدة massCode (لا قائمة snippets فيه)").arg(shown(path)));
    QHash<QString, QPair<QString, QString>> folders;
    for (const QJsonValue &value : root.value(QStringLiteral("folders")).toArray()) {
        const QJsonObject folder = value.toObject();
        folders.insert(idText(folder.value(QStringLiteral("id"))), {folder.value(QStringLiteral("name")).toString(),
                                                                    idText(folder.value(QStringLiteral("parentId")))});
    }
    const QHash<QString, QString> paths = folderPaths(folders, QString());
    const QJsonArray snippets = root.value(QStringLiteral("snippets")).toArray();
    for (qsizetype i = 0; i < snippets.size(); ++i) {
        const QJsonObject object = snippets.at(i).toObject();
        Snippet snippet;
        snippet.name = object.value(QStringLiteral("name")).toString();
        snippet.description = object.value(QStringLiteral("description")).toString();
        snippet.category = paths.value(idText(object.value(QStringLiteral("folderId"))), uncategorised());
        snippet.deleted = object.value(QStringLiteral("isDeleted")).toBool();
        snippet.origin = QStringLiteral("%1: %2").arg(shown(path),
                                                      snippet.name.isEmpty() ? QString::number(i + 1) : snippet.name);
        for (const QJsonValue &value : object.value(QStringLiteral("content")).toArray()) {
            const QJsonObject fragment = value.toObject();
            snippet.fragments.append({fragment.value(QStringLiteral("label")).toString(),
                                      fragment.value(QStringLiteral("language")).toString(),
                                      fragment.value(QStringLiteral("value")).toString()});
        }
        deliverSnippet(snippet, sink);
    }
}

void readDatabase(const QString &path, ItemSink &sink)
{
    SqliteSource source(path);
    if (!source.hasTables({QStringLiteral("folders"), QStringLiteral("snippets"), QStringLiteral("snippet_contents")}))
        throw ImportError(
            QStringLiteral("الملف %1 ليس قاعدة massCode (لا جداول folders وsnippets وsnippet_contents فيه)")
                .arg(shown(path)));
    QHash<qint64, QPair<QString, qint64>> folders;
    QSqlQuery query(source.database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT id, name, parentId FROM folders")))
        source.fail(QStringLiteral("قراءة المجلدات"), query.lastError().text());
    while (query.next())
        folders.insert(query.value(0).toLongLong(),
                       {query.value(1).toString(), query.value(2).isNull() ? -1 : query.value(2).toLongLong()});
    const QHash<qint64, QString> paths = folderPaths(folders, qint64(-1));
    // One pass over the fragments in snippet order: one snippet in memory at a time.
    if (!query.exec(
            QStringLiteral("SELECT s.id, s.name, s.description, s.folderId, s.isDeleted, c.label, c.language, c.value "
                           "FROM snippets s LEFT JOIN snippet_contents c ON c.snippetId = s.id ORDER BY s.id, c.id")))
        source.fail(QStringLiteral("قراءة الأكواد"), query.lastError().text());
    std::optional<qint64> current;
    Snippet snippet;
    while (query.next()) {
        const qint64 id = query.value(0).toLongLong();
        if (current != id) {
            if (current)
                deliverSnippet(snippet, sink);
            current = id;
            snippet = Snippet{};
            snippet.name = query.value(1).toString();
            snippet.description = query.value(2).toString();
            snippet.category = query.value(3).isNull() ? uncategorised()
                                                       : paths.value(query.value(3).toLongLong(), uncategorised());
            snippet.deleted = query.value(4).toLongLong() != 0;
            snippet.origin = QStringLiteral("%1: %2").arg(shown(path), snippet.name);
        }
        if (!query.value(7).isNull() || !query.value(5).isNull())
            snippet.fragments.append({query.value(5).toString(), query.value(6).toString(), query.value(7).toString()});
    }
    if (query.lastError().isValid())
        source.fail(QStringLiteral("قراءة الأكواد"), query.lastError().text());
    if (current)
        deliverSnippet(snippet, sink);
}

// --- Markdown vault ---

// A YAML scalar as massCode's writer leaves it: plain, 'single' or "double" quoted, or null.
QString yamlScalar(QString value)
{
    value = value.trimmed();
    if (value == QLatin1String("null") || value == QLatin1String("~"))
        return {};
    if (value.size() >= 2 && value.startsWith(QLatin1Char('\'')) && value.endsWith(QLatin1Char('\'')))
        return value.mid(1, value.size() - 2).replace(QStringLiteral("''"), QStringLiteral("'"));
    if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"'))) {
        QString out;
        const QString inner = value.mid(1, value.size() - 2);
        for (qsizetype i = 0; i < inner.size(); ++i) {
            if (inner.at(i) == QLatin1Char('\\') && i + 1 < inner.size()) {
                const QChar e = inner.at(++i);
                out += e == QLatin1Char('n') ? QChar(u'\n') : e == QLatin1Char('t') ? QChar(u'\t') : e;
            } else {
                out += inner.at(i);
            }
        }
        return out;
    }
    return value;
}

// The top-level keys of the front matter this reader needs; a block scalar (| or >) is read too.
QHash<QString, QString> frontMatter(const QStringList &lines)
{
    static const QRegularExpression key(QStringLiteral("^([A-Za-z_][A-Za-z0-9_]*):(.*)$"));
    QHash<QString, QString> values;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QRegularExpressionMatch m = key.match(lines.at(i));
        if (!m.hasMatch())
            continue;
        const QString rest = m.captured(2).trimmed();
        if (rest.startsWith(QLatin1Char('|')) || rest.startsWith(QLatin1Char('>'))) {
            QStringList block;
            while (i + 1 < lines.size() && (lines.at(i + 1).startsWith(QLatin1Char(' ')) || lines.at(i + 1).isEmpty()))
                block.append(lines.at(++i).trimmed());
            while (!block.isEmpty() && block.constLast().isEmpty())
                block.removeLast();
            values.insert(m.captured(1),
                          block.join(rest.startsWith(QLatin1Char('>')) ? QLatin1Char(' ') : QLatin1Char('\n')));
        } else {
            values.insert(m.captured(1), yamlScalar(rest));
        }
    }
    return values;
}

void readVaultFile(const QString &path, const QString &category, bool trash, ItemSink &sink)
{
    const TextFile file = readTextFile(path);
    if (!file.text) {
        sink.skipped({shown(path), file.reason});
        return;
    }
    QStringList lines = file.text->split(QLatin1Char('\n'));
    for (QString &line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    Snippet snippet;
    snippet.category = category;
    snippet.origin = shown(path);
    snippet.name = QFileInfo(path).completeBaseName();
    snippet.deleted = trash;
    qsizetype i = 0;
    if (!lines.isEmpty() && lines.constFirst() == QLatin1String("---")) {
        const qsizetype end = lines.indexOf(QStringLiteral("---"), 1);
        if (end < 0)
            throw ImportError(
                QStringLiteral("الملف %1: المقدمة التي تبدأ في السطر 1 لا تُغلق بسطر ---").arg(shown(path)));
        const QHash<QString, QString> meta = frontMatter(lines.mid(1, end - 1));
        if (!meta.value(QStringLiteral("name")).isEmpty())
            snippet.name = meta.value(QStringLiteral("name"));
        snippet.description = meta.value(QStringLiteral("description"));
        snippet.deleted = trash || meta.value(QStringLiteral("isDeleted")) == QLatin1String("true");
        i = end + 1;
    }
    const qsizetype bodyStart = i;
    QString label;
    for (; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        if (line.startsWith(QLatin1String("## Fragment:"))) {
            label = line.mid(12).trimmed();
            continue;
        }
        const QString trimmed = line.trimmed();
        const QChar fenceChar = trimmed.isEmpty() ? QChar() : trimmed.at(0);
        if (fenceChar != QLatin1Char('`') && fenceChar != QLatin1Char('~'))
            continue;
        qsizetype fence = 0;
        while (fence < trimmed.size() && trimmed.at(fence) == fenceChar)
            ++fence;
        if (fence < 3)
            continue;
        const qsizetype open = i;
        Fragment fragment{label, trimmed.mid(fence).trimmed(), {}};
        QStringList value;
        bool closed = false;
        for (++i; i < lines.size(); ++i) {
            const QString closing = lines.at(i).trimmed();
            if (closing.size() >= fence && closing.count(fenceChar) == closing.size()) {
                closed = true;
                break;
            }
            value.append(lines.at(i));
        }
        if (!closed)
            throw ImportError(
                QStringLiteral("الملف %1: كتلة الكود التي تبدأ في السطر %2 لا تُغلق").arg(shown(path)).arg(open + 1));
        fragment.value = value.join(QLatin1Char('\n'));
        snippet.fragments.append(fragment);
        label.clear();
    }
    // A file with text but no fenced block is one plain fragment, as massCode reads it.
    if (snippet.fragments.isEmpty()) {
        const QString body = lines.mid(bodyStart).join(QLatin1Char('\n'));
        if (!body.trimmed().isEmpty())
            snippet.fragments.append({QString(), QString(), body});
    }
    deliverSnippet(snippet, sink);
}

class VaultWalk
{
public:
    explicit VaultWalk(ItemSink &sink)
        : m_sink(sink)
    { }

    void walk(const QString &dir, const QStringList &parts, bool trash, int depth)
    {
        const QString canonical = QFileInfo(dir).canonicalFilePath();
        if (m_visited.contains(canonical)) {
            m_sink.skipped({shown(dir), QStringLiteral("رابط رمزي إلى مجلد قُرئ من قبل (قد يكون حلقة)، تُرك")});
            return;
        }
        if (depth > maxDepth) {
            m_sink.skipped({shown(dir), QStringLiteral("المجلد أعمق من %1 مستوى، تُرك").arg(maxDepth)});
            return;
        }
        m_visited.insert(canonical);
        const QFileInfoList entries = QDir(dir).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot,
                                                              QDir::Name | QDir::DirsLast);
        for (const QFileInfo &entry : entries) {
            if (entry.isDir() && depth == 0 && entry.fileName() == QLatin1String("inbox")) {
                walk(entry.filePath(), {}, trash, depth + 1); // where older vaults kept the inbox
            } else if (entry.isDir() && depth == 0 && entry.fileName() == QLatin1String("trash")) {
                walk(entry.filePath(), {}, true, depth + 1);
            } else if (entry.isDir()) {
                walk(entry.filePath(), parts + QStringList{entry.fileName()}, trash, depth + 1);
            } else if (entry.suffix().compare(QLatin1String("md"), Qt::CaseInsensitive) == 0) {
                readVaultFile(entry.filePath(), parts.isEmpty() ? uncategorised() : joinCategory(parts), trash, m_sink);
            }
        }
    }

private:
    ItemSink &m_sink;
    QSet<QString> m_visited;
};

} // namespace

bool looksLikeMassCodeJson(const QString &start)
{
    return start.contains(QLatin1String("\"snippets\"")) && start.contains(QLatin1String("\"folders\""));
}

namespace {

bool hasMetaFolder(const QString &dir) { return QFileInfo(QDir(dir).filePath(QStringLiteral(".masscode"))).isDir(); }

// Newer vaults keep their snippets in the "code" space beside the notes; the snippets' root is there.
QString snippetsRoot(const QString &dir)
{
    const QString code = QDir(dir).filePath(QStringLiteral("code"));
    return hasMetaFolder(code) ? code : dir;
}

} // namespace

bool isMassCodeVault(const QString &dir) { return hasMetaFolder(snippetsRoot(dir)); }

bool isMassCodeDatabase(const QString &path)
{
    if (!isSqliteFile(path))
        return false;
    try {
        SqliteSource source(path);
        return source.hasTables({QStringLiteral("snippets"), QStringLiteral("snippet_contents")});
    } catch (const ImportError &) {
        return false;
    }
}

void readMassCode(const QString &path, ItemSink &sink)
{
    const QFileInfo info(path);
    if (info.isDir()) {
        if (!isMassCodeVault(path))
            throw ImportError(QStringLiteral("المجلد %1 ليس مخزن massCode (لا مجلد .masscode فيه)").arg(shown(path)));
        VaultWalk walk(sink);
        const QString root = snippetsRoot(path);
        // Hidden folders are left out of the walk; the inbox and the trash live in .masscode.
        const QString meta = QDir(root).filePath(QStringLiteral(".masscode"));
        walk.walk(root, {}, false, 0);
        if (QFileInfo(QDir(meta).filePath(QStringLiteral("inbox"))).isDir())
            walk.walk(QDir(meta).filePath(QStringLiteral("inbox")), {}, false, 1);
        if (QFileInfo(QDir(meta).filePath(QStringLiteral("trash"))).isDir())
            walk.walk(QDir(meta).filePath(QStringLiteral("trash")), {}, true, 1);
        return;
    }
    if (!info.isFile())
        throw ImportError(QStringLiteral("%1 غير موجود").arg(shown(path)));
    if (isSqliteFile(path))
        readDatabase(path, sink);
    else
        readJson(path, sink);
}

} // namespace importing::core
