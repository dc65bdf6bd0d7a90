// CherryTree's SQLite document (.ctb): nodes in a tree (table children: node_id, father_id,
// sequence). A node with children is a category for them. A plain-text or code node is a snippet;
// a rich-text node ("custom-colors", its text an XML of rich_text runs) is a snippet whose comment
// is its text and whose code is its code boxes, in their order in the text.
#include "importing/core/ImportError.h"
#include "importing/core/Readers.h"
#include "importing/core/SourceFiles.h"
#include "importing/core/SourceLanguage.h"

#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QXmlStreamReader>

namespace importing::core {

namespace {

const QString richText = QStringLiteral("custom-colors");

class TreeReader
{
public:
    TreeReader(const QString &path, SqliteSource &source, ItemSink &sink)
        : m_path(path)
        , m_source(source)
        , m_sink(sink)
        , m_node(source.database())
        , m_boxes(source.database())
    {
        QSqlQuery children(source.database());
        children.setForwardOnly(true);
        const bool shared = source.hasColumn(QStringLiteral("children"), QStringLiteral("master_id"));
        if (!children.exec(QStringLiteral("SELECT node_id, father_id, %1 FROM children ORDER BY father_id, sequence")
                               .arg(shared ? QStringLiteral("master_id") : QStringLiteral("0"))))
            source.fail(QStringLiteral("قراءة شجرة العقد"), children.lastError().text());
        while (children.next()) {
            const qint64 id = children.value(0).toLongLong();
            m_children[children.value(1).toLongLong()].append(id);
            if (children.value(2).toLongLong() > 0)
                m_master.insert(id, children.value(2).toLongLong());
        }
        if (!m_node.prepare(QStringLiteral("SELECT name, txt, syntax, has_codebox FROM node WHERE node_id = ?")))
            source.fail(QStringLiteral("قراءة العقد"), m_node.lastError().text());
        // Old documents without a code box have no such table at all.
        m_hasBoxTable = source.hasTables({QStringLiteral("codebox")});
        if (m_hasBoxTable
            && !m_boxes.prepare(QStringLiteral("SELECT txt, syntax FROM codebox WHERE node_id = ? ORDER BY offset")))
            source.fail(QStringLiteral("قراءة صناديق الكود"), m_boxes.lastError().text());
    }

    void readAll()
    {
        const QString document = QFileInfo(m_path).completeBaseName();
        for (const qint64 id : m_children.value(0))
            read(id, {}, document, 0);
    }

private:
    void read(qint64 id, const QStringList &parents, const QString &document, int depth)
    {
        if (m_seen.contains(id) || depth > maxDepth) {
            m_sink.skipped({QStringLiteral("%1: %2").arg(shown(m_path)).arg(id),
                            m_seen.contains(id) ? QStringLiteral("العقدة تظهر في الشجرة مرتين (حلقة)، تُركت")
                                                : QStringLiteral("العقدة أعمق من %1 مستوى، تُركت").arg(maxDepth)});
            return;
        }
        m_seen.insert(id);
        const qint64 dataId = m_master.value(id, id);
        m_node.addBindValue(dataId);
        if (!m_node.exec())
            m_source.fail(QStringLiteral("قراءة العقدة %1").arg(id), m_node.lastError().text());
        if (!m_node.next()) {
            m_node.finish();
            m_sink.skipped({QStringLiteral("%1: %2").arg(shown(m_path)).arg(id), QStringLiteral("العقدة بلا بيانات")});
            return;
        }
        const QString name = m_node.value(0).toString();
        const QString txt = m_node.value(1).toString();
        const QString syntax = m_node.value(2).toString();
        const bool hasBoxes = m_node.value(3).toLongLong() != 0;
        m_node.finish();

        ImportItem item;
        item.category = parents.isEmpty() ? joinCategory({document}) : joinCategory(parents);
        item.title = name;
        item.origin = QStringLiteral("%1: %2").arg(shown(m_path),
                                                   (parents + QStringList{name}).join(QStringLiteral(" / ")));
        const bool hasChildren = m_children.contains(id);
        if (syntax != richText) {
            item.code = txt;
            item.language = sourceLanguage(syntax);
            deliverUnlessContainer(item, hasChildren);
        } else {
            item.comment = plainText(txt, item.origin);
            if (hasBoxes && m_hasBoxTable)
                readBoxes(dataId, item);
            if (!item.code.trimmed().isEmpty())
                m_sink.item(item);
            else if (!item.comment.trimmed().isEmpty())
                m_sink.skipped({item.origin, QStringLiteral("نص بلا كود")});
            else
                deliverUnlessContainer(item, hasChildren);
        }
        for (const qint64 child : m_children.value(id))
            read(child, parents + QStringList{name}, document, depth + 1);
    }

    // A node that only holds other nodes is their category, not an empty snippet.
    void deliverUnlessContainer(const ImportItem &item, bool hasChildren)
    {
        if (hasChildren && item.code.trimmed().isEmpty())
            return;
        deliver(m_sink, item);
    }

    void readBoxes(qint64 id, ImportItem &item)
    {
        m_boxes.addBindValue(id);
        if (!m_boxes.exec())
            m_source.fail(QStringLiteral("قراءة صناديق الكود"), m_boxes.lastError().text());
        QStringList code;
        while (m_boxes.next()) {
            code.append(m_boxes.value(0).toString());
            if (item.language.isEmpty())
                item.language = sourceLanguage(m_boxes.value(1).toString());
        }
        m_boxes.finish();
        item.code = code.join(QStringLiteral("\n\n"));
    }

    QString plainText(const QString &xml, const QString &origin) const
    {
        QString text;
        QXmlStreamReader reader(xml);
        while (!reader.atEnd()) {
            if (reader.readNext() == QXmlStreamReader::StartElement && reader.name() == QLatin1String("rich_text"))
                text += reader.readElementText(QXmlStreamReader::IncludeChildElements);
        }
        if (reader.hasError())
            throw ImportError(QStringLiteral("%1: نص العقدة ليس XML صحيحاً (السطر %2، العمود %3): %4")
                                  .arg(origin)
                                  .arg(reader.lineNumber())
                                  .arg(reader.columnNumber())
                                  .arg(reader.errorString()));
        return text;
    }

    QString m_path;
    SqliteSource &m_source;
    ItemSink &m_sink;
    QSqlQuery m_node;
    QSqlQuery m_boxes;
    QHash<qint64, QList<qint64>> m_children;
    QHash<qint64, qint64> m_master;
    QSet<qint64> m_seen;
    bool m_hasBoxTable = false;
};

} // namespace

bool isCherryTreeDatabase(const QString &path)
{
    if (!isSqliteFile(path))
        return false;
    try {
        SqliteSource source(path);
        return source.hasTables({QStringLiteral("node"), QStringLiteral("children")});
    } catch (const ImportError &) {
        return false;
    }
}

void readCherryTree(const QString &path, ItemSink &sink)
{
    if (!QFileInfo(path).isFile())
        throw ImportError(QStringLiteral("%1 ليس ملفاً").arg(shown(path)));
    SqliteSource source(path);
    if (!source.hasTables({QStringLiteral("node"), QStringLiteral("children")}))
        throw ImportError(
            QStringLiteral("الملف %1 ليس مستند CherryTree (لا جدولا node وchildren فيه)").arg(shown(path)));
    TreeReader reader(path, source, sink);
    reader.readAll();
}

} // namespace importing::core
