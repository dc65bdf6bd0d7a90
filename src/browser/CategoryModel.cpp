#include "browser/CategoryModel.h"

#include "browser/Icons.h"
#include "platform/Text.h"
#include "store/Library.h"
#include "store/NodeKey.h"
#include "store/StoreError.h"

#include <QBrush>
#include <algorithm>

namespace browser {

namespace {

const QColor UserBlue(0, 0, 255);
const QString UserDescription = QStringLiteral("كود مستخدم");

enum Kind : quintptr { RootNode = 1, CategoryNode = 2, SnippetNode = 3 };

quintptr tag(Kind kind, qint32 position) { return (quintptr(position) << 2) | kind; }
Kind kindOf(const QModelIndex &index) { return Kind(index.internalId() & 3); }
qint32 positionOf(const QModelIndex &index) { return qint32(index.internalId() >> 2); }

} // namespace

CategoryModel::CategoryModel(store::Library &library, QObject *parent)
    : QAbstractItemModel(parent)
    , m_library(library)
    , m_rootImage(treeImage(QStringLiteral("topopen")))
    , m_categoryImage(treeImage(QStringLiteral("groubopen1")))
{
    m_snippetImage.addPixmap(treeImage(QStringLiteral("codeclose")).pixmap(32), QIcon::Normal);
    m_snippetImage.addPixmap(treeImage(QStringLiteral("codeopen")).pixmap(32), QIcon::Selected);
}

void CategoryModel::clear()
{
    beginResetModel();
    m_hasRoot = false;
    m_categories.clear();
    m_order.clear();
    m_rowOfCategory.clear();
    m_categoryById.clear();
    m_snippets = {};
    m_categoryOf.clear();
    m_byId.clear();
    m_renamed.clear();
    m_changedInPlace = false;
    m_loaded = {};
    endResetModel();
}

QModelIndex CategoryModel::addRoot()
{
    if (!m_hasRoot) {
        beginInsertRows({}, 0, 0);
        m_hasRoot = true;
        m_rootText = QStringLiteral("أكواد");
        endInsertRows();
    }
    return index(0, 0);
}

void CategoryModel::loadCategories(const store::TreeCategories &categories)
{
    if (!m_hasRoot)
        return;
    m_loaded.ids.insert(m_loaded.ids.end(), categories.ids.cbegin(), categories.ids.cend());
    m_loaded.captions.append(categories.captions);
    std::vector<CategoryRow> added;
    for (size_t i = 0; i < categories.ids.size(); ++i) {
        const qint32 id = categories.ids[i];
        if (m_categoryById.contains(id))
            continue;
        m_categoryById.insert(id, qint32(m_categories.size() + added.size()));
        added.push_back({id, categories.captions.at(qsizetype(i)), false, {}, false});
    }
    if (added.empty())
        return;
    const int first = int(m_order.size());
    beginInsertRows(index(0, 0), first, first + int(added.size()) - 1);
    for (CategoryRow &c : added) {
        m_rowOfCategory.push_back(qint32(m_order.size()));
        m_order.push_back(qint32(m_categories.size()));
        m_categories.push_back(std::move(c));
    }
    endInsertRows();
}

void CategoryModel::loadSnippets(store::TreeSnippets snippets)
{
    if (!m_hasRoot)
        return;
    beginResetModel();
    // Rows of an earlier load go; the categories stay and get their snippets anew.
    m_categories.erase(
        std::remove_if(m_categories.begin(), m_categories.end(), [](const CategoryRow &c) { return c.orphans; }),
        m_categories.end());
    for (CategoryRow &c : m_categories) {
        c.children.clear();
        c.sorted = false;
    }
    m_snippets = std::move(snippets);
    m_byId.clear();
    m_renamed.clear();
    m_categoryOf.assign(size_t(m_snippets.size()), -1);
    qint32 orphans = -1;
    for (qint32 i = 0; i < qint32(m_snippets.size()); ++i) {
        qint32 category = -1;
        if (!(m_snippets.flags[size_t(i)] & store::TreeSnippets::NoCategory)) {
            const qint64 groub = m_snippets.groubs[size_t(i)];
            if (groub >= std::numeric_limits<qint32>::min() && groub <= std::numeric_limits<qint32>::max())
                category = m_categoryById.value(qint32(groub), -1);
        }
        if (category < 0) {
            if (orphans < 0) {
                orphans = qint32(m_categories.size());
                m_categories.push_back({0, store::UncategorisedCaption, true, {}, false});
            }
            category = orphans;
        }
        m_categories[size_t(category)].children.push_back(i);
        m_categoryOf[size_t(i)] = category;
    }
    m_order.resize(m_categories.size());
    for (size_t i = 0; i < m_order.size(); ++i)
        m_order[i] = qint32(i);
    store::sortInTreeOrder(
        m_order, [this](qint32 c) { return m_categories[size_t(c)].text; },
        [this](qint32 c) { return m_categories[size_t(c)].id; });
    m_rowOfCategory.assign(m_categories.size(), -1);
    for (size_t row = 0; row < m_order.size(); ++row)
        m_rowOfCategory[size_t(m_order[row])] = qint32(row);
    endResetModel();
}

void CategoryModel::sortChildren(CategoryRow &category) const
{
    if (category.sorted)
        return;
    store::sortInTreeOrder(
        category.children, [this](qint32 s) { return head(s); },
        [this](qint32 s) { return m_snippets.ids[size_t(s)]; });
    category.sorted = true;
}

bool CategoryModel::shows(const store::TreeCategories &categories, const store::TreeSnippets &snippets) const
{
    return m_hasRoot && !m_changedInPlace && categories.ids == m_loaded.ids && categories.captions == m_loaded.captions
           && snippets.ids == m_snippets.ids && snippets.groubs == m_snippets.groubs
           && snippets.flags == m_snippets.flags && snippets.headEnds == m_snippets.headEnds
           && snippets.heads == m_snippets.heads;
}

QString CategoryModel::head(qint32 snippet) const
{
    if (!m_renamed.isEmpty()) {
        const auto renamed = m_renamed.constFind(snippet);
        if (renamed != m_renamed.cend())
            return *renamed;
    }
    return m_snippets.head(snippet);
}

qint32 CategoryModel::snippetPosition(qint32 id) const
{
    if (m_byId.size() != size_t(m_snippets.size())) {
        m_byId.resize(size_t(m_snippets.size()));
        for (size_t i = 0; i < m_byId.size(); ++i)
            m_byId[i] = qint32(i);
        std::sort(m_byId.begin(), m_byId.end(),
                  [this](qint32 a, qint32 b) { return m_snippets.ids[size_t(a)] < m_snippets.ids[size_t(b)]; });
    }
    const auto found = std::lower_bound(m_byId.begin(), m_byId.end(), id,
                                        [this](qint32 p, qint32 value) { return m_snippets.ids[size_t(p)] < value; });
    if (found == m_byId.end() || m_snippets.ids[size_t(*found)] != id || m_categoryOf[size_t(*found)] < 0)
        return -1;
    return *found;
}

QModelIndex CategoryModel::categoryIndex(qint32 category) const
{
    if (category < 0 || size_t(category) >= m_rowOfCategory.size() || m_rowOfCategory[size_t(category)] < 0)
        return {};
    return createIndex(m_rowOfCategory[size_t(category)], 0, tag(CategoryNode, category));
}

QModelIndex CategoryModel::indexOf(const QString &key) const
{
    if (!m_hasRoot)
        return {};
    if (key == store::RootKey)
        return index(0, 0);
    if (key == store::UncategorisedKey) {
        for (size_t c = 0; c < m_categories.size(); ++c)
            if (m_categories[c].orphans)
                return categoryIndex(qint32(c));
        return {};
    }
    const qint32 id = store::nodeId(key);
    if (key != (store::nodeKind(key) == store::NodeKind::Snippet ? store::snippetKey(id) : store::categoryKey(id)))
        return {}; // keys are made, never parsed loosely: "K07" names no node
    if (store::nodeKind(key) == store::NodeKind::Category)
        return categoryIndex(m_categoryById.value(id, -1));
    if (store::nodeKind(key) != store::NodeKind::Snippet)
        return {};
    const qint32 snippet = snippetPosition(id);
    if (snippet < 0)
        return {};
    CategoryRow &category = m_categories[size_t(m_categoryOf[size_t(snippet)])];
    sortChildren(category);
    const auto at = std::find(category.children.cbegin(), category.children.cend(), snippet);
    return createIndex(int(at - category.children.cbegin()), 0, tag(SnippetNode, snippet));
}

QString CategoryModel::keyOf(const QModelIndex &index)
{
    return index.isValid() ? index.data(KeyRole).toString() : QString();
}

void CategoryModel::remove(const QString &key)
{
    const QModelIndex node = indexOf(key);
    if (!node.isValid() || kindOf(node) == RootNode)
        return;
    const qint32 position = positionOf(node);
    m_changedInPlace = true;
    beginRemoveRows(node.parent(), node.row(), node.row());
    if (kindOf(node) == SnippetNode) {
        auto &children = m_categories[size_t(m_categoryOf[size_t(position)])].children;
        children.erase(children.begin() + node.row());
        m_categoryOf[size_t(position)] = -1;
        m_renamed.remove(position);
    } else {
        CategoryRow &category = m_categories[size_t(position)];
        for (qint32 s : category.children)
            m_categoryOf[size_t(s)] = -1;
        category.children.clear();
        if (!category.orphans)
            m_categoryById.remove(category.id);
        m_order.erase(m_order.begin() + node.row());
        m_rowOfCategory[size_t(position)] = -1;
        for (size_t row = size_t(node.row()); row < m_order.size(); ++row)
            m_rowOfCategory[size_t(m_order[row])] = qint32(row);
    }
    endRemoveRows();
}

void CategoryModel::setUser(const QModelIndex &index, bool user)
{
    if (!index.isValid() || kindOf(index) != SnippetNode)
        return;
    m_changedInPlace = true;
    quint8 &flags = m_snippets.flags[size_t(positionOf(index))];
    flags = user ? (flags | store::TreeSnippets::User) : (flags & ~store::TreeSnippets::User);
    emit dataChanged(index, index, {Qt::ForegroundRole, Qt::AccessibleDescriptionRole});
}

QModelIndex CategoryModel::index(int row, int column, const QModelIndex &parent) const
{
    if (row < 0 || column != 0)
        return {};
    if (!parent.isValid())
        return m_hasRoot && row == 0 ? createIndex(0, 0, tag(RootNode, 0)) : QModelIndex();
    switch (kindOf(parent)) {
    case RootNode:
        return size_t(row) < m_order.size() ? createIndex(row, 0, tag(CategoryNode, m_order[size_t(row)]))
                                            : QModelIndex();
    case CategoryNode: {
        CategoryRow &category = m_categories[size_t(positionOf(parent))];
        if (size_t(row) >= category.children.size())
            return {};
        sortChildren(category);
        return createIndex(row, 0, tag(SnippetNode, category.children[size_t(row)]));
    }
    default:
        return {};
    }
}

QModelIndex CategoryModel::parent(const QModelIndex &child) const
{
    if (!child.isValid())
        return {};
    switch (kindOf(child)) {
    case CategoryNode:
        return createIndex(0, 0, tag(RootNode, 0));
    case SnippetNode:
        return categoryIndex(m_categoryOf[size_t(positionOf(child))]);
    default:
        return {};
    }
}

int CategoryModel::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return m_hasRoot ? 1 : 0;
    if (parent.column() != 0)
        return 0;
    switch (kindOf(parent)) {
    case RootNode:
        return int(m_order.size());
    case CategoryNode:
        return int(m_categories[size_t(positionOf(parent))].children.size());
    default:
        return 0;
    }
}

