#include "browser/CategoryTree.h"

#include "browser/DamageReport.h"
#include "browser/Icons.h"
#include "messages/ArabicMsgBox.h"
#include "store/Library.h"
#include "store/StoreError.h"
#include "store/NodeKey.h"

#include <QCollator>
#include <QTreeWidget>

namespace browser {

namespace {

const QColor UserBlue(0, 0, 255);
constexpr int KeyRole = Qt::UserRole;
constexpr int KnownTextRole = Qt::UserRole + 1;

// A tree node that keeps its key and its last stored text as members and shares its image:
// a library of 100,000 snippets makes 100,000 of these.
class NodeItem : public QTreeWidgetItem
{
public:
    NodeItem(const QString &key, const QString &text, const QIcon &image)
        : QTreeWidgetItem(QStringList{text})
        , m_key(key)
        , m_known(text)
        , m_image(image)
    {
        setFlags(flags() | Qt::ItemIsEditable);
    }

    QVariant data(int column, int role) const override
    {
        if (column == 0) {
            if (role == KeyRole)
                return m_key;
            if (role == KnownTextRole)
                return m_known;
            if (role == Qt::DecorationRole)
                return m_image;
        }
        return QTreeWidgetItem::data(column, role);
    }

    void setData(int column, int role, const QVariant &value) override
    {
        if (column == 0 && role == KnownTextRole)
            m_known = value.toString();
        else
            QTreeWidgetItem::setData(column, role, value);
    }