int CategoryModel::columnCount(const QModelIndex &) const { return 1; }

bool CategoryModel::hasChildren(const QModelIndex &parent) const { return rowCount(parent) > 0; }

QVariant CategoryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const qint32 position = positionOf(index);
    switch (kindOf(index)) {
    case RootNode:
        if (role == Qt::DisplayRole || role == Qt::EditRole)
            return m_rootText;
        if (role == Qt::DecorationRole)
            return m_rootImage;
        if (role == KeyRole)
            return store::RootKey;
        return {};
    case CategoryNode: {
        const CategoryRow &category = m_categories[size_t(position)];
        if (role == Qt::DisplayRole)
            return platform::withVisibleBidiControls(category.text);
        if (role == Qt::EditRole)
            return category.text;
        if (role == Qt::DecorationRole)
            return m_categoryImage;
        if (role == KeyRole)
            return category.orphans ? store::UncategorisedKey : store::categoryKey(category.id);
        return {};
    }
    case SnippetNode: {
        const bool user = m_snippets.flags[size_t(position)] & store::TreeSnippets::User;
        switch (role) {
        // Shown with its bidi controls named, so no title can pass for another; edited as stored.
        case Qt::DisplayRole:
            return platform::withVisibleBidiControls(head(position));
        case Qt::EditRole:
            return head(position);
        case Qt::DecorationRole:
            return m_snippetImage;
        case Qt::ForegroundRole:
            return user ? QVariant(QBrush(UserBlue)) : QVariant();
        // Its colour is the user's snippet's only mark on screen; a screen reader says it in words.
        case Qt::AccessibleDescriptionRole:
            return user ? UserDescription : QString();
        case KeyRole:
            return store::snippetKey(m_snippets.ids[size_t(position)]);
        default:
            return {};
        }
    }
    }
    return {};
}

bool CategoryModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    const QString text = value.toString();
    const qint32 position = positionOf(index);
    try {
        switch (kindOf(index)) {
        case RootNode:
            m_rootText = text; // nothing is stored for the root
            break;
        case CategoryNode: {
            CategoryRow &category = m_categories[size_t(position)];
            if (category.orphans)
                return false;
            if (text == category.text)
                return true;
            // A row deleted meanwhile: the node keeps the text, nothing is written.
            m_library.renameCategory(category.id, text);
            category.text = text;
            break;
        }
        case SnippetNode:
            if (text == head(position))
                return true;
            m_library.renameSnippet(m_snippets.ids[size_t(position)], text);
            m_renamed.insert(position, text);
            break;
        }
    } catch (const store::StoreError &e) {
        emit renameFailed(e.message());
        return false;
    }
    m_changedInPlace = true;
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}

Qt::ItemFlags CategoryModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
    switch (kindOf(index)) {
    case RootNode:
        return flags | Qt::ItemIsEditable;
    case CategoryNode:
        return m_categories[size_t(positionOf(index))].orphans ? flags : flags | Qt::ItemIsEditable;
    case SnippetNode:
        return flags | Qt::ItemIsEditable | Qt::ItemNeverHasChildren;
    }
    return flags;
}

QVariant CategoryModel::headerData(int, Qt::Orientation, int) const
{
    return {}; // the header is hidden: it has neither a caption nor a number to announce
}

} // namespace browser