    qint32 id() const { return store::nodeId(m_key); }

private:
    QString m_key;
    QString m_known;
    QIcon m_image;
};

// Sorts items by their text the way people expect: Arabic and Latin collated, case ignored.
void sortByText(QList<QTreeWidgetItem *> &items)
{
    static QCollator collator = [] {
        QCollator c(QLocale(QLocale::Arabic));
        c.setCaseSensitivity(Qt::CaseInsensitive);
        c.setNumericMode(true);
        return c;
    }();
    struct Keyed {
        QCollatorSortKey key;
        qint32 id;
        QTreeWidgetItem *item;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(items.size());
    for (QTreeWidgetItem *item : items)
        keyed.push_back({collator.sortKey(item->text(0)), static_cast<NodeItem *>(item)->id(), item});
    // Equal titles keep the order in which they were added.
    std::sort(keyed.begin(), keyed.end(), [](const Keyed &a, const Keyed &b) {
        const int c = a.key.compare(b.key);
        return c != 0 ? c < 0 : a.id < b.id;
    });
    for (qsizetype i = 0; i < qsizetype(keyed.size()); ++i)
        items[i] = keyed[size_t(i)].item;
}

void sortChildren(QTreeWidgetItem *parent)
{
    QList<QTreeWidgetItem *> children = parent->takeChildren();
    sortByText(children);
    parent->addChildren(children);
}

} // namespace

CategoryTree::CategoryTree(QTreeWidget *tree)
    : m_tree(tree)
{
    QObject::connect(tree, &QTreeWidget::itemChanged, tree, [this](QTreeWidgetItem *item, int) { renamed(item); });
}

void CategoryTree::renamed(QTreeWidgetItem *item)
{
    if (m_loading || item->text(0) == item->data(0, KnownTextRole).toString())
        return;
    const QString key = keyOf(item);
    const QString newText = item->text(0);
    try {
        bool stored = true;
        if (store::nodeKind(key) == store::NodeKind::Snippet)
            stored = store::Library::renameSnippet(store::nodeId(key), newText);
        else if (store::nodeKind(key) == store::NodeKind::Category)
            stored = store::Library::renameCategory(store::nodeId(key), newText);
        Q_UNUSED(stored); // a row deleted meanwhile: the node keeps the text, nothing is written
        item->setData(0, KnownTextRole, newText);
    } catch (const store::StoreError &e) {
        messages::showError(m_tree->window(), QStringLiteral("تعذر حفظ الاسم الجديد: ") + e.message());
        m_loading = true;
        item->setText(0, item->data(0, KnownTextRole).toString());
        m_loading = false;
    }
}

void CategoryTree::clear()
{
    m_tree->setUpdatesEnabled(false);
    m_loading = true;
    m_tree->clear();
    m_nodes.clear();
    m_loading = false;
    m_tree->setUpdatesEnabled(true);
}

QTreeWidgetItem *CategoryTree::addRoot()
{
    auto *root = new NodeItem(store::RootKey, QStringLiteral("أكواد"), treeImage(QStringLiteral("topopen")));
    m_loading = true;
    m_tree->addTopLevelItem(root);
    m_loading = false;
    m_nodes.insert(store::RootKey, root);
    return root;
}

void CategoryTree::loadCategories()
{
    QTreeWidgetItem *root = node(store::RootKey);
    if (!root)
        return;
    QList<store::Category> categories;
    try {
        categories = store::Library::categories();
    } catch (const store::DamagedLibraryError &e) {
        reportDamagedLibrary(m_tree, e.message());
        return;
    } catch (const store::StoreError &) {
        return; // the tree shows what it could read
    }
    m_loading = true;
    QList<QTreeWidgetItem *> items;
    items.reserve(categories.size());
    const QIcon image = treeImage(QStringLiteral("groubopen1"));
    for (const store::Category &c : categories) {
        const QString key = store::categoryKey(c.id);
        if (m_nodes.contains(key))
            continue;
        auto *item = new NodeItem(key, c.caption.toString(), image);
        m_nodes.insert(key, item);
        items.append(item);
    }
    root->addChildren(items);
    m_loading = false;
}

void CategoryTree::loadSnippets()
{
    QTreeWidgetItem *root = node(store::RootKey);
    if (!root)
        return;
    QList<store::SnippetSummary> snippets;
    try {
        snippets = store::Library::snippetSummaries();
    } catch (const store::DamagedLibraryError &e) {
        reportDamagedLibrary(m_tree, e.message());
        return;
    } catch (const store::StoreError &) {
        return;
    }
    m_loading = true;
    m_tree->setUpdatesEnabled(false);
    QIcon image;
    image.addPixmap(treeImage(QStringLiteral("codeclose")).pixmap(32), QIcon::Normal);
    image.addPixmap(treeImage(QStringLiteral("codeopen")).pixmap(32), QIcon::Selected);
    QHash<QTreeWidgetItem *, QList<QTreeWidgetItem *>> byCategory;
    for (const store::SnippetSummary &s : snippets) {
        // A snippet without a category node is skipped; the ones after it still load.
        if (s.groub.isNull())
            continue;
        QTreeWidgetItem *parent = m_nodes.value(store::categoryKey(s.groub.toLongLong()));
        const QString key = store::snippetKey(s.id);
        if (!parent || m_nodes.contains(key) || store::nodeKind(keyOf(parent)) != store::NodeKind::Category)
            continue;
        auto *item = new NodeItem(key, s.head.toString(), image);
        if (store::isTrue(s.user))
            item->setForeground(0, UserBlue);
        m_nodes.insert(key, item);
        byCategory[parent].append(item);
    }
    // Sorted once here rather than on every insert.
    for (int i = 0; i < root->childCount(); ++i) {
        QTreeWidgetItem *category = root->child(i);
        QList<QTreeWidgetItem *> children = category->takeChildren();
        children += byCategory.value(category);
        sortByText(children);
        category->addChildren(children);
    }
    sortChildren(root);
    root->setExpanded(true);
    m_tree->setUpdatesEnabled(true);
    m_loading = false;
}

void CategoryTree::setExpanded(bool expand)
{
    m_tree->setUpdatesEnabled(false);
    if (expand)
        m_tree->expandAll();
    else
        m_tree->collapseAll();
    // Scroll to the selected node only where it is still shown: scrolling would open its parents.
    QTreeWidgetItem *current = m_tree->currentItem();
    bool shown = current != nullptr;
    for (QTreeWidgetItem *p = current ? current->parent() : nullptr; p && shown; p = p->parent())
        shown = p->isExpanded();
    if (shown)
        m_tree->scrollToItem(current);
    m_tree->setUpdatesEnabled(true);
}

QTreeWidgetItem *CategoryTree::node(const QString &key) const { return m_nodes.value(key); }

QString CategoryTree::keyOf(const QTreeWidgetItem *item)
{
    return item ? item->data(0, KeyRole).toString() : QString();
}

QString CategoryTree::selectedKey() const
{
    const auto selected = m_tree->selectedItems();
    if (!selected.isEmpty())
        return keyOf(selected.first());
    return QString();
}

void CategoryTree::select(const QString &key)
{
    QTreeWidgetItem *item = node(key);
    if (!item)
        return;
    m_tree->setCurrentItem(item);
    item->setSelected(true);
    m_tree->scrollToItem(item);
}

void CategoryTree::remove(const QString &key)
{
    QTreeWidgetItem *item = m_nodes.take(key);
    if (!item)
        return;
    for (int i = 0; i < item->childCount(); ++i)
        m_nodes.remove(keyOf(item->child(i)));
    delete item;
}

bool CategoryTree::isUserNode(const QTreeWidgetItem *item)
{
    if (!item)
        return false;
    const QBrush brush = item->foreground(0);
    return brush.style() != Qt::NoBrush && brush.color() == UserBlue;
}

void CategoryTree::setUserNode(QTreeWidgetItem *item, bool user)
{
    if (!item)
        return;
    const QSignalBlocker block(item->treeWidget());
    // A merged node takes the palette's text colour like every other node rather than a fixed black,
    // which a dark palette would make unreadable.
    item->setForeground(0, user ? QBrush(UserBlue) : QBrush());
    if (item->treeWidget())
        item->treeWidget()->viewport()->update();
}

} // namespace browser
